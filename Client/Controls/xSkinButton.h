// CxSkinButton: an owner-drawn button that shows a bitmap per state (normal, pressed, hovered,
// disabled) with its caption centred over it, and emulates check boxes and radio buttons, which
// an owner-drawn button cannot be by itself. The template's button style decides the kind.
#pragma once

#include <initializer_list>

#include "Afx.h"

// Posted by a radio-style skin button that becomes checked to the other buttons of its group.
constexpr UINT WM_SKIN_RADIO_INFO = WM_USER + 256;
// Posted by a skin button to itself when it lost the focus by being disabled.
constexpr UINT WM_SKIN_FOCUS_LOST = WM_USER + 257;

class CxSkinButton : public CButton
{
public:
    enum { KIND_PUSH = 0, KIND_CHECKBOX = 2, KIND_RADIO = 4 };
    enum { DRAW_NORMAL = 0, DRAW_STRETCH = 1, DRAW_TILED = 2 };
    enum { kFocusMargin = 3 };

    CxSkinButton();
    ~CxSkinButton() override;

    // Bitmap resource ids; over is optional (0). Without a disabled picture the button shows a
    // faded grey copy of its normal one while it is disabled. The focus shows as a dotted frame
    // kFocusMargin pixels inside the button's edge.
    void SetSkin(UINT normal, UINT down, UINT over = 0, UINT disabled = 0);
    void DrawItem(LPDRAWITEMSTRUCT item) override;

    int GetKind() const { return m_nKind; }
    // The size of the normal picture (0 x 0 without one).
    CSize GetSkinSize() const { return m_bmpNormal.GetSafeHandle() ? m_bmpNormal.GetSize() : CSize(); }
    bool IsHovering() const { return m_bHovering; }

    COLORREF m_crText;
    BOOL m_bBorder = FALSE;
    short m_nFocusMargin = 0;
    short m_nDrawMode = DRAW_STRETCH;
    // The pictures carry the caption: the window's text names the button (for whatever reads
    // window texts) and is not drawn over them a second time.
    BOOL m_bCaptionInPicture = FALSE;

protected:
    void PreSubclassWindow() override;

    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    void OnMouseLeave();
    void OnKillFocus(CWnd* newFocus);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    LRESULT OnRadioInfo(WPARAM, LPARAM);
    LRESULT OnFocusLost(WPARAM, LPARAM);
    LRESULT OnSetCheck(WPARAM check, LPARAM);
    LRESULT OnGetCheck(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()

private:
    bool IsUnderCursor(CPoint clientPoint) const;
    bool TrackLeave(DWORD flags);
    void UncheckGroupSiblings();
    void DrawBitmap(CDC* dc, CBitmap* bitmap, int mode, const CRect& rect);
    void FillWithBitmap(CDC* dc, CBitmap* bitmap, const CRect& rect);
    // A faded grey copy of `source`, as a disabled button shows it; false when it cannot be read.
    static bool MakeDisabledLook(const CBitmap& source, CBitmap* disabled);

    bool m_bChecked = false;
    int m_nKind = KIND_PUSH;
    bool m_bHovering = false;
    bool m_bPressed = false;
    CBitmap m_bmpNormal;
    CBitmap m_bmpDown;
    CBitmap m_bmpDisabled;
    CBitmap m_bmpMask;
    CBitmap m_bmpOver;
    CBitmap m_bmpFocus;
};

// One skin button of a window: the object, its control and its bitmaps (over and disabled may
// be 0).
struct SKIN_BUTTON
{
    CxSkinButton* button;
    int id;
    UINT normal, down, over, disabled;
};

// Binds each button to its control in `parent` and gives it its skin.
void BindSkinButtons(CWnd* parent, std::initializer_list<SKIN_BUTTON> buttons);
