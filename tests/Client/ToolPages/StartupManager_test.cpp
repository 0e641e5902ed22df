// The startup manager over a sandboxed registry and temporary Startup folders: what it lists,
// every kind of entry disabled and enabled again with the registry and the folders exactly as
// before, and the ways it keeps what the user has: names outside the code page, values written
// again meanwhile, shortcuts disabled twice, records that name files elsewhere.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RegistryValues.h"
#include "StartupFixture.h"

namespace {

// Six scripts: no code page holds them all, so the name shows as something else.
const wchar_t kForeignName[] = L"\x041F\x03BB\x05E9\x0639\x0E01\x4E2D";

std::string S(const CString& text)
{
    return std::string(text.GetString());
}

// The registry's own form of text: UTF-16 with its NUL.
std::string Utf16(const std::wstring& text, bool terminated = true)
{
    const std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + (terminated ? 1 : 0)) * 2);
    return bytes;
}

// A list of strings, each with its NUL, then the list's own.
std::string List(const std::vector<std::wstring>& strings)
{
    std::string bytes;
    for (const std::wstring& text : strings)
        bytes += Utf16(text);
    return bytes + std::string(2, '\0');
}

bool Write(HKEY root, const std::string& key, const std::wstring& name, DWORD type, const std::string& bytes)
{
    return WriteRegValueW(root, Wide(key).c_str(), name.c_str(), type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

// The exact value, or "<missing>".
std::string ReadW(HKEY root, const std::wstring& key, const std::wstring& name, DWORD* type = nullptr)
{
    CRegKey64 handle;
    REG_VALUE_DATA value;
    if (!handle.Open(root, key.c_str(), KEY_READ) || !ReadRegValue(handle, name.c_str(), &value))
        return "<missing>";
    if (type)
        *type = value.type;
    return std::string(value.data.begin(), value.data.end());
}

std::string Read(HKEY root, const std::string& key, const std::wstring& name, DWORD* type = nullptr)
{
    return ReadW(root, Wide(key), name, type);
}

void DeleteValue(HKEY root, const char* key, const std::wstring& name)
{
    CRegKey64 handle;
    if (handle.Open(root, Wide(key).c_str(), KEY_SET_VALUE))
        ::RegDeleteValueW(handle, name.c_str());
}

int StoreEntries(const char* store)
{
    CRegKey64 key;
    return key.Open(HKEY_LOCAL_MACHINE, Wide(store).c_str(), KEY_READ) ? static_cast<int>(RegSubkeyNames(key).size()) : 0;
}

class StartupManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.sandbox.IsActive());
        // The system configuration tool's stores exist on a system that has had it run.
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kRegStoreKey));
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kFolderStoreKey));
        ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, kRunKey));
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kRunKey));
        manager.reset(new CStartupManager(world.Folders()));
    }

    // The listed entry of that name (and text), enabled or disabled as asked.
    const StartupRegItem* Reg(const std::wstring& name, const std::wstring& text = L"", int disabled = -1)
    {
        for (const StartupRegItem& item : manager->RegItems()) {
            if (item.valueName == name && (text.empty() || item.text == text) && (disabled < 0 || item.disabled == disabled))
                return &item;
        }
        return nullptr;
    }
    const StartupFolderItem* Folder(const std::wstring& name, int disabled = -1)
    {
        for (const StartupFolderItem& item : manager->FolderItems()) {
            if (item.itemName == name && (disabled < 0 || item.disabled == disabled))
                return &item;
        }
        return nullptr;
    }
    // A disabled-shortcut record as another program may have written it.
    void WriteFolderRecord(const std::wstring& subkey, const std::wstring& path, const std::wstring& backup)
    {
        const std::string key = std::string(kFolderStoreKey) + "\\" + Narrow(subkey);
        ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, key.c_str(), L"item", REG_SZ, Utf16(L"Victim")));
        ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, key.c_str(), L"path", REG_SZ, Utf16(path)));
        ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, key.c_str(), L"backup", REG_SZ, Utf16(backup)));
        ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, key.c_str(), L"location", REG_SZ, Utf16(L"Startup")));
    }

    // Tool.lnk of the user's Startup folder, to `target`, disabled: its bytes.
    std::string DisabledShortcut(const std::wstring& target)
    {
        const std::wstring tool = world.User(L"Tool.lnk");
        EXPECT_TRUE(CreateShortcut(tool, target));
        const std::string bytes = ReadWholeFileW(tool);
        manager->Refresh();
        EXPECT_EQ(STARTUP_DONE, manager->Disable(*Folder(L"Tool")));
        EXPECT_EQ(bytes, ReadWholeFileW(world.Backup(L"Tool.lnkStartup")));
        return bytes;
    }

    CStartupWorld world;
    std::unique_ptr<CStartupManager> manager;
};

} // namespace

