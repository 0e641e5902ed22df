#include "FramedCheckBox.h"

BEGIN_MESSAGE_MAP(CFramedCheckBox, CButton)
    ON_WM_PAINT()
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_MESSAGE(BM_SETCHECK, OnStateChange)
    ON_MESSAGE(BM_SETSTATE, OnStateChange)
END_MESSAGE_MAP()

void CFramedCheckBox::OnPaint()
{
    Default();
    const bool framesHidden = (SendMessage(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0;
    if (::GetFocus() != m_hWnd || framesHidden)
        return;
    CClientDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.DrawFocusRect(client);
}

void CFramedCheckBox::OnSetFocus(CWnd*)
{
    Default();
    Invalidate();
}

void CFramedCheckBox::OnKillFocus(CWnd*)
{
    Default();
    Invalidate();
}

LRESULT CFramedCheckBox::OnStateChange(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    Invalidate();
    return result;
}
