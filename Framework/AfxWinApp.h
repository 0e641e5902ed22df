// CWinApp: the module's application object, as the MFC class of that name. A module has at
// most one; AfxGetApp returns it.
#pragma once

#include "AfxColl.h"
#include "AfxString.h"

class CWnd;

// The parsed command line, as the MFC class of that name: ParseParam is called once per argument,
// with a leading "/" or "-" removed and reported as the flag.
class CCommandLineInfo
{
public:
    virtual ~CCommandLineInfo() = default;
    virtual void ParseParam(const char* param, BOOL flag, BOOL last);

    // What the base class recognises: the first plain argument names a file.
    CString m_strFileName;
};

class CWinApp
{
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    // The application's life: InitInstance, the message loop only when it returned TRUE, and
    // ExitInstance always; the result is the process's exit code.
    int RunApplication();
    // Hands every argument of the process's command line to info.ParseParam.
    void ParseCommandLine(CCommandLineInfo& info);
    // Replaces the application's name (m_pszAppName) by a copy of `name`.
    void SetAppName(const char* name);

    const char* m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    // The window that AfxGetMainWnd returns: the top of every PreTranslateMessage walk.
    CWnd* m_pMainWnd = nullptr;

protected:
    CString m_appName;
};

CWinApp* AfxGetApp();
// The module that holds this code (the DLL inside the library, the EXE inside the program).
HINSTANCE AfxGetInstanceHandle();
void AfxSetInstanceHandle(HINSTANCE instance);

// Splits a command line into arguments as the Microsoft runtime does (quotes group, backslashes
// before a quote escape it); the program's own name is the first.
CStringArray AfxSplitCommandLine(const char* commandLine);
