// The repair job on a sandboxed registry and a throwaway folder, fed by the program's own
// found-item container.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <map>
#include <cstring>
#include <memory>
#include <string>

#include "BackupFixture.h"
#include "EngineProcess.h"
#include "KeyAccess.h"
#include "RecordingStatus.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"
#include "RegistrySnapshot.h"
#include "ScanItemsInfo.h"
#include "TempFolder.h"

namespace {

const char kSep[] = "\xAC";

class CRepairProcess : public CVexaEngineProcess
{
public:
    CRepairProcess() : CVexaEngineProcess(false) {}
    // The thread's result once the job has ended.
    DWORD WaitForResult()
    {
        WaitForThreadExit(30000);
        DWORD code = 0xFFFF;
        ::GetExitCodeThread(GetFinishedHandle(), &code);
        return code;
    }
    using CVexaEngineProcess::GetBackupFolder;
    using CVexaEngineProcess::IsDeletableFilePath;
};

// Every key and value below a key, with type and bytes: what a repair and a restore are
// compared by.
void Snapshot(HKEY parent, const std::string& path, std::map<std::string, std::string>* out)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*out)[path + "\\"] = "key";
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLength = sizeof(name);
        BYTE data[65536];
        DWORD size = sizeof(data), type = 0;
        if (::RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        (*out)[path + kSep + name] = std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof(name);
        if (::RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    ::RegCloseKey(key);
    for (const std::string& child : children)
        Snapshot(parent, path + "\\" + child, out);
}

std::map<std::string, std::string> SnapshotOf(HKEY root, const char* path)
{
    std::map<std::string, std::string> state;
    Snapshot(root, path, &state);
    return state;
}

class RepairTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.IsActive());
        backupFolder = CRepairProcess::GetBackupFolder().Str();
        ::SetFileAttributesA(backupFolder.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(backupFolder.c_str());
        RemoveFolderTree(backupFolder);
        items.reset(new CScanItemsInfo(folder.Path().c_str()));
    }
    void TearDown() override
    {
        ::DeleteFileA(backupFolder.c_str());
        RemoveFolderTree(backupFolder);
    }

    // Runs one repair of the container to its end; the thread's result.
    DWORD Repair()
    {
        CRepairProcess process;
        if (process.StartRepair(items.get(), &status) != 1)
            return 0xDEAD;
        process.Resume();
        EXPECT_TRUE(status.WaitFinished());
        return process.WaitForResult();
    }

    std::vector<std::string> BackupFiles() const
    {
        std::vector<std::string> files;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((backupFolder + "\\*_REGBACKUP.rbk").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return files;
        do
            files.push_back(backupFolder + "\\" + found.cFileName);
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
        return files;
    }

    std::vector<StatusEvent> SizeRows() const
    {
        std::vector<StatusEvent> rows;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            if (event.text == "-1")
                rows.push_back(event);
        return rows;
    }

    CRegistrySandbox sandbox;
    CTempFolder folder;
    std::unique_ptr<CScanItemsInfo> items;
    CRecordingStatus status;
    std::string backupFolder;
};

} // namespace

