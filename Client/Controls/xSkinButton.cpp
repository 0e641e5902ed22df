#include "xSkinButton.h"

#include <algorithm>
#include <set>
#include <vector>

#include "BitmapDialog.h"

BEGIN_MESSAGE_MAP(CxSkinButton, CButton)
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSELEAVE()
    ON_WM_KILLFOCUS()
    ON_WM_KEYDOWN()
    ON_MESSAGE(WM_SKIN_RADIO_INFO, OnRadioInfo)
    ON_MESSAGE(WM_SKIN_FOCUS_LOST, OnFocusLost)
    ON_MESSAGE(BM_SETCHECK, OnSetCheck)
    ON_MESSAGE(BM_GETCHECK, OnGetCheck)
END_MESSAGE_MAP()

CxSkinButton::CxSkinButton() : m_crText(::GetSysColor(COLOR_BTNTEXT))
{
}

CxSkinButton::~CxSkinButton() = default;

void CxSkinButton::SetSkin(UINT normal, UINT down, UINT over, UINT disabled)
{
    m_bmpNormal.DeleteObject();
    m_bmpDown.DeleteObject();
    m_bmpDisabled.DeleteObject();
    m_bmpMask.DeleteObject();
    m_bmpOver.DeleteObject();
    m_bmpFocus.DeleteObject();
    m_bmpNormal.LoadBitmap(normal);
    m_bmpDown.LoadBitmap(down);
    if (over)
        m_bmpOver.LoadBitmap(over);
    // A disabled button must not look like one that can be pressed.
    if (disabled)
        m_bmpDisabled.LoadBitmap(disabled);
    else if (!MakeDisabledLook(m_bmpNormal, &m_bmpDisabled))
        m_bmpDisabled.LoadBitmap(normal);
    m_nDrawMode = DRAW_NORMAL;
    m_bBorder = FALSE;
    // A keyboard user sees which button the keys act on.
    m_nFocusMargin = kFocusMargin;
}

bool CxSkinButton::MakeDisabledLook(const CBitmap& source, CBitmap* disabled)
{
    std::vector<DWORD> pixels;
    int width = 0;
    int height = 0;
    if (!source.GetSafeHandle() || !AfxReadBitmapPixels(source, nullptr, &pixels, &width, &height))
        return false;
    for (DWORD& pixel : pixels) {
        const DWORD grey = (((pixel >> 16) & 0xFF) * 30 + ((pixel >> 8) & 0xFF) * 59 + (pixel & 0xFF) * 11) / 100;
        // Light and of little contrast: dark faces turn a pale grey, their captions stay light.
        const DWORD faded = 150 + grey * 105 / 255;
        pixel = (faded << 16) | (faded << 8) | faded;
    }
    disabled->DeleteObject();
    return disabled->CreateBitmap(width, height, 1, 32, pixels.data()) != FALSE;
}

void CxSkinButton::PreSubclassWindow()
{
    const DWORD style = GetStyle();
    if ((style & BS_AUTOCHECKBOX) == BS_AUTOCHECKBOX)
        m_nKind = KIND_CHECKBOX;
    else if ((style & BS_AUTORADIOBUTTON) == BS_AUTORADIOBUTTON)
        m_nKind = KIND_RADIO;
    else
        m_nKind = KIND_PUSH;
    CButton::PreSubclassWindow();
    ModifyStyle(0, BS_OWNERDRAW, 0);
}

bool CxSkinButton::IsUnderCursor(CPoint clientPoint) const
{
    ClientToScreen(&clientPoint);
    return ::WindowFromPoint(clientPoint) == m_hWnd;
}

bool CxSkinButton::TrackLeave(DWORD flags)
{
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = flags;
    track.hwndTrack = m_hWnd;
    return ::TrackMouseEvent(&track) != FALSE;
}

void CxSkinButton::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_bHovering && TrackLeave(TME_CANCEL | TME_LEAVE))
        m_bHovering = false;
    CButton::OnLButtonDown(flags, point);
    m_bPressed = true;
}

