// The repair job on a sandboxed registry and a throwaway folder, fed by the program's own
// found-item container: what each category deletes, the second look before each deletion, the
// user's kept entries, the backup around it, and the file categories.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <algorithm>
#include <map>
#include <set>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "BackupFixture.h"
#include "EngineProcess.h"
#include "FakeScanItems.h"
#include "KeyAccess.h"
#include "RecordingStatus.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"
#include "RegistrySnapshot.h"
#include "ScanItemsInfo.h"
#include "Shortcuts.h"
#include "SymbolicLink.h"
#include "TempFolder.h"

namespace {

const char kSep[] = "\xAC";
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kFonts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kHelpClasses[] = "SOFTWARE\\Microsoft\\HTMLHelp\\2.0\\LocalReg\\CLSID";
const char kHelpFiles[] = "SOFTWARE\\Microsoft\\Windows\\Help";
const char kEventLabels[] = "AppEvents\\EventLabels";
const char kMenuOrder[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";

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
    // As if the last scan had walked the folder for temporary files.
    void AddWalkedJunkFolder(const std::string& folder) { m_walkedJunkFolders.push_back(folder.c_str()); }
    using CVexaEngineProcess::GetBackupFolder;
    using CVexaEngineProcess::IsDeletableFilePath;
    using CVexaEngineProcess::ScheduledScanFolders;
};

// Collects a scan's findings into the container, as the scanning page does.
class CCollectingStatus : public CRecordingStatus
{
public:
    explicit CCollectingStatus(CAbstractScanItemsInfo* items) : m_items(items) {}
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override
    {
        CRecordingStatus::ReportItem(item, category, value, extra);
        if (value == 0)
            m_items->AddItem(item, category, value, extra);
    }

private:
    CAbstractScanItemsInfo* m_items;
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
        Snapshot(parent, path.empty() ? child : path + "\\" + child, out);
}

std::map<std::string, std::string> SnapshotOf(HKEY root, const char* path)
{
    std::map<std::string, std::string> state;
    Snapshot(root, path, &state);
    return state;
}

// The whole sandboxed registry, each entry under its item text ("HKEY_USERS\S-1\Key\",
// "HKEY_USERS\S-1\Key" + separator + value name).
std::map<std::string, std::string> RegistryState()
{
    const std::pair<HKEY, const char*> roots[] = {{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                                                  {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                                                  {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                                  {HKEY_USERS, "HKEY_USERS"}};
    std::map<std::string, std::string> state;
    for (const auto& root : roots)
        for (const auto& entry : SnapshotOf(root.first, ""))
            if (entry.first != "\\")
                state[std::string(root.second) + "\\" + entry.first] = entry.second;
    return state;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char ch) { return static_cast<char>(::tolower(ch)); });
    return text;
}

// Takes out of a registry state what deleting the item takes: a value, or a key with everything
// below it (names compared without regard to case, as the registry does). How many entries went.
size_t EraseItem(std::map<std::string, std::string>* state, const std::string& item)
{
    const std::string lower = Lower(item);
    const bool value = item.find(kSep) != std::string::npos;
    size_t erased = 0;
    for (auto it = state->begin(); it != state->end();) {
        const std::string entry = Lower(it->first);
        const bool taken = value ? entry == lower
                                 : entry.compare(0, lower.size() + 1, lower + "\\") == 0 ||
                                       entry.compare(0, lower.size() + 1, lower + kSep) == 0;
        it = taken ? (++erased, state->erase(it)) : std::next(it);
    }
    return erased;
}

// The entries of a state that were there before (Wine's shell writes its own defaults into the
// sandboxed machine key when folders are first asked for).
std::map<std::string, std::string> Restricted(const std::map<std::string, std::string>& state,
                                              const std::map<std::string, std::string>& before)
{
    std::map<std::string, std::string> restricted;
    for (const auto& entry : state)
        if (before.count(entry.first))
            restricted.insert(entry);
    return restricted;
}

std::string CommonProgramsFolder()
{
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, folder);
    return folder;
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
        for (const std::string& junkFolder : walkedJunkFolders)
            process.AddWalkedJunkFolder(junkFolder);
        return RepairWith(process, items.get());
    }
    DWORD RepairWith(CRepairProcess& process, CAbstractScanItemsInfo* container)
    {
        if (process.StartRepair(container, &status) != 1)
            return 0xDEAD;
        process.Resume();
        EXPECT_TRUE(status.WaitFinished());
        return process.WaitForResult();
    }
    // Runs a scan job of the categories over the folders, its findings into the container.
    void Scan(CRepairProcess& process, DWORD categories, const std::set<CString>& folders = {},
              int mode = SCAN_MODE_NORMAL)
    {
        CCollectingStatus scanStatus(items.get());
        ASSERT_EQ(process.StartScan(&folders, categories, &scanStatus, mode), 1);
        process.Resume();
        ASSERT_TRUE(scanStatus.WaitFinished());
        process.WaitForResult();
    }

