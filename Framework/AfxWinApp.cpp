#include "AfxWinApp.h"

#include "AfxWin.h"

#include <string>

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

void CCommandLineInfo::ParseParam(const char* param, BOOL flag, BOOL)
{
    if (!flag && m_strFileName.IsEmpty())
        m_strFileName = param;
}

void CWinApp::SetAppName(const char* name)
{
    m_appName = name ? name : "";
    m_pszAppName = m_appName;
}

int CWinApp::RunApplication()
{
    int exitCode = 0;
    if (InitInstance()) {
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        exitCode = static_cast<int>(msg.wParam);
    }
    const int exitResult = ExitInstance();
    return exitCode ? exitCode : exitResult;
}

CStringArray AfxSplitCommandLine(const char* commandLine)
{
    CStringArray arguments;
    const char* p = commandLine ? commandLine : "";
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        std::string argument;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '\\') {
                size_t slashes = 0;
                while (p[slashes] == '\\')
                    ++slashes;
                if (p[slashes] != '"') {
                    argument.append(slashes, '\\');  // backslashes before anything but a quote
                    p += slashes;
                    continue;
                }
                argument.append(slashes / 2, '\\');
                p += slashes;
                if (slashes % 2) {
                    argument += '"';  // an escaped quote
                    ++p;
                }
                // After an even run the quote opens or closes a quoted part: next round.
            } else if (*p == '"') {
                if (quoted && p[1] == '"') {
                    argument += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                argument += *p++;
            }
        }
        arguments.Add(CString(argument));
    }
    return arguments;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info)
{
    const CStringArray arguments = AfxSplitCommandLine(::GetCommandLineA());
    const int count = static_cast<int>(arguments.GetSize());
    for (int i = 1; i < count; ++i) {
        const CString& argument = arguments[i];
        const bool flag = !argument.IsEmpty() && (argument[0] == '/' || argument[0] == '-');
        info.ParseParam(flag ? static_cast<const char*>(argument) + 1 : static_cast<const char*>(argument),
                        flag, i == count - 1);
    }
}