TEST_F(RepairTest, DeletesExactlyWhatEachCategoryNames)
{
    const char* base = "Software\\Fixture";
    struct Fixture {
        int category;
        std::string item;            // below HKEY_CURRENT_USER\Software\Fixture
        std::vector<std::string> gone;  // snapshot entries that must disappear
    };
    // Each case has a key with a subkey, two values and a sibling key.
    const Fixture fixtures[] = {
        {SCAN_AXO, "K", {"\\K\\"}},
        {SCAN_ERK, "K\\Sub", {"\\K\\Sub\\"}},
        {SCAN_FNT, "K" + std::string(kSep) + "a", {"\\K" + std::string(kSep) + "a"}},
        {SCAN_SHD, "K" + std::string(kSep) + "b", {"\\K" + std::string(kSep) + "b"}},
        {SCAN_SUI, "K" + std::string(kSep) + "a", {"\\K" + std::string(kSep) + "a"}},
        {SCAN_SUI, "K", {"\\K\\"}},
        {SCAN_FPR, "K" + std::string(kSep) + "b", {"\\K" + std::string(kSep) + "b"}},
        // Help-file items of the key form are deleted as keys, so the next scan does not find
        // them again.
        {SCAN_HLP, "K", {"\\K\\"}},
        {SCAN_HLP, "K" + std::string(kSep) + "a", {"\\K" + std::string(kSep) + "a"}},
        {SCAN_SRV, "K\\Sub", {"\\K\\Sub\\"}},
        {SCAN_ITL, "K\\Sub", {"\\K\\Sub\\"}},
        // Items of no category are passed over.
        {0x20, "K", {}},
    };
    for (const Fixture& fixture : fixtures) {
        SCOPED_TRACE(std::to_string(fixture.category) + " " + fixture.item);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, base);
        WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\K", "a", "1");
        WriteRegDword(HKEY_CURRENT_USER, "Software\\Fixture\\K", "b", 2);
        WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\K\\Sub", "c", "3");
        WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Sibling", "a", "4");
        auto expected = SnapshotOf(HKEY_CURRENT_USER, base);
        for (const std::string& gone : fixture.gone)
            ASSERT_EQ(expected.erase(base + gone), 1u) << gone;
        // A deleted key takes its whole subtree with it.
        for (const std::string& gone : fixture.gone) {
            if (gone.back() != '\\')
                continue;
            const std::string key = base + gone.substr(0, gone.size() - 1);
            for (auto it = expected.begin(); it != expected.end();)
                it = it->first.compare(0, key.size() + 1, key + "\\") == 0 ||
                             it->first.compare(0, key.size() + 1, key + kSep) == 0
                         ? expected.erase(it)
                         : std::next(it);
        }

        items->Clear();
        items->AddItem(("HKEY_CURRENT_USER\\Software\\Fixture\\" + fixture.item).c_str(), fixture.category, 0, 0);
        EXPECT_EQ(Repair(), 0u);
        EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, base), expected);
    }
}

TEST_F(RepairTest, ValueNamedDefaultEmptiesTheUnnamedValue)
{
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", "", "target");
    items->AddItem((std::string("HKEY_CURRENT_USER\\Software\\Fixture") + kSep + "(Default)").c_str(), SCAN_FPR, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    const auto state = SnapshotOf(HKEY_CURRENT_USER, "Software\\Fixture");
    EXPECT_EQ(state.at(std::string("Software\\Fixture") + kSep), std::to_string(REG_SZ) + ":" + std::string(1, '\0'));
}

TEST_F(RepairTest, AValueNamedDefaultIsTheOneTheScanJudged)
{
    // The file-reference scan calls the unnamed value "(Default)"; the other scanners report
    // names as the registry holds them, the unnamed value as an empty name.
    const struct {
        int category;
        const char* name;
        bool withUnnamed;
        const char* unnamedAfter;  // null: gone; "" emptied
        bool literalKept;
    } rows[] = {
        {SCAN_FPR, "(Default)", true, "", true},
        {SCAN_FPR, "(default)", true, "", true},
        {SCAN_FPR, "(Default)", false, nullptr, false},
        {SCAN_SUI, "(Default)", true, "C:\\gone.exe", false},
        {SCAN_FNT, "(Default)", true, "C:\\gone.exe", false},
        {SCAN_SUI, "", true, nullptr, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.category) + " '" + row.name + "'");
        ::SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Fixture");
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", "(Default)", "healthy"));
        if (row.withUnnamed) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", nullptr, "C:\\gone.exe"));
        }
        items->Clear();
        items->AddItem(std::string("HKEY_CURRENT_USER\\Software\\Fixture") + kSep + row.name, row.category, 0, 0);
        EXPECT_EQ(Repair(), 0u);

        const auto state = SnapshotOf(HKEY_CURRENT_USER, "Software\\Fixture");
        const auto unnamed = state.find(std::string("Software\\Fixture") + kSep);
        if (row.unnamedAfter) {
            ASSERT_NE(unnamed, state.end());
            EXPECT_EQ(unnamed->second,
                      std::to_string(REG_SZ) + ":" + std::string(row.unnamedAfter, std::strlen(row.unnamedAfter) + 1));
        } else {
            EXPECT_EQ(unnamed, state.end());
        }
        EXPECT_EQ(state.count(std::string("Software\\Fixture") + kSep + "(Default)"), row.literalKept ? 1u : 0u);
    }
}