TEST_F(StartupManagerTest, NothingToStartListsNothing)
{
    manager->Refresh();
    EXPECT_TRUE(manager->RegItems().empty());
    EXPECT_TRUE(manager->FolderItems().empty());
}

TEST_F(StartupManagerTest, ListsRunValuesMultiStringsAndShortcuts)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Tray", "C:\\Tools\\Tray.exe /min"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "Agent", "%ProgramFiles%\\Agent\\agent.exe", REG_EXPAND_SZ));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, kRunKey, L"Pair", REG_MULTI_SZ, List({ L"C:\\a.exe", L"", L"C:\\b.exe" })));
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"NoBytes", REG_SZ, ""));
    // Text without its terminating NUL is read as far as it goes, no further.
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Unterminated", REG_SZ, Utf16(L"C:\\u.exe", false)));
    const std::wstring longName(300, L'N');
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, longName, REG_SZ, Utf16(L"C:\\long.exe")));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunOnceKey, "Once", "C:\\once.exe"));
    ASSERT_TRUE(CreateShortcut(world.User(L"Tool.lnk"), L"C:\\windows\\notepad.exe"));
    ASSERT_TRUE(::CopyFileW(world.User(L"Tool.lnk").c_str(), world.Common(L"run.bat").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(world.User(L"Tool.lnk").c_str(), world.User(L"desktop.ini").c_str(), FALSE));
    ::SetFileAttributesW(world.User(L"desktop.ini").c_str(), FILE_ATTRIBUTE_HIDDEN);

    manager->Refresh();
    ASSERT_EQ(6u, manager->RegItems().size());
    ASSERT_NE(nullptr, Reg(L"Tray"));
    EXPECT_EQ(0, Reg(L"Tray")->localMachine);
    EXPECT_EQ("C:\\Tools\\Tray.exe /min", S(Reg(L"Tray")->command));
    ASSERT_NE(nullptr, Reg(L"Agent"));
    EXPECT_EQ(1, Reg(L"Agent")->localMachine);
    // Two strings, two rows of one name; the empty string between them is no row.
    ASSERT_NE(nullptr, Reg(L"Pair", L"C:\\a.exe"));
    ASSERT_NE(nullptr, Reg(L"Pair", L"C:\\b.exe"));
    EXPECT_EQ(2, Reg(L"Pair", L"C:\\b.exe")->stringIndex);
    EXPECT_EQ("C:\\u.exe", S(Reg(L"Unterminated")->command));
    EXPECT_NE(nullptr, Reg(longName));
    EXPECT_EQ(nullptr, Reg(L"NoBytes"));

    ASSERT_EQ(2u, manager->FolderItems().size());
    const StartupFolderItem* shortcut = Folder(L"Tool");
    ASSERT_NE(nullptr, shortcut);
    EXPECT_EQ("C:\\windows\\notepad.exe", S(shortcut->command));
    EXPECT_EQ("Startup", S(shortcut->location));
    EXPECT_EQ(world.Backup(L"Tool.lnkStartup"), shortcut->backupPath);
    std::wstring storeKey = world.User(L"Tool.lnk");
    for (wchar_t& ch : storeKey)
        ch = ch == L'\\' ? L'^' : ch;
    EXPECT_EQ(storeKey, shortcut->storeKey);
    const StartupFolderItem* batch = Folder(L"run");
    ASSERT_NE(nullptr, batch);
    EXPECT_EQ(1, batch->common);
    EXPECT_EQ(world.Common(L"run.bat"), batch->target);
}

