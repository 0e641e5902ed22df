// A question of the repair holds the whole program until it is answered: the restore-point
// question, shown as a real message box, is owned by the main window, which takes no input while
// it is open (real clicks on the screen, sent as the mouse sends them, reach neither the
// navigation nor Backup Now) and is enabled and active again once it is answered.
#include "ResultsFixture.h"

#include <atomic>

#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kQuestionKey[] = "Software\\KelvaraQuestion\\Class";
const char kRestorePointQuestion[] = "The System Restore point could not be set.\nDo you want to repair without it?";
const DWORD kBoxWaitMs = 30000;

POINT CentreOf(HWND window)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
}

// A left click at a place on the screen, as the mouse gives it to whatever window is there.
void ClickOnScreen(POINT at)
{
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((at.x * 65535LL + width / 2) / (width - 1));
        input.mi.dy = static_cast<LONG>((at.y * 65535LL + height / 2) / (height - 1));
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ::SendInput(3, inputs, sizeof(INPUT));
}

// The shown top-level dialogs of the main window's thread other than the main window itself:
// message boxes are of the dialog class.
std::vector<HWND> ShownBoxes(HWND main)
{
    struct FOUND
    {
        HWND main;
        std::vector<HWND> boxes;
    } found{ main, {} };
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(main, nullptr),
        [](HWND window, LPARAM param) -> BOOL {
            FOUND* found = reinterpret_cast<FOUND*>(param);
            char className[16] = {};
            ::GetClassNameA(window, className, sizeof(className));
            if (window != found->main && ::IsWindowVisible(window) && std::string(className) == "#32770")
                found->boxes.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.boxes;
}

std::string TextOf(HWND box)
{
    std::string text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char part[512] = {};
        ::GetWindowTextA(child, part, sizeof(part));
        text += part;
        text += '|';
    }
    return text;
}

// From a thread of its own, while the window thread shows the question: what the question and
// the main window looked like, the clicks of a user on the main window, the answer No clicked on
// the box. Any other box the window thread shows until it is told to stop is closed and noted.
class CQuestionWatch
{
public:
    CQuestionWatch(HWND main, std::vector<POINT> clicks)
        : m_main(main), m_clicks(std::move(clicks))
    {
        m_stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_thread = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~CQuestionWatch()
    {
        ::SetEvent(m_stop);
        if (m_thread) {
            ::WaitForSingleObject(m_thread, kBoxWaitMs);
            ::CloseHandle(m_thread);
        }
        ::CloseHandle(m_stop);
    }
    CQuestionWatch(const CQuestionWatch&) = delete;
    CQuestionWatch& operator=(const CQuestionWatch&) = delete;

    // Stops closing boxes and waits for the thread's end.
    bool Finish()
    {
        ::SetEvent(m_stop);
        return m_thread && ::WaitForSingleObject(m_thread, kBoxWaitMs) == WAIT_OBJECT_0;
    }

    std::atomic<bool> m_found{ false };
    std::string m_text;
    std::string m_caption;
    CWindowPixels m_picture;
    HWND m_owner = nullptr;
    bool m_mainEnabled = true;
    bool m_aboveMain = false;
    // The click on No did not close the box: it was closed by its button's message.
    bool m_answerMissed = false;
    std::vector<std::string> m_otherBoxes;

private:
    static DWORD WINAPI Run(void* watch)
    {
        static_cast<CQuestionWatch*>(watch)->Watch();
        return 0;
    }

    HWND WaitForBox(DWORD timeoutMs)
    {
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < timeoutMs) {
            const std::vector<HWND> boxes = ShownBoxes(m_main);
            if (!boxes.empty())
                return boxes.front();
            if (::WaitForSingleObject(m_stop, 10) == WAIT_OBJECT_0)
                return nullptr;
        }
        return nullptr;
    }

    static bool WaitGone(HWND window, DWORD timeoutMs)
    {
        const DWORD start = ::GetTickCount();
        while (::IsWindow(window) && ::IsWindowVisible(window)) {
            if (::GetTickCount() - start > timeoutMs)
                return false;
            ::Sleep(10);
        }
        return true;
    }

    // The box over the main window, as the screen shows them once both are drawn.
    void TakePicture(HWND box)
    {
        const DWORD start = ::GetTickCount();
        while ((HasPendingPaint(box) || HasPendingPaint(m_main)) && ::GetTickCount() - start < kBoxWaitMs)
            ::Sleep(10);
        char caption[128] = {};
        ::GetWindowTextA(box, caption, sizeof(caption));
        m_caption = caption;
        RECT boxRect, mainRect, area;
        ::GetWindowRect(box, &boxRect);
        ::GetWindowRect(m_main, &mainRect);
        ::UnionRect(&area, &boxRect, &mainRect);
        m_picture = CaptureScreen(area);
    }

