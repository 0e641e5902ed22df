// The startup manager over a sandboxed registry and temporary Startup folders: what it lists,
// and every kind of entry disabled and enabled again with the registry and the folders exactly
// as before; the ways the system configuration tool's records are read and written.
#include <gtest/gtest.h>

#include <string>

#include "StartupFixture.h"

namespace {

std::string S(const CString& text)
{
    return std::string(text.GetString());
}

std::string Bytes(const char* text, size_t size)
{
    return std::string(text, size);
}

bool WriteRaw(HKEY root, const char* key, const char* name, DWORD type, const std::string& bytes)
{
    return WriteRegBinary(root, key, name, bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

// The exact value, or "<missing>".
std::string ReadRaw(HKEY root, const char* key, const char* name, DWORD* type = nullptr)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<missing>";
    DWORD size = 0;
    DWORD kind = 0;
    std::string data;
    if (::RegQueryValueExA(handle, name, nullptr, &kind, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        ::RegQueryValueExA(handle, name, nullptr, &kind, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size);
    } else {
        data = "<missing>";
    }
    ::RegCloseKey(handle);
    if (type)
        *type = kind;
    return data;
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

    const StartupRegItem* FindReg(const char* name, const char* command = nullptr)
    {
        for (const StartupRegItem& item : manager->RegItems()) {
            if (item.name == name && (!command || item.command == command))
                return &item;
        }
        return nullptr;
    }
    const StartupFolderItem* FindFolder(const char* name)
    {
        for (const StartupFolderItem& item : manager->FolderItems()) {
            if (item.name == name)
                return &item;
        }
        return nullptr;
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
    ASSERT_TRUE(WriteRaw(HKEY_LOCAL_MACHINE, kRunKey, "Pair", REG_MULTI_SZ, Bytes("C:\\a.exe\0\0C:\\b.exe\0\0", 20)));
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRunKey, "Empty", REG_SZ, ""));
    // Text without its terminating NUL is read as far as it goes, no further.
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRunKey, "Unterminated", REG_SZ, "C:\\u.exe"));
    const std::string longName(300, 'N');
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, longName.c_str(), "C:\\long.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "ZLast", "C:\\last.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunOnceKey, "Once", "C:\\once.exe"));
    const std::string tool = world.Folders().user.GetString() + std::string("\\Tool.lnk");
    ASSERT_TRUE(CreateShortcut(tool, "C:\\windows\\notepad.exe"));
    const std::string script = world.Folders().common.GetString() + std::string("\\run.bat");
    ASSERT_TRUE(::CopyFileA(tool.c_str(), script.c_str(), FALSE));
    const std::string hidden = world.Folders().user.GetString() + std::string("\\desktop.ini");
    ASSERT_TRUE(::CopyFileA(tool.c_str(), hidden.c_str(), FALSE));
    ::SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);

    manager->Refresh();
    ASSERT_EQ(7u, manager->RegItems().size());
    ASSERT_NE(nullptr, FindReg("Tray"));
    EXPECT_EQ(0, FindReg("Tray")->localMachine);
    ASSERT_NE(nullptr, FindReg("Agent"));
    EXPECT_EQ(1, FindReg("Agent")->localMachine);
    EXPECT_EQ("%ProgramFiles%\\Agent\\agent.exe", S(FindReg("Agent")->command));
    // Two strings, two rows of one name; the empty string between them is no row.
    ASSERT_NE(nullptr, FindReg("Pair", "C:\\a.exe"));
    ASSERT_NE(nullptr, FindReg("Pair", "C:\\b.exe"));
    EXPECT_EQ(2, FindReg("Pair", "C:\\b.exe")->stringIndex);
    EXPECT_EQ("C:\\u.exe", S(FindReg("Unterminated")->command));
    EXPECT_NE(nullptr, FindReg(longName.c_str()));
    EXPECT_NE(nullptr, FindReg("ZLast"));
    EXPECT_EQ(nullptr, FindReg("Empty"));
    EXPECT_EQ(nullptr, FindReg("Once"));

    ASSERT_EQ(2u, manager->FolderItems().size());
    const StartupFolderItem* shortcut = FindFolder("Tool");
    ASSERT_NE(nullptr, shortcut);
    EXPECT_EQ("C:\\windows\\notepad.exe", S(shortcut->command));
    EXPECT_EQ("Startup", S(shortcut->location));
    EXPECT_EQ(world.Folders().backup.GetString() + std::string("Tool.lnkStartup"), S(shortcut->backupPath));
    std::string storeKey = tool;
    for (char& ch : storeKey)
        ch = ch == '\\' ? '^' : ch;
    EXPECT_EQ(storeKey, S(shortcut->storeKey));
    const StartupFolderItem* batch = FindFolder("run");
    ASSERT_NE(nullptr, batch);
    EXPECT_EQ(1, batch->common);
    EXPECT_EQ(script, S(batch->command));
}

