// The hive compactor against hive lists made in a registry sandbox: the list the system keeps is
// empty under Wine, so the fixtures stand in for it, with real hive saves of sandboxed keys.
#include <gtest/gtest.h>

#include <string>

#include "DefragFixture.h"
#include "LeftBehind.h"
#include "RecordingStatus.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"

namespace {

struct DeviceCase {
    const char* path;
    const char* expected;  // null: left unchanged
};

std::vector<DriveDevice> TestDevices()
{
    return {DriveDevice("C:", "\\Device\\HarddiskVolume1"), DriveDevice("D:", "\\Device\\HarddiskVolume10"),
            DriveDevice("E:", "\\Device\\HarddiskVolume1")};
}

} // namespace

TEST(RegistryDefragRules, WorkFolderStaysOnTheWindowsDrive)
{
    struct Case {
        const char* program;
        const char* windows;
        const char* expected;
    } cases[] = {
        {"C:\\Program Files\\Kelvara", "C:\\WINDOWS", "c:\\program files\\kelvara"},
        {"c:\\Kelvara", "C:\\Windows", "c:\\kelvara"},
        {"D:\\Tools\\Kelvara", "C:\\WINDOWS", "c:\\Bellwort Registry Reriraz"},
        {"\\\\server\\share\\Kelvara", "C:\\WINDOWS", "c:\\Bellwort Registry Reriraz"},
        {"E:\\Kelvara", "E:\\Win", "e:\\kelvara"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(CRegistryDefrag::ChooseWorkFolderParent(c.program, c.windows)), c.expected)
            << c.program;
}

TEST(RegistryDefragRules, DeviceNamesMatchOnlyAtAPathBoundary)
{
    const DeviceCase cases[] = {
        {"\\device\\harddiskvolume1\\windows\\system32\\config\\software", "C:\\windows\\system32\\config\\software"},
        {"\\DEVICE\\HARDDISKVOLUME1\\x", "C:\\x"},
        // Volume10 is D:, not C: followed by "0\...".
        {"\\device\\harddiskvolume10\\config\\system", "D:\\config\\system"},
        {"\\device\\harddiskvolume1", "C:"},
        {"\\device\\harddiskvolume11\\config", nullptr},
        {"\\device\\harddiskvolume", nullptr},
        {"c:\\windows\\system32\\config\\sam", nullptr},
        {"", nullptr},
    };
    for (const DeviceCase& c : cases) {
        CString path(c.path);
        const bool converted = CRegistryDefrag::DeviceToDosPath(&path, TestDevices());
        EXPECT_EQ(converted, c.expected != nullptr) << c.path;
        EXPECT_EQ(std::string(path), c.expected ? c.expected : c.path) << c.path;
    }
}

TEST(RegistryDefragRules, ConvertedPathLongerThanAPathIsRefused)
{
    const CString device("\\Device\\HarddiskVolume1");
    CString fits = device + "\\" + CString('a', MAX_PATH - 4);  // "C:\" + 256 = 259 characters
    CString tooLong = device + "\\" + CString('a', MAX_PATH - 3);
    const CString original(tooLong);
    EXPECT_TRUE(CRegistryDefrag::DeviceToDosPath(&fits, TestDevices()));
    EXPECT_EQ(fits.GetLength(), MAX_PATH - 1);
    EXPECT_FALSE(CRegistryDefrag::DeviceToDosPath(&tooLong, TestDevices()));
    EXPECT_EQ(tooLong, original);
    // A device name of a path's length never matches.
    CString path = CString('x', MAX_PATH + 10);
    std::vector<DriveDevice> huge = {DriveDevice("C:", CString('x', MAX_PATH))};
    EXPECT_FALSE(CRegistryDefrag::DeviceToDosPath(&path, huge));
}

TEST(RegistryDefragSystem, DeviceMapOfTheSystemDriveConvertsBack)
{
    // Wine names its drives' devices as Windows does; the real map finds the Windows drive.
    char windows[MAX_PATH + 1] = {};
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 2u);
    const CString drive = CString(windows).Left(2);
    CString device;
    for (const DriveDevice& entry : CRegistryDefrag::ReadDeviceMap())
        if (entry.first.CompareNoCase(drive) == 0)
            device = entry.second;
    ASSERT_FALSE(device.IsEmpty());
    CString path = device + CString(windows).Mid(2);
    ASSERT_TRUE(CRegistryDefrag::DeviceToDosPath(&path));
    EXPECT_EQ(path.CompareNoCase(windows), 0) << path.GetString();
}

