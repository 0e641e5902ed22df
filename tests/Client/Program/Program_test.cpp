// Kelvara.exe in its own process, driven from outside as the system and the user drive it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <shlwapi.h>

#include "LeftBehind.h"
#include "LocalHttpServer.h"
#include "OtherProcess.h"
#include "RegistrySandbox.h"
#include "SettingsKey.h"
#include "UnspellableFolder.h"
#include "ScheduledTasks.h"
#include "VexaEngine.h"
#include "TempFolder.h"
#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kTitle[] = "Bellwort Registry Reriraz";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kBrokenEntries[] = { "KelvaraProgramTestA", "KelvaraProgramTestB" };

std::string BinFolder()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

// One started program; ended (if still running) when the object goes.
class CProgram
{
public:
    CProgram(const std::string& exe, const std::string& arguments, const std::string& folder)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string commandLine = exe + (arguments.empty() ? "" : " " + arguments);
        m_started = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                     folder.empty() ? nullptr : folder.c_str(), &startup, &m_info) != FALSE;
    }
    // With an argument that the code page may not spell, as the Explorer verb passes a path.
    CProgram(const std::string& exe, const std::wstring& argument)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        std::wstring commandLine = std::wstring(exe.begin(), exe.end()) + L" " + argument;
        m_started = ::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &m_info) != FALSE;
    }
    ~CProgram()
    {
        if (!m_started)
            return;
        if (::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
            ::TerminateProcess(m_info.hProcess, 99);
        ::WaitForSingleObject(m_info.hProcess, 5000);
        ::CloseHandle(m_info.hProcess);
        ::CloseHandle(m_info.hThread);
    }
    bool Started() const { return m_started; }
    // Ends the program at once, as a crash or the task manager would.
    void Kill() { ::TerminateProcess(m_info.hProcess, 99); }
    DWORD ProcessId() const { return m_info.dwProcessId; }
    HANDLE Process() const { return m_info.hProcess; }
    // The exit code, or -1 while it still runs after `ms`.
    long WaitForExit(DWORD ms)
    {
        if (::WaitForSingleObject(m_info.hProcess, ms) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(m_info.hProcess, &code);
        return static_cast<long>(code);
    }
    // A top-level dialog of this process with the given title that (does not) hold a message
    // box's text.
    HWND WaitForWindow(bool messageBox, DWORD ms = 30000)
    {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < ms) {
            SEARCH search = { m_info.dwProcessId, messageBox, nullptr };
            ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
            if (search.found)
                return search.found;
            if (::WaitForSingleObject(m_info.hProcess, 100) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }

private:
    struct SEARCH
    {
        DWORD processId;
        bool messageBox;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND window, LPARAM context)
    {
        auto* search = reinterpret_cast<SEARCH*>(context);
        DWORD processId = 0;
        ::GetWindowThreadProcessId(window, &processId);
        char className[64] = {};
        ::GetClassNameA(window, className, sizeof(className));
        if (processId != search->processId || strcmp(className, "#32770") != 0 || !::IsWindowVisible(window))
            return TRUE;
        // A message box's text is its static 0xFFFF.
        const bool isMessageBox = ::GetDlgItem(window, 0xFFFF) != nullptr;
        if (isMessageBox == search->messageBox) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    PROCESS_INFORMATION m_info = {};
    bool m_started = false;
};

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::string ItemText(HWND dialog, int id)
{
    char text[1024] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

// The scanning page among the main window's children.
HWND FindScanningPage(HWND mainWindow)
{
    HWND found = nullptr;
    ::EnumChildWindows(mainWindow, [](HWND child, LPARAM context) -> BOOL {
        if (::GetDlgItem(child, IDC_SCANNING_CANCEL) && ::GetDlgItem(child, IDC_SCANNING_ACTIVITY)) {
            *reinterpret_cast<HWND*>(context) = child;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool WaitUntil(bool (*done)(HWND), HWND window, DWORD ms)
{
    const DWORD start = ::GetTickCount();
    while (!done(window)) {
        if (::GetTickCount() - start > ms)
            return false;
        ::Sleep(50);
    }
    return true;
}

bool ScanEnded(HWND page)
{
    HWND next = ::GetDlgItem(page, IDC_SCANNING_NEXT);
    return ::IsWindowVisible(page) && ::IsWindowVisible(next) && ::IsWindowEnabled(next);
}

// The program keeps its settings in the prefix's registry: each test starts from a known state
// and leaves nothing behind.
class ProgramTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const EMPTIED_KEY& parent : kParentKeys)
            m_hadParent.push_back(RegKeyExists(parent.root, parent.path));
        ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
        CSettingsKey key;
        ASSERT_TRUE(key.Open());
        // Startup items only: a short scan, with two findings of this test's own.
        key.WriteDword("LastSelectedScanTypes", SCAN_SUI);
        for (const char* name : kBrokenEntries)
            ASSERT_TRUE(WriteRun(name, "\"C:\\KelvaraMissing\\program.exe\" /start"));
    }
    void TearDown() override
    {
        CString user;
        if (GetJobUserName(&user)) {
            CTask().Delete(ScheduledScanJobName(user));
            CTask().Delete(LogonJobName(user));
        }
        ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
        for (const char* name : kBrokenEntries)
            ::SHDeleteValueA(HKEY_CURRENT_USER, kRunKey, name);
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shell\\Bellwort Registry Reriraz");
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "Folder\\shell\\Bellwort Registry Reriraz");
        for (size_t i = 0; i < m_hadParent.size(); ++i) {
            if (!m_hadParent[i])
                ::SHDeleteEmptyKeyA(kParentKeys[i].root, kParentKeys[i].path);
        }
    }
    // Keys that the program or the test may create above what they write.
    struct EMPTIED_KEY { HKEY root; const char* path; };
    static inline const EMPTIED_KEY kParentKeys[] = {
        { HKEY_LOCAL_MACHINE, "Software\\Bellwort" }, { HKEY_CLASSES_ROOT, "*\\shell" }, { HKEY_CURRENT_USER, kRunKey },
    };
    static bool WriteRun(const char* name, const char* command)
    {
        return ::SHSetValueA(HKEY_CURRENT_USER, kRunKey, name, REG_SZ, command,
                             static_cast<DWORD>(strlen(command) + 1)) == ERROR_SUCCESS;
    }
    static void Close(HWND mainWindow)
    {
        ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(mainWindow, IDC_CLOSE_BUTTON)));
    }

    const std::string m_exe = BinFolder() + "\\Kelvara.exe";
    std::vector<bool> m_hadParent;
    // The program keeps its files beside itself.
    CLeftBehind m_besideTheProgram{ { BinFolder() + "\\WhileList.dat", BinFolder() + "\\IgnoreList.dat",
                                      BinFolder() + "\\Scan Logs", BinFolder() + "\\Backup" } };
};

} // namespace

TEST_F(ProgramTest, StartsShowsItsWindowAndASecondStartForwardsToIt)
{
    CProgram first("\"" + m_exe + "\"", "", "");
    ASSERT_TRUE(first.Started());
    HWND mainWindow = first.WaitForWindow(false);
    ASSERT_NE(nullptr, mainWindow);
    char title[128] = {};
    ::GetWindowTextA(mainWindow, title, sizeof(title));
    EXPECT_STREQ(kTitle, title);
    EXPECT_EQ("SCAN", ItemText(mainWindow, IDC_CAPTION_LABEL));
    ::Sleep(500);
    ::CreateDirectoryA(KELVARA_SCREENSHOT_DIR, nullptr);
    SavePng(CaptureWindow(mainWindow), std::string(KELVARA_SCREENSHOT_DIR) + "/program-started.png");

    // A second start without arguments only brings the first forward, and ends.
    CProgram plain("\"" + m_exe + "\"", "", "");
    EXPECT_EQ(0, plain.WaitForExit(20000));
    // With "SCHEDULE" it hands the first a scheduled scan.
    CProgram scheduled("\"" + m_exe + "\"", "schedule", "");
    EXPECT_EQ(0, scheduled.WaitForExit(20000));
    HWND scanning = FindScanningPage(mainWindow);
    ASSERT_NE(nullptr, scanning);
    ASSERT_TRUE(WaitUntil(&ScanEnded, scanning, 60000));
    EXPECT_EQ("2 Errors Found!", ItemText(scanning, IDC_SCANNING_ERRORS));
    EXPECT_EQ("Step 2 of 3", ItemText(mainWindow, IDC_STEP_LABEL));

    // A path, of a folder whose name the code page cannot spell: a scan in path mode once more.
    CUnspellableFolder unspellable;
    CTempFolder spellable;
    const std::wstring folder = unspellable.Path().empty() ? Widened(spellable.Path()) : unspellable.Path();
    ::SetDlgItemTextA(scanning, IDC_SCANNING_ERRORS, "");
    CProgram withPath("\"" + m_exe + "\"", L"\"" + folder + L"\"");
    EXPECT_EQ(0, withPath.WaitForExit(20000));
    // The start of the scan writes "No Errors Found!" a moment before it hides the last scan's
    // Next: only a count is the end of this one.
    ASSERT_TRUE(WaitUntil(
        [](HWND page) {
            const std::string errors = ItemText(page, IDC_SCANNING_ERRORS);
            return ScanEnded(page) && errors != "" && errors != "No Errors Found!";
        },
        scanning, 60000));
    EXPECT_EQ("2 Errors Found!", ItemText(scanning, IDC_SCANNING_ERRORS));
    // The path arrived whole, in the form the engine can open: as spelled when the code page
    // holds it, else its short name. The first instance reads what the second handed over.
    std::string forwarded = spellable.Path();
    if (!unspellable.Path().empty()) {
        wchar_t shortPath[MAX_PATH] = {};
        ASSERT_GT(::GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
        char narrow[MAX_PATH] = {};
        ::WideCharToMultiByte(CP_ACP, 0, shortPath, -1, narrow, sizeof(narrow), nullptr, nullptr);
        forwarded = narrow;
    }
    EXPECT_EQ(forwarded, SharedPathOf(first.Process(), first.ProcessId(), m_exe));

    Close(mainWindow);
    EXPECT_EQ(0, first.WaitForExit(20000));
}

TEST_F(ProgramTest, TheExplorerVerbOnAFolderTheCodePageCannotSpellScansIt)
{
    CUnspellableFolder folder;
    if (folder.Path().empty())
        GTEST_SKIP() << "the code page spells every candidate name";
    CProgram program("\"" + m_exe + "\"", L"\"" + folder.Path() + L"\"");
    HWND mainWindow = program.WaitForWindow(false);
    ASSERT_NE(nullptr, mainWindow);
    HWND scanning = FindScanningPage(mainWindow);
    ASSERT_NE(nullptr, scanning);
    EXPECT_TRUE(WaitUntil([](HWND page) { return ScanEnded(page) && ItemText(page, IDC_SCANNING_ERRORS) != ""; },
                          scanning, 60000));
    EXPECT_EQ("Step 2 of 3", ItemText(mainWindow, IDC_STEP_LABEL));
    Close(mainWindow);
    EXPECT_EQ(0, program.WaitForExit(20000));
}

TEST_F(ProgramTest, AMissingOrForeignEngineLibraryIsToldAndEndsTheProgram)
{
    CTempFolder alone;
    const std::string copy = alone.PathOf("Kelvara.exe");
    ASSERT_TRUE(::CopyFileA(m_exe.c_str(), copy.c_str(), FALSE));
    const struct { const char* library; const char* message; } cases[] = {
        { nullptr, "Module 'engine.dll' failed to load.\nError: '126'" },
        // Loaded, but without the factory: no system error to tell.
        { "noexport_engine.dll", "Module 'engine.dll' failed to load.\nError: '0'" },
    };
    for (const auto& c : cases) {
        if (c.library) {
            ASSERT_TRUE(::CopyFileA((BinFolder() + "\\" + c.library).c_str(), alone.PathOf("engine.dll").c_str(), FALSE));
        }
        CProgram program("\"" + copy + "\"", "", alone.Path());
        HWND box = program.WaitForWindow(true);
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(c.message, ItemText(box, 0xFFFF));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(0, program.WaitForExit(20000));
    }
}

TEST_F(ProgramTest, TheExplorerVerbRunsTheProgramByItsFullPathAfterARelativeStart)
{
    {
        CSettingsKey key;
        ASSERT_TRUE(key.Open());
        key.WriteDword("ContextMenu", 1);
    }
    // Started as "Kelvara.exe" from its own folder: a verb with that bare word would run nothing.
    CProgram program("Kelvara.exe", "", BinFolder());
    HWND mainWindow = program.WaitForWindow(false);
    ASSERT_NE(nullptr, mainWindow);
    CSettingsKey verb;
    ASSERT_TRUE(verb.Open("*\\shell\\Bellwort Registry Reriraz\\command", HKEY_CLASSES_ROOT));
    CString command;
    ASSERT_TRUE(verb.ReadString(nullptr, command));
    EXPECT_EQ(CString("\"" + m_exe + "\" \"%1\""), command);
    // So does the scheduled scan that the first start creates (once its window is up).
    CString user;
    ASSERT_TRUE(GetJobUserName(&user));
    CTask job;
    for (int i = 0; i < 300 && job.Load(ScheduledScanJobName(user)) != S_OK; ++i)
        ::Sleep(100);
    ASSERT_EQ(S_OK, job.Load(ScheduledScanJobName(user)));
    EXPECT_EQ(CString(m_exe.c_str()), job.GetApplicationName());
    EXPECT_EQ(CString("SCHEDULE"), job.GetParameters());
    Close(mainWindow);
    EXPECT_EQ(0, program.WaitForExit(20000));
}

TEST_F(ProgramTest, AnInstanceMutexThatCannotBeCreatedStillStartsTheProgram)
{
    // Another kind of object holds the name: the mutex cannot be created, and there is no first
    // instance to hand anything to.
    HANDLE squatter = ::CreateEventA(nullptr, TRUE, FALSE, "Bellwort Registry Reriraz 1.0.0001");
    ASSERT_NE(nullptr, squatter);
    CProgram program("\"" + m_exe + "\"", "", "");
    HWND mainWindow = program.WaitForWindow(false);
    EXPECT_NE(nullptr, mainWindow);
    if (mainWindow)
        Close(mainWindow);
    EXPECT_EQ(0, program.WaitForExit(20000));
    ::CloseHandle(squatter);
}

namespace {

const char kCheckPath[] = "/update/versionRead.php";
const char kInstallerPath[] = "/files/setup.exe";
const char kDownloadQuestion[] = "A new version of Bellwort Registry Reriraz is available, Do you want to download it";
const char kInstallQuestion[] = "Do you want to install the downloaded updates.\r\nIf you select Yes, Bellwort "
                                "Registry Reriraz will exit and update installer will be launched.";

// The program's message box that shows `text`; null when none came.
HWND WaitForBox(CProgram& program, const std::string& text)
{
    for (int tries = 0; tries < 100; ++tries) {
        HWND box = program.WaitForWindow(true);
        if (!box)
            return nullptr;
        if (ItemText(box, 0xFFFF) == text)
            return box;
        ::Sleep(100);  // the previous box is still going
    }
    return nullptr;
}

// The update dialog among the program's windows.
HWND FindUpdateDialog(DWORD processId)
{
    struct SEARCH { DWORD processId; HWND found; } search = { processId, nullptr };
    ::EnumWindows([](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(context);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId && ::GetDlgItem(window, IDC_UPDATE_ANIMATION)) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program's main window: the dialog with the product's title.
HWND FindMainWindow(DWORD processId)
{
    struct SEARCH { DWORD processId; HWND found; } search = { processId, nullptr };
    ::EnumWindows([](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<SEARCH*>(context);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        char title[128] = {};
        ::GetWindowTextA(window, title, sizeof(title));
        if (owner == s->processId && strcmp(title, kTitle) == 0 && ::GetDlgItem(window, IDC_CLOSE_BUTTON)) {
            s->found = window;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitUntilGone(HWND window)
{
    for (int i = 0; i < 600 && ::IsWindow(window); ++i)
        ::Sleep(50);
    return !::IsWindow(window);
}

// True when the folder holds a file matching the pattern with at least `minimumSize` bytes.
bool HasFile(const std::string& folder, const char* pattern = "*", DWORD minimumSize = 0)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    do {
        any = any || (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                      (found.nFileSizeHigh > 0 || found.nFileSizeLow >= minimumSize));
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return any;
}

bool HasFiles(const std::string& folder)
{
    return HasFile(folder);
}

// True once the download's own ".exe" holds data: it is written only after it was marked to go
// with its handle (an earlier look may see the name reserved for it, or the file before the mark).
bool HasAGrowingDownload(const std::string& folder)
{
    return HasFile(folder, "*.exe", 1);
}

// A local update site that announces an installer at kInstallerPath (which each test serves as
// it needs), and folders for the program's downloads and the stand-in installer's record.
struct CUpdateSite
{
    CUpdateSite()
    {
        HttpRoute reply;
        reply.body = "available " + server.Url(kInstallerPath) + "<br>";
        server.SetRoute(kCheckPath, reply);
    }
    std::string Record() const { return records.PathOf("installer-ran.txt"); }
    int Checks() const
    {
        int checks = 0;
        for (const std::string& target : server.Requests())
            checks += target.find(kCheckPath) == 0;
        return checks;
    }

    CLocalHttpServer server;
    CTempFolder downloads;
    CTempFolder records;
};

// The program started with the update check at start-up against `site`.
class CUpdatingProgram
{
public:
    CUpdatingProgram(const std::string& exe, const CUpdateSite& site)
    {
        CSettingsKey key;
        key.Open();
        key.WriteDword("SoftwareUpdate", 1);
        key.WriteString("UpdateSite", site.server.Url("").c_str());
        char temp[MAX_PATH] = {};
        ::GetEnvironmentVariableA("TMP", temp, sizeof(temp));
        ::SetEnvironmentVariableA("TMP", site.downloads.Path().c_str());
        ::SetEnvironmentVariableA("KELVARA_STUB_RECORD", site.Record().c_str());
        m_program.reset(new CProgram("\"" + exe + "\"", "", ""));
        ::SetEnvironmentVariableA("KELVARA_STUB_RECORD", nullptr);
        ::SetEnvironmentVariableA("TMP", temp[0] ? temp : nullptr);
    }
    CProgram& operator*() { return *m_program; }
    CProgram* operator->() { return m_program.get(); }

private:
    std::unique_ptr<CProgram> m_program;
};

} // namespace

TEST_F(ProgramTest, AnUpdateAcceptedAtStartUpRunsTheInstallerOnceTheProgramHasEnded)
{
    CUpdateSite site;
    ASSERT_TRUE(site.server.IsListening());
    HttpRoute installer;
    installer.body = ReadWholeFile(BinFolder() + "\\stub_installer.exe");
    site.server.SetRoute(kInstallerPath, installer);
    const std::string record = site.Record();
    CUpdatingProgram program(m_exe, site);
    ASSERT_TRUE(program->Started());

    HWND box = WaitForBox(*program, kDownloadQuestion);
    ASSERT_NE(nullptr, box);
    if (HWND dialog = FindUpdateDialog(program->ProcessId())) {
        // The question aside, and a moment to paint, for a picture of the dialog alone.
        ::SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::Sleep(500);
        ::CreateDirectoryA(KELVARA_SCREENSHOT_DIR, nullptr);
        SavePng(CaptureWindow(dialog), std::string(KELVARA_SCREENSHOT_DIR) + "/update-dialog.png");
    }
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);
    box = WaitForBox(*program, kInstallQuestion);
    ASSERT_NE(nullptr, box);
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);

    // The program ends through its normal exit; the installer runs after the engine is released.
    EXPECT_EQ(0, program->WaitForExit(30000));
    for (int i = 0; i < 600 && !FileExists(record); ++i)
        ::Sleep(50);
    const std::string ran = ReadWholeFile(record);
    const size_t bar = ran.find('|');
    ASSERT_NE(std::string::npos, bar) << ran;
    const std::string started = ran.substr(0, bar);
    EXPECT_EQ(0u, started.find(site.downloads.Path() + "\\reg")) << started;
    EXPECT_NE("loaded\n", ran.substr(bar + 1));
    EXPECT_TRUE(ReadWholeFile(started) == installer.body);
}

TEST_F(ProgramTest, ClosingTheProgramWhileItsUpdateStillAsksEndsItWithinSeconds)
{
    CUpdateSite site;
    ASSERT_TRUE(site.server.IsListening());
    CUpdatingProgram program(m_exe, site);
    ASSERT_TRUE(program->Started());

    // The dialog goes while its worker's question stays unanswered; then the main window goes.
    HWND box = WaitForBox(*program, kDownloadQuestion);
    ASSERT_NE(nullptr, box);
    HWND dialog = FindUpdateDialog(program->ProcessId());
    ASSERT_NE(nullptr, dialog);
    ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    HWND mainWindow = FindMainWindow(program->ProcessId());
    ASSERT_NE(nullptr, mainWindow);
    Close(mainWindow);
    ASSERT_TRUE(WaitUntilGone(mainWindow));

    // The worker would wait for its answer for good: the program ends without it.
    EXPECT_EQ(0, program->WaitForExit(20000));
    // The check at start-up asked once.
    EXPECT_EQ(1, site.Checks());
}

TEST_F(ProgramTest, AProgramEndedInTheMiddleOfADownloadLeavesNoPartOfTheInstaller)
{
    CUpdateSite site;
    ASSERT_TRUE(site.server.IsListening());
    // Part of the installer, then nothing until the site goes.
    HttpRoute stalled;
    stalled.body = ReadWholeFile(BinFolder() + "\\stub_installer.exe");
    stalled.holdOnRequest = 1;
    stalled.holdAfter = 8192;
    stalled.stall = true;
    site.server.SetRoute(kInstallerPath, stalled);
    CUpdatingProgram program(m_exe, site);
    ASSERT_TRUE(program->Started());
    HWND box = WaitForBox(*program, kDownloadQuestion);
    ASSERT_NE(nullptr, box);
    ::PostMessageA(box, WM_COMMAND, IDYES, 0);
    ASSERT_TRUE(site.server.WaitHeld(30000));
    // The file being written is there (marked for deletion, it still shows in its folder).
    for (int i = 0; i < 400 && !HasAGrowingDownload(site.downloads.Path()); ++i)
        ::Sleep(50);
    ASSERT_TRUE(HasAGrowingDownload(site.downloads.Path()));

    // However the process ends, even without a chance to clean up, the file goes with it.
    program->Kill();
    EXPECT_NE(-1, program->WaitForExit(20000));
    for (int i = 0; i < 200 && HasFiles(site.downloads.Path()); ++i)
        ::Sleep(50);
    EXPECT_FALSE(HasFiles(site.downloads.Path()));
}

TEST_F(ProgramTest, EndingWhileAScanRunsWaitsForTheScanAndExitsCleanly)
{
    {
        CSettingsKey key;
        ASSERT_TRUE(key.Open());
        key.WriteDword("LastSelectedScanTypes", SCAN_ALL);
    }
    CProgram program("\"" + m_exe + "\"", "SCHEDULE", "");
    HWND mainWindow = program.WaitForWindow(false);
    ASSERT_NE(nullptr, mainWindow);
    HWND scanning = FindScanningPage(mainWindow);
    ASSERT_NE(nullptr, scanning);
    ASSERT_TRUE(WaitUntil([](HWND page) { return ::IsWindowVisible(::GetDlgItem(page, IDC_SCANNING_CANCEL)) != FALSE; },
                          scanning, 30000));
    // The scan's job thread is held where it stands (a scan of everything runs for seconds), so
    // the job surely runs when the loop ends.
    CHeldThread job(program.ProcessId(), "engine.dll");
    ASSERT_TRUE(job.IsHeld());
    // The session ends the program's loop (as a WM_QUIT does) while the engine's thread works:
    // the exit stops the job and waits for its thread, so the program cannot end before it.
    const DWORD thread = ::GetWindowThreadProcessId(mainWindow, nullptr);
    ASSERT_TRUE(::PostThreadMessageA(thread, WM_QUIT, 0, 0));
    EXPECT_EQ(-1, program.WaitForExit(2000));
    job.Release();
    EXPECT_EQ(0, program.WaitForExit(60000));
}