// Disable All then Enable All over every kind of entry, empty ones and foreign names included:
// each is listed while disabled, and the registry and the folders end exactly as they began.
TEST_F(StartupManagerTest, EveryKindOfEntryComesBackExactly)
{
    const std::wstring literal = Wide(Narrow(kForeignName));
    ASSERT_NE(kForeignName, literal);
    const struct { HKEY root; std::wstring name; DWORD type; std::string bytes; int rows; } values[] = {
        { HKEY_CURRENT_USER, L"Tray", REG_SZ, Utf16(L"C:\\Tools\\Tray.exe /min"), 1 },
        { HKEY_LOCAL_MACHINE, L"Agent", REG_EXPAND_SZ, Utf16(L"%ProgramFiles%\\Agent\\agent.exe"), 1 },
        { HKEY_CURRENT_USER, L"Raw", REG_SZ, Utf16(L"C:\\raw.exe", false), 1 },
        { HKEY_LOCAL_MACHINE, L"Tail", REG_SZ, Utf16(L"C:\\t.exe") + Utf16(L"junk"), 1 },
        { HKEY_LOCAL_MACHINE, L"Pair", REG_MULTI_SZ, List({ L"C:\\a.exe", L"", L"C:\\b.exe" }), 2 },
        { HKEY_CURRENT_USER, L"Three", REG_MULTI_SZ, Utf16(L"x.exe") + Utf16(L"y.exe") + Utf16(L"z.exe"), 3 },
        { HKEY_CURRENT_USER, L"Same", REG_SZ, Utf16(L"C:\\user.exe"), 1 },
        { HKEY_LOCAL_MACHINE, L"Same", REG_SZ, Utf16(L"C:\\machine.exe"), 1 },
        { HKEY_CURRENT_USER, L"Vendor\\Tool", REG_SZ, Utf16(L"C:\\vendor.exe"), 1 },
        { HKEY_CURRENT_USER, kForeignName, REG_SZ, Utf16(L"C:\\cyr.exe"), 1 },
        { HKEY_CURRENT_USER, literal, REG_SZ, Utf16(L"C:\\q.exe"), 1 },
        { HKEY_CURRENT_USER, L"EmptyText", REG_SZ, Utf16(L""), 1 },
        { HKEY_LOCAL_MACHINE, L"Zero", REG_DWORD, std::string(4, '\0'), 1 },
        { HKEY_LOCAL_MACHINE, L"", REG_SZ, Utf16(L""), 1 },
    };
    size_t rows = 0;
    for (const auto& value : values) {
        ASSERT_TRUE(Write(value.root, kRunKey, value.name, value.type, value.bytes));
        rows += static_cast<size_t>(value.rows);
    }
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunOnceKey, "Once", "C:\\once.exe"));
    ASSERT_TRUE(CreateShortcut(world.User(L"Tool.lnk"), L"C:\\windows\\notepad.exe"));
    ASSERT_TRUE(CreateShortcut(world.Common(L"Shared.lnk"), L"C:\\windows\\regedit.exe"));
    ASSERT_TRUE(CreateShortcut(world.User(std::wstring(kForeignName) + L".lnk"), L"C:\\windows\\winver.exe"));
    rows += 3;
    const RegistrySnapshot registryBefore = world.RegistryNow();
    const auto filesBefore = world.FilesNow();

    manager->Refresh();
    ASSERT_EQ(rows, manager->RegItems().size() + manager->FolderItems().size());
    EXPECT_EQ(0, manager->DisableAll().failed);
    manager->Refresh();
    ASSERT_EQ(rows, manager->RegItems().size() + manager->FolderItems().size());
    for (const StartupRegItem& item : manager->RegItems())
        EXPECT_EQ(1, item.disabled) << S(item.name) << " " << S(item.command);
    for (const StartupFolderItem& item : manager->FolderItems())
        EXPECT_EQ(1, item.disabled) << S(item.name);
    // Nothing of them is left to start; what was never listed stays.
    for (const auto& value : values)
        EXPECT_EQ("<missing>", Read(value.root, kRunKey, value.name)) << Narrow(value.name);
    EXPECT_NE("<missing>", Read(HKEY_CURRENT_USER, kRunOnceKey, L"Once"));
    EXPECT_FALSE(FileExistsW(world.User(L"Tool.lnk")));
    EXPECT_TRUE(FileExistsW(world.Backup(L"Tool.lnkStartup")));
    EXPECT_TRUE(FileExistsW(world.Backup(L"Shared.lnkCommon Startup")));
    EXPECT_TRUE(FileExistsW(world.Backup(std::wstring(kForeignName) + L".lnkStartup")));

    EXPECT_EQ(0, manager->EnableAll().failed);
    EXPECT_EQ("", CompareSnapshots(registryBefore, world.RegistryNow()));
    EXPECT_EQ(filesBefore, world.FilesNow());
}

// Rows act on their value through its real name: of two values whose names the list shows alike,
// the one chosen is removed, disabled and enabled, never the other.
TEST_F(StartupManagerTest, NamesOutsideTheCodePageActOnTheirOwnValue)
{
    const std::wstring literal = Wide(Narrow(kForeignName));
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, literal, REG_SZ, Utf16(L"C:\\q.exe")));
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, kForeignName, REG_SZ, Utf16(L"C:\\cyr.exe")));
    manager->Refresh();
    ASSERT_EQ(2u, manager->RegItems().size());
    EXPECT_EQ(manager->RegItems()[0].name, manager->RegItems()[1].name);
    const StartupRegItem* foreign = Reg(kForeignName);
    ASSERT_NE(nullptr, foreign);
    EXPECT_EQ("C:\\cyr.exe", S(foreign->command));

    ASSERT_EQ(STARTUP_DONE, manager->Disable(*foreign));
    EXPECT_EQ("<missing>", Read(HKEY_CURRENT_USER, kRunKey, kForeignName));
    EXPECT_EQ(Utf16(L"C:\\q.exe"), Read(HKEY_CURRENT_USER, kRunKey, literal));
    // The record is named as the value is, so the system configuration tool shows it rightly.
    const std::wstring record = Wide(kRegStoreKey) + L"\\" + kForeignName;
    EXPECT_EQ(Utf16(L"C:\\cyr.exe"), ReadW(HKEY_LOCAL_MACHINE, record, L"command"));
    EXPECT_EQ(Utf16(kForeignName), ReadW(HKEY_LOCAL_MACHINE, record, L"name"));
    manager->Refresh();
    ASSERT_NE(nullptr, Reg(kForeignName, L"", 1));
    EXPECT_EQ(kForeignName, Reg(kForeignName, L"", 1)->storeKey);
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(kForeignName, L"", 1)));
    EXPECT_EQ(Utf16(L"C:\\cyr.exe"), Read(HKEY_CURRENT_USER, kRunKey, kForeignName));

    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Reg(kForeignName)));
    EXPECT_EQ("<missing>", Read(HKEY_CURRENT_USER, kRunKey, kForeignName));
    EXPECT_EQ(Utf16(L"C:\\q.exe"), Read(HKEY_CURRENT_USER, kRunKey, literal));
}