TEST(RegistryDefragSystem, PrivilegesCanBeSwitchedAndGateTheSave)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Saved", "name", "value"));
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Saved", 0, KEY_READ, &key), ERROR_SUCCESS);
    const std::string file = fixture.folder.PathOf("saved.hiv");
    CRegistryDefrag& defrag = fixture.defrag;
    EXPECT_FALSE(defrag.EnablePrivilege(TRUE, "SeNoSuchPrivilege"));
    ASSERT_TRUE(defrag.EnablePrivilege(FALSE, "SeBackupPrivilege"));
    EXPECT_EQ(::RegSaveKeyA(key, file.c_str(), nullptr), ERROR_PRIVILEGE_NOT_HELD);
    ASSERT_TRUE(defrag.EnablePrivilege(TRUE, "SeBackupPrivilege"));
    EXPECT_EQ(::RegSaveKeyA(key, file.c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_GT(CRegistryDefrag::GetFileSize(file.c_str()), 0u);
    EXPECT_TRUE(defrag.EnablePrivilege(FALSE, "SeBackupPrivilege"));
    ::RegCloseKey(key);
    EXPECT_EQ(CRegistryDefrag::GetFileSize(fixture.folder.PathOf("missing").c_str()), 0u);
    EXPECT_EQ(CRegistryDefrag::GetFileSize(fixture.folder.Path().c_str()), 0u);
}

TEST(RegistryDefragWorkFolder, IsMadeWithBackupAndEmptiedOfFilesOnly)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    CString work;
    ASSERT_EQ(fixture.defrag.PrepareWorkFolder(&work), 1);
    EXPECT_EQ(std::string(work), fixture.folder.PathOf("RegistryDefrag"));
    const std::string stale = fixture.folder.WriteFile("RegistryDefrag\\LM_OLD", "old");
    const std::string staleBackup = fixture.folder.WriteFile("RegistryDefrag\\Backup\\LM_OLD", "old");
    const std::string kept = fixture.folder.WriteFile("RegistryDefrag\\Sub\\keep", "keep");
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    EXPECT_FALSE(FileExists(stale));
    EXPECT_FALSE(FileExists(staleBackup));
    EXPECT_TRUE(FileExists(kept));

    // A work folder that cannot be made fails the preparation.
    fixture.defrag.SetWorkFolderParent(fixture.folder.WriteFile("plainfile", "x").c_str());
    EXPECT_EQ(fixture.defrag.PrepareWorkFolder(&work), 0);
}

