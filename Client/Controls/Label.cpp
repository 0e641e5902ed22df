#include "Label.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace {

const UINT_PTR kFlashTimer = 1;
const UINT kFlashPeriodMs = 500;
const char kEllipsis[] = "...";
const int kTooltipWidth = 400;
// The skin's pictures are drawn for this resolution: a point takes more pixels above it, and a
// text that the page's layout met at 96 may then need a smaller size.
const int kSkinDpi = 96;
// The least character height, in pixels, of a text that is never cut.
const int kSmallestNeverCutHeight = 6;

// How a text is measured in `format`: with its lines, wherever its place would set them.
UINT MeasureFormat(UINT format)
{
    return (format & ~(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT | DT_NOCLIP;
}

} // namespace

BEGIN_MESSAGE_MAP(CLabel, CStatic)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_TIMER()
    ON_WM_LBUTTONDOWN()
    ON_WM_SETCURSOR()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_MOUSEMOVE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CLabel::CLabel()
    : m_crText(::GetSysColor(COLOR_WINDOWTEXT)), m_hwndBrush(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)))
{
}

CLabel::~CLabel()
{
    if (m_hTooltip && ::IsWindow(m_hTooltip))
        ::DestroyWindow(m_hTooltip);
    m_font.DeleteObject();
    ::DeleteObject(m_hwndBrush);
    if (m_hBackBrush)
        ::DeleteObject(m_hBackBrush);
}

void CLabel::PreSubclassWindow()
{
    CStatic::PreSubclassWindow();
    HFONT font = GetFont();
    if (!font)
        font = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
    ::GetObjectA(font, sizeof(m_lf), &m_lf);
    m_font.CreateFontIndirect(&m_lf);
}

void CLabel::UpdateSurface()
{
    if (!m_hWnd)
        return;
    // A transparent label is not clipped out of its parent, so the parent's background is painted
    // over it: the parent's part behind the label is invalidated first, then the label, and both are
    // painted when the window's messages come to them, parent first. A page that changes several
    // labels at once is painted once, not once per label.
    HWND parent = ::GetParent(m_hWnd);
    if (m_bTransparent && parent) {
        CRect rect;
        GetWindowRect(&rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&rect), 2);
        ::RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
    }
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE);
}

void CLabel::RebuildFont()
{
    m_font.DeleteObject();
    m_font.CreateFontIndirect(&m_lf);
    UpdateSurface();
}

CLabel* CLabel::SetBkColor(COLORREF colour, COLORREF gradientColour, BOOL gradient)
{
    m_crBackground = colour;
    m_crGradient = gradientColour;
    m_bGradient = gradient;
    if (m_hBackBrush) {
        ::DeleteObject(m_hBackBrush);
        m_hBackBrush = nullptr;
    }
    if (!gradient)
        m_hBackBrush = ::CreateSolidBrush(colour);
    UpdateSurface();
    return this;
}

CLabel* CLabel::SetTextColor(COLORREF colour)
{
    m_crText = colour;
    UpdateSurface();
    return this;
}

CLabel* CLabel::SetText(const CString& text)
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        SetWindowText(text);
        UpdateSurface();
    }
    return this;
}

CLabel* CLabel::SetFontBold(BOOL bold)
{
    m_lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RebuildFont();
    return this;
}

CLabel* CLabel::SetFontName(const CString& faceName, BYTE charSet)
{
    m_lf.lfCharSet = charSet;
    // The face name field holds 31 characters and the terminator: a longer name is cut.
    ::lstrcpynA(m_lf.lfFaceName, faceName, LF_FACESIZE);
    RebuildFont();
    return this;
}

CLabel* CLabel::SetFontUnderline(BOOL underline)
{
    m_lf.lfUnderline = static_cast<BYTE>(underline ? TRUE : FALSE);
    RebuildFont();
    return this;
}

CLabel* CLabel::SetFontItalic(BOOL italic)
{
    m_lf.lfItalic = static_cast<BYTE>(italic ? TRUE : FALSE);
    RebuildFont();
    return this;
}

