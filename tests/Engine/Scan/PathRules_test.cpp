// Path texts, path variables and the file-reference judgement.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "ScanTestProcess.h"
#include "Scanners/FileReference.h"
#include "Scanners/PathText.h"
#include "Scanners/PathVariables.h"
#include "TempFolder.h"
#include "Wow64.h"

namespace {

// Forces the WOW64 state for one test and restores the real one after it.
class CForcedWow64
{
public:
    explicit CForcedWow64(bool on) { CWow64::ForceState(on ? CWow64::ForceOn : CWow64::ForceOff); }
    ~CForcedWow64() { CWow64::ForceState(CWow64::NotForced); }
};

// Sets an environment variable for one test.
class CScopedEnvironment
{
public:
    CScopedEnvironment(const char* name, const char* value) : m_name(name)
    {
        char old[32768] = {};
        m_had = ::GetEnvironmentVariableA(name, old, sizeof(old)) > 0;
        m_old = old;
        ::SetEnvironmentVariableA(name, value);
    }
    ~CScopedEnvironment() { ::SetEnvironmentVariableA(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

CString ShellFolder(int csidl)
{
    CString folder;
    EXPECT_TRUE(GetShellFolder(csidl, &folder)) << csidl;
    return folder;
}

CString WindowsFolder()
{
    char buffer[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryA(buffer, MAX_PATH);
    return buffer;
}

std::string Lower(std::string text)
{
    for (char& ch : text)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return text;
}

} // namespace

TEST(ReferenceText, CutsRegistryTextsDownToTheOnePathTheyStartWith)
{
    struct Row {
        const char* text;
        REFERENCE_TEXT_KIND kind;
        const char* path;
    };
    const std::string longPath = "c:\\" + std::string(257, 'a');
    const std::string shorterPath = "c:\\" + std::string(256, 'a');
    const Row rows[] = {
        {"rundll32.exe shell32.dll,Control_RunDLL", REFERENCE_NO_FILE, ""},
        {"\"C:\\Program Files\\App\\app.exe\" /min", REFERENCE_FILE, "c:\\program files\\app\\app.exe"},
        {"c:\\tools\\run.exe /s", REFERENCE_FILE, "c:\\tools\\run.exe"},
        {"%systemroot%\\x.dll", REFERENCE_NO_FILE, ""},
        {"c:\\a.exe c:\\b.exe", REFERENCE_NO_FILE, ""},
        {"c:\\dir\\prog.exe\\1", REFERENCE_FILE, "c:\\dir\\prog.exe"},
        {"c:\\a\\..\\b.dll", REFERENCE_FILE, "c:\\a"},
        {"c:\\a\\.\\b.dll", REFERENCE_FILE, "c:\\a"},
        {"@C:\\Windows\\x.dll,-5", REFERENCE_FILE, "c:\\windows\\x.dll"},
        {"  c:\\x\\lib.dll;c:\\y  ", REFERENCE_FILE, "c:\\x\\lib.dll"},
        {"c:\\x\\help.its!page", REFERENCE_FILE, "c:\\x\\help.its"},
        {"c:\\x\\a.ocx other", REFERENCE_FILE, "c:\\x\\a.ocx"},
        {"C:\\Data", REFERENCE_FILE, "c:\\data"},
        {"q:\\app.exe", REFERENCE_NO_FILE, ""},
        {"a:\\app.exe", REFERENCE_NO_FILE, ""},
        {"p:\\app.exe", REFERENCE_FILE, "p:\\app.exe"},
        {"app.exe", REFERENCE_NO_FILE, ""},
        {"http://example.com/c:\\x", REFERENCE_NO_FILE, ""},
        {"c:\\progra~1\\x*.exe", REFERENCE_SHELL_PATH, "c:\\progra~1\\x*.exe"},
        // "^" and "~" are legal in file names: such a path is judged by its file.
        {"C:\\Tools^1\\Run~2.exe /s", REFERENCE_FILE, "c:\\tools^1\\run~2.exe"},
        {"c:\\x\\a|b.exe", REFERENCE_NO_FILE, ""},
        {"", REFERENCE_NO_FILE, ""},
    };
    for (const Row& row : rows) {
        CString path;
        EXPECT_EQ(row.kind, ReferencePathFromText(row.text, &path)) << row.text;
        if (row.kind != REFERENCE_NO_FILE) {
            EXPECT_STREQ(row.path, path) << row.text;
        }
    }
    EXPECT_EQ(REFERENCE_NO_FILE, ReferencePathFromText(longPath.c_str(), nullptr));
    EXPECT_EQ(REFERENCE_FILE, ReferencePathFromText(shorterPath.c_str(), nullptr));
}

TEST(ReferenceText, NormalisesSpellingsOfOnePathAndTakesEachFolderOnce)
{
    EXPECT_STREQ("c:\\temp", NormalizedPathKey("C:\\Temp\\"));
    EXPECT_STREQ("c:\\temp", NormalizedPathKey(" c:/temp// "));
    EXPECT_STREQ("c:\\", NormalizedPathKey("C:"));
    EXPECT_STREQ("c:\\", NormalizedPathKey("C:\\\\"));
    // Any number of separators goes in one cut (bench/text_bench times it).
    EXPECT_STREQ("c:\\temp", NormalizedPathKey(CString("C:\\Temp") + CString(std::string(70000, '\\').c_str())));
    EXPECT_STREQ("\\", NormalizedPathKey(CString(std::string(70000, '/').c_str())));

    const std::set<CString> folders = {"C:", "C:\\Temp", "C:\\Temp\\", "D:", "c:", "c:\\temp", "C:\\Other"};
    const std::vector<CString> junk = FolderSetEntries(folders, false);
    ASSERT_EQ(2u, junk.size());
    EXPECT_STREQ("C:\\Other", junk[0]);
    EXPECT_STREQ("C:\\Temp", junk[1]);
    const std::vector<CString> drives = FolderSetEntries(folders, true);
    ASSERT_EQ(2u, drives.size());
    EXPECT_STREQ("C:", drives[0]);
    EXPECT_STREQ("D:", drives[1]);
}

TEST(ReferenceText, MapsSystemAndProgramPathsToTheirOtherWow64Location)
{
    struct Row {
        const char* path;
        bool toNative;
        BOOL mapped;
        const char* result;
    };
    const Row rows[] = {
        {"C:\\Windows\\System32\\x.dll", false, TRUE, "c:\\windows\\syswow64\\x.dll"},
        {"c:\\windows\\syswow64\\x.dll", true, TRUE, "c:\\windows\\system32\\x.dll"},
        {"C:\\Program Files\\App\\a.exe", false, TRUE, "c:\\program files (x86)\\app\\a.exe"},
        {"c:\\program files (x86)\\app\\a.exe", true, TRUE, "c:\\program files\\app\\a.exe"},
        {"c:\\program files (x86)\\app\\a.exe", false, FALSE, ""},
        {"c:\\program files\\app\\a.exe", true, FALSE, ""},
        {"c:\\data\\a.exe", false, FALSE, ""},
        {"c:\\a.dl", false, FALSE, ""},
    };
    for (const Row& row : rows) {
        CString mapped;
        EXPECT_EQ(row.mapped, MapWow64AlternatePath(row.path, row.toNative, &mapped)) << row.path;
        if (row.mapped) {
            EXPECT_STREQ(row.result, mapped) << row.path;
        }
    }
}

TEST(PathVariables, ReplacesOnlyTheFirstTokenOfTheTableInAnyCase)
{
    CForcedWow64 native(false);
    CPathVariables variables;
    const std::string windows = ShellFolder(CSIDL_WINDOWS).GetString();

    CString text = "%WINDIR%\\NOTEPAD.EXE";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(windows + "\\notepad.exe", text.GetString());

    text = "%windir%\\a.dll;%WinDir%\\b.dll";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(windows + "\\a.dll;" + windows + "\\b.dll", text.GetString());

    // "%WinDir%" comes before "%Temp%" in the table: the later token stays.
    text = "%Temp%\\x;%WinDir%\\y";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ("%temp%\\x;" + windows + "\\y", std::string(text.GetString()));

    text = "%SystemDrive%\\x";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(windows.substr(0, 2) + "\\x", text.GetString());

    text = "%TEMP%A";  // shorter than 8 characters
    EXPECT_FALSE(variables.Expand(text));
    EXPECT_STREQ("%temp%a", text);

    text = "%ProgramData%\\App\\A.DLL";  // not a token of the table
    EXPECT_FALSE(variables.Expand(text));
    EXPECT_STREQ("%programdata%\\app\\a.dll", text);
}

TEST(PathVariables, TakesEachFolderFromTheShell)
{
    CForcedWow64 native(false);
    CPathVariables variables;
    struct Row {
        const char* token;
        int csidl;
    };
    const Row rows[] = {
        {"%SystemDir%", CSIDL_SYSTEM},           {"%ProgramFiles%", CSIDL_PROGRAM_FILES},
        {"%AppData%", CSIDL_APPDATA},            {"%LocalAppData%", CSIDL_LOCAL_APPDATA},
        {"%Personal%", CSIDL_PERSONAL},          {"%StartMenuPrograms%", CSIDL_STARTMENU},
        {"%CommonAppData%", CSIDL_COMMON_APPDATA}, {"%UserProfile%", CSIDL_PROFILE},
    };
    for (const Row& row : rows) {
        CString text = CString(row.token) + "\\file.txt";
        EXPECT_TRUE(variables.Expand(text)) << row.token;
        EXPECT_EQ(std::string(ShellFolder(row.csidl).GetString()) + "\\file.txt", text.GetString()) << row.token;
    }
    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    CString text = "%temp%file.txt";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(std::string(temp) + "file.txt", text.GetString());
}

TEST(PathVariables, LowerCasesFolderResultsUnderWow64AndKeepsTheX86Folders)
{
    CForcedWow64 wow64(true);
    CPathVariables variables;
    CString text = "%SystemDir%\\Drivers\\X.SYS";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(Lower(std::string(ShellFolder(CSIDL_SYSTEM).GetString())) + "\\drivers\\x.sys", text.GetString());

    text = "%ProgramFiles(x86)%\\App\\a.exe";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(Lower(std::string(ShellFolder(CSIDL_PROGRAM_FILESX86).GetString())) + "\\app\\a.exe",
              text.GetString());
}

TEST(PathVariables, DerivesLocalSettingsFromTheUsersFolderWhenTempLiesElsewhere)
{
    EXPECT_STREQ("C:\\Users\\u\\AppData\\Local",
                 CPathVariables::LocalSettingsFolder("C:\\Users\\u\\AppData\\Local\\Temp\\", "X:\\ignored"));
    EXPECT_STREQ("C:\\x", CPathVariables::LocalSettingsFolder("C:\\x\\TEMP\\", "X:\\ignored"));
    EXPECT_STREQ("C:\\Users\\u\\AppData\\Local",
                 CPathVariables::LocalSettingsFolder("D:\\tmp\\", "C:\\Users\\u\\AppData\\Local"));
    EXPECT_STREQ("C:\\Documents and Settings\\u\\Local Settings",
                 CPathVariables::LocalSettingsFolder(
                     "D:\\tmp\\", "C:\\Documents and Settings\\u\\Local Settings\\Application Data"));

    // A temporary folder outside the profile must not cut six characters off its path.
    CTempFolder folder;
    CScopedEnvironment tmp("TMP", (folder.Path() + "\\").c_str());
    CPathVariables variables;
    CString text = "%LocalSettings%\\Cache";
    EXPECT_TRUE(variables.Expand(text));
    EXPECT_EQ(std::string(ShellFolder(CSIDL_LOCAL_APPDATA).GetString()) + "\\cache", text.GetString());
}

TEST(FileReferenceJudge, GivesThreeAnswersAndReportsOnlyWhatIsSurelyMissing)
{
    CForcedWow64 native(false);
    CTempFolder folder;
    const std::string file = folder.WriteFile("app\\tool.dll", "x");
    const std::string sub = folder.MakeFolder("app\\data");
    CScopedEnvironment variable("KELVARA_TEST_FOLDER", folder.Path().c_str());
    CScopedEnvironment path("PATH", (folder.Path() + "\\app").c_str());
    CPathVariables variables;
    CFileReferenceJudge judge(variables);

    struct Row {
        std::string text;
        FILE_STATE state;
    };
    const Row rows[] = {
        {file, FILE_STATE_PRESENT},
        {"\"" + file + "\"", FILE_STATE_PRESENT},
        {" \"" + sub + "\\\" ", FILE_STATE_PRESENT},
        {"C:\\", FILE_STATE_PRESENT},
        {"c:", FILE_STATE_PRESENT},
        {folder.PathOf("app\\gone.dll"), FILE_STATE_MISSING},
        {folder.PathOf("nofolder\\gone.dll"), FILE_STATE_MISSING},
        {"file:///" + folder.PathOf("app/tool.dll"), FILE_STATE_PRESENT},
        {"%KELVARA_TEST_FOLDER%\\app\\tool.dll", FILE_STATE_PRESENT},
        {"%KELVARA_TEST_FOLDER%\\app\\gone.dll", FILE_STATE_MISSING},
        {"%ALLUSERSPROFILE%", FILE_STATE_PRESENT},
        {"%WinDir%\\notepad.exe", FILE_STATE_PRESENT},
        {"notepad.exe", FILE_STATE_PRESENT},
        {"tool.dll", FILE_STATE_PRESENT},  // on the search path only
        {"kelvara-no-such-file.dll", FILE_STATE_MISSING},
        {"%KELVARA_NO_SUCH_VARIABLE%\\a.dll", FILE_STATE_UNKNOWN},
        {"http://example.com/setup.exe", FILE_STATE_UNKNOWN},
        {"res://kelvara-gone.dll/page.htm", FILE_STATE_UNKNOWN},
        {"\\\\server\\share\\app.exe", FILE_STATE_UNKNOWN},
        {"\\\\.\\pipe\\kelvara", FILE_STATE_UNKNOWN},
        {"\\??\\c:\\kelvara-gone.exe", FILE_STATE_UNKNOWN},
        {"\\SystemRoot\\System32\\drivers\\kelvara-gone.sys", FILE_STATE_UNKNOWN},
        {folder.PathOf("app\\*.dll"), FILE_STATE_UNKNOWN},
        {"", FILE_STATE_UNKNOWN},
        // Trailing separators in any number go in one cut; a drive root keeps its own.
        {sub + std::string(70000, '\\'), FILE_STATE_PRESENT},
        {folder.PathOf("app\\gone") + std::string(70000, '\\'), FILE_STATE_MISSING},
        {"C:" + std::string(70000, '\\'), FILE_STATE_PRESENT},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.state, judge.Judge(row.text.c_str())) << row.text.substr(0, 300);
}

TEST(FileReferenceJudge, AsksTheFileSystemOncePerPathAndScan)
{
    CTempFolder folder;
    const std::string late = folder.PathOf("late.dll");
    CPathVariables variables;
    CFileReferenceJudge judge(variables);

    EXPECT_EQ(FILE_STATE_MISSING, judge.Judge(late.c_str()));
    const unsigned probes = judge.ProbeCount();
    std::string upper = late;
    for (char& ch : upper)
        ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
    EXPECT_EQ(FILE_STATE_MISSING, judge.Judge(upper.c_str()));
    EXPECT_EQ(FILE_STATE_MISSING, judge.Judge(("\"" + late + "\\\"").c_str()));
    EXPECT_EQ(probes, judge.ProbeCount());

    // Within one scan the first answer stands; the next scan asks again.
    folder.WriteFile("late.dll", "x");
    EXPECT_EQ(FILE_STATE_MISSING, judge.Judge(late.c_str()));
    judge.Reset();
    EXPECT_EQ(FILE_STATE_PRESENT, judge.Judge(late.c_str()));
}

TEST(FileReferenceJudge, LooksAtTheOtherLocationOnlyUnderWow64)
{
    CTempFolder folder;
    folder.WriteFile("syswow64\\only32.dll", "x");
    folder.WriteFile("system32\\only64.dll", "x");
    const std::string in64 = folder.PathOf("system32\\only32.dll");
    const std::string in32 = folder.PathOf("syswow64\\only64.dll");
    CScanTestProcess process;
    CRecordingStatus status;
    {
        CForcedWow64 wow64(true);
        process.BeginDirectScan(&status);
        EXPECT_TRUE(process.FileExists(in64.c_str()));
        EXPECT_FALSE(process.FileExists(in32.c_str()));
        EXPECT_TRUE(process.FileExistsRedirected(in32.c_str()));
        EXPECT_EQ(FILE_STATE_PRESENT, process.JudgeFileReference(in64.c_str()));
        EXPECT_EQ(1, process.CheckValueReferences(in64.c_str()));
    }
    {
        CForcedWow64 native(false);
        process.BeginDirectScan(&status);
        EXPECT_FALSE(process.FileExists(in64.c_str()));
        EXPECT_FALSE(process.FileExistsRedirected(in32.c_str()));
        EXPECT_EQ(FILE_STATE_MISSING, process.JudgeFileReference(in64.c_str()));
        EXPECT_EQ(0, process.CheckValueReferences(in64.c_str()));
    }
    process.StopDirectScan();
}

TEST(FileReferenceJudge, ExtractFilePathCompletesNamesFromTheWindowsAndSystemFolders)
{
    CTempFolder folder;
    const std::string file = folder.WriteFile("doc\\page.htm", "x");
    CScanTestProcess process;
    CRecordingStatus status;
    process.BeginDirectScan(&status);

    CString text = "\"notepad.exe\"";
    EXPECT_TRUE(process.ExtractFilePath(text));
    EXPECT_EQ(Lower(std::string(WindowsFolder().GetString()) + "\\notepad.exe"), Lower(text.GetString()));

    std::string url = "file:///" + file;
    for (char& ch : url)
        if (ch == '\\')
            ch = '/';
    text = url.c_str();
    EXPECT_TRUE(process.ExtractFilePath(text));

    text = "\"%WinDir%\\kelvara-gone.exe\"";
    EXPECT_FALSE(process.ExtractFilePath(text));
    EXPECT_EQ(Lower(std::string(WindowsFolder().GetString()) + "\\kelvara-gone.exe"), Lower(text.GetString()));
    process.StopDirectScan();
}

TEST(ReferenceCheck, JudgesOnlyLocalPathsAndAcceptsFoldersAndShellPaths)
{
    CTempFolder folder;
    const std::string file = folder.WriteFile("bin\\run.exe", "x");
    CScanTestProcess process;
    CRecordingStatus status;
    process.BeginDirectScan(&status);

    EXPECT_EQ(1, process.CheckValueReferences((file + " /s").c_str()));
    EXPECT_EQ(1, process.CheckValueReferences(folder.PathOf("bin").c_str()));
    EXPECT_EQ(0, process.CheckValueReferences(("\"" + folder.PathOf("bin\\gone.exe") + "\" /min").c_str()));
    EXPECT_EQ(1, process.CheckValueReferences("rundll32.exe shell32.dll,Control_RunDLL"));
    EXPECT_EQ(1, process.CheckValueReferences("q:\\gone\\app.exe"));
    EXPECT_EQ(1, process.CheckValueReferences(""));
    // A short name with a character the file test rejects goes to the shell parser; a text it
    // cannot parse cannot be judged.
    EXPECT_EQ(1, process.CheckValueReferences("c:\\kelvar~1\\nothing\\x<1.exe"));

    CString resolved;
    EXPECT_TRUE(CScanTestProcess::ResolveShellPath(file.c_str(), &resolved));
    EXPECT_EQ(Lower(file), Lower(resolved.GetString()));
    EXPECT_FALSE(CScanTestProcess::ResolveShellPath(folder.PathOf("gone\\x.exe").c_str(), &resolved));
    process.StopDirectScan();
}