// Strings of one list disabled and enabled one at a time, in every order: the value comes back
// byte for byte, its empty string and its missing terminator included.
TEST_F(StartupManagerTest, StringsOfAListComeBackInTheirPlacesInAnyOrder)
{
    const std::string value = Utf16(L"a.exe") + Utf16(L"") + Utf16(L"b.exe") + Utf16(L"c.exe");
    const struct { std::vector<std::wstring> disable; std::vector<std::wstring> enable; } orders[] = {
        { { L"a.exe", L"b.exe" }, { L"a.exe", L"b.exe" } },
        { { L"a.exe", L"b.exe" }, { L"b.exe", L"a.exe" } },
        { { L"b.exe", L"a.exe" }, { L"a.exe", L"b.exe" } },
        { { L"a.exe", L"b.exe", L"c.exe" }, { L"b.exe", L"c.exe", L"a.exe" } },
        { { L"c.exe", L"a.exe", L"b.exe" }, { L"a.exe", L"c.exe", L"b.exe" } },
    };
    for (const auto& order : orders) {
        ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"List", REG_MULTI_SZ, value));
        for (const std::wstring& text : order.disable) {
            manager->Refresh();
            ASSERT_NE(nullptr, Reg(L"List", text, 0));
            ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"List", text, 0)));
        }
        for (const std::wstring& text : order.enable) {
            manager->Refresh();
            ASSERT_NE(nullptr, Reg(L"List", text, 1));
            ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"List", text, 1)));
        }
        DWORD type = 0;
        EXPECT_EQ(value, Read(HKEY_CURRENT_USER, kRunKey, L"List", &type)) << Narrow(order.enable[0]);
        EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);
        EXPECT_EQ(0, StoreEntries(kRegStoreKey));
    }

    // Strings removed meanwhile, enabled or disabled, leave the others their places.
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"List", REG_MULTI_SZ, List({ L"a.exe", L"b.exe", L"c.exe", L"d.exe" })));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"List", L"b.exe", 0)));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"List", L"c.exe", 0)));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Reg(L"List", L"a.exe", 0)));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Reg(L"List", L"b.exe", 1)));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"List", L"c.exe", 1)));
    EXPECT_EQ(List({ L"c.exe", L"d.exe" }), Read(HKEY_CURRENT_USER, kRunKey, L"List"));
    EXPECT_EQ("<missing>", Read(HKEY_CURRENT_USER, kRunKey, L"List (2)"));
    EXPECT_EQ(0, StoreEntries(kRegStoreKey));
}

TEST_F(StartupManagerTest, DisablingOneStringOfAListKeepsTheOthers)
{
    const std::string pair = List({ L"C:\\a.exe", L"C:\\b.exe" });
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Pair", REG_MULTI_SZ, pair));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"Pair", L"C:\\b.exe")));
    DWORD type = 0;
    EXPECT_EQ(List({ L"C:\\a.exe" }), Read(HKEY_CURRENT_USER, kRunKey, L"Pair", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);

    manager->Refresh();
    const StartupRegItem* disabled = Reg(L"Pair", L"C:\\b.exe", 1);
    ASSERT_NE(nullptr, disabled);
    // The system configuration tool's own values, as it writes them.
    const std::string entry = std::string(kRegStoreKey) + "\\" + Narrow(disabled->storeKey);
    EXPECT_EQ(Utf16(L"HKCU"), Read(HKEY_LOCAL_MACHINE, entry.c_str(), L"hkey"));
    EXPECT_EQ(Utf16(L"C:\\b.exe"), Read(HKEY_LOCAL_MACHINE, entry.c_str(), L"command"));
    EXPECT_EQ(Utf16(L"b"), Read(HKEY_LOCAL_MACHINE, entry.c_str(), L"item"));
    EXPECT_EQ(Utf16(L"0"), Read(HKEY_LOCAL_MACHINE, entry.c_str(), L"inimapping"));
    EXPECT_EQ(Utf16(Wide(kRunKey)), Read(HKEY_LOCAL_MACHINE, entry.c_str(), L"key"));

    ASSERT_EQ(STARTUP_DONE, manager->Enable(*disabled));
    EXPECT_EQ(pair, Read(HKEY_CURRENT_USER, kRunKey, L"Pair"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entry.c_str()));

    // Removing one string keeps the other too.
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Reg(L"Pair", L"C:\\a.exe")));
    EXPECT_EQ(List({ L"C:\\b.exe" }), Read(HKEY_CURRENT_USER, kRunKey, L"Pair"));
}