CLabel* CLabel::SetFontSize(int points)
{
    CFont sized;
    if (sized.CreatePointFont(points * 10, m_lf.lfFaceName)) {
        LOGFONTA sizedFont = {};
        sized.GetLogFont(&sizedFont);
        m_lf.lfHeight = sizedFont.lfHeight;
        m_lf.lfWidth = sizedFont.lfWidth;
    }
    RebuildFont();
    return this;
}

CLabel* CLabel::SetSunken(BOOL sunken)
{
    ModifyStyleEx(sunken ? 0 : WS_EX_STATICEDGE, sunken ? WS_EX_STATICEDGE : 0, SWP_DRAWFRAME);
    return this;
}

CLabel* CLabel::SetBorder(BOOL border)
{
    ModifyStyle(border ? 0 : WS_BORDER, border ? WS_BORDER : 0, SWP_DRAWFRAME);
    return this;
}

CLabel* CLabel::SetTransparent(BOOL transparent)
{
    m_bTransparent = transparent;
    ModifyStyleEx(0, WS_EX_TRANSPARENT);
    UpdateSurface();
    return this;
}

void CLabel::StartFlash(int flashType, BOOL on)
{
    if (m_bFlashTimerRunning)
        KillTimer(kFlashTimer);
    if (on) {
        m_bFlashState = FALSE;
        m_bFlashTimerRunning = TRUE;
        SetTimer(kFlashTimer, kFlashPeriodMs);
        m_nFlashType = flashType;
    }
}

CLabel* CLabel::FlashText(BOOL on)
{
    StartFlash(FLASH_TEXT, on);
    if (!on)
        m_nFlashType = FLASH_NONE;
    return this;
}

CLabel* CLabel::FlashBackground(BOOL on)
{
    StartFlash(FLASH_BACKGROUND, on);
    return this;
}

CLabel* CLabel::SetLink(BOOL link, BOOL notifyParent)
{
    m_nLinkType = link ? LINK_HTTP : LINK_NONE;
    m_bNotifyParent = notifyParent;
    ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
    return this;
}

CLabel* CLabel::SetMailLink(BOOL link, BOOL notifyParent)
{
    m_nLinkType = link ? LINK_MAIL : LINK_NONE;
    m_bNotifyParent = notifyParent;
    ModifyStyle(link ? 0 : SS_NOTIFY, link ? SS_NOTIFY : 0);
    return this;
}

CLabel* CLabel::SetLinkCursor(HCURSOR cursor)
{
    m_hCursor = cursor;
    return this;
}

CLabel* CLabel::SetText3D(BOOL on, BOOL downRight)
{
    m_b3DText = on;
    m_b3DDownRight = downRight;
    UpdateSurface();
    return this;
}

CLabel* CLabel::SetRotationAngle(UINT angle, BOOL rotate)
{
    m_lf.lfEscapement = m_lf.lfOrientation = static_cast<LONG>(angle * 10);
    m_bRotation = rotate;
    RebuildFont();
    return this;
}

CLabel* CLabel::SetText3DColor(COLORREF colour)
{
    m_cr3DHighlight = colour;
    UpdateSurface();
    return this;
}

CLabel* CLabel::SetFont(LOGFONTA font)
{
    m_lf = font;
    m_lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    RebuildFont();
    return this;
}

CLabel* CLabel::SetLinkUrl(const CString& url)
{
    m_strUrl = url;
    return this;
}

CLabel* CLabel::SetHoverText(CLabel* target, const CString& text)
{
    m_pHoverTarget = target;
    m_strHover = text;
    return this;
}

CLabel* CLabel::SetNeverCut(BOOL neverCut)
{
    m_bNeverCut = neverCut;
    UpdateSurface();
    return this;
}

UINT CLabel::TextFormat(const CString& text) const
{
    const DWORD style = GetStyle();
    UINT format;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format = DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: format = DT_LEFT; break;
    default: format = DT_WORDBREAK; break;
    }
    if (text.Find('\t') >= 0)
        format |= DT_EXPANDTABS;
    if (style & SS_CENTERIMAGE)
        format = text.Find("\r\n") >= 0 ? DT_CENTER : (DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    return format;
}

