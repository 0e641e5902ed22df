// CScheduledJobsReader: reads the settings page's Task Scheduler jobs on a thread of its own, so
// that the window never waits for the scheduler's service to start (on a cold start that takes
// about a second and a half). The thread initialises COM for itself and releases every object it
// made before it ends; it hands over plain data and posts a notice to a window, whose thread takes
// the data. The notice and the data live in a state the thread shares, so a window or reader that
// goes first leaves the thread nothing it could touch.
#pragma once

#include <functional>
#include <memory>

#include "ScheduledTasks.h"

// How long the end of the reader waits for a read that is still going on.
constexpr DWORD kScheduledJobsExitWaitMs = 15000;

class CScheduledJobsReader
{
public:
    using Read = std::function<SCHEDULED_JOBS()>;

    CScheduledJobsReader() = default;
    // Waits for a read still going on (at most kScheduledJobsExitWaitMs), so that no job is
    // written after the reader's owner has gone; a read that outlasts the wait is left to end on
    // its own and posts nothing.
    ~CScheduledJobsReader();
    CScheduledJobsReader(const CScheduledJobsReader&) = delete;
    CScheduledJobsReader& operator=(const CScheduledJobsReader&) = delete;

    // Runs `read` on a new thread; `message` is posted to `window` once its result can be taken.
    // FALSE when no thread could start (or one still runs): nothing is posted then.
    BOOL Start(Read read, HWND window, UINT message);
    // The result of the read, once; FALSE while the read goes on or when it was taken already.
    BOOL TakeResult(SCHEDULED_JOBS* jobs);
    // Whether a read started and its result has not been taken yet.
    bool IsPending() const { return m_bPending; }
    // Waits for the thread, dispatching this thread's messages meanwhile; no notice is posted
    // after it. TRUE when the thread has ended.
    BOOL Finish(DWORD timeoutMs);

private:
    struct SHARED_STATE;
    static unsigned __stdcall ThreadProc(void* param);

    std::shared_ptr<SHARED_STATE> m_state;
    HANDLE m_hThread = nullptr;
    bool m_bPending = false;
};