    // The items the repair left alone and told of, with the reason given.
    std::vector<std::string> NotDone(INT_PTR reason) const
    {
        std::vector<std::string> texts;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            if (event.value == ITEM_NOT_DONE && event.extra == reason)
                texts.push_back(event.text);
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    size_t NotDoneCount() const
    {
        size_t count = 0;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            count += event.value == ITEM_NOT_DONE ? 1 : 0;
        return count;
    }

    // A file of the test's folder that exists, and the path of one that does not.
    std::string Present(const std::string& relative) { return folder.WriteFile(relative, "x"); }
    std::string Missing(const std::string& relative) { return folder.PathOf(relative); }
    // A shortcut whose target is gone.
    std::string BrokenShortcut(const std::string& relative)
    {
        const std::string target = Present(relative + ".target");
        const std::string path = folder.PathOf(relative);
        EXPECT_TRUE(WriteShortcut(path, target));
        ::DeleteFileA(target.c_str());
        return path;
    }
    // A class whose in-process server is missing, as the ActiveX scan finds it.
    void WriteBrokenClass(const std::string& classKey)
    {
        ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str(), "",
                                   Missing("gone.dll").c_str()));
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
    std::vector<std::string> walkedJunkFolders;
};

std::vector<std::string> Sorted(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

} // namespace