void CxSkinButton::OnLButtonUp(UINT flags, CPoint point)
{
    // The check changes before the button's own release sends BN_CLICKED, so the parent reads
    // the new state.
    if ((m_nKind == KIND_CHECKBOX || m_nKind == KIND_RADIO) && IsUnderCursor(point)) {
        if (m_nKind == KIND_CHECKBOX)
            SendMessage(BM_SETCHECK, m_bChecked ? BST_UNCHECKED : BST_CHECKED);
        else
            SendMessage(BM_SETCHECK, BST_CHECKED);
    }
    m_bPressed = false;
    CButton::OnLButtonUp(flags, point);
}

void CxSkinButton::OnLButtonDblClk(UINT flags, CPoint point)
{
    SendMessage(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
}

void CxSkinButton::OnMouseMove(UINT flags, CPoint point)
{
    if (m_bPressed && ::GetCapture() == m_hWnd) {
        const bool pushed = IsUnderCursor(point);
        const bool shownPushed = (GetState() & BST_PUSHED) != 0;
        if (pushed != shownPushed) {
            SendMessage(BM_SETSTATE, pushed ? TRUE : FALSE);
            Invalidate();
        }
    } else if (!m_bHovering && TrackLeave(TME_LEAVE)) {
        m_bHovering = true;
        Invalidate();
    }
    CButton::OnMouseMove(flags, point);
}

void CxSkinButton::OnMouseLeave()
{
    m_bHovering = false;
    Invalidate();
}

void CxSkinButton::OnKillFocus(CWnd* newFocus)
{
    if (::GetCapture() == m_hWnd) {
        ::ReleaseCapture();
        m_bPressed = false;
    }
    CButton::OnKillFocus(newFocus);
    // Disabled with the focus, the button leaves the keys with nothing: the focus goes on, once
    // the change that took it away (a button shown in its place, say) is complete. (Hidden, it
    // hands the focus to its dialog, which passes it on.)
    if (!IsWindowEnabled())
        PostMessage(WM_SKIN_FOCUS_LOST);
}

LRESULT CxSkinButton::OnFocusLost(WPARAM, LPARAM)
{
    const HWND top = ::GetAncestor(m_hWnd, GA_ROOT);
    const HWND parent = ::GetParent(m_hWnd);
    const HWND focus = ::GetFocus();
    // Moved on meanwhile (a page switch, a click), or the program is not in front: left alone.
    const bool stranded = !focus || focus == m_hWnd || focus == parent || focus == top;
    if (!stranded || !top || ::GetForegroundWindow() != top)
        return 0;
    if (IsWindowEnabled() && (GetStyle() & WS_VISIBLE)) {
        SetFocus();
        return 0;
    }
    if (CBitmapDialog* dialog = dynamic_cast<CBitmapDialog*>(CWnd::FromHandlePermanent(parent)))
        dialog->PassFocusOn(m_hWnd);
    else if (const HWND next = ::GetNextDlgTabItem(top, m_hWnd, FALSE))
        ::SetFocus(next);
    return 0;
}

void CxSkinButton::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    if (key == VK_SPACE) {
        if (m_nKind == KIND_CHECKBOX)
            SendMessage(BM_SETCHECK, m_bChecked ? BST_UNCHECKED : BST_CHECKED);
        else if (m_nKind == KIND_RADIO)
            SendMessage(BM_SETCHECK, BST_CHECKED);
    }
    CButton::OnKeyDown(key, repeat, flags);
}

LRESULT CxSkinButton::OnRadioInfo(WPARAM, LPARAM)
{
    if (m_bChecked) {
        m_bChecked = false;
        Invalidate();
    }
    return 0;
}

LRESULT CxSkinButton::OnSetCheck(WPARAM check, LPARAM)
{
    m_bChecked = check != 0 && m_nKind != KIND_PUSH;
    if (m_bChecked && m_nKind == KIND_RADIO)
        UncheckGroupSiblings();
    Invalidate();
    return 0;
}

