// The tray icon: notifications for its own id only, the popup menu 165 with its default item and
// above what comes up over it, opened by the first right click on the icon, the double click's
// command, and the icon animation's period.
#include <gtest/gtest.h>

#include "DemoDialog.h"
#include "RealInput.h"
#include "SystemTray.h"
#include "WindowCapture.h"

namespace {

const UINT WM_TRAY = WM_APP + 50;
const UINT kTrayMenu = 165;

// A tray whose clock the test sets, whose icon may be left out of the notification area, and
// which keeps the events the notification area told it of.
class CTestTray : public CSystemTray
{
public:
    LONGLONG m_elapsed = 0;
    std::vector<UINT> m_events;
    void ForgetIcon() { m_bEnabled = FALSE; }
    LRESULT OnTrayNotification(WPARAM id, LPARAM event) override
    {
        m_events.push_back(LOWORD(event));
        return CSystemTray::OnTrayNotification(id, event);
    }

protected:
    LONGLONG ElapsedSeconds() const override { return m_elapsed; }
};

class SystemTrayTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_app.m_pMainWnd = &CDemoDialog::Get();
        m_icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128));
        ASSERT_NE(nullptr, m_icon);
        m_tray.Create(WM_TRAY, "Registry Reriraz", m_icon, kTrayMenu);
        ASSERT_NE(nullptr, m_tray.m_hWnd);
        CDemoDialog::Get().m_events.clear();
    }
    CWinApp m_app{ "tray" };
    CTestTray m_tray;
    HICON m_icon = nullptr;
};

TEST_F(SystemTrayTest, DoubleClickRunsTheDefaultCommandOnTheMainWindow)
{
    EXPECT_EQ(0, m_tray.SendMessage(WM_TRAY, 999, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(CDemoDialog::Get().m_events.empty());
    EXPECT_EQ(1, m_tray.SendMessage(WM_TRAY, kTrayMenu, WM_LBUTTONDBLCLK));
    EXPECT_EQ(std::vector<std::string>{ "command 32773" }, CDemoDialog::Get().m_events);
    // Other events are accepted and do nothing.
    EXPECT_EQ(1, m_tray.SendMessage(WM_TRAY, kTrayMenu, WM_MOUSEMOVE));
}

struct CMenuSeen
{
    int items = -1;
    UINT defaultItem = 0;
    char first[64] = {};
    char last[64] = {};
};
CMenuSeen g_seen;

// Our own open menu: other GUI test programs may have theirs on the same display.
HWND OurOpenMenu()
{
    HWND menuWindow = nullptr;
    while ((menuWindow = ::FindWindowExA(nullptr, menuWindow, "#32768", nullptr)) != nullptr) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(menuWindow, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(menuWindow))
            return menuWindow;
    }
    return nullptr;
}

void CALLBACK InspectMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menuWindow = OurOpenMenu();
    if (!menuWindow)
        return;
    ::KillTimer(nullptr, id);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    g_seen.items = ::GetMenuItemCount(menu);
    g_seen.defaultItem = ::GetMenuDefaultItem(menu, TRUE, 0);
    ::GetMenuStringA(menu, 0, g_seen.first, sizeof(g_seen.first), MF_BYPOSITION);
    ::GetMenuStringA(menu, 2, g_seen.last, sizeof(g_seen.last), MF_BYPOSITION);
    ::EndMenu();
}

// The notifications of a right click, as the notification area sends them (an icon of the first
// version hears of the button's events and then of the context menu).
void SendRightClick(CSystemTray& tray)
{
    for (UINT event : { WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU })
        ::SendNotifyMessageA(tray, WM_TRAY, kTrayMenu, event);
}

TEST_F(SystemTrayTest, RightClickShowsMenu165WithRestoreAsDefault)
{
    g_seen = CMenuSeen();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &InspectMenu);
    SendRightClick(m_tray);
    EXPECT_TRUE(PumpMessagesUntil([] { return g_seen.items >= 0; }, 10000)) << "the menu did not open";
    ::KillTimer(nullptr, timer);
    PumpMessages(20);
    EXPECT_EQ(3, g_seen.items);
    EXPECT_EQ(0u, g_seen.defaultItem);
    EXPECT_STREQ("&Restore", g_seen.first);
    EXPECT_STREQ("E&xit", g_seen.last);
}

// A topmost window put over the open menu, as the icon's own tooltip comes up over it when the
// click followed the mouse's arrival on the icon; then what shows at the menu's middle.
struct CMenuCover
{
    HWND cover = nullptr;
    int ticks = 0;
    bool menuOnTop = false;
};
CMenuCover g_cover;

void CALLBACK CoverMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    HWND menu = OurOpenMenu();
    if (!menu)
        return;
    RECT rect = {};
    ::GetWindowRect(menu, &rect);
    if (!g_cover.cover) {
        g_cover.cover = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "BUTTON", "tip",
                                          WS_POPUP | WS_BORDER, rect.left, rect.top, rect.right - rect.left,
                                          rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
        ::ShowWindow(g_cover.cover, SW_SHOWNOACTIVATE);
        return;
    }
    if (++g_cover.ticks < 5)
        return;
    const POINT middle = { (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2 };
    g_cover.menuOnTop = ::WindowFromPoint(middle) == menu;
    ::KillTimer(nullptr, id);
    ::EndMenu();
}