// An entry disabled earlier whose value was written again meanwhile comes back beside it, under
// a name of its own; a value already back as it was gets no twin.
TEST_F(StartupManagerTest, EnablingNeverWritesOverAValue)
{
    const std::wstring oldTool = L"C:\\old\\tool.exe";
    const std::wstring newTool = L"C:\\new\\tool.exe";
    const struct {
        const char* what;
        DWORD type;
        std::string before;
        DWORD writtenType;
        std::string written;
    } rows[] = {
        { "a text value", REG_SZ, Utf16(oldTool), REG_SZ, Utf16(newTool) },
        { "a list", REG_MULTI_SZ, List({ oldTool }), REG_MULTI_SZ, List({ newTool }) },
        { "a list become text", REG_MULTI_SZ, List({ oldTool }), REG_SZ, Utf16(newTool) },
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Tool", row.type, row.before));
        manager->Refresh();
        ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"Tool"))) << row.what;
        ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Tool", row.writtenType, row.written));
        ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Tool (2)", REG_SZ, Utf16(L"C:\\other.exe")));
        manager->Refresh();
        ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"Tool", L"", 1))) << row.what;
        EXPECT_EQ(row.written, Read(HKEY_CURRENT_USER, kRunKey, L"Tool")) << row.what;
        EXPECT_EQ(Utf16(L"C:\\other.exe"), Read(HKEY_CURRENT_USER, kRunKey, L"Tool (2)")) << row.what;
        EXPECT_EQ(row.before, Read(HKEY_CURRENT_USER, kRunKey, L"Tool (3)")) << row.what;
        EXPECT_EQ(0, StoreEntries(kRegStoreKey)) << row.what;
        for (const wchar_t* name : { L"Tool", L"Tool (2)", L"Tool (3)" })
            DeleteValue(HKEY_CURRENT_USER, kRunKey, name);
    }

    // The same value written again: it is back already.
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", REG_SZ, Utf16(L"C:\\agent.exe")));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Reg(L"Agent")));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, kRunKey, L"Agent", REG_SZ, Utf16(L"C:\\agent.exe")));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"Agent", L"", 1)));
    EXPECT_EQ("<missing>", Read(HKEY_LOCAL_MACHINE, kRunKey, L"Agent (2)"));
    EXPECT_EQ(0, StoreEntries(kRegStoreKey));
}

TEST_F(StartupManagerTest, EntriesOfTheConfigurationToolAreListedAndEnabled)
{
    const std::string entry = std::string(kRegStoreKey) + "\\Updater";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "item", "Updater"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "command", "C:\\upd\\upd.exe -s"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "key", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "hkey", "HKLM"));
    // Longer than any fixed buffer would hold: read whole, never past its end.
    const std::wstring longCommand = L"C:\\" + std::wstring(600, L'x') + L".exe";
    const std::string longEntry = std::string(kRegStoreKey) + "\\Long";
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, longEntry.c_str(), L"command", REG_SZ, Utf16(longCommand)));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, longEntry.c_str(), L"hkey", REG_SZ, Utf16(L"HKCU", false)));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, (std::string(kRegStoreKey) + "\\NoCommand").c_str()));

    manager->Refresh();
    ASSERT_EQ(2u, manager->RegItems().size());
    const StartupRegItem* updater = Reg(L"Updater");
    ASSERT_NE(nullptr, updater);
    EXPECT_EQ(1, updater->disabled);
    EXPECT_EQ(1, updater->localMachine);
    ASSERT_NE(nullptr, Reg(L"Long"));
    EXPECT_EQ(longCommand, Reg(L"Long")->text);
    EXPECT_EQ(0, Reg(L"Long")->localMachine);

    ASSERT_EQ(STARTUP_DONE, manager->Enable(*updater));
    EXPECT_EQ(Utf16(L"C:\\upd\\upd.exe -s"), Read(HKEY_LOCAL_MACHINE, kRunKey, L"Updater"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entry.c_str()));
}

