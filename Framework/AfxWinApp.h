// CWinApp: the module's application object, as the MFC class of that name. A module has at
// most one; AfxGetApp returns it.
#pragma once

#include "AfxString.h"

class CWnd;

class CWinApp
{
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

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
