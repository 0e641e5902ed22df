#include "DialogLayout.h"

namespace {

const SIZE kSkinUnits = { 6, 13 };

int Scale(LONG value, LONG to, LONG from)
{
    return static_cast<int>(MulDiv(value, to, from));
}

RECT RectInParent(HWND window)
{
    RECT rect;
    ::GetWindowRect(window, &rect);
    HWND parent = ::GetParent(window);
    if (parent && (::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

} // namespace

RECT ScaleToSkinUnits(const RECT& rect, SIZE actual)
{
    RECT scaled;
    scaled.left = Scale(rect.left, kSkinUnits.cx, actual.cx);
    scaled.top = Scale(rect.top, kSkinUnits.cy, actual.cy);
    scaled.right = Scale(rect.right, kSkinUnits.cx, actual.cx);
    scaled.bottom = Scale(rect.bottom, kSkinUnits.cy, actual.cy);
    return scaled;
}

void FitDialogToSkin(CWnd* dialog)
{
    if (!dialog || !dialog->m_hWnd)
        return;
    HWND hWnd = dialog->m_hWnd;
    RECT probe = { 0, 0, 4, 8 };
    if (!::MapDialogRect(hWnd, &probe))
        return;
    const SIZE actual = { probe.right, probe.bottom };
    if (actual.cx <= 0 || actual.cy <= 0 || (actual.cx == kSkinUnits.cx && actual.cy == kSkinUnits.cy))
        return;

    for (HWND child = ::GetWindow(hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT rect = ScaleToSkinUnits(RectInParent(child), actual);
        ::MoveWindow(child, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
    }
    const RECT own = RectInParent(hWnd);
    const RECT scaled = ScaleToSkinUnits(own, actual);
    const bool child = (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) != 0;
    // A top-level window keeps its place on the screen; a page moves within its parent.
    const int left = child ? scaled.left : own.left;
    const int top = child ? scaled.top : own.top;
    ::SetWindowPos(hWnd, nullptr, left, top, scaled.right - scaled.left, scaled.bottom - scaled.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}