// Every category's entry as its scan finds it, beside a twin that was fixed since the scan (its
// program, file, class or library is there again): looked at again, the broken one is deleted
// exactly as its category deletes, the fixed one stays and is told. Entries at places their
// category never looks are no findings of it either.
TEST_F(RepairTest, EachCategoryDeletesWhatItStillFindsAndLeavesWhatWasFixed)
{
    const std::string menuEntry = "KelvaraRepairMenu" + std::to_string(::GetCurrentProcessId());
    const std::string menuFolder = CommonProgramsFolder() + "\\" + menuEntry;
    ASSERT_TRUE(::CreateDirectoryA(menuFolder.c_str(), nullptr));
    struct Row {
        int category;
        std::function<void()> write;
        std::string broken, fixed;  // item texts; fixed may be empty
    };
    const std::string cu = "HKEY_CURRENT_USER\\", lm = "HKEY_LOCAL_MACHINE\\", cr = "HKEY_CLASSES_ROOT\\",
                      us = "HKEY_USERS\\";
    folder.MakeFolder("Desktop");
    const std::string brokenShortcut = folder.PathOf("Desktop\\broken.lnk");
    const std::string fixedShortcut = folder.PathOf("Desktop\\fixed.lnk");
    const std::vector<Row> rows = {
        {SCAN_SUI,
         [&] {
             WriteRegString(HKEY_CURRENT_USER, kRun, "Broken", ("\"" + Missing("tray.exe") + "\" /min").c_str());
             WriteRegString(HKEY_CURRENT_USER, kRun, "Fixed", ("\"" + Present("tool.exe") + "\" /min").c_str());
         },
         cu + kRun + kSep + "Broken", cu + kRun + kSep + "Fixed"},
        {SCAN_SUI,
         [&] {
             CreateRegKey(HKEY_CURRENT_USER, (std::string(kMenuOrder) + "\\KelvaraNowhere").c_str());
             CreateRegKey(HKEY_CURRENT_USER, (std::string(kMenuOrder) + "\\" + menuEntry).c_str());
         },
         cu + kMenuOrder + "\\KelvaraNowhere", cu + kMenuOrder + "\\" + menuEntry},
        {SCAN_FAS,
         [&] {
             WriteRegString(HKEY_CLASSES_ROOT, ".kvbroken", "", "kvbroken.file");
             WriteRegString(HKEY_CLASSES_ROOT, "kvbroken.file\\shell\\open\\command", "",
                            ("\"" + Missing("viewer.exe") + "\" \"%1\"").c_str());
             WriteRegString(HKEY_CLASSES_ROOT, ".kvfixed", "", "kvfixed.file");
             WriteRegString(HKEY_CLASSES_ROOT, "kvfixed.file\\shell\\open\\command", "",
                            ("\"" + Present("editor.exe") + "\" \"%1\"").c_str());
         },
         cr + ".kvbroken", cr + ".kvfixed"},
        {SCAN_FNT,
         [&] {
             WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Broken (TrueType)", Missing("broken.ttf").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Fixed (TrueType)", Present("fixed.ttf").c_str());
         },
         lm + kFonts + kSep + "Broken (TrueType)", lm + kFonts + kSep + "Fixed (TrueType)"},
        {SCAN_AXO,
         [&] {
             WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-broken}\\InprocServer32", "", Missing("gone.dll").c_str());
             WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-broken}\\InprocServer32", "ThreadingModel", "Both");
             WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-fixed}\\InprocServer32", "", Present("server.dll").c_str());
         },
         cr + "CLSID\\{kv-broken}", cr + "CLSID\\{kv-fixed}"},
        {SCAN_AXO,
         [&] {
             WriteRegString(HKEY_CLASSES_ROOT, "Kelvara.Orphan\\CLSID", "", "{kv-unregistered}");
             WriteRegString(HKEY_CLASSES_ROOT, "Kelvara.Orphan", "", "An orphan");
             WriteRegString(HKEY_CLASSES_ROOT, "Kelvara.Known\\CLSID", "", "{kv-fixed}");
         },
         cr + "Kelvara.Orphan", cr + "Kelvara.Known"},
        {SCAN_SRC,
         [&] {
             const std::string gone = Present("Targets\\gone.txt");
             ASSERT_TRUE(WriteShortcut(brokenShortcut, gone));
             ::DeleteFileA(gone.c_str());
             ASSERT_TRUE(WriteShortcut(fixedShortcut, Present("Targets\\here.txt")));
         },
         brokenShortcut, fixedShortcut},
        {SCAN_SRV,
         [&] {
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\KvBroken").c_str(), "ImagePath",
                            ("\"" + Missing("goneservice.exe") + "\" -k").c_str(), REG_EXPAND_SZ);
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\KvBroken\\Parameters").c_str(), "p", "1");
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kServices) + "\\KvFixed").c_str(), "ImagePath",
                            Present("service.exe").c_str(), REG_EXPAND_SZ);
         },
         lm + kServices + "\\KvBroken", lm + kServices + "\\KvFixed"},
        {SCAN_APP,
         [&] {
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\kvbroken.exe").c_str(), "",
                            Missing("goneapp.exe").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\kvfixed.exe").c_str(), "",
                            Present("app.exe").c_str());
         },
         lm + kAppPaths + "\\kvbroken.exe", lm + kAppPaths + "\\kvfixed.exe"},
        {SCAN_SHD,
         [&] {
             WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing("shared.dll").c_str(), 2);
             WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, Present("kept.dll").c_str(), 2);
         },
         lm + kSharedDlls + kSep + Missing("shared.dll"), lm + kSharedDlls + kSep + Missing("kept.dll")},
        {SCAN_UIE,
         [&] {
             const std::string broken = std::string(kUninstall) + "\\KvBroken";
             WriteRegString(HKEY_LOCAL_MACHINE, broken.c_str(), "UninstallString",
                            ("\"" + Missing("App\\uninst.exe") + "\" /S").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, broken.c_str(), "InstallLocation", Missing("App").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\KvFixed").c_str(), "UninstallString",
                            Present("Fixed\\uninst.exe").c_str());
         },
         lm + kUninstall + "\\KvBroken", lm + kUninstall + "\\KvFixed"},
        {SCAN_HLP,
         [&] {
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kHelpClasses) + "\\{kv-help}\\InprocServer32").c_str(), "",
                            Missing("gonehelp.dll").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kHelpClasses) + "\\{kv-help2}\\InprocServer32").c_str(),
                            "", Present("help.dll").c_str());
         },
         lm + kHelpClasses + "\\{kv-help}", lm + kHelpClasses + "\\{kv-help2}"},
        {SCAN_HLP,
         [&] {
             Present("Help\\here.chm");
             WriteRegString(HKEY_LOCAL_MACHINE, kHelpFiles, "gone.chm", Missing("Help").c_str());
             WriteRegString(HKEY_LOCAL_MACHINE, kHelpFiles, "here.chm", Missing("Help").c_str());
         },
         lm + kHelpFiles + kSep + "gone.chm", lm + kHelpFiles + kSep + "here.chm"},
        {SCAN_FPR,
         [&] {
             WriteRegString(HKEY_USERS, "S-1\\Software\\Vendor", "Broken", Missing("gonevendor.exe").c_str());
             WriteRegString(HKEY_USERS, "S-1\\Software\\Vendor", "Fixed", Present("vendor.exe").c_str());
         },
         us + "S-1\\Software\\Vendor" + kSep + "Broken", us + "S-1\\Software\\Vendor" + kSep + "Fixed"},
        {SCAN_ERK,
         [&] {
             CreateRegKey(HKEY_USERS, "S-1\\Software\\Empty");
             WriteRegString(HKEY_USERS, "S-1\\Software\\Filled", "v", "1");
         },
         us + "S-1\\Software\\Empty", us + "S-1\\Software\\Filled"},
        {SCAN_ITL,
         [&] {
             WriteRegString(HKEY_CLASSES_ROOT, "Interface\\{kv-i1}\\TypeLib", "", "{kv-unregistered-lib}");
             WriteRegString(HKEY_CLASSES_ROOT, "Interface\\{kv-i2}\\TypeLib", "", "{kv-lib}");
             CreateRegKey(HKEY_CLASSES_ROOT, "TypeLib\\{kv-lib}\\1.0");
         },
         cr + "Interface\\{kv-i1}", cr + "Interface\\{kv-i2}"},
        {SCAN_SAE,
         [&] {
             WriteRegString(HKEY_CURRENT_USER, (std::string(kEventLabels) + "\\KvBroken").c_str(), "DispFileName",
                            ("@" + Missing("gonesounds.dll") + ",-700").c_str());
             WriteRegString(HKEY_CURRENT_USER, (std::string(kEventLabels) + "\\KvFixed").c_str(), "DispFileName",
                            ("@" + Present("sounds.dll") + ",-700").c_str());
         },
         cu + kEventLabels + "\\KvBroken", cu + kEventLabels + "\\KvFixed"},
        // Broken as they are, but where their categories never look.
        {SCAN_AXO, [&] { WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\K\\InprocServer32", "",
                                        Missing("elsewhere.dll").c_str()); },
         "", cu + "Software\\Fixture\\K"},
        {SCAN_FNT, [&] { WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Fixture", "Font", Missing("x.ttf").c_str()); },
         "", lm + "Software\\Fixture" + kSep + "Font"},
        {SCAN_ERK, [&] { CreateRegKey(HKEY_LOCAL_MACHINE, "Software\\Fixture\\Empty"); }, "",
         lm + "Software\\Fixture\\Empty"},
    };
    std::vector<std::string> fixed;
    for (const Row& row : rows) {
        row.write();
        if (!row.broken.empty())
            items->AddItem(row.broken.c_str(), row.category, 0, 0);
        items->AddItem(row.fixed.c_str(), row.category, 0, 0);
        fixed.push_back(row.fixed);
    }
    const auto before = RegistryState();
    auto expected = before;
    for (const Row& row : rows) {
        if (!row.broken.empty() && row.category != SCAN_SRC) {
            EXPECT_GT(EraseItem(&expected, row.broken), 0u) << row.broken;
        }
    }

    EXPECT_EQ(Repair(), 0u);
    ::RemoveDirectoryA(menuFolder.c_str());
    EXPECT_EQ(Restricted(RegistryState(), before), expected);
    EXPECT_FALSE(FileExists(brokenShortcut));
    EXPECT_TRUE(FileExists(fixedShortcut));
    EXPECT_EQ(NotDone(NOT_DONE_NO_LONGER_BROKEN), Sorted(fixed));
    EXPECT_EQ(NotDoneCount(), fixed.size());
}