void CLabel::OnPaint()
{
    CPaintDC paint(this);
    CRect rect;
    GetClientRect(&rect);
    const CString text = GetWindowText();

    // Off screen unless transparent, so background and text appear in one copy.
    CDC memory;
    CBitmap memoryBitmap;
    HGDIOBJ oldBitmap = nullptr;
    CDC* dc = &paint;
    if (!m_bTransparent && memory.CreateCompatibleDC(&paint) &&
        memoryBitmap.CreateCompatibleBitmap(&paint, rect.Width(), rect.Height())) {
        oldBitmap = memory.SelectObject(&memoryBitmap);
        dc = &memory;
    }

    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(m_crText);
    CFont shownFont;
    HGDIOBJ oldFont = dc->SelectObject(&m_font);

    if (!m_bTransparent) {
        if (m_bGradient)
            DrawGradient(m_crGradient, dc, rect, m_crBackground);
        else
            dc->FillRect(rect, m_hBackBrush ? m_hBackBrush : m_hwndBrush);
    }

    if (m_nFlashType == FLASH_TEXT && !m_bFlashState) {
        // The text takes the background's colour and vanishes.
        LOGBRUSH brush = {};
        COLORREF hidden = RGB(0, 0, 0);
        if (m_hBackBrush && ::GetObjectA(m_hBackBrush, sizeof(brush), &brush))
            hidden = brush.lbColor;
        dc->SetTextColor(hidden);
    }

    const UINT format = TextFormat(text);
    if (m_bRotation) {
        const UINT oldAlign = dc->SetTextAlign(TA_BASELINE | TA_CENTER);
        const CPoint oldOrigin = dc->SetViewportOrg(rect.Width() / 2, rect.Height() / 2);
        dc->TextOut(0, 0, text);
        dc->SetViewportOrg(oldOrigin.x, oldOrigin.y);
        dc->SetTextAlign(oldAlign);
    } else {
        const CString shown = SelectShownFont(dc, text, rect, format, shownFont);
        CRect textRect(rect);
        dc->DrawText(shown, &textRect, format);
        if (m_b3DText) {
            dc->SetTextColor(m_cr3DHighlight);
            const int offset = m_b3DDownRight ? 1 : -1;
            textRect.OffsetRect(offset, offset);
            dc->DrawText(shown, &textRect, format);
        }
        UpdateTooltip(text, shown != text);
    }

    dc->SetBkMode(oldMode);
    dc->SelectObject(oldFont);
    dc->SetTextColor(oldColour);
    if (dc == &memory) {
        paint.BitBlt(0, 0, rect.Width(), rect.Height(), &memory, 0, 0, SRCCOPY);
        memory.SelectObject(oldBitmap);
    }
}