TEST_F(StartupManagerTest, EveryKindOfEntryComesBackExactly)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Tray", "C:\\Tools\\Tray.exe /min"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "Agent", "%ProgramFiles%\\Agent\\agent.exe", REG_EXPAND_SZ));
    // Odd bytes: no terminating NUL, and bytes after the NUL.
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRunKey, "Raw", REG_SZ, "C:\\raw.exe"));
    ASSERT_TRUE(WriteRaw(HKEY_LOCAL_MACHINE, kRunKey, "Tail", REG_SZ, Bytes("C:\\t.exe\0junk", 13)));
    ASSERT_TRUE(WriteRaw(HKEY_LOCAL_MACHINE, kRunKey, "Pair", REG_MULTI_SZ, Bytes("C:\\a.exe\0\0C:\\b.exe\0\0", 20)));
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRunKey, "Three", REG_MULTI_SZ, Bytes("x.exe\0y.exe\0z.exe\0", 18)));
    // The same name in both roots, and a name with backslashes.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Same", "C:\\user.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "Same", "C:\\machine.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Vendor\\Tool", "C:\\vendor.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunOnceKey, "Once", "C:\\once.exe"));
    ASSERT_TRUE(CreateShortcut(world.Folders().user.GetString() + std::string("\\Tool.lnk"), "C:\\windows\\notepad.exe"));
    ASSERT_TRUE(CreateShortcut(world.Folders().common.GetString() + std::string("\\Shared.lnk"), "C:\\windows\\regedit.exe"));
    const RegistrySnapshot registryBefore = world.RegistryNow();
    const auto filesBefore = world.FilesNow();

    manager->Refresh();
    const size_t rows = manager->RegItems().size() + manager->FolderItems().size();
    ASSERT_EQ(14u, rows);
    manager->DisableAll();
    manager->Refresh();
    ASSERT_EQ(14u, manager->RegItems().size() + manager->FolderItems().size());
    for (const StartupRegItem& item : manager->RegItems())
        EXPECT_EQ(1, item.disabled) << S(item.name) << " " << S(item.command);
    for (const StartupFolderItem& item : manager->FolderItems())
        EXPECT_EQ(1, item.disabled) << S(item.name);
    // Nothing of them is left to start; what was never listed stays.
    EXPECT_EQ("<missing>", ReadRaw(HKEY_CURRENT_USER, kRunKey, "Three"));
    EXPECT_EQ("<missing>", ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, "Pair"));
    EXPECT_EQ("C:\\once.exe", ReadRaw(HKEY_CURRENT_USER, kRunOnceKey, "Once").c_str() + std::string());
    EXPECT_FALSE(FileExists(world.Folders().user.GetString() + std::string("\\Tool.lnk")));
    EXPECT_TRUE(FileExists(world.Folders().backup.GetString() + std::string("Tool.lnkStartup")));
    EXPECT_TRUE(FileExists(world.Folders().backup.GetString() + std::string("Shared.lnkCommon Startup")));
    // Both "Same" entries have records of their own, and the backslash made no nested key.
    int same = 0;
    for (const StartupRegItem& item : manager->RegItems()) {
        if (item.name == "Same")
            ++same;
    }
    EXPECT_EQ(2, same);
    EXPECT_NE(nullptr, FindReg("Vendor\\Tool"));

    manager->EnableAll();
    EXPECT_EQ("", CompareSnapshots(registryBefore, world.RegistryNow()));
    EXPECT_EQ(filesBefore, world.FilesNow());
}

TEST_F(StartupManagerTest, DisablingOneStringOfAListKeepsTheOthers)
{
    const std::string pair = Bytes("C:\\a.exe\0C:\\b.exe\0\0", 19);
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRunKey, "Pair", REG_MULTI_SZ, pair));
    manager->Refresh();
    ASSERT_NE(nullptr, FindReg("Pair", "C:\\b.exe"));
    ASSERT_TRUE(manager->Disable(*FindReg("Pair", "C:\\b.exe")));
    DWORD type = 0;
    EXPECT_EQ(Bytes("C:\\a.exe\0\0", 10), ReadRaw(HKEY_CURRENT_USER, kRunKey, "Pair", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), type);

    manager->Refresh();
    const StartupRegItem* disabled = nullptr;
    for (const StartupRegItem& item : manager->RegItems()) {
        if (item.disabled)
            disabled = &item;
    }
    ASSERT_NE(nullptr, disabled);
    EXPECT_EQ("C:\\b.exe", S(disabled->command));
    // The system configuration tool's own values, as it writes them.
    const std::string entry = std::string(kRegStoreKey) + "\\" + S(disabled->storeKey);
    EXPECT_EQ(Bytes("HKCU", 5), ReadRaw(HKEY_LOCAL_MACHINE, entry.c_str(), "hkey"));
    EXPECT_EQ(Bytes("C:\\b.exe", 9), ReadRaw(HKEY_LOCAL_MACHINE, entry.c_str(), "command"));
    EXPECT_EQ(Bytes("0", 2), ReadRaw(HKEY_LOCAL_MACHINE, entry.c_str(), "inimapping"));
    EXPECT_EQ(std::string(kRunKey) + '\0', ReadRaw(HKEY_LOCAL_MACHINE, entry.c_str(), "key"));

    ASSERT_TRUE(manager->Enable(*disabled));
    EXPECT_EQ(pair, ReadRaw(HKEY_CURRENT_USER, kRunKey, "Pair"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entry.c_str()));

    // Removing one string keeps the other too.
    manager->Refresh();
    ASSERT_TRUE(manager->Remove(*FindReg("Pair", "C:\\a.exe")));
    EXPECT_EQ(Bytes("C:\\b.exe\0\0", 10), ReadRaw(HKEY_CURRENT_USER, kRunKey, "Pair"));
}

