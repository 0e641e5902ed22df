#include "AfxDateTimeCtrl.h"

DWORD CDateTimeCtrl::GetTime(SYSTEMTIME* time) const
{
    if (!time)
        return static_cast<DWORD>(GDT_ERROR);
    return static_cast<DWORD>(SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(time)));
}

BOOL CDateTimeCtrl::SetTime(const SYSTEMTIME& time)
{
    return SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time)) != 0;
}
