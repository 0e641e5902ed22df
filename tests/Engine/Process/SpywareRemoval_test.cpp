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
#include "RegistrySandbox.h"
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
        m_status = status;
    }
    ~CRemovalProcess() override { m_status = nullptr; }

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
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(process.DeleteLockedFile(image.c_str(), TRUE), 1);
    EXPECT_TRUE(child.WaitEnded(5000));
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
    ASSERT_TRUE(child.Started());
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
    ASSERT_TRUE(holder.Started());
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
    ASSERT_TRUE(holder.Started());
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
    ASSERT_TRUE(holder.Started());
    const std::string before = ReadPending();
    EXPECT_EQ(process.DeleteLockedFile(held.c_str(), TRUE), 1);
    const std::string after = ReadPending();
    RestorePending(before);
    EXPECT_NE(after.find("pending.dat"), std::string::npos);
    EXPECT_EQ(status.Results(), std::vector<int>{1});
}
