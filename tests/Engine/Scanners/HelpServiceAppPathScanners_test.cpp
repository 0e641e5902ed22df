// Help registrations, service programs and application paths under HKEY_LOCAL_MACHINE.
#include "RegistryScannerTest.h"

namespace {

const char kHelpClasses[] = "SOFTWARE\\Microsoft\\HTMLHelp\\2.0\\LocalReg\\CLSID";
const char kHelpList[] = "SOFTWARE\\Microsoft\\Windows\\Help";
const char kServices[] = "SYSTEM\\CurrentControlSet\\Services";
const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

std::string MachineItem(const std::string& path)
{
    return "HKEY_LOCAL_MACHINE\\" + path;
}

void AddService(const char* name, const std::string& imagePath)
{
    const std::string key = std::string(kServices) + "\\" + name;
    WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "ImagePath", imagePath.c_str(), REG_EXPAND_SZ);
    WriteRegDword(HKEY_LOCAL_MACHINE, key.c_str(), "Start", 3);
}

void AddAppPath(const char* name, const std::string& program, const std::string& folder = std::string())
{
    const std::string key = std::string(kAppPaths) + "\\" + name;
    WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "", program.c_str());
    if (!folder.empty())
        WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "Path", folder.c_str());
}

} // namespace

class HelpFileScan : public RegistryScannerTest {};

TEST_F(HelpFileScan, ReportsHelpClassesAndHelpFilesThatAreGone)
{
    const std::string goneClass = std::string(kHelpClasses) + "\\{E0000000-0000-0000-0000-000000000001}";
    WriteRegString(HKEY_LOCAL_MACHINE, (goneClass + "\\InprocServer32").c_str(), "Server", Missing("help.dll").c_str());
    WriteRegString(HKEY_LOCAL_MACHINE, (goneClass + "\\InprocServer32").c_str(), "Other", Missing("help2.dll").c_str());
    const std::string goodClass = std::string(kHelpClasses) + "\\{E0000000-0000-0000-0000-000000000002}";
    WriteRegString(HKEY_LOCAL_MACHINE, (goodClass + "\\InprocServer32").c_str(), "", Present("help.dll").c_str());

    files.WriteFile("Docs\\MANUAL.HLP", "h");
    WriteRegString(HKEY_LOCAL_MACHINE, kHelpList, "manual.hlp", files.PathOf("Docs").c_str());
    WriteRegString(HKEY_LOCAL_MACHINE, kHelpList, "Lost.HLP", (files.PathOf("Docs") + "\\").c_str());

    CScannerHarness scanner;
    scanner.ScanHelpFiles();
    EXPECT_EQ(scanner.SortedFindings(SCAN_HLP), Sorted({MachineItem(goneClass), ValueItem(MachineItem(kHelpList), "lost.hlp")}));
}

TEST_F(HelpFileScan, WithoutHtmlHelpClassesNoHelpFileIsExamined)
{
    WriteRegString(HKEY_LOCAL_MACHINE, kHelpList, "lost.hlp", files.Path().c_str());
    CScannerHarness scanner;
    scanner.ScanHelpFiles();
    EXPECT_TRUE(scanner.Findings(SCAN_HLP).empty());
}

class ServiceScan : public RegistryScannerTest {};

TEST_F(ServiceScan, JudgesServiceProgramsInEveryImagePathForm)
{
    const std::string systemName = UniqueName("kelvara_svc", ".exe");
    CSystemFile inSystem("system32", systemName);
    const std::string goneName = UniqueName("kelvara_gone", ".exe");
    const struct {
        const char* service;
        std::string imagePath;
        bool reported;
    } rows[] = {
        {"Quoted", "\"" + Missing("svc.exe") + "\" -k group", true},
        {"Here", "\"" + Present("here.exe") + "\" -k group", false},
        {"Driver", "system32\\drivers\\" + goneName.substr(0, goneName.size() - 4) + ".sys", false},
        {"Variable", "%SystemRoot%\\system32\\" + systemName + " -k netsvcs", false},
        {"NtRoot", "\\SystemRoot\\System32\\" + systemName, false},
        {"NtRootGone", "\\SystemRoot\\System32\\" + goneName, true},
        {"NtPrefix", "\\??\\" + files.PathOf("here.exe"), false},
        {"NtPrefixGone", "\\??\\" + Missing("gone.exe"), true},
        {"Relative", "system32\\" + systemName, false},
        {"RelativeGone", "system32\\" + goneName, true},
    };
    std::vector<std::string> expected;
    for (const auto& row : rows) {
        AddService(row.service, row.imagePath);
        if (row.reported)
            expected.push_back(MachineItem(std::string(kServices) + "\\" + row.service));
    }

    CScannerHarness scanner;
    scanner.ScanServices();
    EXPECT_EQ(scanner.SortedFindings(SCAN_SRV), Sorted(expected));
}