CString CLabel::FitText(CDC* dc, const CString& text, const CRect& rect, UINT format)
{
    if (text.IsEmpty() || rect.IsRectEmpty())
        return text;
    // The lines the label has room for; a label lower than one line still shows its first.
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(*dc, &metrics);
    const int lineHeight = std::max<int>(1, metrics.tmHeight);
    const int lines = (format & DT_SINGLELINE) ? 1 : std::max(1, rect.Height() / lineHeight);
    const UINT measure = MeasureFormat(format);
    auto fits = [&](const CString& candidate) {
        CRect needed(0, 0, rect.Width(), 0);
        dc->DrawText(candidate, &needed, measure);
        return needed.Width() <= rect.Width() && needed.Height() <= lines * lineHeight;
    };
    if (fits(text))
        return text;
    // The longest start, at a character boundary, that fits with the ellipsis after it.
    std::vector<int> ends;
    for (const char* at = text.GetString(); *at; at = ::CharNextA(at))
        ends.push_back(static_cast<int>(::CharNextA(at) - text.GetString()));
    CString best = kEllipsis;
    size_t low = 0;
    size_t high = ends.size();
    while (low < high) {
        const size_t middle = (low + high + 1) / 2;
        CString candidate = text.Left(ends[middle - 1]);
        candidate.TrimRight();
        candidate += kEllipsis;
        if (fits(candidate)) {
            best = candidate;
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return best;
}

int CLabel::SmallestFontHeight(CDC* dc) const
{
    const int own = std::abs(m_lf.lfHeight);
    if (m_bNeverCut)
        return std::min(own, kSmallestNeverCutHeight);
    // Rounded down: never above the height the same point size takes at 96.
    const int dpi = ::GetDeviceCaps(*dc, LOGPIXELSY);
    return dpi > kSkinDpi ? own * kSkinDpi / dpi : own;
}

LOGFONTA CLabel::FontOfHeight(int height) const
{
    LOGFONTA font = m_lf;
    const int own = std::abs(m_lf.lfHeight);
    font.lfHeight = m_lf.lfHeight < 0 ? -height : height;
    if (own > 0 && m_lf.lfWidth != 0)
        font.lfWidth = ::MulDiv(m_lf.lfWidth, height, own);
    return font;
}

bool CLabel::FitsWholeAt(CDC* dc, const CString& text, const CRect& rect, UINT format, int height) const
{
    CFont sized;
    if (height != std::abs(m_lf.lfHeight)) {
        const LOGFONTA font = FontOfHeight(height);
        if (!sized.CreateFontIndirect(&font))
            return false;
    }
    HGDIOBJ old = dc->SelectObject(sized.GetSafeHandle() ? &sized : const_cast<CFont*>(&m_font));
    CRect needed(0, 0, rect.Width(), 0);
    dc->DrawText(text, &needed, MeasureFormat(format));
    dc->SelectObject(old);
    return needed.Width() <= rect.Width() && needed.Height() <= rect.Height();
}

LONG CLabel::ShownFontHeight(CDC* dc, const CString& text, const CRect& rect, UINT format) const
{
    const int own = std::abs(m_lf.lfHeight);
    if (text.IsEmpty() || rect.IsRectEmpty() || m_bRotation || own == 0)
        return m_lf.lfHeight;
    const int smallest = SmallestFontHeight(dc);
    if (smallest >= own || FitsWholeAt(dc, text, rect, format, own))
        return m_lf.lfHeight;
    // The largest height at which it fits, by halving: a text grows no easier to fit with size.
    // Where none does, the smallest, at which the text is cut.
    int fitting = smallest;
    int low = smallest;
    int high = own - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        if (FitsWholeAt(dc, text, rect, format, middle)) {
            fitting = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return FontOfHeight(fitting).lfHeight;
}

CString CLabel::SelectShownFont(CDC* dc, const CString& text, const CRect& rect, UINT format, CFont& shownFont) const
{
    const LONG height = ShownFontHeight(dc, text, rect, format);
    if (height != m_lf.lfHeight) {
        const LOGFONTA font = FontOfHeight(std::abs(height));
        if (shownFont.CreateFontIndirect(&font))
            dc->SelectObject(&shownFont);
    }
    return FitText(dc, text, rect, format);
}

CString CLabel::GetShownText() const
{
    const CString text = GetWindowText();
    if (!m_hWnd || m_bRotation)
        return text;
    CRect rect;
    GetClientRect(&rect);
    CClientDC dc(const_cast<CLabel*>(this));
    CFont shownFont;
    HGDIOBJ oldFont = dc.SelectObject(const_cast<CFont*>(&m_font));
    const CString shown = SelectShownFont(&dc, text, rect, TextFormat(text), shownFont);
    dc.SelectObject(oldFont);
    return shown;
}

LOGFONTA CLabel::GetShownFont() const
{
    if (!m_hWnd)
        return m_lf;
    const CString text = GetWindowText();
    CRect rect;
    GetClientRect(&rect);
    CClientDC dc(const_cast<CLabel*>(this));
    return FontOfHeight(std::abs(ShownFontHeight(&dc, text, rect, TextFormat(text))));
}

CString CLabel::GetTooltipText() const
{
    return m_hTooltip && ::IsWindow(m_hTooltip) ? m_strTooltip : CString();
}

void CLabel::UpdateTooltip(const CString& text, BOOL cut)
{
    HWND parent = ::GetParent(m_hWnd);
    const CString tip = cut ? text : CString();
    if (!parent || tip == GetTooltipText())
        return;
    // The tool is the label's rectangle on its parent: a static passes the mouse to its parent.
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = parent;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    GetWindowRect(&tool.rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<LPPOINT>(&tool.rect), 2);
    if (m_hTooltip && ::IsWindow(m_hTooltip))
        ::SendMessageA(m_hTooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    m_strTooltip = tip;
    if (tip.IsEmpty())
        return;
    if (!m_hTooltip || !::IsWindow(m_hTooltip)) {
        INITCOMMONCONTROLSEX classes = { sizeof(classes), ICC_BAR_CLASSES };
        ::InitCommonControlsEx(&classes);
        m_hTooltip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, nullptr,
                                       nullptr);
        if (!m_hTooltip) {
            m_strTooltip.Empty();
            return;
        }
        ::SendMessageA(m_hTooltip, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
    }
    tool.lpszText = const_cast<char*>(m_strTooltip.GetString());
    if (!::SendMessageA(m_hTooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)))
        m_strTooltip.Empty();
}

void CLabel::OnDestroy()
{
    if (m_hTooltip && ::IsWindow(m_hTooltip))
        ::DestroyWindow(m_hTooltip);
    m_hTooltip = nullptr;
    m_strTooltip.Empty();
    Default();
}

void CLabel::DrawGradient(COLORREF to, CDC* dc, const CRect& rect, COLORREF from)
{
    const int width = rect.Width();
    if (width <= 0)
        return;
    const int bands = std::min(width, 100);
    const int divisor = bands > 1 ? bands : 1;
    // 8.8 fixed point per channel.
    int red = GetRValue(from) * 256;
    int green = GetGValue(from) * 256;
    int blue = GetBValue(from) * 256;
    const int redStep = ((GetRValue(to) - GetRValue(from)) * 256) / divisor;
    const int greenStep = ((GetGValue(to) - GetGValue(from)) * 256) / divisor;
    const int blueStep = ((GetBValue(to) - GetBValue(from)) * 256) / divisor;
    const int bandWidth = width / divisor;

    HGDIOBJ oldPen = dc->SelectStockObject(NULL_PEN);
    int left = rect.left;
    for (int band = 0; band < bands; ++band) {
        const int right = band == bands - 1 ? rect.right : left + bandWidth;
        CBrush brush(RGB(red / 256, green / 256, blue / 256));
        HGDIOBJ oldBrush = dc->SelectObject(&brush);
        // The null pen draws no right and bottom edge: one more pixel makes up for it.
        dc->Rectangle(left, rect.top, right + 1, rect.bottom + 1);
        dc->SelectObject(oldBrush);
        red += redStep;
        green += greenStep;
        blue += blueStep;
        left = right;
    }
    dc->SelectObject(oldPen);
}

void CLabel::OnTimer(UINT_PTR id)
{
    m_bFlashState = !m_bFlashState;
    UpdateSurface();
    CStatic::OnTimer(id);
}

void CLabel::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_bNotifyParent) {
        NMHDR header = {};
        header.hwndFrom = m_hWnd;
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        header.code = LABEL_NOTIFY_CLICK;
        ::SendMessageA(::GetParent(m_hWnd), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
        return;
    }
    if (m_nLinkType == LINK_HTTP) {
        const CString target = m_strUrl.IsEmpty() ? GetWindowText() : m_strUrl;
        ::ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
    } else if (m_nLinkType == LINK_MAIL) {
        const CString target = "mailto:" + GetWindowText();
        ::ShellExecuteA(nullptr, nullptr, target, nullptr, nullptr, SW_SHOWNORMAL);
    }
    CStatic::OnLButtonDown(flags, point);
}

BOOL CLabel::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (m_hCursor) {
        ::SetCursor(m_hCursor);
        return TRUE;
    }
    return CStatic::OnSetCursor(wnd, hitTest, message);
}

void CLabel::OnSysColorChange()
{
    ::DeleteObject(m_hwndBrush);
    m_hwndBrush = ::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE));
    UpdateSurface();
}

void CLabel::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_strHover.IsEmpty() && m_pHoverTarget)
        m_pHoverTarget->SetText(m_strHover);
    CStatic::OnMouseMove(flags, point);
}