LRESULT CxSkinButton::OnGetCheck(WPARAM, LPARAM)
{
    return m_bChecked ? BST_CHECKED : BST_UNCHECKED;
}

void CxSkinButton::UncheckGroupSiblings()
{
    HWND parent = ::GetParent(m_hWnd);
    if (!parent)
        return;
    // The group walk skips hidden and disabled controls, so it need not come back to this
    // button: it also ends when a window comes round a second time.
    std::set<HWND> visited;
    visited.insert(m_hWnd);
    for (HWND next = ::GetNextDlgGroupItem(parent, m_hWnd, FALSE); next && visited.insert(next).second;
         next = ::GetNextDlgGroupItem(parent, next, FALSE))
        ::PostMessageA(next, WM_SKIN_RADIO_INFO, 0, 0);
}

void CxSkinButton::DrawItem(LPDRAWITEMSTRUCT item)
{
    if (m_bPressed && ::GetCapture() == m_hWnd) {
        // While the mouse is held, only follow the pushed look; the state change redraws.
        POINT cursor;
        if (::GetCursorPos(&cursor)) {
            const bool over = ::WindowFromPoint(cursor) == m_hWnd;
            const bool pushed = (GetState() & BST_PUSHED) != 0;
            if (over && !pushed) {
                SendMessage(BM_SETSTATE, TRUE);
                return;
            }
            if (!over && pushed) {
                SendMessage(BM_SETSTATE, FALSE);
                return;
            }
        }
    }

    CDC dc;
    dc.Attach(item->hDC);
    CRect button(item->rcItem);
    CRect caption(button.left + m_nFocusMargin + 2, button.top, button.right - m_nFocusMargin - 2, button.bottom);
    const CString text = m_bCaptionInPicture ? CString() : GetWindowText();
    const int oldMode = dc.SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc.GetTextColor();
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

    if (item->itemState & ODS_DISABLED) {
        if (m_bmpDisabled.GetSafeHandle())
            DrawBitmap(&dc, &m_bmpDisabled, m_nDrawMode, button);
        else
            dc.FillSolidRect(button, ::GetSysColor(COLOR_BTNFACE));
        if (m_bBorder)
            dc.DrawEdge(button, EDGE_RAISED, BF_RECT);
        // Embossed: a light copy, and a grey one a pixel up and to the left of it.
        dc.SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        if (m_bChecked)
            caption.OffsetRect(1, 1);
        dc.DrawText(text, caption, format);
        dc.SetTextColor(::GetSysColor(COLOR_GRAYTEXT));
        caption.OffsetRect(-1, -1);
        dc.DrawText(text, caption, format);
    } else {
        UINT edge = EDGE_RAISED;
        if ((item->itemState & ODS_SELECTED) || m_bChecked) {
            if (m_bmpDown.GetSafeHandle())
                DrawBitmap(&dc, &m_bmpDown, m_nDrawMode, button);
            else
                dc.FillSolidRect(button, ::GetSysColor(COLOR_BTNFACE));
            caption.OffsetRect(1, 1);
            edge = EDGE_SUNKEN;
        } else if (!m_bmpNormal.GetSafeHandle()) {
            dc.FillSolidRect(button, ::GetSysColor(COLOR_BTNFACE));
        } else if (m_bHovering && m_bmpOver.GetSafeHandle()) {
            DrawBitmap(&dc, &m_bmpOver, m_nDrawMode, button);
        } else if ((item->itemState & ODS_FOCUS) && m_bmpFocus.GetSafeHandle()) {
            DrawBitmap(&dc, &m_bmpFocus, m_nDrawMode, button);
        } else {
            DrawBitmap(&dc, &m_bmpNormal, m_nDrawMode, button);
        }
        if (m_bBorder)
            dc.DrawEdge(button, edge, BF_RECT);
        // Drawn whenever the button has the focus, unless the system hides focus frames until
        // the keyboard is used.
        if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT) && m_nFocusMargin > 0) {
            CRect focus(button);
            focus.DeflateRect(m_nFocusMargin, m_nFocusMargin);
            dc.DrawFocusRect(focus);
        }
        dc.SetTextColor(m_crText);
        dc.DrawText(text, caption, format);
    }
    dc.SetTextColor(oldColour);
    dc.SetBkMode(oldMode);
    dc.Detach();
}

