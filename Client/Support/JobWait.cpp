#include "JobWait.h"

#include "Afx.h"

namespace {

// Dispatches what is queued; false when a quit request came, which the caller hands on to the
// loop that owns it once the wait is over.
bool DispatchPendingMessages(int* quitCode)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *quitCode = static_cast<int>(msg.wParam);
            return false;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return true;
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
    BOOL ended = FALSE;
    bool quit = false;
    int quitCode = 0;
    for (;;) {
        DWORD remaining = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= timeoutMs)
                break;
            remaining = timeoutMs - elapsed;
        }
        // After a quit request the window thread only waits: the thread never waits for it.
        const DWORD result = quit ? ::WaitForSingleObject(thread, remaining)
                                  : ::MsgWaitForMultipleObjects(1, &thread, FALSE, remaining, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) {
            ended = TRUE;
            break;
        }
        if (quit || result != WAIT_OBJECT_0 + 1)
            break;
        quit = !DispatchPendingMessages(&quitCode);
    }
    if (quit)
        ::PostQuitMessage(quitCode);
    return ended;
}
