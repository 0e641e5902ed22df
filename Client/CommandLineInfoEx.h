// CCommandLineInfoEx: the program's one meaningful argument, "SCHEDULE" (a scheduled start) or the
// path of an existing file or folder (a start from the Explorer verb).
#pragma once

#include "Afx.h"

class CCommandLineInfoEx : public CCommandLineInfo
{
public:
    // Replaces the base class's handling: no standard switch is recognised.
    void ParseParam(const char* param, BOOL flag, BOOL last) override;

    BOOL m_bSchedule = FALSE;
    // The last argument accepted as an existing file or folder.
    CString m_strPath;
};
