#include "AfxMessageBox.h"
#include "AfxWinApp.h"

namespace {

AfxMessageBoxHandler g_handler = nullptr;

} // namespace

int AfxMessageBox(const char* text, UINT type, HWND owner, const char* caption)
{
    if (!caption) {
        const CWinApp* app = AfxGetApp();
        caption = (app && app->m_pszAppName) ? app->m_pszAppName : "";
    }
    if (g_handler)
        return g_handler(owner, text ? text : "", caption, type);
    return ::MessageBoxA(owner, text ? text : "", caption, type);
}

AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler)
{
    AfxMessageBoxHandler previous = g_handler;
    g_handler = handler;
    return previous;
}
