// CCommandLineInfoEx: the program's one meaningful argument, "SCHEDULE" (a scheduled start) or the
// path of an existing file or folder (a start from the Explorer verb).
#pragma once

#include "Afx.h"

#include <string>

class CCommandLineInfoEx : public CCommandLineInfo
{
public:
    // Every argument of a whole command line as the system spells it (GetCommandLineW), the
    // program's own name first: a path the system code page cannot spell still names its file.
    // A leading "/" or "-" is dropped, as the framework's parsing does.
    void ParseCommandLine(const wchar_t* commandLine);
    // One argument; no standard switch is recognised.
    void ParseArgument(std::wstring argument);
    // Replaces the base class's handling with ParseArgument (of the text in the code page).
    void ParseParam(const char* param, BOOL flag, BOOL last) override;

    BOOL m_bSchedule = FALSE;
    // The last argument accepted as an existing file or folder, in a form the engine's calls can
    // open (its short name when the code page cannot spell its own), and that fits the path
    // buffer a second instance hands over.
    CString m_strPath;
    // That argument, as well as the code page can show it, when no such form exists: it cannot be
    // scanned. Empty otherwise.
    CString m_strUnscannablePath;
};

// The path in the system code page, when the code page spells it exactly and it is shorter than
// MAX_PATH; else its short name, when that one is; FALSE when neither is.
BOOL GetScannablePath(const std::wstring& path, CString& scannable);
