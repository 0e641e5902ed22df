// Removal of a known spyware's entries: registry, modules, files and folders of its record,
// and files that running processes hold.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdio>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "EngineProcess.h"
#include "RecordingStatus.h"
#include "Registry/RegistryManager.h"
#include "RegistrySandbox.h"
#include "SpywareRemovalRules.h"
#include "TempFolder.h"

namespace {

const long kSpywareId = 7;

// A process object with a database made from plain XML, whose path token "%t%" stands for the
// test's folder, and whose deletions at restart are recorded instead of requested.
class CRemovalProcess : public CVexaEngineProcess
{
public:
    CRemovalProcess(const CTempFolder& folder, CAbstractStatus* status) : CVexaEngineProcess(false), m_folder(folder)
    {
        // The removal runs inside a job.
        m_status = status;
        m_running = 1;
    }
    ~CRemovalProcess() override
    {
        m_status = nullptr;
        m_running = 0;
    }

    bool LoadDatabase(const std::string& items)
    {
        const std::string file = m_folder.WriteFile(
            "db.xml", "<Database><UpdateInfo Version=\"1.0\"/><Spywares>"
                      "<Spyware ID=\"7\" Name=\"Spy\" Details=\"test\" Type=\"3\"><Items>" +
                          items +
                          "</Items></Spyware></Spywares>"
                          "<Signatures><Signature Type=\"2\" Value=\"x\" SpywareID=\"7\"/></Signatures></Database>");
        m_database.reset(new CDatabaseHandler(file.c_str()));
        return m_database->LoadDatabase() == 1;
    }

    using CVexaEngineProcess::DeleteLockedFile;
    using CVexaEngineProcess::GetBackupFolder;
    using CVexaEngineProcess::RemoveSpyware;
    using CVexaEngineProcess::RemoveSpywareFolders;
    using CVexaEngineProcess::UnregisterModule;

    bool fakeTokens = true;
    bool recordSchedules = true;
    BOOL scheduleResult = TRUE;
    std::vector<std::string> scheduled;

protected:
    BOOL ExpandSpywarePath(CString& text) override
    {
        if (!fakeTokens)
            return CVexaEngineProcess::ExpandSpywarePath(text);
        return text.Replace("%t%", m_folder.Path().c_str()) > 0;
    }
    BOOL ScheduleDeleteAtRestart(const char* file) override
    {
        if (!recordSchedules)
            return CVexaEngineProcess::ScheduleDeleteAtRestart(file);
        scheduled.push_back(file);
        return scheduleResult;
    }

private:
    const CTempFolder& m_folder;
};

std::string ProgramFolder()
{
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\'));
}

std::string ReadReadOnlyFile(const CTempFolder& folder, const char* name)
{
    const std::string path = folder.WriteFile(name, "data");
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    return path;
}

const char kPendingKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";

std::string ReadPending()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPendingKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::string();
    DWORD size = 0;
    std::string data;
    if (::RegQueryValueExA(key, kPendingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size) {
        data.resize(size);
        ::RegQueryValueExA(key, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size);
    }
    ::RegCloseKey(key);
    return data;
}

// Puts the prefix's pending operations back as they were before a test scheduled anything.
void RestorePending(const std::string& before)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPendingKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (before.empty())
        ::RegDeleteValueA(key, kPendingValue);
    else
        ::RegSetValueExA(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(before.data()),
                         static_cast<DWORD>(before.size()));
    ::RegCloseKey(key);
}

// The "Backup" folder beside this program, emptied for the life of the object.
class CBackupFolder
{
public:
    CBackupFolder() : m_path(CRemovalProcess::GetBackupFolder().Str()) { Clear(); }
    ~CBackupFolder() { Clear(); }
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Backups() const
    {
        std::vector<std::string> files;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((m_path + "\\*_REGBACKUP.rbk").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return files;
        do
            files.push_back(m_path + "\\" + found.cFileName);
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
        return files;
    }
    void Clear() const
    {
        ::DeleteFileA(m_path.c_str());
        RemoveFolderTree(m_path);
    }

private:
    std::string m_path;
};

} // namespace

