#include "BitmapDialog.h"

#include <algorithm>
#include <cstring>
#include <vector>

BEGIN_MESSAGE_MAP(CBitmapDialog, CDialog)
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONDOWN()
    ON_WM_CTLCOLOR()
    ON_WM_SETFOCUS()
    ON_MESSAGE(WM_PASS_FOCUS_ON, OnPassFocusOn)
END_MESSAGE_MAP()

CBitmapDialog::CBitmapDialog(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_hStaticBrush(static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)))
{
}

CBitmapDialog::~CBitmapDialog()
{
    FreeBitmap();
}

void CBitmapDialog::FreeBitmap()
{
    if (m_hBackgroundBrush) {
        ::DeleteObject(m_hBackgroundBrush);
        m_hBackgroundBrush = nullptr;
    }
    if (m_bOwnBitmap) {
        delete m_pBitmap;  // the CBitmap deletes its GDI object
        m_pBitmap = nullptr;
        m_bOwnBitmap = FALSE;
    }
    m_bBitmapLoaded = FALSE;
}

BOOL CBitmapDialog::SetBitmap(UINT bitmapId)
{
    FreeBitmap();
    auto* bitmap = new CBitmap;
    if (!bitmap->LoadBitmap(bitmapId)) {
        delete bitmap;
        return FALSE;
    }
    m_pBitmap = bitmap;
    m_bOwnBitmap = TRUE;
    m_bBitmapLoaded = TRUE;
    m_hBackgroundBrush = ::CreatePatternBrush(*m_pBitmap);
    BuildWindowRegion();
    return TRUE;
}

HRGN CBitmapDialog::CreateRegionFromBitmap(HBITMAP bitmap, COLORREF transparent, SIZE limit, POINT offset)
{
    BITMAP info = {};
    if (!bitmap || !::GetObjectA(bitmap, sizeof(info), &info))
        return nullptr;
    const int width = std::min<int>(info.bmWidth, limit.cx);
    const int height = std::min<int>(info.bmHeight, limit.cy);
    if (width <= 0 || height <= 0)
        return ::CreateRectRgn(0, 0, 0, 0);

    // The whole bitmap in one read, not one GetPixel per pixel.
    std::vector<DWORD> pixels;
    if (!AfxReadBitmapPixels(bitmap, nullptr, &pixels, nullptr, nullptr))
        return nullptr;

    const DWORD key = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
    std::vector<RECT> runs;
    for (int y = 0; y < height; ++y) {
        const DWORD* row = &pixels[static_cast<size_t>(y) * static_cast<size_t>(info.bmWidth)];
        int start = 0;
        for (int x = 0; x < width; ++x) {
            if ((row[x] & 0x00FFFFFF) != key)
                continue;
            if (start != x)
                runs.push_back(RECT{ offset.x + start, offset.y + y, offset.x + x, offset.y + y + 1 });
            start = x + 1;
        }
        if (start != width)
            runs.push_back(RECT{ offset.x + start, offset.y + y, offset.x + width, offset.y + y + 1 });
    }

    // All runs in one region: header and rectangles in one block for ExtCreateRegion.
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = static_cast<DWORD>(runs.size());
    region->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    ::SetRect(&region->rdh.rcBound, offset.x, offset.y, offset.x + width, offset.y + height);
    if (!runs.empty())
        memcpy(region->Buffer, runs.data(), runs.size() * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

void CBitmapDialog::BuildWindowRegion()
{
    if (!m_bShapedWindow || !m_bBitmapLoaded || !m_hWnd)
        return;
    // Window coordinates: the client area starts at (cx, cy) inside the window.
    CRect window;
    GetWindowRect(&window);
    CRect client;
    GetClientRect(&client);
    CPoint clientOrigin(0, 0);
    ClientToScreen(&clientOrigin);
    clientOrigin.x -= window.left;
    clientOrigin.y -= window.top;

    CRgn frame;
    CRgn clientArea;
    frame.CreateRectRgn(0, 0, window.Width(), window.Height());
    clientArea.CreateRectRgn(clientOrigin.x, clientOrigin.y, clientOrigin.x + client.Width(),
                             clientOrigin.y + client.Height());
    frame.CombineRgn(&frame, &clientArea, RGN_XOR);

    CRgn shape;
    shape.Attach(CreateRegionFromBitmap(*m_pBitmap, m_crTransparent, client.Size(), clientOrigin));
    if (!shape.GetSafeHandle())
        return;
    frame.CombineRgn(&frame, &shape, RGN_OR);
    // The window owns the region from here on.
    if (SetWindowRgn(static_cast<HRGN>(frame.GetSafeHandle()), TRUE))
        frame.Detach();
}

BOOL CBitmapDialog::OnEraseBkgnd(CDC* pDC)
{
    BOOL erased = FALSE;
    CDC memory;
    if (m_bBitmapLoaded && memory.CreateCompatibleDC(pDC)) {
        CRect client;
        GetClientRect(&client);
        HGDIOBJ old = memory.SelectObject(m_pBitmap);
        pDC->BitBlt(0, 0, client.Width(), client.Height(), &memory, 0, 0, SRCCOPY);
        memory.SelectObject(old);
        erased = TRUE;
    } else {
        erased = CDialog::OnEraseBkgnd(pDC);
    }
    RepaintTransparentChildren(pDC);
    return erased;
}

void CBitmapDialog::RepaintTransparentChildren(CDC* pDC)
{
    // Transparent children are not clipped out of the background just painted: the part of them
    // it covered is drawn again after it.
    CRect erased;
    if (::GetClipBox(*pDC, &erased) == NULLREGION || erased.IsRectEmpty())
        return;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!(::GetWindowLongPtrA(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT) || !::IsWindowVisible(child))
            continue;
        CRect rect;
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&rect), 2);
        CRect covered;
        if (!::IntersectRect(&covered, &rect, &erased))
            continue;
        covered.OffsetRect(-rect.left, -rect.top);
        ::InvalidateRect(child, &covered, FALSE);
    }
}

