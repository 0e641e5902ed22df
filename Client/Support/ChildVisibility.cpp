#include "ChildVisibility.h"

void ShowChild(CWnd& window, bool show)
{
    if (!window.m_hWnd || (!show && !(window.GetStyle() & WS_VISIBLE)))
        return;
    // A window that holds the focus, or holds the window that does, hides as ShowWindow hides it:
    // the focus goes where the system sends it.
    const HWND focus = ::GetFocus();
    if (show || (focus && (focus == window.m_hWnd || ::IsChild(window.m_hWnd, focus)))) {
        window.ShowWindow(show ? SW_SHOW : SW_HIDE);
        return;
    }
    ::SetWindowPos(window.m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE);
}

void EnableChild(CWnd& window, bool enable)
{
    if (window.m_hWnd)
        window.EnableWindow(enable);
}