TEST(RegistryDefragWorkFolder, IsLeftAloneByTheCompactorsCreation)
{
    // The work folder of the program (beside it, or at the Windows drive's root), and in it a
    // compacted hive of another user of the engine that waits for its restart, under a name of
    // this test's own.
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string parent(CRegistryDefrag::ChooseWorkFolderParent(ProgramFolder().c_str(), windows));
    CLeftBehind restored({ parent });
    CString work;
    ASSERT_EQ(1, CTestDefrag().PrepareWorkFolder(&work));
    ASSERT_EQ(parent + "\\RegistryDefrag", std::string(work));
    const std::string waiting = std::string(work) + "\\LM_KelvaraWaiting" + std::to_string(::GetCurrentProcessId());
    FILE* file = fopen(waiting.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fclose(file);
    {
        CTestDefrag defrag;
    }
    EXPECT_TRUE(FileExists(waiting));
    ::DeleteFileA(waiting.c_str());
}

TEST(RegistryDefragHiveList, ReadsMachineUserAndDeviceFormHives)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    const std::string software = fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 4000);
    // A user hive named in the device form of its drive's path.
    const std::string user = fixture.folder.WriteFile("ntuser.dat", std::string(3000, 'u'));
    fixture.AddListValue("\\REGISTRY\\USER\\S-1-5-21-7", CDefragFixture::DeviceForm(user));
    fixture.AddListValue("\\REGISTRY\\MACHINE\\GONE", fixture.folder.PathOf("gone"));
    fixture.AddListValue("\\REGISTRY\\MACHINE\\EMPTY", "");
    fixture.AddHive("\\REGISTRY\\ELSEWHERE\\Odd", "odd", 100);
    (void)software;

    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    const auto& hives = fixture.defrag.GetHives();
    ASSERT_EQ(hives.size(), 3u);  // values enumerate sorted by name under Wine
    std::map<std::string, const _HIVE_INFORMATION*> byName;
    for (const _HIVE_INFORMATION& hive : hives)
        byName[std::string(hive.KeyName)] = &hive;
    ASSERT_TRUE(byName.count("SOFTWARE") && byName.count("S-1-5-21-7") && byName.count("Odd"));
    const std::string work = fixture.folder.PathOf("RegistryDefrag");
    EXPECT_EQ(byName["SOFTWARE"]->Root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(std::string(byName["SOFTWARE"]->CompactedFile), work + "\\LM_SOFTWARE");
    EXPECT_EQ(std::string(byName["SOFTWARE"]->BackupFile), work + "\\Backup\\LM_SOFTWARE");
    EXPECT_EQ(byName["S-1-5-21-7"]->Root, HKEY_USERS);
    EXPECT_EQ(std::string(byName["S-1-5-21-7"]->CompactedFile), work + "\\USERS_S-1-5-21-7");
    EXPECT_EQ(byName["Odd"]->Root, nullptr);
    EXPECT_EQ(fixture.defrag.GetHiveSize(), 4000u + 3000u + 100u);
}

TEST(RegistryDefragHiveList, MissingListFails)
{
    CDefragFixture fixture(false);
    ASSERT_TRUE(fixture.Ready());
    EXPECT_EQ(fixture.defrag.ReadHiveList(), 0);
    EXPECT_TRUE(fixture.defrag.GetHives().empty());
}

TEST(RegistryDefragCompact, SavesEveryHiveThatOpensWithOneStepEach)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    fixture.AddHive("\\REGISTRY\\USER\\S-1-5-21-7", "ntuser", 100000);
    fixture.AddHive("\\REGISTRY\\MACHINE\\NOKEY", "nokey", 100);  // no such key in the sandbox
    fixture.AddHive("\\REGISTRY\\ELSEWHERE\\Odd", "odd", 100);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Setting", "on"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1-5-21-7\\Environment", "TEMP", "c:\\temp"));
    CRecordingStatus status;
    fixture.defrag.SetStatus(&status);
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    ASSERT_EQ(fixture.defrag.CompactHives(), 1);

    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 2);
    const std::string work = fixture.folder.PathOf("RegistryDefrag\\");
    const DWORD software = CRegistryDefrag::GetFileSize((work + "LM_SOFTWARE").c_str());
    const DWORD user = CRegistryDefrag::GetFileSize((work + "USERS_S-1-5-21-7").c_str());
    EXPECT_GT(software, 0u);
    EXPECT_GT(user, 0u);
    EXPECT_FALSE(FileExists(work + "LM_NOKEY"));
    EXPECT_EQ(fixture.defrag.GetCompactedSize(), software + user);
    EXPECT_NE(ReadWholeFile(work + "LM_SOFTWARE").find("Setting"), std::string::npos);
    // The backup privilege is dropped again afterwards.
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(::RegSaveKeyA(key, fixture.folder.PathOf("after").c_str(), nullptr), ERROR_PRIVILEGE_NOT_HELD);
    ::RegCloseKey(key);
}