TEST_F(RepairTest, AnItemWhoseKeyIsNotWhollyInTheBackupIsLeftAndReported)
{
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Class", "a", "1");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Class\\Locked", "v", "x");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Other", "a", "1");
    // It may be deleted, but not read: the backup cannot hold it.
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Fixture\\Class\\Locked", "KR");
    ASSERT_TRUE(locked.IsActive());
    items->AddItem("HKEY_CURRENT_USER\\Software\\Fixture\\Class", SCAN_AXO, 0, 0);
    items->AddItem(std::string("HKEY_CURRENT_USER\\Software\\Fixture\\Class") + kSep + "a", SCAN_FPR, 0, 0);
    items->AddItem("HKEY_CURRENT_USER\\Software\\Fixture\\Other", SCAN_AXO, 0, 0);

    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Fixture\\Class", "a"));
    // Still there, though nobody may open it.
    HKEY lockedKey = nullptr;
    EXPECT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Fixture\\Class\\Locked", 0, KEY_READ, &lockedKey),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Fixture\\Other"));
    std::vector<std::string> notDone;
    for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
        if (event.value == ITEM_NOT_DONE)
            notDone.push_back(event.text + " " + std::to_string(event.number));
    const std::vector<std::string> expected = {
        "HKEY_CURRENT_USER\\Software\\Fixture\\Class " + std::to_string(SCAN_AXO),
        "HKEY_CURRENT_USER\\Software\\Fixture\\Class" + std::string(kSep) + "a " + std::to_string(SCAN_FPR),
    };
    EXPECT_EQ(notDone, expected);
}

TEST_F(RepairTest, TextsThatNameNoKeyDeleteNothing)
{
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", "a", "1");
    WriteRegString(HKEY_CURRENT_USER, "Top", "", "x");
    const auto before = SnapshotOf(HKEY_CURRENT_USER, "");
    const char* texts[] = {"HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER\\\\", "HKEY_CURRENT_USER", "\\Software",
                           "HKEY_NOWHERE\\Software", "Software\\Fixture", ""};
    for (const char* text : texts) {
        items->AddItem(text, SCAN_AXO, 0, 0);
        items->AddItem(text, SCAN_SUI, 0, 0);
        items->AddItem((std::string(text) + kSep + "a").c_str(), SCAN_FNT, 0, 0);
    }
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, ""), before);
}

TEST_F(RepairTest, ExcludedAndIgnoredItemsAreLeftAlone)
{
    const char* keys[] = {"Software\\Fixture\\Unticked", "Software\\Fixture\\Ignored",
                          "Software\\Fixture\\With^Caret;Semicolon", "Software\\Fixture\\Repaired"};
    for (const char* key : keys)
        WriteRegString(HKEY_CURRENT_USER, key, "a", "1");
    for (const char* key : keys)
        items->AddItem(CString("HKEY_CURRENT_USER\\") + key, SCAN_AXO, 0, 0);
    items->SetIgnore("HKEY_CURRENT_USER\\Software\\Fixture\\Unticked^ActiveX Objects", 0, 0);
    items->SetIgnore("HKEY_CURRENT_USER\\Software\\Fixture\\With^Caret;Semicolon^ActiveX Objects", 0, 0);
    items->AddToIgnoreList("HKEY_CURRENT_USER\\Software\\Fixture\\Ignored", "ActiveX Objects", 0x4000, 0);

    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, keys[0]));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, keys[1]));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, keys[2]));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, keys[3]));
    // Every item was stepped over, excluded or not.
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 4);
}