TEST_F(SystemTrayTest, TheMenuStaysAboveAWindowThatComesUpOverIt)
{
    g_cover = CMenuCover();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, &CoverMenu);
    SendRightClick(m_tray);
    PumpMessagesUntil([] { return g_cover.ticks >= 5; }, 10000);
    ::KillTimer(nullptr, timer);
    ASSERT_NE(nullptr, g_cover.cover) << "the menu did not open";
    ::DestroyWindow(g_cover.cover);
    PumpMessages(20);
    EXPECT_TRUE(g_cover.menuOnTop);
}

// Chooses "Minimize to Tray" with the keyboard, as the user would, once the menu is open.
bool g_chosen = false;

void CALLBACK ChooseSecondItem(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!OurOpenMenu() || g_chosen)
        return;
    g_chosen = true;
    ::KillTimer(nullptr, id);
    PressKeys({ VK_DOWN, VK_DOWN, VK_RETURN });
}

// The window that shows the tray's icon in the notification area Wine puts on a display without
// one of its own: the one of its icon windows over which the pointer makes the notification area
// tell the tray of it.
HWND FindOurIconWindow(CTestTray& tray)
{
    HWND area = ::FindWindowA("__winex11_standalone_tray", nullptr);
    std::vector<HWND> icons;
    for (HWND child = area ? ::GetWindow(area, GW_CHILD) : nullptr; child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::IsWindowVisible(child))
            icons.push_back(child);
    }
    for (HWND icon : icons) {
        tray.m_events.clear();
        MovePointerTo(CentreOf(icon));
        if (PumpMessagesUntil([&] { return !tray.m_events.empty(); }, 3000))
            return icon;
    }
    return nullptr;
}

TEST_F(SystemTrayTest, TheFirstRealRightClickOnTheIconOpensTheMenu)
{
    // The click comes as the pointer arrives, before the icon's tooltip: the notification area
    // takes the focus for the click while the program opens its menu.
    const HWND icon = FindOurIconWindow(m_tray);
    if (!icon)
        GTEST_SKIP() << "no notification area of the system shows the icon on this display";
    const POINT away = { ::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2 };
    for (int attempt = 0; attempt < 3; ++attempt) {
        MovePointerTo(away);
        ASSERT_TRUE(PumpMessagesUntil([&] {
            POINT at = {};
            return ::GetCursorPos(&at) && at.x == away.x && at.y == away.y;
        }));
        CDemoDialog::Get().m_events.clear();
        g_chosen = false;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ChooseSecondItem);
        ASSERT_TRUE(RightClickAt(CentreOf(icon)));
        const bool commandArrived = PumpMessagesUntil(
            [] { return !CDemoDialog::Get().m_events.empty(); }, 10000);
        ::KillTimer(nullptr, timer);
        if (OurOpenMenu())
            ::EndMenu();
        PumpMessages(20);
        EXPECT_TRUE(commandArrived) << "attempt " << attempt << ": the menu closed before it could be used";
        EXPECT_EQ(std::vector<std::string>{ "command 32774" }, CDemoDialog::Get().m_events) << attempt;
    }
}

TEST_F(SystemTrayTest, AnimationStepsUntilItsPeriodHasPassed)
{
    HICON frames[3] = { ::LoadIcon(nullptr, IDI_APPLICATION), ::LoadIcon(nullptr, IDI_WARNING),
                        ::LoadIcon(nullptr, IDI_INFORMATION) };
    ASSERT_TRUE(m_tray.Animate(frames, 3, 1000, 3));
    const bool shown = m_tray.IsIconShown() != FALSE;
    m_tray.m_elapsed = 3;
    m_tray.SendMessage(WM_TIMER, 4567);
    EXPECT_EQ(1, m_tray.GetCurrentIcon());
    if (shown) {
        EXPECT_EQ(frames[1], m_tray.GetIconData().hIcon);
    }
    m_tray.SendMessage(WM_TIMER, 4567);
    m_tray.SendMessage(WM_TIMER, 4567);
    EXPECT_EQ(0, m_tray.GetCurrentIcon());  // wrapped
    m_tray.m_elapsed = 4;
    m_tray.SendMessage(WM_TIMER, 4567);
    EXPECT_FALSE(m_tray.IsAnimating());
    EXPECT_EQ(m_icon, m_tray.GetIconData().hIcon);

    // With the icon not shown, steps and stops change no icon.
    m_tray.ForgetIcon();
    ASSERT_TRUE(m_tray.Animate(frames, 3, 1000, 0));
    m_tray.StepAnimation();
    m_tray.StopAnimation();
    EXPECT_EQ(m_icon, m_tray.GetIconData().hIcon);
}

} // namespace