// The user's answer for each item decides: FALSE repairs it; an entry beside one the user kept
// stays and is told; every other answer passes the item over without a word.
TEST_F(RepairTest, KeptEntriesAndTheirNeighboursStay)
{
    const std::string key = "HKEY_CURRENT_USER\\Software\\Fixture";
    const char* names[] = {"Repaired", "Kept", "NextToKept", "OtherAnswer"};
    for (const char* name : names)
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", name, Missing(name).c_str()));
    CFakeScanItems fake({{key + kSep + "Repaired", FALSE, SCAN_FPR},
                         {key + kSep + "Kept", ITEM_KEPT, SCAN_FPR},
                         {key + kSep + "NextToKept", ITEM_NEXT_TO_KEPT, SCAN_FPR},
                         {key + kSep + "OtherAnswer", 7, SCAN_FPR}});

    CRepairProcess process;
    EXPECT_EQ(RepairWith(process, &fake), 0u);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\Fixture", "Repaired"));
    for (const char* name : {"Kept", "NextToKept", "OtherAnswer"})
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Fixture", name)) << name;
    EXPECT_EQ(NotDone(NOT_DONE_HOLDS_KEPT), std::vector<std::string>{key + kSep + "NextToKept"});
    EXPECT_EQ(NotDoneCount(), 1u);
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 4);
}

