// CComboBox: the drop-down list, as the MFC class of that name.
#pragma once

#include "AfxWin.h"

class CComboBox : public CWnd
{
public:
    int AddString(const char* text);
    int GetCount() const;
    int GetCurSel() const;
    // -1 clears the selection.
    int SetCurSel(int index);
    void ResetContent();
    // Whether the list is open.
    BOOL GetDroppedState() const;
    CString GetLBText(int index) const;
};