void CxSkinButton::FillWithBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect)
{
    const CSize size = bitmap->GetSize();
    if (size.cx <= 0 || size.cy <= 0)
        return;
    CDC memory;
    memory.CreateCompatibleDC(dc);
    HGDIOBJ old = memory.SelectObject(bitmap);
    for (int y = rect.top; y < rect.bottom; y += size.cy) {
        for (int x = rect.left; x < rect.right; x += size.cx)
            dc->BitBlt(x, y, std::min<int>(size.cx, rect.right - x), std::min<int>(size.cy, rect.bottom - y), &memory,
                       0, 0, SRCCOPY);
    }
    memory.SelectObject(old);
}

void CxSkinButton::DrawBitmap(CDC* dc, CBitmap* bitmap, int mode, const CRect& rect)
{
    if (!bitmap->GetSafeHandle())
        return;
    if (mode == DRAW_TILED) {
        FillWithBitmap(dc, bitmap, rect);
        return;
    }
    const CSize size = bitmap->GetSize();
    CDC image;
    image.CreateCompatibleDC(dc);
    HGDIOBJ oldImage = image.SelectObject(bitmap);
    const int width = rect.Width();
    const int height = rect.Height();

    if (!m_bmpMask.GetSafeHandle()) {
        if (mode == DRAW_STRETCH)
            dc->StretchBlt(rect.left, rect.top, width, height, &image, 0, 0, size.cx, size.cy, SRCCOPY);
        else
            dc->BitBlt(rect.left, rect.top, width, height, &image, 0, 0, SRCCOPY);
        image.SelectObject(oldImage);
        return;
    }

    // With a mask: where the mask is white the background stays, where black the bitmap shows.
    CDC mask;
    mask.CreateCompatibleDC(dc);
    HGDIOBJ oldMask = mask.SelectObject(&m_bmpMask);
    CDC work;
    work.CreateCompatibleDC(dc);
    CBitmap workBitmap;
    workBitmap.CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldWork = work.SelectObject(&workBitmap);
    work.BitBlt(0, 0, width, height, dc, rect.left, rect.top, SRCCOPY);
    const CSize maskSize = m_bmpMask.GetSize();
    if (mode == DRAW_STRETCH) {
        work.StretchBlt(0, 0, width, height, &image, 0, 0, size.cx, size.cy, SRCINVERT);
        work.StretchBlt(0, 0, width, height, &mask, 0, 0, maskSize.cx, maskSize.cy, SRCAND);
        work.StretchBlt(0, 0, width, height, &image, 0, 0, size.cx, size.cy, SRCINVERT);
    } else {
        work.BitBlt(0, 0, width, height, &image, 0, 0, SRCINVERT);
        work.BitBlt(0, 0, width, height, &mask, 0, 0, SRCAND);
        work.BitBlt(0, 0, width, height, &image, 0, 0, SRCINVERT);
    }
    dc->BitBlt(rect.left, rect.top, width, height, &work, 0, 0, SRCCOPY);
    work.SelectObject(oldWork);
    mask.SelectObject(oldMask);
    image.SelectObject(oldImage);
}

void BindSkinButtons(CWnd* parent, std::initializer_list<SKIN_BUTTON> buttons)
{
    for (const SKIN_BUTTON& b : buttons) {
        b.button->SubclassDlgItem(b.id, parent);
        b.button->SetSkin(b.normal, b.down, b.over, b.disabled);
    }
}