TEST(SpywareRemoval, NothingWithoutADatabase)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string file = folder.WriteFile("found.exe", "x");
    EXPECT_EQ(process.RemoveSpyware(file.c_str(), kSpywareId), 0);
    EXPECT_TRUE(FileExists(file));
}

TEST(SpywareRemoval, RemovesTheItemAndEveryEntryOfTheRecord)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string untokened = folder.WriteFile("untokened.dat", "stays");
    ASSERT_TRUE(process.LoadDatabase(
        "<Item Type=\"5\" Value=\"HKEY_CURRENT_USER\\Software\\SpyCo; HKEY_CURRENT_USER\\Software\\Shared\\SpyValue;"
        "HKEY_LOCAL_MACHINE;HKEY_CURRENT_USER\\\"/>"
        "<Item Type=\"8\" Value=\"%t%\\spy.exe;%t%\\readonly.dat;" + untokened + ";%t%\\missing.dat\"/>"
        "<Item Type=\"7\" Value=\"%t%\\EmptyDir;%t%\\FullDir\"/>"));

    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Found\\Sub", "v", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\SpyCo\\Deep\\Deeper", "v", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Shared", "SpyValue", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Shared", "Other", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Vendor", "v", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "", "", "root's own value"));
    const std::string spy = folder.WriteFile("spy.exe", "x");
    const std::string readOnly = ReadReadOnlyFile(folder, "readonly.dat");
    folder.MakeFolder("EmptyDir");
    folder.WriteFile("FullDir\\keep.txt", "x");

    CBackupFolder backups;
    EXPECT_EQ(process.RemoveSpyware("HKEY_CURRENT_USER\\Software\\Found", kSpywareId), 1);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Found"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\SpyCo"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\Shared", "SpyValue"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Shared", "Other"));
    // An entry naming a root deletes nothing under it.
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Vendor", "v"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "", ""));
    EXPECT_FALSE(FileExists(spy));
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_TRUE(FileExists(untokened));  // no path token: not the record's to remove
    EXPECT_EQ(::GetFileAttributesA(folder.PathOf("EmptyDir").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(FileExists(folder.PathOf("FullDir\\keep.txt")));
    EXPECT_TRUE(status.Results().empty());
    EXPECT_TRUE(process.scheduled.empty());

    // Everything deleted from the registry was backed up first, as a repair does.
    const std::vector<std::string> files = backups.Backups();
    ASSERT_EQ(files.size(), 1u);
    CRegistryManager manager(nullptr);
    EXPECT_EQ(manager.ImportFile(files[0].c_str()), 1);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Found\\Sub", "v"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\SpyCo\\Deep\\Deeper", "v"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Shared", "SpyValue"));
}

TEST(SpywareRemoval, KeysOfTheSystemsStructureAreNeverDeletedWhole)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    CBackupFolder backups;
    const struct {
        HKEY root;
        const char* key;
        bool removable;
    } keys[] = {
        {HKEY_LOCAL_MACHINE, "SOFTWARE", false},
        {HKEY_LOCAL_MACHINE, "SYSTEM", false},
        {HKEY_LOCAL_MACHINE, "HARDWARE\\Description", false},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft", false},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", false},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\CLSID", false},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows", false},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion", false},
        {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", false},
        {HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects", false},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", false},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", false},
        {HKEY_CLASSES_ROOT, "CLSID", false},
        {HKEY_CLASSES_ROOT, ".txt", false},
        {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers", false},
        {HKEY_CURRENT_USER, "Control Panel\\Desktop", false},
        {HKEY_USERS, "S-1-5-21-1", false},
        {HKEY_USERS, "S-1-5-21-1\\Software\\Microsoft", false},
        // What a spyware does own.
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\SpyCo", true},
        {HKEY_LOCAL_MACHINE,
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\{5Py}", true},
        {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\SpySvc", true},
        {HKEY_CLASSES_ROOT, "CLSID\\{5Py}", true},
        {HKEY_CLASSES_ROOT, "SpyBar.Toolbar", true},
        {HKEY_USERS, "S-1-5-21-1\\Software\\SpyCo", true},
    };
    std::string entries;
    for (const auto& k : keys) {
        ASSERT_TRUE(WriteRegString(k.root, (std::string(k.key) + "\\Child").c_str(), "v", "1")) << k.key;
        entries += std::string(k.root == HKEY_LOCAL_MACHINE  ? "HKEY_LOCAL_MACHINE\\"
                               : k.root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\"
                               : k.root == HKEY_USERS        ? "HKEY_USERS\\"
                                                             : "HKEY_CLASSES_ROOT\\")
                   + k.key + ";";
    }
    ASSERT_TRUE(process.LoadDatabase("<Item Type=\"5\" Value=\"" + entries + "\"/>"));
    // Neither as an entry of the record nor as the found item.
    EXPECT_EQ(process.RemoveSpyware("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", kSpywareId), 1);
    EXPECT_EQ(process.RemoveSpyware("HKEY_LOCAL_MACHINE\\\\SOFTWARE\\", kSpywareId), 1);
    for (const auto& k : keys)
        EXPECT_EQ(RegKeyExists(k.root, k.key), !k.removable) << k.key;
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Child", "v"));
}

TEST(SpywareRemoval, WithoutABackupNoRegistryEntryIsDeleted)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    CBackupFolder backups;
    // A file where the backup folder should be: no backup can be written.
    ASSERT_TRUE(::CopyFileA(folder.WriteFile("x", "").c_str(), backups.Path().c_str(), FALSE));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Found", "v", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\SpyCo", "v", "1"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Shared", "SpyValue", "1"));
    ASSERT_TRUE(process.LoadDatabase(
        "<Item Type=\"5\" Value=\"HKEY_CURRENT_USER\\Software\\SpyCo;HKEY_CURRENT_USER\\Software\\Shared\\SpyValue\"/>"));
    EXPECT_EQ(process.RemoveSpyware("HKEY_CURRENT_USER\\Software\\Found", kSpywareId), 1);
    EXPECT_EQ(process.RemoveSpyware(folder.PathOf("found.exe").c_str(), kSpywareId), 1);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Found"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\SpyCo"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\Shared", "SpyValue"));
}

TEST(SpywareRemoval, ModulesAreLoadedOnlyFromPlainLocalPaths)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    const std::string module = ProgramFolder() + "\\engine_test_module.dll";
    const char* const entries[] = {
        "%t%\\inner\\..\\outside.dll",  // climbs out of the folder the entry names
        "%t%\\inner\\.\\..\\outside.dll",
        "\\\\?\\%t%\\outside.dll",      // the system's own namespace
    };
    for (const char* entry : entries) {
        SCOPED_TRACE(entry);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\KelvaraTestModule");
        folder.MakeFolder("inner");
        ASSERT_TRUE(::CopyFileA(module.c_str(), folder.PathOf("outside.dll").c_str(), FALSE));
        CRecordingStatus status;
        CRemovalProcess process(folder, &status);
        ASSERT_TRUE(process.LoadDatabase(std::string("<Item Type=\"2\" Value=\"") + entry + "\"/>"));
        EXPECT_EQ(process.RemoveSpyware(folder.PathOf("none.exe").c_str(), kSpywareId), 1);
        EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\KelvaraTestModule", "Unregistered"));
        EXPECT_TRUE(FileExists(folder.PathOf("outside.dll")));
        EXPECT_EQ(process.UnregisterModule(folder.PathOf("inner\\..\\outside.dll").c_str()), 0);
        EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, "Software\\KelvaraTestModule", "Unregistered"));
    }
}