class AppPathScan : public RegistryScannerTest {};

TEST_F(AppPathScan, ReportsProgramsFoundNeitherWhereNamedNorInTheirFolder)
{
    files.WriteFile("bin\\bare.exe", "b");
    AddAppPath("gone.exe", Missing("gone.exe"));
    AddAppPath("cmmgr32.exe", Missing("cmmgr32.exe"));
    AddAppPath("here.exe", Present("here.exe"), Missing("nowhere"));
    AddAppPath("bare.exe", "bare.exe", files.PathOf("bin") + "\\");
    AddAppPath("barenowhere.exe", UniqueName("kelvara_nowhere", ".exe"), files.PathOf("bin"));
    AddAppPath("fullpathgone.exe", Missing("full.exe"), files.PathOf("bin"));
    AddAppPath("settings.exe", Missing("settings.exe"));
    WriteRegDword(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\settings.exe").c_str(), "UseUrl", 1);

    CScannerHarness scanner;
    scanner.SetScanMode(SCAN_MODE_SCHEDULED);
    scanner.ScanAppPaths();
    const std::string prefix = MachineItem(kAppPaths) + "\\";
    EXPECT_EQ(scanner.SortedFindings(SCAN_APP),
              Sorted({prefix + "barenowhere.exe", prefix + "fullpathgone.exe", prefix + "gone.exe"}));
    EXPECT_EQ(scanner.AddedScanFolders().size(), 1u);
}

// Every registry scanner tests the running flag before each entry: a stopped scan reports
// nothing, however broken the registry.
TEST_F(AppPathScan, StoppedScannersReportNothing)
{
    const std::string gone = Missing("gone.exe");
    AddAppPath("gone.exe", gone);
    AddService("GoneSvc", gone);
    WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Gone", gone.c_str());
    WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", gone.c_str(), 1);
    WriteRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gone",
                   "UninstallString", gone.c_str());
    WriteRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Gone", gone.c_str());
    WriteRegString(HKEY_CLASSES_ROOT, "CLSID\\{F0000000-0000-0000-0000-000000000001}\\InprocServer32", "",
                   Missing("gone.dll").c_str());
    WriteRegString(HKEY_CLASSES_ROOT, "Interface\\{F0000000-0000-0000-0000-000000000002}\\TypeLib", "",
                   "{F0000000-0000-0000-0000-0000000000FF}");
    CreateRegKey(HKEY_CLASSES_ROOT, "TypeLib");
    CreateRegKey(HKEY_CLASSES_ROOT, ".empty");

    CScannerHarness scanner;
    scanner.SetRunning(false);
    scanner.ScanActiveX();
    scanner.ScanUninstallEntries("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    scanner.ScanFonts();
    scanner.ScanSharedDlls();
    scanner.ScanAppPaths();
    scanner.ScanHelpFiles();
    scanner.ScanStartupItems();
    scanner.ScanFileAssociations();
    scanner.ScanTypeLibraries();
    scanner.ScanServices();
    EXPECT_TRUE(scanner.status.EventsOf(StatusEvent::Item).empty());

    // The same fixtures, running: each scanner finds its entry.
    scanner.SetRunning(true);
    scanner.ScanServices();
    scanner.ScanFonts();
    EXPECT_EQ(scanner.status.EventsOf(StatusEvent::Item).size(), 2u);
}
