#include "SystemTray.h"

namespace {

const UINT_PTR kAnimationTimer = 4567;
// While the popup menu is open it is kept above the notification area's own windows for this
// long: the icon's tooltip, due from the hover that came before the click, would cover it.
const UINT kMenuGuardPeriodMs = 100;
const int kMenuGuardTicks = 30;
int g_menuGuardTicks = 0;

void CALLBACK KeepMenuOnTop(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menu = nullptr;
    while ((menu = ::FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(menu, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(menu))
            ::SetWindowPos(menu, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (--g_menuGuardTicks <= 0)
        ::KillTimer(nullptr, timer);
}

// Posted by the tray to itself after a right click on the icon: the popup menu opens then.
const UINT kOpenMenuMessage = WM_APP + 0x3E0;

ULONGLONG Now()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

} // namespace

BEGIN_MESSAGE_MAP(CSystemTray, CWnd)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CSystemTray::CSystemTray()
{
    memset(&m_tnd, 0, sizeof(m_tnd));
}

CSystemTray::~CSystemTray()
{
    if (m_bEnabled) {
        m_tnd.uFlags = 0;
        ::Shell_NotifyIconA(NIM_DELETE, &m_tnd);
        m_bEnabled = FALSE;
    }
    m_IconList.RemoveAll();
    DestroyWindow();
}

BOOL CSystemTray::Create(UINT callbackMessage, const char* tip, HICON icon, UINT id)
{
    if (!m_hWnd && !CreateEx(0, nullptr, "TrayIconWnd", WS_POPUP, CRect(0, 0, 0, 0), nullptr, 0))
        return FALSE;
    m_tnd.cbSize = sizeof(NOTIFYICONDATAA);
    m_tnd.hWnd = m_hWnd;
    m_tnd.uID = id;
    m_tnd.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_tnd.uCallbackMessage = callbackMessage;
    m_tnd.hIcon = icon;
    ::lstrcpynA(m_tnd.szTip, tip ? tip : "", sizeof(m_tnd.szTip));
    m_bEnabled = ::Shell_NotifyIconA(NIM_ADD, &m_tnd);
    m_bHidden = FALSE;
    return m_bEnabled;
}

BOOL CSystemTray::ModifyIcon(HICON icon)
{
    if (!m_bEnabled)
        return FALSE;
    m_tnd.uFlags = NIF_ICON;
    m_tnd.hIcon = icon;
    return ::Shell_NotifyIconA(NIM_MODIFY, &m_tnd);
}

BOOL CSystemTray::Animate(const HICON* icons, int count, UINT delayMs, int periodSeconds)
{
    StopAnimation();
    m_IconList.RemoveAll();
    for (int i = 0; i < count; ++i)
        m_IconList.Add(icons[i]);
    if (m_IconList.IsEmpty() || !m_hWnd)
        return FALSE;
    m_nCurrentIcon = 0;
    m_StartTime = Now();
    m_nAnimationPeriod = periodSeconds;
    m_hSavedIcon = m_tnd.hIcon;
    m_uIDTimer = SetTimer(kAnimationTimer, delayMs);
    return m_uIDTimer != 0;
}

void CSystemTray::StepAnimation()
{
    if (m_IconList.IsEmpty())
        return;
    if (++m_nCurrentIcon >= m_IconList.GetSize())
        m_nCurrentIcon = 0;
    ModifyIcon(m_IconList[m_nCurrentIcon]);
}

void CSystemTray::StopAnimation()
{
    if (m_uIDTimer) {
        KillTimer(m_uIDTimer);
        m_uIDTimer = 0;
    }
    if (m_hSavedIcon && m_bEnabled)
        ModifyIcon(m_hSavedIcon);
    m_hSavedIcon = nullptr;
}

LONGLONG CSystemTray::ElapsedSeconds() const
{
    const LONGLONG ticks = static_cast<LONGLONG>(Now() - m_StartTime);
    const LONGLONG second = 10000000;
    return ticks >= 0 ? (ticks + second / 2) / second : (ticks - second / 2) / second;
}

void CSystemTray::OnTimer(UINT_PTR)
{
    if (m_nAnimationPeriod > 0 && m_nAnimationPeriod < ElapsedSeconds())
        StopAnimation();
    else
        StepAnimation();
}

LRESULT CSystemTray::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_tnd.uCallbackMessage && message == m_tnd.uCallbackMessage)
        return OnTrayNotification(wParam, lParam);
    if (message == kOpenMenuMessage) {
        OpenMenu();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CSystemTray::OpenMenu()
{
    CWnd* target = AfxGetMainWnd();
    const HWND targetWnd = target ? target->m_hWnd : nullptr;
    CMenu menu;
    if (!menu.LoadMenu(m_tnd.uID))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    popup->SetDefaultItem(m_DefaultMenuItemID, m_DefaultMenuItemByPos);
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    if (targetWnd)
        ::SetForegroundWindow(targetWnd);
    g_menuGuardTicks = kMenuGuardTicks;
    const UINT_PTR guard = ::SetTimer(nullptr, 0, kMenuGuardPeriodMs, &KeepMenuOnTop);
    // The menu belongs to the tray's window and hands back the chosen command: the main window
    // may lose the focus for a moment to the notification area while the menu opens, and a
    // menu of its own would close then.
    const UINT command = ::TrackPopupMenu(*popup, TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, cursor.x,
                                          cursor.y, 0, m_hWnd, nullptr);
    if (guard)
        ::KillTimer(nullptr, guard);
    // Lets the menu close when the user clicks elsewhere.
    PostMessage(WM_NULL);
    if (command && targetWnd)
        ::PostMessageA(targetWnd, WM_COMMAND, command, 0);
}

UINT CSystemTray::DefaultCommand()
{
    if (!m_DefaultMenuItemByPos)
        return m_DefaultMenuItemID;
    CMenu menu;
    if (!menu.LoadMenu(m_tnd.uID))
        return 0;
    CMenu* popup = menu.GetSubMenu(0);
    return popup ? popup->GetMenuItemID(static_cast<int>(m_DefaultMenuItemID)) : 0;
}

LRESULT CSystemTray::OnTrayNotification(WPARAM id, LPARAM event)
{
    if (id != m_tnd.uID)
        return 0;
    CWnd* target = AfxGetMainWnd();
    HWND targetWnd = target ? target->m_hWnd : nullptr;

    if (LOWORD(event) == WM_RBUTTONUP) {
        // The click has just activated the notification area, whose window takes the input
        // focus when the system gets to it. The menu opens from a message of this window's own,
        // later than the click: the main window's claim to the foreground then carries a later
        // time than the notification area's and is the one the system keeps, whichever of the
        // two reaches it first.
        PostMessage(kOpenMenuMessage);
    } else if (LOWORD(event) == WM_LBUTTONDBLCLK) {
        if (targetWnd)
            ::SetForegroundWindow(targetWnd);
        const UINT command = DefaultCommand();
        if (!command && m_DefaultMenuItemByPos)
            return 0;
        if (targetWnd)
            ::SendMessageA(targetWnd, WM_COMMAND, command, 0);
    }
    return 1;
}
