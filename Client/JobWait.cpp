#include "JobWait.h"

#include "Afx.h"

namespace {

void DispatchPendingMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

} // namespace

BOOL WaitForEngineJob(CAbstractProcess* process, DWORD timeoutMs)
{
    if (!process)
        return TRUE;
    HANDLE thread = process->GetThreadHandle();
    if (!thread)
        return TRUE;
    // Our own handle: the engine closes its own when the next job starts.
    HANDLE waitable = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &waitable, SYNCHRONIZE, FALSE, 0))
        return process->GetThreadHandle() == nullptr;
    const BOOL ended = WaitForThreadEnd(waitable, timeoutMs);
    ::CloseHandle(waitable);
    return ended;
}

BOOL WaitForThreadEnd(HANDLE thread, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= timeoutMs)
                return FALSE;
            remaining = timeoutMs - elapsed;
        }
        const DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return TRUE;
        if (result != WAIT_OBJECT_0 + 1)
            return FALSE;
        DispatchPendingMessages();
    }
}