// Between the scan and Fix Errors the user installs a missing program, and an application writes
// into a key the scan found empty: those entries stay and are told; what is still broken beside
// them goes; an entry already gone is not mentioned. The second look tells the repair's status
// nothing of its own and adds no scan folders, though the scan was a scheduled one.
TEST_F(RepairTest, AnEntryFixedSinceTheScanStaysAndIsTold)
{
    const std::string app = std::string(kAppPaths);
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, "Installed", (Missing("Later\\tray.exe") + " /min").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, "Broken", Missing("Gone\\tray.exe").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, "Removed", Missing("Gone\\other.exe").c_str()));
    // A program named by its file name, in the folder of its "Path" value.
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (app + "\\kvlater.exe").c_str(), "", "kvlater.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (app + "\\kvlater.exe").c_str(), "Path", Missing("Later").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (app + "\\kvgone.exe").c_str(), "", Missing("Gone\\kvgone.exe").c_str()));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1\\Software\\Filled"));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1\\Software\\Empty"));

    CRepairProcess process;
    Scan(process, SCAN_SUI | SCAN_APP | SCAN_ERK, {}, SCAN_MODE_SCHEDULED);
    const std::string run = std::string("HKEY_CURRENT_USER\\") + kRun + kSep;
    const std::string appItem = std::string("HKEY_LOCAL_MACHINE\\") + app + "\\";
    const std::vector<std::string> found = Sorted({run + "Installed", run + "Broken", run + "Removed",
                                                   appItem + "kvlater.exe", appItem + "kvgone.exe",
                                                   "HKEY_USERS\\S-1\\Software\\Filled", "HKEY_USERS\\S-1\\Software\\Empty"});
    std::vector<std::string> inContainer;
    for (DWORD category : {SCAN_SUI, SCAN_APP, SCAN_ERK}) {
        std::vector<const char*> texts;
        items->GetItems(&texts, static_cast<int>(category));
        inContainer.insert(inContainer.end(), texts.begin(), texts.end());
    }
    ASSERT_EQ(Sorted(inContainer), found);
    const std::set<CString> scanFolders = process.ScheduledScanFolders();

    Present("Later\\tray.exe");
    Present("Later\\kvlater.exe");
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1\\Software\\Filled", "Written", "since"));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1\\Software\\Filled\\Sub"));
    ASSERT_EQ(::RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, "Removed"), ERROR_SUCCESS);

    EXPECT_EQ(RepairWith(process, items.get()), 0u);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, "Installed"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, "Broken"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, (app + "\\kvlater.exe").c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, (app + "\\kvgone.exe").c_str()));
    EXPECT_TRUE(RegValueExists(HKEY_USERS, "S-1\\Software\\Filled", "Written"));
    EXPECT_TRUE(RegKeyExists(HKEY_USERS, "S-1\\Software\\Filled\\Sub"));
    EXPECT_FALSE(RegKeyExists(HKEY_USERS, "S-1\\Software\\Empty"));
    EXPECT_EQ(NotDone(NOT_DONE_NO_LONGER_BROKEN),
              Sorted({run + "Installed", appItem + "kvlater.exe", "HKEY_USERS\\S-1\\Software\\Filled"}));
    EXPECT_EQ(NotDoneCount(), 3u);
    // The repair's own reports only: a step per item and its closing announcement.
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), static_cast<int>(found.size()));
    for (const StatusEvent& activity : status.EventsOf(StatusEvent::Activity))
        EXPECT_EQ(activity.text, "") << activity.area;
    EXPECT_EQ(process.ScheduledScanFolders(), scanFolders);
}

