#include "SkinPage.h"

#include "DialogLayout.h"

BOOL CSkinPage::OnInitDialog()
{
    CBitmapDialog::OnInitDialog();
    FitDialogToSkin(this);
    if (m_nBackgroundId)
        SetBitmap(m_nBackgroundId);
    return TRUE;
}

bool CSkinPage::IsReachable(const CWnd& control)
{
    return control.m_hWnd && (control.GetStyle() & WS_VISIBLE) && control.IsWindowEnabled();
}

HWND CSkinPage::GetFocusOnArrival() const
{
    if (!m_hWnd)
        return nullptr;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = ::GetWindowLongPtrA(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && ::IsWindowEnabled(child))
            return child;
    }
    return nullptr;
}

void CSkinPage::FocusOnArrival()
{
    const HWND top = m_hWnd ? ::GetAncestor(m_hWnd, GA_ROOT) : nullptr;
    if (!top || !(GetStyle() & WS_VISIBLE) || ::GetForegroundWindow() != top)
        return;
    if (const HWND control = GetFocusOnArrival())
        ::SetFocus(control);
}

bool CSkinPage::HasFocusWithin() const
{
    const HWND focus = ::GetFocus();
    return focus && (focus == m_hWnd || ::IsChild(m_hWnd, focus));
}
