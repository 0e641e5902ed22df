// Run-key values whose program is missing and Start menu order entries that lead nowhere.
#include "RegistryScannerTest.h"

#include <shlobj.h>

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunOnceEx[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
const char kMenuOrder2[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs";

std::string CommonProgramsFolder()
{
    char folder[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, folder);
    return folder;
}

std::string Repeated(const char* text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

} // namespace

class StartupScan : public RegistryScannerTest {};

TEST_F(StartupScan, ReportsRunValuesWhoseProgramIsMissing)
{
    const struct {
        HKEY root;
        const char* key;
        const char* name;
        std::string data;
        bool reported;
    } rows[] = {
        {HKEY_CURRENT_USER, kRun, "Gone", "\"" + Missing("tray.exe") + "\" /min", true},
        {HKEY_CURRENT_USER, kRun, "Here", "\"" + Present("here.exe") + "\" /min", false},
        {HKEY_CURRENT_USER, kRun, "ByName", "notepad.exe", false},
        {HKEY_CURRENT_USER, kRun, "Script", Missing("start.cmd"), false},
        {HKEY_CURRENT_USER, kRun, "OnlyQuotes", "\"\"", true},
        {HKEY_CURRENT_USER, kRun, "Network", "\\\\server\\share\\tray.exe", false},
        {HKEY_CURRENT_USER, kRun, "Apostrophes", "'" + Missing("quoted.exe") + "'", true},
        {HKEY_LOCAL_MACHINE, kRunOnceEx, "Once", Missing("once.exe") + " -x", true},
        // Long repetitive texts are judged by their first 32,767 characters, in one pass: no
        // program path ends there, so no finding.
        {HKEY_CURRENT_USER, kRun, "Repeated", Repeated(".exe", 250000), false},
        {HKEY_CURRENT_USER, kRun, "RepeatedPath", Missing("long") + Repeated(".exe", 250000) + " /x", false},
        {HKEY_CURRENT_USER, kRun, "RepeatedAfter", Missing("before.exe") + " " + Repeated(".exe", 250000), true},
    };
    std::vector<std::string> expected;
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteRegString(row.root, row.key, row.name, row.data.c_str()));
        if (row.reported)
            expected.push_back(ValueItem(std::string(row.root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\"
                                                                                   : "HKEY_LOCAL_MACHINE\\") +
                                             row.key,
                                         row.name));
    }

    CScannerHarness scanner;
    scanner.ScanStartupItems();
    EXPECT_EQ(scanner.SortedFindings(SCAN_SUI), Sorted(expected));
    ASSERT_EQ(scanner.RunKeys().size(), 5u);
    EXPECT_EQ(std::string(scanner.RunKeys()[4].KeyPath), kRunOnceEx);
}

TEST_F(StartupScan, ReportsMenuOrderEntriesThatExistInNoCandidateFolder)
{
    const std::string present = UniqueName("KelvaraMenu", "");
    const std::string presentFolder = CommonProgramsFolder() + "\\" + present;
    ASSERT_TRUE(::CreateDirectoryA(presentFolder.c_str(), nullptr));
    const std::string absent = UniqueName("KelvaraNowhere", "");
    // Only the second store: the first one is absent.
    CreateRegKey(HKEY_CURRENT_USER, (std::string(kMenuOrder2) + "\\" + present).c_str());
    CreateRegKey(HKEY_CURRENT_USER, (std::string(kMenuOrder2) + "\\" + absent).c_str());

    CScannerHarness scanner;
    scanner.ScanStartupItems();
    ::RemoveDirectoryA(presentFolder.c_str());
    EXPECT_EQ(scanner.Findings(SCAN_SUI),
              std::vector<std::string>{"HKEY_CURRENT_USER\\" + std::string(kMenuOrder2) + "\\" + absent});
}
