// Kelvara.exe in its own process, driven from outside as the system and the user drive it.
#include <gtest/gtest.h>

#include <string>

#include <shlwapi.h>

#include "RegistryKey.h"
#include "ScheduledTasks.h"
#include "VexaEngine.h"
#include "TempFolder.h"
#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kTitle[] = "Bellwort Registry Reriraz";

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
        ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
        CRegistryKey key;
        ASSERT_TRUE(key.Open());
        // Startup items only: a short scan.
        key.WriteDword("LastSelectedScanTypes", SCAN_SUI);
    }
    void TearDown() override
    {
        CString user;
        if (GetJobUserName(&user)) {
            CTask().Delete(ScheduledScanJobName(user));
            CTask().Delete(LogonJobName(user));
        }
        ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey);
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shell\\Bellwort Registry Reriraz");
        ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "Folder\\shell\\Bellwort Registry Reriraz");
    }
    static void Close(HWND mainWindow)
    {
        ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(mainWindow, IDC_CLOSE_BUTTON)));
    }

    const std::string m_exe = BinFolder() + "\\Kelvara.exe";
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
    EXPECT_NE(std::string::npos, ItemText(scanning, IDC_SCANNING_ERRORS).find("Found!"));
    EXPECT_EQ("Step 2 of 3", ItemText(mainWindow, IDC_STEP_LABEL));

    // A path: a scan in path mode once more.
    CTempFolder temp;
    const std::string file = temp.WriteFile("item.txt", "x");
    ::SetDlgItemTextA(scanning, IDC_SCANNING_ERRORS, "");
    CProgram withPath("\"" + m_exe + "\"", "\"" + file + "\"", "");
    EXPECT_EQ(0, withPath.WaitForExit(20000));
    ASSERT_TRUE(WaitUntil([](HWND page) { return ScanEnded(page) && ItemText(page, IDC_SCANNING_ERRORS) != ""; },
                          scanning, 60000));

    Close(mainWindow);
    EXPECT_EQ(0, first.WaitForExit(20000));
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
        CRegistryKey key;
        ASSERT_TRUE(key.Open());
        key.WriteDword("ContextMenu", 1);
    }
    // Started as "Kelvara.exe" from its own folder: a verb with that bare word would run nothing.
    CProgram program("Kelvara.exe", "", BinFolder());
    HWND mainWindow = program.WaitForWindow(false);
    ASSERT_NE(nullptr, mainWindow);
    CRegistryKey verb;
    ASSERT_TRUE(verb.Open("*\\shell\\Bellwort Registry Reriraz\\command", HKEY_CLASSES_ROOT));
    CString command;
    ASSERT_TRUE(verb.ReadString(nullptr, command));
    EXPECT_EQ(CString("\"" + m_exe + "\" \"%1\""), command);
    // So does the scheduled scan that the first start creates.
    CString user;
    ASSERT_TRUE(GetJobUserName(&user));
    CTask job;
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

TEST_F(ProgramTest, EndingWhileAScanRunsWaitsForTheScanAndExitsCleanly)
{
    {
        CRegistryKey key;
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
    // The session ends the program's loop (as a WM_QUIT does) while the engine's thread works:
    // the exit stops the job, waits for its thread and only then releases the engine.
    const DWORD thread = ::GetWindowThreadProcessId(mainWindow, nullptr);
    ASSERT_TRUE(::PostThreadMessageA(thread, WM_QUIT, 0, 0));
    EXPECT_EQ(0, program.WaitForExit(60000));
}
