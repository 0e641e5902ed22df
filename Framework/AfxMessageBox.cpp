#include "AfxMessageBox.h"
#include "AfxWin.h"
#include "AfxWinApp.h"

namespace {

AfxMessageBoxHandler g_handler = nullptr;

bool IsOfThisProcess(HWND window)
{
    DWORD process = 0;
    return window && ::IsWindow(window) && ::GetWindowThreadProcessId(window, &process) &&
           process == ::GetCurrentProcessId();
}

HWND MainWindow()
{
    const CWnd* main = AfxGetMainWnd();
    return main && IsOfThisProcess(main->m_hWnd) ? main->m_hWnd : nullptr;
}

// The active window of the thread that runs `window`, when it is one of this process.
HWND ActiveWindowOfThreadOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return IsOfThisProcess(info.hwndActive) ? info.hwndActive : nullptr;
}

bool IsOnThisThread(HWND window)
{
    return ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
}

// What a real box does to its owner while it is open, around a handler that shows none.
class COwnerDisabled
{
public:
    explicit COwnerDisabled(HWND owner) : m_owner(owner && ::IsWindowEnabled(owner) ? owner : nullptr)
    {
        if (m_owner)
            ::EnableWindow(m_owner, FALSE);
    }
    ~COwnerDisabled()
    {
        if (m_owner)
            ::EnableWindow(m_owner, TRUE);
    }
    COwnerDisabled(const COwnerDisabled&) = delete;
    COwnerDisabled& operator=(const COwnerDisabled&) = delete;

private:
    HWND m_owner;
};

// A closed box hands the activation back to its owner, unless the user went to another program
// meanwhile: the owner is not made to take the foreground from it.
void ReactivateOwner(HWND owner)
{
    if (!owner || !::IsWindow(owner) || !IsOnThisThread(owner) || !::IsWindowEnabled(owner) ||
        !::IsWindowVisible(owner) || ::GetActiveWindow() == owner)
        return;
    const HWND foreground = ::GetForegroundWindow();
    if (!foreground || IsOfThisProcess(foreground))
        ::SetActiveWindow(owner);
}

} // namespace

HWND AfxGetMessageBoxOwner(HWND requested)
{
    if (requested && ::IsWindow(requested))
        return ::GetAncestor(requested, GA_ROOT);
    if (const HWND active = ::GetActiveWindow())
        return active;
    const HWND main = MainWindow();
    if (!main)
        return nullptr;
    // A box of another thread (a worker's) goes above what the window thread shows now.
    if (!IsOnThisThread(main)) {
        if (const HWND active = ActiveWindowOfThreadOf(main))
            return active;
    }
    return main;
}

int AfxMessageBox(const char* text, UINT type, HWND owner, const char* caption)
{
    if (!caption) {
        const CWinApp* app = AfxGetApp();
        caption = (app && app->m_pszAppName) ? app->m_pszAppName : "";
    }
    const HWND chosen = AfxGetMessageBoxOwner(owner);
    int answer = 0;
    if (g_handler) {
        const COwnerDisabled disabled(chosen);
        answer = g_handler(chosen, text ? text : "", caption, type);
    } else {
        answer = ::MessageBoxA(chosen, text ? text : "", caption, type);
    }
    ReactivateOwner(chosen);
    return answer;
}

AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler)
{
    AfxMessageBoxHandler previous = g_handler;
    g_handler = handler;
    return previous;
}
