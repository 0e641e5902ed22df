// The file-reference (FPR), empty-key (ERK) and sound-event (SAE) scanners on sandboxed roots.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <algorithm>
#include <string>
#include <vector>

#include "Registry/RegistryKey.h"
#include "RegistrySandbox.h"
#include "ScanTestProcess.h"
#include "TempFolder.h"
#include "Wow64.h"

namespace {

const char kUserKey[] = "S-1-5-21-7\\Software\\Vendor";
const std::string kUserItem = std::string("HKEY_USERS\\") + kUserKey;

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// Denies everyone the right to change a key's values (reading stays allowed).
bool MakeReadOnly(HKEY root, const char* key)
{
    CRegistryKey opened;
    if (opened.Open(root, key, WRITE_DAC) != ERROR_SUCCESS)
        return false;
    char sddl[] = "D:P(A;;KR;;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    const LONG result = ::RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

class ReferenceScannersTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sandbox.IsActive()); }
    void TearDown() override
    {
        m_process.StopDirectScan();
        CWow64::ForceState(CWow64::NotForced);
    }

    CRegistrySandbox m_sandbox;
    CTempFolder m_folder;
    CScanTestProcess m_process;
    CRecordingStatus m_status;
};

} // namespace

TEST_F(ReferenceScannersTest, FileReferencesReportsValuesNamingMissingFilesOnly)
{
    const std::string present = m_folder.WriteFile("app\\present.exe", "x");
    const std::string missing = m_folder.PathOf("app\\missing.exe");
    const std::string onQ = "q:\\app\\missing.exe";
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Missing", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "", ("\"" + missing + "\" /run").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Present", (present + " -x").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Folder", m_folder.PathOf("app").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "OtherDrive", onQ.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "BareName", "kelvara-missing.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "OnPath", "notepad.exe /p"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Url", "http://example.com/c:\\setup.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "VarPresent", "%WinDir%\\notepad.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "VarMissing", "%WinDir%\\kelvara-gone.exe"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "EnvVariable", "%ProgramData%\\kelvara-gone.dll"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Expand", missing.c_str(), REG_EXPAND_SZ));
    ASSERT_TRUE(WriteRegBinary(HKEY_USERS, kUserKey, "Binary", missing.c_str(),
                               static_cast<DWORD>(missing.size() + 1)));
    ASSERT_TRUE(WriteRegDword(HKEY_USERS, kUserKey, "Number", 1));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1-5-21-7\\Software\\Vendor\\Deeper\\Still", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "System\\Setup", "Path", missing.c_str()));
    // The start keys themselves and trees outside the three are not looked at.
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "Hardware\\Vendor", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Vendor", "Path", missing.c_str()));

    m_process.BeginDirectScan(&m_status);
    m_process.ScanFileReferences();

    const std::vector<std::string> expected = {
        ValueItem("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor", "Path"),
        ValueItem("HKEY_LOCAL_MACHINE\\System\\Setup", "Path"),
        ValueItem(kUserItem, "(Default)"),
        ValueItem(kUserItem, "Missing"),
        ValueItem(kUserItem, "VarMissing"),
        ValueItem(kUserItem + "\\Deeper\\Still", "Path"),
    };
    EXPECT_EQ(Sorted(expected), Sorted(FindingsOf(m_status, SCAN_FPR)));
    EXPECT_EQ(m_status.EventsOf(StatusEvent::Item).size(), expected.size());
    // The first value of the scan is shown at once, with its key path and value name.
    const std::vector<StatusEvent> activity = m_status.EventsOf(StatusEvent::Activity);
    ASSERT_FALSE(activity.empty());
    EXPECT_EQ("FPR", activity[0].area);
    EXPECT_EQ(0u, activity[0].text.find("HKEY_USERS\\S-1-5-21-7\\Software\\Vendor\\"));
}

TEST_F(ReferenceScannersTest, FileReferencesHidesKeysThatMayNotBeChanged)
{
    const std::string missing = m_folder.PathOf("gone.exe");
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1-5-21-7\\Locked", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1-5-21-7\\Open", "Path", missing.c_str()));
    ASSERT_TRUE(MakeReadOnly(HKEY_USERS, "S-1-5-21-7\\Locked"));
    m_process.BeginDirectScan(&m_status);
    EXPECT_FALSE(m_process.CanWriteRegistryKey("HKEY_USERS", "S-1-5-21-7\\Locked"));
    EXPECT_TRUE(m_process.CanWriteRegistryKey("HKEY_USERS", "S-1-5-21-7\\Open"));
    EXPECT_TRUE(m_process.CanWriteRegistryKey("HKEY_USERS", "S-1-5-21-7\\NoSuchKey"));

    m_process.ScanFileReferences();
    EXPECT_EQ(std::vector<std::string>{ValueItem("HKEY_USERS\\S-1-5-21-7\\Open", "Path")},
              FindingsOf(m_status, SCAN_FPR));
}

TEST_F(ReferenceScannersTest, FileReferencesUnderWow64SkipsTheMirrorButNotTheKeysAfterIt)
{
    const std::string missing = m_folder.PathOf("gone.exe");
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Alpha", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Alpha", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Zulu", "Path", missing.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\Kind", "Path", missing.c_str()));

    CWow64::ForceState(CWow64::ForceOn);
    m_process.BeginDirectScan(&m_status);
    m_process.ScanFileReferences();
    EXPECT_EQ((std::vector<std::string>{ValueItem("HKEY_LOCAL_MACHINE\\SOFTWARE\\Alpha", "Path"),
                                        ValueItem("HKEY_LOCAL_MACHINE\\SOFTWARE\\Zulu", "Path")}),
              Sorted(FindingsOf(m_status, SCAN_FPR)));

    CRecordingStatus native;
    CWow64::ForceState(CWow64::ForceOff);
    m_process.BeginDirectScan(&native);
    m_process.ScanFileReferences();
    EXPECT_EQ(4u, FindingsOf(native, SCAN_FPR).size());
}

