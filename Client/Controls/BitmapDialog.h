// CBitmapDialog: the base of every window of the program. It paints a bitmap resource as the
// dialog's background, lets static controls draw transparently over it, can cut the window to
// the bitmap's shape, lets a caption-less window be dragged by its body, and keeps Esc from
// closing a page and Enter from pressing the default button (but for an open combo-box list).
#pragma once

#include "Afx.h"

// Posted by a dialog to itself to pass on the focus of a control it hid (wParam: the control).
constexpr UINT WM_PASS_FOCUS_ON = WM_USER + 259;

class CBitmapDialog : public CDialog
{
public:
    CBitmapDialog(UINT templateId, CWnd* parent = nullptr);
    ~CBitmapDialog() override;

    // Replaces the background with the bitmap resource; FALSE (and no background) when it does
    // not load.
    BOOL SetBitmap(UINT bitmapId);
    // Cuts the window to the bitmap's pixels that are not the transparent colour, when the
    // shaped-window flag is set and a bitmap is loaded.
    void BuildWindowRegion();
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // The focus leaves `lost`, a control of this dialog that was hidden or disabled while it had
    // it: it goes to a control shown in its place, else to the next control that takes it, else
    // to the dialog itself (the keys then move it on, and press nothing by mistake).
    void PassFocusOn(HWND lost);

    // One rectangle per run of pixels other than `transparent` in each row of the bitmap, limited
    // to `limit` and moved by `offset`; the pixels are read in one GetDIBits call. NULL on failure.
    static HRGN CreateRegionFromBitmap(HBITMAP bitmap, COLORREF transparent, SIZE limit, POINT offset);

    BOOL m_bShapedWindow = FALSE;
    BOOL m_bTransparentStatics = TRUE;
    HBRUSH m_hStaticBrush;  // the stock null brush, never deleted
    COLORREF m_crTransparent = RGB(255, 0, 255);
    BOOL m_bDragWindow = FALSE;

protected:
    BOOL OnEraseBkgnd(CDC* pDC);
    // The system hands the dialog the focus of a control it hides: the dialog holds it until the
    // change is complete (a control shown in the hidden one's place), then passes it on, instead
    // of giving it back to whatever control it last remembers (the hidden one among them).
    void OnSetFocus(CWnd* oldFocus);
    LRESULT OnPassFocusOn(WPARAM lost, LPARAM);
    void OnLButtonDown(UINT flags, CPoint point);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);

    BOOL m_bOwnBitmap = FALSE;
    BOOL m_bBitmapLoaded = FALSE;
    CBitmap* m_pBitmap = nullptr;
    // The background bitmap as a brush, for the controls that paint their own background.
    HBRUSH m_hBackgroundBrush = nullptr;

    DECLARE_MESSAGE_MAP()

private:
    void FreeBitmap();
    void RepaintTransparentChildren(CDC* pDC);
    static bool IsButtonControl(HWND control);
    // A shown, enabled tab stop of this dialog over `lost`'s place, else after it in the tab order.
    HWND SuccessorOf(HWND lost) const;
    static bool TakesFocus(HWND control);
    // Whether two controls stand in one place, one shown instead of the other.
    static bool SharePlace(HWND a, HWND b);
    bool m_bHoldingFocus = false;
    // A combo box whose list is open.
    static bool IsOpenList(HWND control);
};