TEST_F(RepairTest, ValueNamedDefaultEmptiesTheUnnamedValue)
{
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture", "", Missing("target.exe").c_str());
    items->AddItem((std::string("HKEY_CURRENT_USER\\Software\\Fixture") + kSep + "(Default)").c_str(), SCAN_FPR, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    const auto state = SnapshotOf(HKEY_CURRENT_USER, "Software\\Fixture");
    EXPECT_EQ(state.at(std::string("Software\\Fixture") + kSep), std::to_string(REG_SZ) + ":" + std::string(1, '\0'));
}

TEST_F(RepairTest, AValueNamedDefaultIsTheOneTheScanJudged)
{
    // The file-reference scan calls the unnamed value "(Default)"; the other scanners report
    // names as the registry holds them, the unnamed value as an empty name. Both values name a
    // missing program, so either may be the one the scan judged.
    const struct {
        int category;
        const char* key;
        const char* name;
        bool withUnnamed;
        bool unnamedEmptied;  // else untouched (or gone, without it)
        bool literalKept;
    } rows[] = {
        {SCAN_FPR, "Software\\Fixture", "(Default)", true, true, true},
        {SCAN_FPR, "Software\\Fixture", "(default)", true, true, true},
        {SCAN_FPR, "Software\\Fixture", "(Default)", false, false, false},
        {SCAN_SUI, kRun, "(Default)", true, false, false},
        {SCAN_SUI, kRun, "", true, false, true},
    };
    const std::string gone = Missing("gone.exe");
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.category) + " '" + row.name + "' " + std::to_string(row.withUnnamed));
        ::SHDeleteKeyA(HKEY_CURRENT_USER, row.key);
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, row.key, "(Default)", gone.c_str()));
        if (row.withUnnamed) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, row.key, nullptr, gone.c_str()));
        }
        items->Clear();
        items->AddItem(std::string("HKEY_CURRENT_USER\\") + row.key + kSep + row.name, row.category, 0, 0);
        EXPECT_EQ(Repair(), 0u);

        const auto state = SnapshotOf(HKEY_CURRENT_USER, row.key);
        const auto unnamed = state.find(std::string(row.key) + kSep);
        if (row.withUnnamed && row.unnamedEmptied) {
            ASSERT_NE(unnamed, state.end());
            EXPECT_EQ(unnamed->second, std::to_string(REG_SZ) + ":" + std::string(1, '\0'));
        } else if (row.withUnnamed && row.literalKept) {
            EXPECT_EQ(unnamed, state.end());
        } else if (row.withUnnamed) {
            ASSERT_NE(unnamed, state.end());
            EXPECT_EQ(unnamed->second, std::to_string(REG_SZ) + ":" + gone + std::string(1, '\0'));
        }
        EXPECT_EQ(state.count(std::string(row.key) + kSep + "(Default)"), row.literalKept ? 1u : 0u);
    }
}

