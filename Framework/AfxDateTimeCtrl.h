// CDateTimeCtrl: the date and time picker, as the MFC class of that name.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "AfxWin.h"

class CDateTimeCtrl : public CWnd
{
public:
    // GDT_VALID with the shown time, GDT_NONE when the picker shows none, GDT_ERROR on failure.
    DWORD GetTime(SYSTEMTIME* time) const;
    BOOL SetTime(const SYSTEMTIME& time);
};