TEST_F(RepairTest, WithoutABackupNothingIsDeleted)
{
    // A file where the backup folder should be: no backup can be written.
    ASSERT_TRUE(FileExists(folder.WriteFile("x", "")));
    ASSERT_TRUE(::CopyFileA(folder.PathOf("x").c_str(), backupFolder.c_str(), FALSE));
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\K", "a", "1");
    const std::string file = folder.WriteFile("dead.lnk", "x");
    items->AddItem("HKEY_CURRENT_USER\\Software\\Fixture\\K", SCAN_AXO, 0, 0);
    items->AddItem(file.c_str(), SCAN_SRC, 0, 0);

    EXPECT_EQ(Repair(), static_cast<DWORD>(-1));
    EXPECT_EQ(status.FinishedResult(), 0);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Fixture\\K"));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 0);
    EXPECT_EQ(status.CountProgress(PROGRESS_END), 1);
}

TEST_F(RepairTest, BackupRestoresEverythingTheRepairDeleted)
{
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Class", "", "Some class");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Class\\InprocServer32", "", "C:\\gone.dll");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Class\\InprocServer32", "ThreadingModel", "Both");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Fonts", "Gone (TrueType)", "gone.ttf");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Fonts", "Kept (TrueType)", "kept.ttf");
    WriteRegDword(HKEY_CURRENT_USER, "Software\\Fixture\\Shared", "C:\\gone.dll", 3);
    WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Fixture\\Run", "Gone", "C:\\gone.exe /x", REG_EXPAND_SZ);
    // Below the class key: every value type and every kind of name a backup must keep.
    ASSERT_TRUE(WriteBackupFixture(HKEY_CURRENT_USER, L"Software\\Fixture\\Class\\Tree"));
    RegistrySnapshot wideBefore;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Fixture", &wideBefore));
    const auto userBefore = SnapshotOf(HKEY_CURRENT_USER, "Software\\Fixture");
    const auto machineBefore = SnapshotOf(HKEY_LOCAL_MACHINE, "Software\\Fixture");

    items->AddItem("HKEY_CURRENT_USER\\Software\\Fixture\\Class", SCAN_AXO, 0, 0);
    items->AddItem(CString("HKEY_CURRENT_USER\\Software\\Fixture\\Fonts") + kSep + "Gone (TrueType)", SCAN_FNT, 0, 0);
    items->AddItem(CString("HKEY_CURRENT_USER\\Software\\Fixture\\Shared") + kSep + "C:\\gone.dll", SCAN_SHD, 0, 0);
    items->AddItem(CString("HKEY_LOCAL_MACHINE\\Software\\Fixture\\Run") + kSep + "Gone", SCAN_SUI, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Fixture\\Class"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Fixture\\Run", "Gone"));

    const auto backups = BackupFiles();
    ASSERT_EQ(backups.size(), 1u);
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(backups[0].c_str()), 1) << manager.GetRestoreResult().Error.Str();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, "Software\\Fixture"), userBefore);
    RegistrySnapshot wideAfter;
    ASSERT_TRUE(TakeSnapshot(HKEY_CURRENT_USER, L"Software\\Fixture", &wideAfter));
    EXPECT_EQ(CompareSnapshots(wideBefore, wideAfter), "");
    EXPECT_EQ(SnapshotOf(HKEY_LOCAL_MACHINE, "Software\\Fixture"), machineBefore);
}

