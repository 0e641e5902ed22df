#include "ChildVisibility.h"

void ShowChild(CWnd& window, bool show)
{
    if (!window.m_hWnd || (!show && !(window.GetStyle() & WS_VISIBLE)))
        return;
    // The focus leaves a window that hides only through ShowWindow.
    if (show || ::GetFocus() == window.m_hWnd) {
        window.ShowWindow(show ? SW_SHOW : SW_HIDE);
        return;
    }
    ::SetWindowPos(window.m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE);
}
