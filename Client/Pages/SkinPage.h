// CSkinPage: a page of the main window: a skinned child dialog laid out for the skin and drawn on
// its background bitmap (0 for none).
#pragma once

#include "BitmapDialog.h"

class CSkinPage : public CBitmapDialog
{
public:
    CSkinPage(UINT templateId, UINT backgroundId) : CBitmapDialog(templateId), m_nBackgroundId(backgroundId) {}

    // Creates the page as a hidden child of `parent`.
    BOOL CreatePage(CWnd* parent) { return Create(m_nIDTemplate, parent); }
    BOOL OnInitDialog() override;

    // The control the keyboard focus goes to when the page is shown: its default button where it
    // has one, otherwise its first control that takes the focus; null when none does.
    virtual HWND GetFocusOnArrival() const;
    // Puts the focus there, while the page is shown and the program is in front.
    void FocusOnArrival();
    // Whether the focus is on the page or on one of its controls.
    bool HasFocusWithin() const;

protected:
    // Shown and enabled (whatever its parent shows).
    static bool IsReachable(const CWnd& control);

private:
    UINT m_nBackgroundId;
};