TEST_F(RepairTest, ManyValuesOfOneKeyAreBackedUpOnceAndAllComeBack)
{
    const char* key = "Software\\Fixture\\Many";
    const int values = 300;
    for (int i = 0; i < values; ++i)
        WriteRegString(HKEY_CURRENT_USER, key, ("v" + std::to_string(i)).c_str(),
                       ("C:\\gone" + std::to_string(i) + ".exe").c_str());
    WriteRegString(HKEY_CURRENT_USER, key, "kept", "x");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Many\\Sub", "c", "3");
    const auto before = SnapshotOf(HKEY_CURRENT_USER, key);
    for (int i = 0; i < values; ++i)
        items->AddItem(("HKEY_CURRENT_USER\\" + std::string(key) + kSep + "v" + std::to_string(i)).c_str(), SCAN_FPR,
                       0, 0);

    EXPECT_EQ(Repair(), 0u);
    const auto after = SnapshotOf(HKEY_CURRENT_USER, key);
    EXPECT_EQ(after.size(), 4u);  // the key, "kept", the subkey and its value
    EXPECT_EQ(after.count(std::string(key) + kSep + "kept"), 1u);

    // The key is in the backup once, with every value the repair deleted.
    const auto backups = BackupFiles();
    ASSERT_EQ(backups.size(), 1u);
    const std::string text = ReadWholeFile(backups[0]);
    const std::string chain = "<k name=\"Many\">";
    size_t chains = 0;
    for (size_t at = text.find(chain); at != std::string::npos; at = text.find(chain, at + 1))
        ++chains;
    EXPECT_EQ(chains, 1u);
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(backups[0].c_str()), 1) << manager.GetRestoreResult().Error.Str();
    EXPECT_EQ(SnapshotOf(HKEY_CURRENT_USER, key), before);
}

TEST_F(RepairTest, ARepairThatDeletesNoRegistryEntryWritesNoBackup)
{
    const std::string shortcut = folder.WriteFile("Desktop\\broken.lnk", "x");
    items->AddItem(shortcut.c_str(), SCAN_SRC, 0, 0);
    items->AddItem("HKEY_CURRENT_USER\\Software\\Fixture\\Gone", SCAN_AXO, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_TRUE(BackupFiles().empty());

    // Nor does such a repair need a place for one.
    RemoveFolderTree(backupFolder);
    ASSERT_TRUE(::CopyFileA(folder.WriteFile("x", "").c_str(), backupFolder.c_str(), FALSE));
    const std::string another = folder.WriteFile("Desktop\\another.lnk", "x");
    items->Clear();
    items->AddItem(another.c_str(), SCAN_SRC, 0, 0);
    CRecordingStatus second;
    CRepairProcess process;
    ASSERT_EQ(process.StartRepair(items.get(), &second), 1);
    process.Resume();
    ASSERT_TRUE(second.WaitFinished());
    EXPECT_EQ(process.WaitForResult(), 0u);
    EXPECT_FALSE(FileExists(another));
}

TEST_F(RepairTest, OnlyFullPathsReachFileDeletion)
{
    // Decoys in the current folder, named like what a size text or a bare name would reach.
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.Path().c_str()));
    const std::string decoys[] = {folder.WriteFile("12MB", "x"), folder.WriteFile("-1", "x"),
                                  folder.WriteFile("dead.lnk", "x")};
    const std::string shortcut = folder.WriteFile("Desktop\\broken.lnk", "x");
    const std::string temporary = folder.WriteFile("Temp\\~old.tmp", std::string(2048, 't'));
    items->AddItem("12MB", SCAN_TPF, -1, 0);
    items->AddItem("-1", SCAN_TPF, -1, 0);
    items->AddItem("dead.lnk", SCAN_SRC, 0, 0);
    items->AddItem("12MB", SCAN_SRC, 0, 0);
    items->AddItem(shortcut.c_str(), SCAN_SRC, 0, 0);
    items->AddItem(temporary.c_str(), SCAN_TPF, 0, 0);
    items->AddItem((folder.Path() + "\\Temp\\..\\12MB").c_str(), SCAN_TPF, 0, 0);

    EXPECT_EQ(Repair(), 0u);
    ::SetCurrentDirectoryA(previous);
    for (const std::string& decoy : decoys)
        EXPECT_TRUE(FileExists(decoy)) << decoy;
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_FALSE(FileExists(temporary));
    // The temporary-files row tells what was deleted: the one 2 KB file.
    const auto rows = SizeRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, SCAN_TPF);
    EXPECT_EQ(rows[0].value, 2);
}