TEST(SpywareRemoval, RemovablePathsAreFullPathsOnLocalFixedDrives)
{
    CTempFolder folder;
    const std::string base = folder.Path();
    const struct {
        std::string path;
        bool removable;
    } cases[] = {
        {base + "\\spy.dll", true},
        {base + "\\sub\\", true},
        {base + "/spy.dll", true},
        {base + "\\sub\\..\\spy.dll", false},
        {base + "\\.\\spy.dll", false},
        {base + "\\sub\\\\spy.dll", false},
        {base + "\\nul.txt", false},
        {base + "\\COM1", false},
        {base + "\\spy.dll::$DATA", false},
        {base + "\\sp?.dll", false},
        {"c:\\", false},
        {"c:spy.dll", false},
        {"spy.dll", false},
        {"\\spy.dll", false},
        {"\\\\server\\share\\spy.dll", false},
        {"\\\\.\\PhysicalDrive0", false},
        {"q:\\spy.dll", false},
        {"", false},
    };
    for (const auto& c : cases) {
        CString full;
        EXPECT_EQ(JudgeRemovablePath(c.path.c_str(), &full), c.removable) << c.path;
        if (c.removable) {
            EXPECT_EQ(full.Find(".."), -1) << c.path;
        }
    }
}

TEST(SpywareRemoval, FileEntriesNeverReachTheSystemsOwnProcesses)
{
    // A stand-in under the name of the logon process: never ended, never deleted, never
    // scheduled for deletion at the next start.
    CTempFolder folder;
    const std::string image = folder.PathOf("winlogon.exe");
    CChildProcess standIn(image);
    ASSERT_TRUE(standIn.Started()) << "start error " << standIn.StartError();
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    ASSERT_TRUE(process.LoadDatabase("<Item Type=\"8\" Value=\"%t%\\winlogon.exe\"/>"));
    EXPECT_EQ(process.RemoveSpyware(folder.PathOf("none.exe").c_str(), kSpywareId), 1);
    EXPECT_EQ(process.DeleteLockedFile(image.c_str(), TRUE), 0);
    // As a module, which is deleted without ending anything.
    EXPECT_EQ(process.DeleteLockedFile(image.c_str(), FALSE), 0);
    EXPECT_FALSE(standIn.WaitEnded(0));
    EXPECT_TRUE(FileExists(image));
    EXPECT_TRUE(process.scheduled.empty());
    EXPECT_TRUE(status.Results().empty());
}

