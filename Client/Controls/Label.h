// CLabel: a static text with its own font, colours, optional gradient background, transparency,
// flashing, a web or mail link, and a hover text shown in another label. The setters return the
// label, so a page styles one in a single chain.
#pragma once

#include "Afx.h"

// The code of the WM_NOTIFY that a label in notify mode sends its parent when clicked.
constexpr UINT LABEL_NOTIFY_CLICK = WM_APP + 0x200;

class CLabel : public CStatic
{
public:
    enum { LINK_NONE = 0, LINK_HTTP = 1, LINK_MAIL = 2 };
    enum { FLASH_NONE = 0, FLASH_TEXT = 1, FLASH_BACKGROUND = 2 };

    CLabel();
    ~CLabel() override;

    virtual CLabel* SetBkColor(COLORREF colour, COLORREF gradientColour = 0, BOOL gradient = FALSE);
    virtual CLabel* SetTextColor(COLORREF colour);
    virtual CLabel* SetText(const CString& text);
    virtual CLabel* SetFontBold(BOOL bold);
    virtual CLabel* SetFontName(const CString& faceName, BYTE charSet = ANSI_CHARSET);
    virtual CLabel* SetFontUnderline(BOOL underline);
    virtual CLabel* SetFontItalic(BOOL italic);
    virtual CLabel* SetFontSize(int points);
    virtual CLabel* SetSunken(BOOL sunken);
    virtual CLabel* SetBorder(BOOL border);
    virtual CLabel* SetTransparent(BOOL transparent);
    virtual CLabel* FlashText(BOOL on);
    virtual CLabel* FlashBackground(BOOL on);
    virtual CLabel* SetLink(BOOL link, BOOL notifyParent);
    virtual CLabel* SetLinkCursor(HCURSOR cursor);
    virtual CLabel* SetText3D(BOOL on, BOOL downRight = TRUE);
    virtual CLabel* SetRotationAngle(UINT angle, BOOL rotate);
    virtual CLabel* SetText3DColor(COLORREF colour);
    virtual CLabel* SetFont(LOGFONTA font);
    virtual CLabel* SetMailLink(BOOL link, BOOL notifyParent);
    virtual CLabel* SetLinkUrl(const CString& url);
    virtual CLabel* SetHoverText(CLabel* target, const CString& text);

    // A text that must be read whole, such as a number: rather than cut it, the label draws it
    // as small as it takes to fit (see GetShownFont).
    CLabel* SetNeverCut(BOOL neverCut);

    const LOGFONTA& GetLogFont() const { return m_lf; }
    BOOL IsFlashOn() const { return m_bFlashState; }
    // The text as the label shows it: whole when it fits the label, otherwise as much as fits
    // followed by "..." (the whole text then shows in a tooltip over the label).
    CString GetShownText() const;
    BOOL IsTextCut() const { return GetShownText() != GetWindowText(); }
    // The font the text is drawn in: the label's own, or a smaller one of the same face where
    // the label's place does not hold the text at its own size. That happens above 96 dots per
    // inch, where point sizes take more pixels than the skin's pictures were drawn for (never
    // smaller than the size it would have at 96), and for a label that is never cut.
    LOGFONTA GetShownFont() const;
    // The tooltip's text (empty while the label shows its text whole).
    CString GetTooltipText() const;

    // Fills `rect` from `from` at the left to (nearly) `to` at the right in at most 100 bands.
    static void DrawGradient(COLORREF to, CDC* dc, const CRect& rect, COLORREF from);

protected:
    void PreSubclassWindow() override;

    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnTimer(UINT_PTR id);
    void OnLButtonDown(UINT flags, CPoint point);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnSysColorChange();
    void OnMouseMove(UINT flags, CPoint point);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    void UpdateSurface();
    void RebuildFont();
    void StartFlash(int flashType, BOOL on);
    UINT TextFormat(const CString& text) const;
    // What of `text` fits `rect` in `format` with the font selected into `dc`.
    static CString FitText(CDC* dc, const CString& text, const CRect& rect, UINT format);
    // The height (as LOGFONT holds it, of the sign of the label's own) at which `text` is drawn
    // in `rect`.
    LONG ShownFontHeight(CDC* dc, const CString& text, const CRect& rect, UINT format) const;
    // The smallest character height, in pixels, the label may draw its text at.
    int SmallestFontHeight(CDC* dc) const;
    // Whether `text` fits `rect` whole, lines and height, drawn at character height `height`.
    bool FitsWholeAt(CDC* dc, const CString& text, const CRect& rect, UINT format, int height) const;
    LOGFONTA FontOfHeight(int height) const;
    // Lays out what the label shows into `dc`: selects the font the text is drawn in (kept in
    // `shownFont` when it is not the label's own) and gives the text as shown.
    CString SelectShownFont(CDC* dc, const CString& text, const CRect& rect, UINT format, CFont& shownFont) const;
    // Shows the whole text in a tooltip while the label shows it cut; removes the tip otherwise.
    void UpdateTooltip(const CString& text, BOOL cut);

    COLORREF m_crText;
    COLORREF m_cr3DHighlight = RGB(255, 255, 255);
    HBRUSH m_hwndBrush;
    HBRUSH m_hBackBrush = nullptr;
    LOGFONTA m_lf = {};
    CFont m_font;
    BOOL m_bFlashState = FALSE;
    BOOL m_bFlashTimerRunning = FALSE;
    int m_nLinkType = LINK_NONE;
    BOOL m_bTransparent = FALSE;
    BOOL m_b3DText = FALSE;
    BOOL m_bNotifyParent = FALSE;
    BOOL m_bRotation = FALSE;
    int m_nFlashType = FLASH_NONE;
    HCURSOR m_hCursor = nullptr;
    BOOL m_b3DDownRight = TRUE;
    BOOL m_bGradient = FALSE;
    COLORREF m_crGradient = 0;
    COLORREF m_crBackground = 0;
    CString m_strUrl;
    CString m_strHover;
    CLabel* m_pHoverTarget = nullptr;
    HWND m_hTooltip = nullptr;
    CString m_strTooltip;
    BOOL m_bNeverCut = FALSE;
};