TEST_F(RepairTest, FilePathRule)
{
    const struct {
        const char* path;
        bool deletable;
    } cases[] = {
        {"C:\\Temp\\a.tmp", true},  {"c:\\a", true},           {"\\\\server\\share\\a.tmp", true},
        {"12MB", false},           {"-1", false},             {"a.tmp", false},
        {"C:a.tmp", false},        {"C:\\", false},            {"\\Temp\\a.tmp", false},
        {"\\\\server\\share", false}, {"\\\\?\\C:\\a", false}, {"C:\\Temp\\..\\a", false},
        {"C:\\Temp\\*.tmp", false}, {"", false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(CRepairProcess::IsDeletableFilePath(test.path), test.deletable) << test.path;
}

TEST_F(RepairTest, TempFilesRowOnlyWhenSomethingWasDeleted)
{
    items->AddItem(folder.PathOf("missing.tmp").c_str(), SCAN_TPF, 0, 0);
    items->AddItem("3KB", SCAN_TPF, -1, 0);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(SizeRows().empty());
}

TEST_F(RepairTest, SkippedJunkKindsAreLeftAlone)
{
    const std::string temporary = folder.WriteFile("~kept.tmp", "x");
    items->AddItem(temporary.c_str(), SCAN_TPF, 0, 0);
    items->AddItem("1KB", SCAN_RCB, -1, 0);
    items->SetIgnore("", SCAN_TPF, -1);
    items->SetIgnore("", SCAN_RCB, -1);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(FileExists(temporary));
    EXPECT_TRUE(SizeRows().empty());
}

TEST_F(RepairTest, RecycleBinIsEmptiedOnceAndItsRowReported)
{
    const std::string binned = folder.WriteFile("binned.txt", std::string(4096, 'b'));
    std::string from = binned + std::string(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(::SHFileOperationA(&operation), 0);
    SHQUERYRBINFO contents = {};
    contents.cbSize = sizeof(contents);
    if (FAILED(::SHQueryRecycleBinA(nullptr, &contents)) || contents.i64NumItems == 0)
        GTEST_SKIP() << "this system's Recycle Bin did not take the file";

    items->AddItem("4KB", SCAN_RCB, -1, 0);
    items->AddItem("4KB", SCAN_RCB, -1, 0);
    EXPECT_EQ(Repair(), 0u);
    const auto rows = SizeRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, SCAN_RCB);
    EXPECT_GE(rows[0].value, 4);
    contents.i64NumItems = 1;
    ASSERT_TRUE(SUCCEEDED(::SHQueryRecycleBinA(nullptr, &contents)));
    EXPECT_EQ(contents.i64NumItems, 0);
}

TEST_F(RepairTest, StopEndsTheRepairAtTheNextItem)
{
    const char* keys[] = {"Software\\Fixture\\A", "Software\\Fixture\\B", "Software\\Fixture\\C"};
    for (const char* key : keys) {
        CreateRegKey(HKEY_CURRENT_USER, key);
        items->AddItem(CString("HKEY_CURRENT_USER\\") + key, SCAN_AXO, 0, 0);
    }
    const std::string temporary = folder.WriteFile("~one.tmp", std::string(1024, 't'));
    items->AddItem(temporary.c_str(), SCAN_TPF, 0, 0);

    CRepairProcess process;
    // The stop comes while the first key is being repaired, as from the user-interface thread.
    status.onProgress = [&](int phase) {
        if (phase == PROGRESS_STEP && status.CountProgress(PROGRESS_STEP) == 2)
            process.Stop(1);
    };
    ASSERT_EQ(process.StartRepair(items.get(), &status), 1);
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(process.WaitForResult(), 0u);
    EXPECT_EQ(status.FinishedResult(), 0);
    // Temporary files come first (category 8), then the first key; the rest stay.
    EXPECT_FALSE(FileExists(temporary));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, keys[0]));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, keys[1]));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, keys[2]));
    // What was done is still reported.
    const auto rows = SizeRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].value, 1);
}

TEST_F(RepairTest, EmptyContainerEndsCleanly)
{
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(status.CountProgress(PROGRESS_BEGIN), 1);
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 0);
    EXPECT_EQ(status.CountProgress(PROGRESS_END), 1);
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_TRUE(SizeRows().empty());
}
