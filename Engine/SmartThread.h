// CSmartThread: one worker thread at a time, with a small list of events and a lock for the
// class that derives from it. The derived class supplies the body by overriding Run.
#pragma once

#include <windows.h>
#include <atomic>
#include <vector>

class CSmartThread
{
public:
    CSmartThread();
    virtual ~CSmartThread();
    CSmartThread(const CSmartThread&) = delete;
    CSmartThread& operator=(const CSmartThread&) = delete;

    virtual BOOL OnStart() { return TRUE; }
    virtual DWORD Run() = 0;

    // Creates the thread suspended and its events: 1 on success, -1 while a thread exists,
    // 0 when the thread or its events could not be created (no suspended thread stays behind).
    int Start();
    BOOL CreateEvents();
    static DWORD WINAPI ThreadProc(LPVOID parameter);

    BOOL SetEvent();
    BOOL ResetEvent(int index);
    BOOL WaitEvent();
    int WaitEvents(const std::vector<int>& indices, BOOL waitAll, DWORD timeout);
    int GetEventCount() const { return m_events ? static_cast<int>(m_events->size()) : 0; }

    int GetPriority() const;
    BOOL SetPriority(int priority);
    BOOL Suspend();
    BOOL Resume();
    BOOL Terminate();

    void InitLock();
    void Lock();
    void Unlock();

    BOOL IsStarted() const { return GetHandle() != nullptr; }
    HANDLE GetHandle() const;
    HANDLE GetFinishedHandle() const;
    DWORD GetThreadId() const { return m_threadId; }
    bool IsThreadResumed() const { return m_resumed; }

protected:
    // Makes one event of the list; tests replace it to exercise a failed start.
    virtual HANDLE CreateEventHandle() { return ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

    // Waits until no thread of this object runs any more of its code, including the end of the
    // thread procedure; FALSE on time-out. A caller on the job thread does not wait for itself.
    BOOL WaitForThreadExit(DWORD timeout);
    // Ends a thread that was created suspended and never resumed, without running its body.
    void AbandonSuspendedThread();

    int m_eventCount = 1;
    int m_priority = THREAD_PRIORITY_HIGHEST;

private:
    void RetireThread(DWORD threadId);

    DWORD m_threadId = 0;
    bool m_started = false;
    bool m_noLock = false;
    bool m_lockInitialised = false;
    CRITICAL_SECTION m_lock;
    HANDLE m_thread = nullptr;
    HANDLE m_finished = nullptr;
    std::vector<HANDLE>* m_events = nullptr;

    // Guards the two handle slots, which the worker changes as it ends.
    mutable CRITICAL_SECTION m_handleLock;
    std::atomic<bool> m_resumed{false};
    std::atomic<bool> m_abandon{false};
};