TEST(SpywareRemoval, FileItemAndUnknownRecord)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    ASSERT_TRUE(process.LoadDatabase("<Item Type=\"8\" Value=\"%t%\\other.dat\"/>"));
    const std::string found = folder.WriteFile("found.exe", "x");
    const std::string other = folder.WriteFile("other.dat", "x");
    EXPECT_EQ(process.RemoveSpyware(found.c_str(), 99), 1);
    EXPECT_FALSE(FileExists(found));
    EXPECT_TRUE(FileExists(other));
}

TEST(SpywareRemoval, EntriesUseTheScannersPathTokens)
{
    char appData[MAX_PATH + 1] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)));
    const std::string file = std::string(appData) + "\\kelvara_removal_test.dat";
    FILE* out = std::fopen(file.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fclose(out);
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    process.fakeTokens = false;
    ASSERT_TRUE(process.LoadDatabase("<Item Type=\"8\" Value=\"%AppData%\\kelvara_removal_test.dat\"/>"));
    EXPECT_EQ(process.RemoveSpyware(folder.PathOf("none.exe").c_str(), kSpywareId), 1);
    const bool removed = !FileExists(file);
    ::DeleteFileA(file.c_str());
    EXPECT_TRUE(removed);
}

TEST(SpywareRemoval, ModulesAreUnregisteredThenDeleted)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string module = folder.PathOf("spy.dll");
    ASSERT_TRUE(::CopyFileA((ProgramFolder() + "\\engine_test_module.dll").c_str(), module.c_str(), FALSE));
    ASSERT_TRUE(process.LoadDatabase("<Item Type=\"2\" Value=\"%t%\\spy.dll\"/>"));
    EXPECT_EQ(process.RemoveSpyware(folder.PathOf("none.exe").c_str(), kSpywareId), 1);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, "Software\\KelvaraTestModule", "Unregistered"));
    EXPECT_FALSE(FileExists(module));
    EXPECT_EQ(process.UnregisterModule(""), 0);
    EXPECT_EQ(process.UnregisterModule(folder.PathOf("missing.dll").c_str()), 0);
}