TEST_F(ReferenceScannersTest, EmptyKeysReportsKeysWithNeitherSubkeysNorValues)
{
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1-5-21-7\\Software\\Empty"));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1-5-21-7\\Software\\Parent\\Child"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1-5-21-7\\Software\\Valued", "", ""));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, ".DEFAULT\\Empty"));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, ".DEFAULT\\Software\\Deep\\Empty"));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1-5-21-7\\Software\\Locked"));
    ASSERT_TRUE(MakeReadOnly(HKEY_USERS, "S-1-5-21-7\\Software\\Locked"));
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Empty"));

    m_process.BeginDirectScan(&m_status);
    m_process.ScanEmptyKeys();
    EXPECT_EQ((std::vector<std::string>{"HKEY_USERS\\S-1-5-21-7\\Software\\Empty",
                                        "HKEY_USERS\\S-1-5-21-7\\Software\\Parent\\Child"}),
              Sorted(FindingsOf(m_status, SCAN_ERK)));
    const std::vector<StatusEvent> activity = m_status.EventsOf(StatusEvent::Activity);
    ASSERT_FALSE(activity.empty());
    EXPECT_EQ("ERK", activity[0].area);
    EXPECT_EQ("HKEY_USERS\\.DEFAULT", activity[0].text);
}

TEST_F(ReferenceScannersTest, SoundEventsReportsLabelsWhoseResourceFileIsGone)
{
    const std::string present = m_folder.WriteFile("res\\sounds.dll", "x");
    const char* labels[][2] = {
        {"MissingDll", "@kelvara-missing.dll,-1"},
        {"Quoted", "\"@KELVARA-MISSING.DLL,-7\""},
        {"VariableGone", "@%WinDir%\\kelvara-gone.dll,-5"},
        {"SystemDll", "@shell32.dll,-1"},
        {"VariablePresent", "@%SystemDir%\\shell32.dll,-5"},
        {"NoComma", "@kelvara-missing.dll"},
        {"PlainText", "Default Beep"},
    };
    for (const auto& label : labels)
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, (std::string("AppEvents\\EventLabels\\") + label[0]).c_str(),
                                   "DispFileName", label[1]));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\Absolute", "DispFileName",
                               ("@" + present + ",-3").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\OtherName", "DispName",
                               "@kelvara-missing.dll,-1"));
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\NoValues"));

    m_process.BeginDirectScan(&m_status);
    m_process.ScanSoundEvents();
    EXPECT_EQ((std::vector<std::string>{"HKEY_CURRENT_USER\\AppEvents\\EventLabels\\MissingDll",
                                        "HKEY_CURRENT_USER\\AppEvents\\EventLabels\\Quoted",
                                        "HKEY_CURRENT_USER\\AppEvents\\EventLabels\\VariableGone"}),
              Sorted(FindingsOf(m_status, SCAN_SAE)));
    // One step when the labels key opens, one per value with data.
    EXPECT_EQ(1 + 9, m_status.CountProgress(PROGRESS_STEP));
}

TEST_F(ReferenceScannersTest, ScannersEndAtOnceWhenStopped)
{
    ASSERT_TRUE(WriteRegString(HKEY_USERS, kUserKey, "Missing", m_folder.PathOf("gone.exe").c_str()));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1-5-21-7\\Empty"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "AppEvents\\EventLabels\\A", "DispFileName", "@gone.dll,-1"));
    m_process.BeginDirectScan(&m_status);
    m_process.StopDirectScan();
    m_process.ScanFileReferences();
    m_process.ScanEmptyKeys();
    m_process.ScanSoundEvents();
    EXPECT_TRUE(m_status.EventsOf(StatusEvent::Item).empty());
}

TEST_F(ReferenceScannersTest, ClassReferenceWalkReportsKeysWhoseClassIsNotRegistered)
{
    const char registered[] = "{00000000-0000-0000-0000-00000000000a}";
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "Good.ProgId\\CLSID", "", "{00000000-0000-0000-0000-00000000000A}"));
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "Bad.ProgId\\CLSID", "", "{00000000-0000-0000-0000-00000000000B}"));
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "Other.ProgId\\Clsid", "", "{00000000-0000-0000-0000-00000000000C}"));
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{x}\\CLSID", "", "{00000000-0000-0000-0000-00000000000D}"));
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "AppID\\App\\CLSID", "", "{00000000-0000-0000-0000-00000000000E}"));
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "NoBrace\\CLSID", "", "none"));
    // An ancestor whose name starts with "CLSID" stays part of the reported key.
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, "Kind\\CLSIDStore\\Thing\\CLSID", "",
                               "{00000000-0000-0000-0000-00000000000F}"));

    m_process.BeginDirectScan(&m_status);
    m_process.RegisteredClasses().insert(registered);
    m_process.WalkRegistry("HKEY_CLASSES_ROOT", "", CScanTestProcess::WALK_CLASS_REFERENCES);
    EXPECT_EQ((std::vector<std::string>{"HKEY_CLASSES_ROOT\\AppID\\App", "HKEY_CLASSES_ROOT\\Bad.ProgId",
                                        "HKEY_CLASSES_ROOT\\Kind\\CLSIDStore\\Thing"}),
              Sorted(FindingsOf(m_status, SCAN_AXO)));
}
