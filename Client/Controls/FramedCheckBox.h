// CFramedCheckBox: a check box whose label is part of the page's background picture rather than
// its own text. A check box frames its text to show the focus, which such a box has none of: this
// one frames the whole control, label and box, while it has the focus.
#pragma once

#include "Afx.h"

class CFramedCheckBox : public CButton
{
protected:
    void OnPaint();
    void OnSetFocus(CWnd* oldFocus);
    void OnKillFocus(CWnd* newFocus);
    // A change of the check or of the pressed look repaints the box over the frame.
    LRESULT OnStateChange(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()
};