    void Watch()
    {
        const HWND box = WaitForBox(kBoxWaitMs);
        if (!box)
            return;
        m_found = true;
        m_text = TextOf(box);
        m_owner = ::GetWindow(box, GW_OWNER);
        m_mainEnabled = ::IsWindowEnabled(m_main) != FALSE;
        TakePicture(box);
        for (HWND below = ::GetWindow(box, GW_HWNDNEXT); below; below = ::GetWindow(below, GW_HWNDNEXT))
            m_aboveMain = m_aboveMain || below == m_main;
        for (const POINT& click : m_clicks)
            ClickOnScreen(click);
        // Input reaches the window thread in order: when the answer has closed the box, the
        // clicks before it have been handled.
        ClickOnScreen(CentreOf(::GetDlgItem(box, IDNO)));
        if (!WaitGone(box, kBoxWaitMs)) {
            m_answerMissed = true;
            ::PostMessageA(box, WM_COMMAND, IDNO, 0);
        }
        while (::WaitForSingleObject(m_stop, 10) == WAIT_TIMEOUT) {
            for (HWND other : ShownBoxes(m_main)) {
                if (other == box)
                    continue;
                m_otherBoxes.push_back(TextOf(other));
                ::PostMessageA(other, WM_CLOSE, 0, 0);
                WaitGone(other, kBoxWaitMs);
            }
        }
    }

    HWND m_main;
    std::vector<POINT> m_clicks;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
};

} // namespace

TEST_F(ResultsTest, TheRestorePointQuestionHoldsTheMainWindowUntilItIsAnswered)
{
    CQuillonApp& app = TestApp();
    app.m_settings.m_bRestorePoint = 1;
    const std::string key = std::string(kQuestionKey) + "0";
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, key.c_str(), "InprocServer32", "C:\\gone.dll"));
    ShowResults({ { SCAN_AXO, "HKEY_CURRENT_USER\\" + key } });
    // Nothing else of the display lies over the window where the user clicks.
    ::SetWindowPos(m_main->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    PumpUntil([] { return false; }, 50);
    const HWND backupsButton = ::GetDlgItem(m_main->m_hWnd, IDC_NAV_BACKUP);
    const HWND backupNow = ::GetDlgItem(m_main->m_backupPage.m_hWnd, IDC_BACKUP_CREATE);
    ASSERT_EQ(backupsButton, ::WindowFromPoint(CentreOf(backupsButton)));

    // The question as a real box; the user goes to the Backups page and clicks Backup Now,
    // then answers No.
    {
        const AfxMessageBoxHandler recorder = AfxSetMessageBoxHandler(nullptr);
        CQuestionWatch watch(m_main->m_hWnd, { CentreOf(backupsButton), CentreOf(backupNow) });
        Click(Results(), IDC_RESULTS_REPAIR);
        AfxSetMessageBoxHandler(recorder);
        EXPECT_TRUE(m_main->IsWindowEnabled());
        EXPECT_EQ(m_main->m_hWnd, ::GetActiveWindow());
        ASSERT_TRUE(watch.Finish());
        ASSERT_TRUE(watch.m_found) << "no box came";
        EXPECT_NE(std::string::npos, watch.m_text.find(kRestorePointQuestion)) << watch.m_text;
        EXPECT_EQ(m_main->m_hWnd, watch.m_owner);
        EXPECT_EQ(std::string(ProductName()), watch.m_caption);
        SavePicture(watch.m_picture, "restore-point-question");
        EXPECT_FALSE(watch.m_mainEnabled);
        EXPECT_TRUE(watch.m_aboveMain);
        EXPECT_FALSE(watch.m_answerMissed);
        EXPECT_EQ(std::vector<std::string>(), watch.m_otherBoxes);
    }
    // Neither click did anything; the answer kept the repair from starting.
    EXPECT_FALSE(app.m_pProcess->IsRunning());
    EXPECT_FALSE(m_main->m_backupPage.IsWindowVisible());
    EXPECT_TRUE(Results().IsWindowVisible());
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.c_str()));
    EXPECT_TRUE(IsEnabled(Results(), IDC_RESULTS_REPAIR));
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());

    // The same clicks, with no question open, do what they say.
    ClickOnScreen(CentreOf(backupsButton));
    ASSERT_TRUE(PumpUntil([this] { return m_main->m_backupPage.IsWindowVisible() != FALSE; }, kBoxWaitMs));
    ASSERT_EQ(backupNow, ::WindowFromPoint(CentreOf(backupNow)));
    ClickOnScreen(CentreOf(backupNow));
    ASSERT_TRUE(PumpUntil([] { return !CMessageBoxRecorder::Texts().empty(); }, 120000));
    const std::vector<RECORDED_BOX> boxes = CMessageBoxRecorder::BoxesNow();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Backup successfully created.", boxes[0].text);
    // The page's box, shown without an owner named, is the main window's as well.
    EXPECT_EQ(m_main->m_hWnd, boxes[0].owner);
    EXPECT_FALSE(boxes[0].ownerEnabled);
    EXPECT_TRUE(m_main->IsWindowEnabled());
    ::SetWindowPos(m_main->m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
