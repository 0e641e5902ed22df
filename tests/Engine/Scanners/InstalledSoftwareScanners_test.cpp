// Registered fonts, shared DLLs and uninstall entries, on sandboxed registry fixtures.
#include "RegistryScannerTest.h"

namespace {

const char kFonts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kFontsItem[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kSharedDllsItem[] = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kUninstallItem = std::string("HKEY_LOCAL_MACHINE\\") + kUninstall;

// An open handle that no one else may share, as a font or DLL in use.
class CLockedFile
{
public:
    explicit CLockedFile(const std::string& path)
        : m_file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~CLockedFile()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
    }
    bool IsLocked() const { return m_file != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_file;
};

// A folder put at the front of the search path for the life of the object.
class CSearchPathFolder
{
public:
    explicit CSearchPathFolder(const std::string& folder)
    {
        std::vector<char> old(32767, '\0');
        m_had = ::GetEnvironmentVariableA("PATH", old.data(), static_cast<DWORD>(old.size())) > 0;
        m_old = old.data();
        ::SetEnvironmentVariableA("PATH", (folder + ";" + m_old).c_str());
    }
    ~CSearchPathFolder() { ::SetEnvironmentVariableA("PATH", m_had ? m_old.c_str() : nullptr); }

private:
    std::string m_old;
    bool m_had = false;
};

void AddUninstallEntry(const char* entry, const std::string& command, const char* name = "UninstallString")
{
    const std::string key = std::string(kUninstall) + "\\" + entry;
    WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), "DisplayName", entry);
    WriteRegString(HKEY_LOCAL_MACHINE, key.c_str(), name, command.c_str());
}

} // namespace

class FontScan : public RegistryScannerTest {};

TEST_F(FontScan, ReportsFontsFoundNeitherWhereWrittenNorInTheFontsFolder)
{
    CSystemFile inFontsFolder("Fonts", UniqueName("kelvara_font", ".ttf"));
    const std::string bareName = inFontsFolder.Path().substr(inFontsFolder.Path().find_last_of('\\') + 1);
    // Windows looks for a font nowhere else: not in the system folder, not on the search path.
    CSystemFile inSystemFolder("system32", UniqueName("kelvara_font", ".ttf"));
    const std::string systemName = inSystemFolder.Path().substr(inSystemFolder.Path().find_last_of('\\') + 1);
    const std::string onPathName = UniqueName("kelvara_font", ".fon");
    Present("onpath\\" + onPathName);
    CSearchPathFolder onPath(files.PathOf("onpath"));
    const std::string locked = Present("locked.ttf");
    CLockedFile lock(locked);
    ASSERT_TRUE(lock.IsLocked());
    const std::string longName(300, 'L');

    const std::string fontsFolderName = "%SystemRoot%\\Fonts\\";
    const struct {
        std::string name;
        std::string file;
        bool reported;
        DWORD type = REG_SZ;
    } rows[] = {
        {"Present (TrueType)", Present("present.ttf"), false},
        {"In Fonts Folder", bareName, false},
        {"Folder", files.MakeFolder("fontdir"), false},
        {"Locked", locked, false},
        {"Network", "\\\\server\\share\\font.ttf", false},
        {"Missing (TrueType)", Missing("missing.ttf"), true},
        {"Missing Bare", UniqueName("kelvara_nowhere", ".ttf"), true},
        {"Only In System Folder", systemName, true},
        {"Only On Search Path", onPathName, true},
        // A name longer than any fixed buffer is read whole, and the walk goes on after it.
        {longName, Missing("long.ttf"), true},
        {"ZZ After Long", Missing("after.ttf"), true},
        // A REG_EXPAND_SZ path is expanded first, as Windows does; a REG_SZ one is not.
        {"Expanded Present", fontsFolderName + bareName, false, REG_EXPAND_SZ},
        {"Expanded Missing", fontsFolderName + UniqueName("kelvara_gone", ".ttf"), true, REG_EXPAND_SZ},
        {"Expanded Unknown Variable", "%KELVARA_NO_SUCH_VARIABLE%\\gone.ttf", false, REG_EXPAND_SZ},
        {"Not Expanded", fontsFolderName + UniqueName("kelvara_gone", ".ttf"), false, REG_SZ},
    };
    std::vector<std::string> expected;
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kFonts, row.name.c_str(), row.file.c_str(), row.type));
        if (row.reported)
            expected.push_back(ValueItem(kFontsItem, row.name));
    }

    CScannerHarness scanner;
    scanner.ScanFonts();
    EXPECT_EQ(scanner.SortedFindings(SCAN_FNT), Sorted(expected));
    EXPECT_FALSE(scanner.status.EventsOf(StatusEvent::Activity).empty());
}