// Our own values in a record are data too: a type no Run value has is not written back; the
// command comes back as plain text, as the system configuration tool's entries do.
TEST_F(StartupManagerTest, ARecordOfAnUnknownTypeComesBackAsText)
{
    const std::string entry = std::string(kRegStoreKey) + "\\Odd";
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"command", REG_SZ, Utf16(L"C:\\odd.exe")));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"hkey", REG_SZ, Utf16(L"HKCU")));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, entry.c_str(), "type", 0xFFFFFFFF));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"value", REG_BINARY, "\x01\x02\x03"));
    // A Run value of that type is left where it is.
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Link", REG_LINK, Utf16(L"C:\\link.exe")));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"Odd")));
    DWORD type = 0;
    EXPECT_EQ(Utf16(L"C:\\odd.exe"), Read(HKEY_CURRENT_USER, kRunKey, L"Odd", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(STARTUP_UNKNOWN_TYPE, manager->Disable(*Reg(L"Link")));
    EXPECT_NE("<missing>", Read(HKEY_CURRENT_USER, kRunKey, L"Link"));
    EXPECT_EQ(0, StoreEntries(kRegStoreKey));
}

TEST_F(StartupManagerTest, ARecordOfAnEarlierVersionComesBackWithItsTypeAndBytes)
{
    // Disabled by an earlier version of the program, which kept the value's bytes as "data".
    const std::string entry = std::string(kRegStoreKey) + "\\Expanding";
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"command", REG_SZ, Utf16(L"C:\\windows\\tool.exe")));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"hkey", REG_SZ, Utf16(L"HKCU")));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"name", REG_SZ, Utf16(L"Expanding")));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, entry.c_str(), "type", REG_EXPAND_SZ));
    ASSERT_TRUE(Write(HKEY_LOCAL_MACHINE, entry.c_str(), L"data", REG_BINARY, Utf16(L"%SystemRoot%\\tool.exe")));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Reg(L"Expanding")));
    DWORD type = 0;
    EXPECT_EQ(Utf16(L"%SystemRoot%\\tool.exe"), Read(HKEY_CURRENT_USER, kRunKey, L"Expanding", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(0, StoreEntries(kRegStoreKey));
}

TEST_F(StartupManagerTest, AShortcutIsMovedNeverLost)
{
    const std::wstring tool = world.User(L"Tool.lnk");
    const std::wstring backup = world.Backup(L"Tool.lnkStartup");
    const std::string original = DisabledShortcut(L"C:\\windows\\notepad.exe");

    // The Startup folder went meanwhile: it is made again, and the file moves back into it.
    ASSERT_TRUE(::RemoveDirectoryW(world.Folders().user.c_str()));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Enable(*Folder(L"Tool")));
    EXPECT_EQ(original, ReadWholeFileW(tool));
    EXPECT_FALSE(FileExistsW(backup));

    // A file of the same name in the way: nothing is overwritten or deleted, the entry stays disabled.
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Folder(L"Tool")));
    ASSERT_TRUE(CreateShortcut(tool, L"C:\\windows\\regedit.exe"));
    const std::string newcomer = ReadWholeFileW(tool);
    manager->Refresh();
    EXPECT_EQ(STARTUP_MOVE_FAILED, manager->Enable(*Folder(L"Tool", 1)));
    EXPECT_EQ(original, ReadWholeFileW(backup));
    EXPECT_EQ(newcomer, ReadWholeFileW(tool));
    manager->Refresh();
    EXPECT_EQ(2u, manager->FolderItems().size());
}

// A shortcut of a name whose disabled copy is already kept (by its record, or by a file left in
// "pss") is not disabled: the earlier record keeps its target, its file stays, and Remove on it
// deletes only what it always named.
TEST_F(StartupManagerTest, AShortcutDisabledTwiceKeepsTheFirstRecord)
{
    const std::wstring tool = world.User(L"Tool.lnk");
    const std::wstring backup = world.Backup(L"Tool.lnkStartup");
    const std::string first = DisabledShortcut(L"C:\\old\\tool.exe");
    ASSERT_TRUE(CreateShortcut(tool, L"C:\\new\\tool.exe"));
    const std::string second = ReadWholeFileW(tool);
    const RegistrySnapshot registryBefore = world.RegistryNow();

    manager->Refresh();
    EXPECT_EQ(STARTUP_COPY_KEPT, manager->Disable(*Folder(L"Tool", 0)));
    EXPECT_EQ("", CompareSnapshots(registryBefore, world.RegistryNow()));
    EXPECT_EQ(second, ReadWholeFileW(tool));
    EXPECT_EQ(first, ReadWholeFileW(backup));
    manager->Refresh();
    ASSERT_NE(nullptr, Folder(L"Tool", 1));
    EXPECT_EQ("C:\\old\\tool.exe", S(Folder(L"Tool", 1)->command));
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Folder(L"Tool", 1)));
    EXPECT_FALSE(FileExistsW(backup));
    EXPECT_EQ(second, ReadWholeFileW(tool));

    // A copy in "pss" that no record names is no less kept.
    ASSERT_TRUE(CreateShortcut(backup, L"C:\\stray\\tool.exe"));
    const std::string stray = ReadWholeFileW(backup);
    manager->Refresh();
    EXPECT_EQ(STARTUP_COPY_KEPT, manager->Disable(*Folder(L"Tool", 0)));
    EXPECT_EQ(stray, ReadWholeFileW(backup));
    EXPECT_EQ(second, ReadWholeFileW(tool));
    EXPECT_EQ(0, StoreEntries(kFolderStoreKey));
}