TEST_F(RepairTest, AnItemWhoseKeyIsNotWhollyInTheBackupIsLeftAndReported)
{
    const char* classKey = "CLSID\\{kv-locked}";
    WriteRegString(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\InprocServer32").c_str(), "", Missing("a.dll").c_str());
    WriteRegString(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\Locked").c_str(), "v", "x");
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Values", "a", Missing("a.exe").c_str());
    WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\Values\\Locked", "v", "x");
    WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-other}\\InprocServer32", "", Missing("b.dll").c_str());
    // They may be deleted, but not read: the backup cannot hold them.
    CDeniedKey locked(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\Locked").c_str(), "KR");
    CDeniedKey lockedValues(HKEY_CURRENT_USER, "Software\\Fixture\\Values\\Locked", "KR");
    ASSERT_TRUE(locked.IsActive());
    ASSERT_TRUE(lockedValues.IsActive());
    const std::string classItem = std::string("HKEY_CLASSES_ROOT\\") + classKey;
    const std::string valueItem = std::string("HKEY_CURRENT_USER\\Software\\Fixture\\Values") + kSep + "a";
    items->AddItem(classItem.c_str(), SCAN_AXO, 0, 0);
    items->AddItem(valueItem.c_str(), SCAN_FPR, 0, 0);
    items->AddItem("HKEY_CLASSES_ROOT\\CLSID\\{kv-other}", SCAN_AXO, 0, 0);

    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Fixture\\Values", "a"));
    // Still there, though nobody may open it.
    HKEY lockedKey = nullptr;
    EXPECT_EQ(::RegOpenKeyExA(HKEY_CLASSES_ROOT, (std::string(classKey) + "\\Locked").c_str(), 0, KEY_READ, &lockedKey),
              ERROR_ACCESS_DENIED);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\{kv-other}"));
    EXPECT_EQ(NotDone(NOT_DONE_BACKUP_INCOMPLETE), Sorted({classItem, valueItem}));
    EXPECT_EQ(NotDoneCount(), 2u);
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
    const char* keys[] = {"CLSID\\Unticked", "CLSID\\Ignored", "CLSID\\With^Caret;Semicolon", "CLSID\\Repaired"};
    for (const char* key : keys)
        WriteBrokenClass(key);
    for (const char* key : keys)
        items->AddItem(CString("HKEY_CLASSES_ROOT\\") + key, SCAN_AXO, 0, 0);
    items->SetIgnore("HKEY_CLASSES_ROOT\\CLSID\\Unticked^ActiveX Objects", 0, 0);
    items->SetIgnore("HKEY_CLASSES_ROOT\\CLSID\\With^Caret;Semicolon^ActiveX Objects", 0, 0);
    items->AddToIgnoreList("HKEY_CLASSES_ROOT\\CLSID\\Ignored", "ActiveX Objects", 0x4000, 0);

    EXPECT_EQ(Repair(), 0u);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, keys[0]));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, keys[1]));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, keys[2]));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, keys[3]));
    EXPECT_EQ(NotDoneCount(), 0u);
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
    WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-class}", "", "Some class");
    WriteBrokenClass("CLSID\\{kv-class}");
    WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{kv-class}\\InprocServer32", "ThreadingModel", "Both");
    WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Gone (TrueType)", Missing("gone.ttf").c_str());
    WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Kept (TrueType)", "kept.ttf");
    WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, Missing("gone.dll").c_str(), 3);
    WriteRegString(HKEY_LOCAL_MACHINE, kRun, "Gone", (Missing("gone.exe") + " /x").c_str(), REG_EXPAND_SZ);
    // Below the class key: every value type and every kind of name a backup must keep.
    ASSERT_TRUE(WriteBackupFixture(HKEY_CLASSES_ROOT, L"CLSID\\{kv-class}\\Tree"));
    RegistrySnapshot wideBefore;
    ASSERT_TRUE(TakeSnapshot(HKEY_CLASSES_ROOT, L"CLSID", &wideBefore));
    const auto classesBefore = SnapshotOf(HKEY_CLASSES_ROOT, "CLSID");
    const auto machineBefore = SnapshotOf(HKEY_LOCAL_MACHINE, "SOFTWARE");

    items->AddItem("HKEY_CLASSES_ROOT\\CLSID\\{kv-class}", SCAN_AXO, 0, 0);
    items->AddItem(CString("HKEY_LOCAL_MACHINE\\") + kFonts + kSep + "Gone (TrueType)", SCAN_FNT, 0, 0);
    items->AddItem(CString("HKEY_LOCAL_MACHINE\\") + kSharedDlls + kSep + Missing("gone.dll").c_str(), SCAN_SHD, 0, 0);
    items->AddItem(CString("HKEY_LOCAL_MACHINE\\") + kRun + kSep + "Gone", SCAN_SUI, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\{kv-class}"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kFonts, "Gone (TrueType)"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kSharedDlls, Missing("gone.dll").c_str()));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRun, "Gone"));

    const auto backups = BackupFiles();
    ASSERT_EQ(backups.size(), 1u);
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(backups[0].c_str()), 1) << manager.GetRestoreResult().Error.Str();
    EXPECT_EQ(SnapshotOf(HKEY_CLASSES_ROOT, "CLSID"), classesBefore);
    RegistrySnapshot wideAfter;
    ASSERT_TRUE(TakeSnapshot(HKEY_CLASSES_ROOT, L"CLSID", &wideAfter));
    EXPECT_EQ(CompareSnapshots(wideBefore, wideAfter), "");
    EXPECT_EQ(Restricted(SnapshotOf(HKEY_LOCAL_MACHINE, "SOFTWARE"), machineBefore), machineBefore);
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
    const std::string shortcut = BrokenShortcut("Desktop\\broken.lnk");
    items->AddItem(shortcut.c_str(), SCAN_SRC, 0, 0);
    items->AddItem("HKEY_CLASSES_ROOT\\CLSID\\{kv-gone}", SCAN_AXO, 0, 0);
    EXPECT_EQ(Repair(), 0u);
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_FALSE(FileExists(shortcut));
    EXPECT_TRUE(BackupFiles().empty());

    // Nor does such a repair need a place for one.
    RemoveFolderTree(backupFolder);
    ASSERT_TRUE(::CopyFileA(folder.WriteFile("x", "").c_str(), backupFolder.c_str(), FALSE));
    const std::string another = BrokenShortcut("Desktop\\another.lnk");
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
    const std::string shortcut = BrokenShortcut("Desktop\\broken.lnk");
    const std::string temporary = folder.WriteFile("Temp\\~old.tmp", std::string(2048, 't'));
    walkedJunkFolders.push_back(folder.PathOf("Temp"));
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
    const char* keys[] = {"CLSID\\A", "CLSID\\B", "CLSID\\C"};
    for (const char* key : keys) {
        WriteBrokenClass(key);
        items->AddItem(CString("HKEY_CLASSES_ROOT\\") + key, SCAN_AXO, 0, 0);
    }
    const std::string temporary = folder.WriteFile("~one.tmp", std::string(1024, 't'));
    items->AddItem(temporary.c_str(), SCAN_TPF, 0, 0);

    CRepairProcess process;
    process.AddWalkedJunkFolder(folder.Path());
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
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, keys[0]));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, keys[1]));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, keys[2]));
    // What was done is still reported.
    const auto rows = SizeRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].value, 1);
}

