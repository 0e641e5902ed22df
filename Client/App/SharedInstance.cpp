#include "SharedInstance.h"

#include <cstring>

#include "CommandLineInfoEx.h"
#include "Messages.h"

namespace {

// Zero at load in every process; the linker marks the section shared (readable, writable, one
// copy for all instances).
__attribute__((section(".SHARED"), shared)) SHARED_INSTANCE_DATA g_sharedInstance = { 0, { 0 } };

// Widened as the system widens a 32-bit handle: sign-extended.
HWND WindowOf(DWORD handle)
{
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
}

} // namespace

SHARED_INSTANCE_DATA& SharedInstanceData()
{
    return g_sharedInstance;
}

void SetSharedMainWindow(HWND window)
{
    g_sharedInstance.m_hMainWnd = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
}

HWND GetSharedMainWindow()
{
    return WindowOf(g_sharedInstance.m_hMainWnd);
}

void ForgetSharedMainWindow()
{
    const DWORD stored = g_sharedInstance.m_hMainWnd;
    HWND window = WindowOf(stored);
    DWORD processId = 0;
    if (window && ::IsWindow(window) && ::GetWindowThreadProcessId(window, &processId) &&
        processId != ::GetCurrentProcessId())
        return;
    // Only what was read: another instance may have written its own window meanwhile.
    ::InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&g_sharedInstance.m_hMainWnd), 0,
                                 static_cast<LONG>(stored));
}

BOOL SetSharedPath(const CString& path)
{
    const size_t length = static_cast<size_t>(path.GetLength());
    if (length >= sizeof(g_sharedInstance.m_szPath))
        return FALSE;
    memcpy(g_sharedInstance.m_szPath, static_cast<const char*>(path), length + 1);
    return TRUE;
}

CString GetSharedPath()
{
    const char* buffer = g_sharedInstance.m_szPath;
    return CString(std::string(buffer, strnlen(buffer, sizeof(g_sharedInstance.m_szPath))));
}

BOOL ForwardToRunningInstance(const CCommandLineInfoEx& commandLine)
{
    HWND window = GetSharedMainWindow();
    if (!window || !::IsWindow(window))
        return FALSE;
    ::SetForegroundWindow(window);
    if (::IsIconic(window))
        ::ShowWindow(window, SW_RESTORE);
    if (commandLine.m_bSchedule)
        return ::PostMessageA(window, WM_SCHEDULED_SCAN_REQUEST, 1, 0);
    if (!commandLine.m_strPath.IsEmpty()) {
        if (!SetSharedPath(commandLine.m_strPath))
            return FALSE;
        return ::PostMessageA(window, WM_SCAN_PATH_REQUEST, 0, 0);
    }
    return TRUE;
}
