#include "AfxWinApp.h"

namespace {

CWinApp* g_app = nullptr;
HINSTANCE g_instance = nullptr;

} // namespace

CWinApp::CWinApp(const char* appName)
{
    if (appName) {
        m_appName = appName;
        m_pszAppName = m_appName;
    }
    if (!g_app)
        g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (g_instance)
        return g_instance;
    // The module whose code this is: a DLL's own handle inside a DLL.
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&AfxGetInstanceHandle), &module);
    return module;
}

void AfxSetInstanceHandle(HINSTANCE instance)
{
    g_instance = instance;
}