TEST(RegistryDefragCompact, WithoutTheBackupPrivilegeNothingIsSaved)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
    fixture.defrag.refusePrivileges = true;
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    EXPECT_EQ(fixture.defrag.CompactHives(), 0);
    EXPECT_EQ(fixture.defrag.GetCompactedSize(), 0u);
    EXPECT_FALSE(FileExists(fixture.folder.PathOf("RegistryDefrag\\LM_SOFTWARE")));
}

TEST(RegistryDefragReplace, ReplacesWithACopySavedAfterTheLastChange)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Before", "1"));
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    ASSERT_EQ(fixture.defrag.CompactHives(), 1);
    // A change made between the analysis and the compaction must reach the replacement.
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "AfterAnalysis", "2"));
    const std::string compacted = fixture.folder.PathOf("RegistryDefrag\\LM_SOFTWARE");
    const std::string backup = fixture.folder.PathOf("RegistryDefrag\\Backup\\LM_SOFTWARE");
    fixture.folder.WriteFile("RegistryDefrag\\Backup\\LM_SOFTWARE", "stale");
    CRecordingStatus status;
    fixture.defrag.SetStatus(&status);
    fixture.defrag.recordRequests = true;

    ASSERT_EQ(fixture.defrag.ReplaceHives(), 1);
    ASSERT_EQ(fixture.defrag.requests.size(), 1u);
    EXPECT_EQ(fixture.defrag.requests[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(fixture.defrag.requests[0].key, "SOFTWARE");
    EXPECT_EQ(fixture.defrag.requests[0].newFile, compacted);
    EXPECT_EQ(fixture.defrag.requests[0].oldFile, backup);
    EXPECT_NE(fixture.defrag.requests[0].newFileText.find("AfterAnalysis"), std::string::npos);
    EXPECT_FALSE(FileExists(backup));  // cleared for the system to write the old hive
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), 1);
}

TEST(RegistryDefragReplace, RealRequestIsAcceptedByWine)
{
    // Wine accepts any replacement and does nothing with it; Windows swaps at the next start.
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    ASSERT_EQ(fixture.defrag.CompactHives(), 1);
    EXPECT_EQ(fixture.defrag.ReplaceHives(), 1);
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
}

TEST(RegistryDefragReplace, RefusedRequestFailsAndLeavesNoBackupFile)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    ASSERT_EQ(fixture.defrag.CompactHives(), 1);
    fixture.defrag.recordRequests = true;
    fixture.defrag.requestResult = ERROR_ACCESS_DENIED;
    fixture.defrag.writeBackupOnRequest = true;
    EXPECT_EQ(fixture.defrag.ReplaceHives(), 0);
    EXPECT_EQ(fixture.defrag.requests.size(), 1u);
    EXPECT_FALSE(FileExists(fixture.folder.PathOf("RegistryDefrag\\Backup\\LM_SOFTWARE")));
}

TEST(RegistryDefragReplace, HiveWhoseSaveFailedIsNotReplaced)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 100000);
    fixture.AddHive("\\REGISTRY\\MACHINE\\NOKEY", "nokey", 100000);
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
    ASSERT_EQ(fixture.defrag.ReadHiveList(), 1);
    ASSERT_EQ(fixture.defrag.CompactHives(), 1);
    fixture.defrag.recordRequests = true;
    EXPECT_EQ(fixture.defrag.ReplaceHives(), 1);
    ASSERT_EQ(fixture.defrag.requests.size(), 1u);
    EXPECT_EQ(fixture.defrag.requests[0].key, "SOFTWARE");
}