// Records whose paths lead out of "pss" or the Startup folders move and delete nothing there:
// Enable refuses and keeps the record, Remove deletes the record only.
TEST_F(StartupManagerTest, RecordsMoveAndDeleteFilesOnlyInTheirFolders)
{
    const std::wstring pss = world.Folders().backup;
    const std::wstring victim = world.Outside(L"victim.txt");
    ASSERT_TRUE(::CreateDirectoryW(pss.c_str(), nullptr));
    ::CloseHandle(::CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(FileExistsW(victim));
    // The first three name the victim as their kept copy; the last two keep theirs in "pss" but
    // would have it moved out of the Startup folders.
    WriteFolderRecord(L"A", world.User(L"a.lnk"), pss + L"..\\victim.txt");
    WriteFolderRecord(L"B", world.User(L"b.lnk"), victim);
    WriteFolderRecord(L"C", world.User(L"c.lnk"), pss + L"sub\\..\\..\\victim.txt");
    WriteFolderRecord(L"D", world.User(L"..\\moved.lnk"), pss + L"d.lnkStartup");
    WriteFolderRecord(L"E", world.Outside(L"e.lnk"), pss + L"e.lnkStartup");
    ASSERT_TRUE(CreateShortcut(pss + L"d.lnkStartup", L"C:\\kept\\d.exe"));
    ASSERT_TRUE(CreateShortcut(pss + L"e.lnkStartup", L"C:\\kept\\e.exe"));
    const auto filesBefore = world.FilesNow();
    const RegistrySnapshot registryBefore = world.RegistryNow();

    manager->Refresh();
    ASSERT_EQ(5u, manager->FolderItems().size());
    for (const StartupFolderItem& item : manager->FolderItems())
        EXPECT_EQ(STARTUP_OUTSIDE_FOLDERS, manager->Enable(item)) << Narrow(item.storeKey);
    EXPECT_EQ(5, manager->EnableAll().failed);
    EXPECT_EQ(filesBefore, world.FilesNow());
    EXPECT_EQ("", CompareSnapshots(registryBefore, world.RegistryNow()));

    manager->Refresh();
    for (const StartupFolderItem& item : std::vector<StartupFolderItem>(manager->FolderItems()))
        EXPECT_EQ(STARTUP_DONE, manager->Remove(item)) << Narrow(item.storeKey);
    EXPECT_EQ(0, StoreEntries(kFolderStoreKey));
    EXPECT_TRUE(FileExistsW(victim));
    // The kept copies of D and E lie in "pss" by plain names: they went with their records.
    EXPECT_FALSE(FileExistsW(pss + L"d.lnkStartup"));
    EXPECT_FALSE(FileExistsW(pss + L"e.lnkStartup"));
}

TEST(StartupPaths, OnlyPlainNamesDirectlyInTheFolders)
{
    const std::vector<std::wstring> folders = { L"C:\\windows\\pss\\", L"C:\\Startup" };
    const struct { const wchar_t* path; const wchar_t* file; } rows[] = {
        { L"C:\\windows\\pss\\Tool.lnkStartup", L"C:\\windows\\pss\\Tool.lnkStartup" },
        { L"c:\\WINDOWS\\PSS\\Tool.lnk", L"C:\\windows\\pss\\Tool.lnk" },  // the registry's letter case is not ours
        { L"C:\\Startup\\\x041F.lnk", L"C:\\Startup\\\x041F.lnk" },
        { L"C:\\windows\\pss\\..\\..\\victim.txt", nullptr },
        { L"C:\\windows\\pss\\..\\pss\\Tool.lnk", nullptr },
        { L"C:\\windows\\pss\\sub\\Tool.lnk", nullptr },
        { L"C:\\windows\\pss\\..", nullptr },
        { L"C:\\windows\\pss\\...", nullptr },
        { L"C:\\windows\\pss\\Tool.lnk ", nullptr },
        { L"C:\\windows\\pss/../victim.txt", nullptr },
        { L"C:\\windows\\pss\\Tool.lnk:stream", nullptr },
        { L"C:\\windows\\pss\\*.lnk", nullptr },
        { L"C:\\windows\\pss\\NUL", nullptr },
        { L"C:\\windows\\pss\\com1.txt", nullptr },
        { L"C:\\windows\\pss\\", nullptr },
        { L"C:\\windows\\Tool.lnk", nullptr },
        { L"Tool.lnk", nullptr },
        { L"", nullptr },
    };
    for (const auto& row : rows) {
        std::wstring file;
        EXPECT_EQ(row.file != nullptr, CStartupManager::PlainFileIn(row.path, folders, &file)) << Narrow(row.path);
        if (row.file) {
            EXPECT_EQ(std::wstring(row.file), file) << Narrow(row.path);
        }
    }
}

TEST_F(StartupManagerTest, RemovingAReadOnlyShortcutAndDisabledOnes)
{
    ASSERT_TRUE(CreateShortcut(world.User(L"Tool.lnk"), L"C:\\windows\\notepad.exe"));
    ::SetFileAttributesW(world.User(L"Tool.lnk").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateShortcut(world.Common(L"Other.lnk"), L"C:\\windows\\regedit.exe"));
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Folder(L"Tool")));
    EXPECT_FALSE(FileExistsW(world.User(L"Tool.lnk")));

    // Another record names the kept file too: it stays for that one.
    ASSERT_EQ(STARTUP_DONE, manager->Disable(*Folder(L"Other")));
    const std::wstring kept = world.Backup(L"Other.lnkCommon Startup");
    WriteFolderRecord(L"Twin", world.Common(L"Other.lnk"), kept);
    manager->Refresh();
    ASSERT_EQ(STARTUP_DONE, manager->Remove(*Folder(L"Victim")));
    EXPECT_TRUE(FileExistsW(kept));
    manager->Refresh();
    ASSERT_EQ(1u, manager->FolderItems().size());
    ASSERT_EQ(STARTUP_DONE, manager->Remove(manager->FolderItems()[0]));
    EXPECT_FALSE(FileExistsW(kept));
    manager->Refresh();
    EXPECT_TRUE(manager->FolderItems().empty());
}