// A link in the Temp folder (under Wine a Unix symbolic link, which looks like a plain file) to a
// document elsewhere, and a folder link to another folder: the scan takes neither for junk, and
// a repair that is handed them all the same deletes neither the link nor what it points to. The
// plain temporary file beside them goes.
TEST_F(RepairTest, TempJunkNeverLeavesTheTempFolder)
{
    const std::string document = folder.WriteFile("Documents\\precious.txt", "keep me");
    const std::string inner = folder.WriteFile("Documents\\Folder\\inner.txt", "keep me too");
    const std::string temp = folder.MakeFolder("Temp");
    const std::string junk = folder.WriteFile("Temp\\old.tmp", "x");
    const std::string link = temp + "\\link.tmp";
    const std::string folderLink = temp + "\\folderlink";
    if (!MakeSymbolicLink(link, document) || !MakeSymbolicLink(folderLink, folder.PathOf("Documents\\Folder"), true))
        GTEST_SKIP() << "this system makes no symbolic links here";

    CRepairProcess process;
    Scan(process, SCAN_TPF, {temp.c_str()});
    std::vector<const char*> found;
    items->GetItems(&found, SCAN_TPF);
    std::vector<std::string> junkFound;
    for (const char* item : found)
        if (std::string(item) != ITEM_SIZE_TOTAL && item[1] == ':')
            junkFound.push_back(item);
    EXPECT_EQ(junkFound, std::vector<std::string>{junk});

    const std::string throughFolderLink = folderLink + "\\inner.txt";
    items->AddItem(link.c_str(), SCAN_TPF, 0, 0);
    items->AddItem(throughFolderLink.c_str(), SCAN_TPF, 0, 0);
    EXPECT_EQ(RepairWith(process, items.get()), 0u);
    const bool linkKept = FileExists(link);
    RemoveSymbolicLink(link);
    RemoveSymbolicLink(folderLink, true);
    EXPECT_EQ(ReadWholeFile(document), "keep me");
    EXPECT_EQ(ReadWholeFile(inner), "keep me too");
    EXPECT_TRUE(linkKept);
    EXPECT_FALSE(FileExists(junk));
    EXPECT_EQ(NotDone(NOT_DONE_NO_LONGER_BROKEN), Sorted({link, throughFolderLink}));
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