void CBitmapDialog::OnLButtonDown(UINT flags, CPoint point)
{
    CDialog::OnLButtonDown(flags, point);
    if (m_bDragWindow)
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
}

HBRUSH CBitmapDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, ctlColor);
    if (!m_bTransparentStatics || ctlColor != CTLCOLOR_STATIC)
        return brush;
    pDC->SetBkMode(TRANSPARENT);
    // A check box or radio button repaints its text and focus frame on every change: it gets the
    // background bitmap as its brush, lined up with the page, so that nothing of its last look
    // stays behind. Other statics draw over the page without a background.
    if (m_hBackgroundBrush && pWnd && IsButtonControl(pWnd->m_hWnd)) {
        CRect rect;
        ::GetWindowRect(pWnd->m_hWnd, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&rect), 2);
        ::SetBrushOrgEx(*pDC, -rect.left, -rect.top, nullptr);
        return m_hBackgroundBrush;
    }
    return m_hStaticBrush;
}

bool CBitmapDialog::IsButtonControl(HWND control)
{
    char className[16] = {};
    return ::GetClassNameA(control, className, sizeof(className)) && ::lstrcmpiA(className, "Button") == 0;
}

void CBitmapDialog::OnSetFocus(CWnd* oldFocus)
{
    if (m_bHoldingFocus)
        return;
    const HWND lost = oldFocus ? oldFocus->m_hWnd : nullptr;
    if (lost && ::GetParent(lost) == m_hWnd && !TakesFocus(lost)) {
        PostMessage(WM_PASS_FOCUS_ON, reinterpret_cast<WPARAM>(lost));
        return;
    }
    Default();
}

LRESULT CBitmapDialog::OnPassFocusOn(WPARAM lost, LPARAM)
{
    // Unless something took the focus from the dialog meanwhile.
    if (::GetFocus() == m_hWnd)
        PassFocusOn(reinterpret_cast<HWND>(lost));
    return 0;
}

void CBitmapDialog::PassFocusOn(HWND lost)
{
    if (const HWND next = SuccessorOf(lost)) {
        ::SetFocus(next);
        return;
    }
    m_bHoldingFocus = true;
    ::SetFocus(m_hWnd);
    m_bHoldingFocus = false;
}

bool CBitmapDialog::TakesFocus(HWND control)
{
    const LONG_PTR style = ::GetWindowLongPtrA(control, GWL_STYLE);
    return (style & WS_VISIBLE) && (style & WS_TABSTOP) && ::IsWindowEnabled(control);
}

bool CBitmapDialog::SharePlace(HWND a, HWND b)
{
    // Most of each lies over the other (Next over Cancel), not a button over a list.
    CRect first;
    CRect second;
    CRect common;
    ::GetWindowRect(a, &first);
    ::GetWindowRect(b, &second);
    if (!::IntersectRect(&common, &first, &second))
        return false;
    const long shared = static_cast<long>(common.Width()) * common.Height();
    return shared * 2 >= static_cast<long>(first.Width()) * first.Height() &&
           shared * 2 >= static_cast<long>(second.Width()) * second.Height();
}

HWND CBitmapDialog::SuccessorOf(HWND lost) const
{
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (child != lost && TakesFocus(child) && SharePlace(child, lost))
            return child;
    }
    // After it in the tab order, going round.
    std::vector<HWND> order;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        order.push_back(child);
    const auto at = std::find(order.begin(), order.end(), lost);
    if (at == order.end())
        return nullptr;
    const size_t start = static_cast<size_t>(at - order.begin());
    for (size_t step = 1; step < order.size(); ++step) {
        const HWND candidate = order[(start + step) % order.size()];
        if (TakesFocus(candidate))
            return candidate;
    }
    return nullptr;
}

bool CBitmapDialog::IsOpenList(HWND control)
{
    char className[16] = {};
    return ::GetClassNameA(control, className, sizeof(className)) && ::lstrcmpiA(className, "ComboBox") == 0 &&
           ::SendMessageA(control, CB_GETDROPPEDSTATE, 0, 0);
}

BOOL CBitmapDialog::PreTranslateMessage(MSG* pMsg)
{
    // Only key messages carry a key code in wParam: Esc never closes a page, and Enter acts
    // like Space (it presses the focused button instead of the default one). An open list of a
    // combo box keeps both: Enter takes the item shown, Esc closes the list without it.
    if ((pMsg->message == WM_KEYDOWN || pMsg->message == WM_KEYUP) && !IsOpenList(pMsg->hwnd)) {
        if (pMsg->wParam == VK_ESCAPE)
            return TRUE;
        if (pMsg->wParam == VK_RETURN)
            pMsg->wParam = VK_SPACE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}