class SharedDllScan : public RegistryScannerTest {};

TEST_F(SharedDllScan, JudgesByExistenceAndKeepsTheQuotesOfTheValueName)
{
    const std::string quotedPresent = "\"" + Present("quoted.dll") + "\"";
    const std::string quotedMissing = "\"" + Missing("quoted_missing.dll") + "\"";
    const std::string locked = Present("locked.dll");
    CLockedFile lock(locked);
    const std::string missing = Missing("missing.dll");
    for (const std::string& name : {quotedPresent, quotedMissing, locked, files.MakeFolder("dlldir"), missing})
        ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, name.c_str(), 1));

    CScannerHarness scanner;
    scanner.SetScanMode(SCAN_MODE_SCHEDULED);
    scanner.ScanSharedDlls();
    EXPECT_EQ(scanner.SortedFindings(SCAN_SHD),
              Sorted({ValueItem(kSharedDllsItem, quotedMissing), ValueItem(kSharedDllsItem, missing)}));
    // A scheduled scan keeps the program files it found, without their quotes.
    EXPECT_EQ(scanner.AddedScanFolders().count(files.PathOf("quoted.dll").c_str()), 1u);
}

class UninstallScan : public RegistryScannerTest {};

TEST_F(UninstallScan, JudgesTheProgramOfTheUninstallCommand)
{
    Present("App\\uninst.exe");
    Present("my.exercise\\uninst.exe");
    AddUninstallEntry("Gone", "\"" + Missing("Gone\\uninst.exe") + "\" /S");
    AddUninstallEntry("Here", "\"" + files.PathOf("App\\uninst.exe") + "\" /S");
    AddUninstallEntry("Msi", "MsiExec.exe /X{12345678-1234-1234-1234-123456789012}");
    AddUninstallEntry("Rundll", "rundll32.exe " + Missing("x.dll") + ",Uninstall");
    AddUninstallEntry("Batch", Missing("remove.bat"));
    AddUninstallEntry("Exercise", files.PathOf("my.exercise\\uninst.exe"));
    AddUninstallEntry("ExerciseGone", files.PathOf("my.exercise\\gone.exe"));
    AddUninstallEntry("OtherValue", Missing("other.exe"), "ModifyPath");
    AddUninstallEntry("Network", "\\\\server\\share\\uninst.exe");

    CScannerHarness scanner;
    scanner.SetScanMode(SCAN_MODE_SCHEDULED);
    scanner.ScanUninstallEntries(kUninstall);
    EXPECT_EQ(scanner.SortedFindings(SCAN_UIE), Sorted({kUninstallItem + "\\ExerciseGone", kUninstallItem + "\\Gone"}));
    // A scheduled scan keeps the programs it found: App\uninst.exe and my.exercise\uninst.exe.
    ASSERT_EQ(scanner.AddedScanFolders().size(), 2u);
    EXPECT_EQ(scanner.AddedScanFolders().begin()->CompareNoCase(files.PathOf("App\\uninst.exe").c_str()), 0);
}

TEST_F(UninstallScan, ThirtyTwoBitProgramsInTheRedirectedSystemFolderArePresentUnderWow64)
{
    const std::string name = UniqueName("kelvara_uninst", ".exe");
    CSystemFile redirected("syswow64", name);
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    AddUninstallEntry("Redirected", std::string(windows) + "\\system32\\" + name + " /uninstall");

    {
        CForcedWow64 wow64(true);
        CScannerHarness scanner;
        scanner.ScanUninstallEntries(kUninstall);
        EXPECT_TRUE(scanner.Findings(SCAN_UIE).empty());
    }
    CForcedWow64 native(false);
    CScannerHarness scanner;
    scanner.ScanUninstallEntries(kUninstall);
    EXPECT_EQ(scanner.Findings(SCAN_UIE), std::vector<std::string>{kUninstallItem + "\\Redirected"});
}