// Every string of one long list at once: one write of the value each way, and the value back
// byte for byte.
TEST_F(StartupManagerTest, EveryStringOfALongListAtOnce)
{
    std::vector<std::wstring> strings;
    for (int i = 0; i < 500; ++i)
        strings.push_back(L"C:\\tools\\t" + std::to_wstring(i) + L".exe");
    const std::string value = List(strings);
    ASSERT_TRUE(Write(HKEY_CURRENT_USER, kRunKey, L"Many", REG_MULTI_SZ, value));
    manager->Refresh();
    ASSERT_EQ(500u, manager->RegItems().size());
    EXPECT_EQ(0, manager->DisableAll().failed);
    EXPECT_EQ("<missing>", Read(HKEY_CURRENT_USER, kRunKey, L"Many"));
    EXPECT_EQ(500, StoreEntries(kRegStoreKey));
    manager->Refresh();
    EXPECT_EQ(0, manager->EnableAll().failed);
    EXPECT_EQ(value, Read(HKEY_CURRENT_USER, kRunKey, L"Many"));
    EXPECT_EQ(0, StoreEntries(kRegStoreKey));
}

TEST(RegistryValues, MultiStringsSplitAndJoinByteForByte)
{
    const struct { std::string bytes; std::vector<std::wstring> strings; bool joinsBack; } rows[] = {
        { List({ L"a", L"b" }), { L"a", L"b" }, true },
        { List({ L"a", L"", L"b" }), { L"a", L"", L"b" }, true },  // an empty string keeps its place
        { Utf16(L"a") + Utf16(L"b"), { L"a", L"b" }, false },       // written without its terminator
        { Utf16(L"a", false), { L"a" }, false },
        { Utf16(L"a") + std::string(3, '\0'), { L"a" }, false },    // an odd byte belongs to no string
        { Utf16(L""), {}, true },
        { List({ L"" }), { L"" }, true },
        { std::string(), {}, false },
    };
    for (const auto& row : rows) {
        const std::vector<BYTE> data(row.bytes.begin(), row.bytes.end());
        EXPECT_EQ(row.strings, SplitMultiString(data)) << row.bytes.size();
        EXPECT_EQ(row.joinsBack, JoinMultiString(row.strings) == data) << row.bytes.size();
    }
    // Text ends at its first NUL, or at the end of data that has none.
    const struct { std::string bytes; std::wstring text; } texts[] = {
        { Utf16(L"C:\\t.exe") + Utf16(L"junk"), L"C:\\t.exe" }, { Utf16(L"C:\\raw.exe", false), L"C:\\raw.exe" },
        { std::string(), L"" } };
    for (const auto& row : texts)
        EXPECT_EQ(row.text, RegValueText(std::vector<BYTE>(row.bytes.begin(), row.bytes.end())));
}