TEST_F(StartupManagerTest, EntriesOfTheConfigurationToolAreListedAndEnabled)
{
    const std::string entry = std::string(kRegStoreKey) + "\\Updater";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "item", "Updater"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "command", "C:\\upd\\upd.exe -s"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "key", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, entry.c_str(), "hkey", "HKLM"));
    // Longer than any fixed buffer would hold: read whole, never past its end.
    const std::string longCommand = "C:\\" + std::string(600, 'x') + ".exe";
    const std::string longEntry = std::string(kRegStoreKey) + "\\Long";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, longEntry.c_str(), "command", longCommand.c_str()));
    ASSERT_TRUE(WriteRaw(HKEY_LOCAL_MACHINE, longEntry.c_str(), "hkey", REG_SZ, "HKCU"));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, (std::string(kRegStoreKey) + "\\NoCommand").c_str()));

    manager->Refresh();
    ASSERT_EQ(2u, manager->RegItems().size());
    const StartupRegItem* updater = FindReg("Updater");
    ASSERT_NE(nullptr, updater);
    EXPECT_EQ(1, updater->disabled);
    EXPECT_EQ(1, updater->localMachine);
    ASSERT_NE(nullptr, FindReg("Long"));
    EXPECT_EQ(longCommand, S(FindReg("Long")->command));
    EXPECT_EQ(0, FindReg("Long")->localMachine);

    ASSERT_TRUE(manager->Enable(*updater));
    EXPECT_EQ("C:\\upd\\upd.exe -s" + std::string(1, '\0'), ReadRaw(HKEY_LOCAL_MACHINE, kRunKey, "Updater"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, entry.c_str()));
}

TEST_F(StartupManagerTest, AShortcutIsMovedNeverLost)
{
    const std::string tool = world.Folders().user.GetString() + std::string("\\Tool.lnk");
    ASSERT_TRUE(CreateShortcut(tool, "C:\\windows\\notepad.exe"));
    const std::string original = ReadWholeFile(tool);
    manager->Refresh();
    ASSERT_TRUE(manager->Disable(*FindFolder("Tool")));
    const std::string backup = world.Folders().backup.GetString() + std::string("Tool.lnkStartup");
    EXPECT_EQ(original, ReadWholeFile(backup));

    // The Startup folder went meanwhile: it is made again, and the file moves back into it.
    ASSERT_TRUE(::RemoveDirectoryA(world.Folders().user));
    manager->Refresh();
    ASSERT_TRUE(manager->Enable(*FindFolder("Tool")));
    EXPECT_EQ(original, ReadWholeFile(tool));
    EXPECT_FALSE(FileExists(backup));

    // A file of the same name in the way: nothing is overwritten or deleted, the entry stays disabled.
    manager->Refresh();
    ASSERT_TRUE(manager->Disable(*FindFolder("Tool")));
    ASSERT_TRUE(CreateShortcut(tool, "C:\\windows\\regedit.exe"));
    const std::string newcomer = ReadWholeFile(tool);
    manager->Refresh();
    const StartupFolderItem* disabled = nullptr;
    for (const StartupFolderItem& item : manager->FolderItems()) {
        if (item.disabled)
            disabled = &item;
    }
    ASSERT_NE(nullptr, disabled);
    EXPECT_FALSE(manager->Enable(*disabled));
    EXPECT_EQ(original, ReadWholeFile(backup));
    EXPECT_EQ(newcomer, ReadWholeFile(tool));
    manager->Refresh();
    EXPECT_EQ(2u, manager->FolderItems().size());
}

TEST_F(StartupManagerTest, RemovingAReadOnlyShortcutAndADisabledOne)
{
    const std::string tool = world.Folders().user.GetString() + std::string("\\Tool.lnk");
    ASSERT_TRUE(CreateShortcut(tool, "C:\\windows\\notepad.exe"));
    ::SetFileAttributesA(tool.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string other = world.Folders().common.GetString() + std::string("\\Other.lnk");
    ASSERT_TRUE(CreateShortcut(other, "C:\\windows\\regedit.exe"));
    manager->Refresh();
    ASSERT_TRUE(manager->Remove(*FindFolder("Tool")));
    EXPECT_FALSE(FileExists(tool));

    ASSERT_TRUE(manager->Disable(*FindFolder("Other")));
    manager->Refresh();
    ASSERT_EQ(1u, manager->FolderItems().size());
    ASSERT_TRUE(manager->Remove(manager->FolderItems()[0]));
    EXPECT_FALSE(FileExists(world.Folders().backup.GetString() + std::string("Other.lnkCommon Startup")));
    manager->Refresh();
    EXPECT_TRUE(manager->FolderItems().empty());
}