TEST(SpywareRemoval, FoldersReportTheLastRemoval)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    folder.MakeFolder("a");
    folder.WriteFile("b\\f", "x");
    EXPECT_EQ(process.RemoveSpywareFolders({}), 1);
    EXPECT_EQ(process.RemoveSpywareFolders({"%t%\\a", "%t%\\b"}), 0);
    folder.MakeFolder("a");
    EXPECT_EQ(process.RemoveSpywareFolders({"%t%\\b", "%t%\\a", "c:\\untokened"}), 1);
}

TEST(DeleteLockedFile, MissingAndReadOnlyFilesNeedNoReport)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    EXPECT_EQ(process.DeleteLockedFile(folder.PathOf("missing.dat").c_str(), TRUE), 1);
    const std::string readOnly = ReadReadOnlyFile(folder, "ro.dat");
    EXPECT_EQ(process.DeleteLockedFile(readOnly.c_str(), FALSE), 1);
    EXPECT_FALSE(FileExists(readOnly));
    EXPECT_TRUE(status.Results().empty());
    EXPECT_TRUE(process.scheduled.empty());
}

TEST(DeleteLockedFile, RunningImageIsFreedByEndingItsProcess)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string image = folder.PathOf("running.exe");
    CChildProcess child(image);
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    EXPECT_EQ(process.DeleteLockedFile(image.c_str(), TRUE), 1);
    EXPECT_TRUE(child.WaitEnded(30000));
    EXPECT_FALSE(FileExists(image));
    EXPECT_TRUE(status.Results().empty());
    EXPECT_TRUE(process.scheduled.empty());
}

TEST(DeleteLockedFile, RunningImageWithoutTerminationIsScheduled)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string image = folder.PathOf("running.exe");
    CChildProcess child(image);
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    EXPECT_EQ(process.DeleteLockedFile(image.c_str(), FALSE), 1);
    EXPECT_FALSE(child.WaitEnded(0));
    EXPECT_EQ(process.scheduled, std::vector<std::string>{image});
    EXPECT_EQ(status.Results(), std::vector<int>{1});
}

TEST(DeleteLockedFile, FileHeldWithoutSharingIsScheduledAndReported)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string held = folder.WriteFile("held.dat", "x");
    CChildProcess holder(folder.PathOf("holder.exe"), "hold \"" + held + "\"");
    ASSERT_TRUE(holder.Started()) << "start error " << holder.StartError();
    // Deleting a file opened without sharing fails with a sharing violation, not access denied.
    EXPECT_EQ(process.DeleteLockedFile(held.c_str(), TRUE), 1);
    EXPECT_FALSE(holder.WaitEnded(0));  // not its image: the holder runs on
    EXPECT_TRUE(FileExists(held));
    EXPECT_EQ(process.scheduled, std::vector<std::string>{held});
    EXPECT_EQ(status.Results(), std::vector<int>{1});
}

TEST(DeleteLockedFile, FailedSchedulingIsNeitherReportedNorSuccess)
{
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    const std::string held = folder.WriteFile("held.dat", "x");
    CChildProcess holder(folder.PathOf("holder.exe"), "hold \"" + held + "\"");
    ASSERT_TRUE(holder.Started()) << "start error " << holder.StartError();
    process.scheduleResult = FALSE;
    EXPECT_EQ(process.DeleteLockedFile(held.c_str(), TRUE), 0);
    EXPECT_TRUE(status.Results().empty());
}

TEST(DeleteLockedFile, SchedulingReachesThePendingOperationsOfThePrefix)
{
    // The real request: Wine keeps it in the prefix's registry like Windows, and carries it out
    // at its next restart; the test puts the list back as it was.
    CTempFolder folder;
    CRecordingStatus status;
    CRemovalProcess process(folder, &status);
    process.recordSchedules = false;
    const std::string held = folder.WriteFile("pending.dat", "x");
    CChildProcess holder(folder.PathOf("holder.exe"), "hold \"" + held + "\"");
    ASSERT_TRUE(holder.Started()) << "start error " << holder.StartError();
    const std::string before = ReadPending();
    EXPECT_EQ(process.DeleteLockedFile(held.c_str(), TRUE), 1);
    const std::string after = ReadPending();
    RestorePending(before);
    EXPECT_NE(after.find("pending.dat"), std::string::npos);
    EXPECT_EQ(status.Results(), std::vector<int>{1});
}
