// CWorkerThreads: threads of the program that its exit waits for, within a limit (the update
// dialog's worker, which may outlive its dialog while a cancelled download winds down or while its
// question waits for an answer).
#pragma once

#include <windows.h>

#include <vector>

class CWorkerThreads
{
public:
    CWorkerThreads() = default;
    ~CWorkerThreads();
    CWorkerThreads(const CWorkerThreads&) = delete;
    CWorkerThreads& operator=(const CWorkerThreads&) = delete;

    // Takes over `thread` (a handle with SYNCHRONIZE access); handles of threads that have
    // already ended are let go on the way.
    void Add(HANDLE thread);
    // Waits for every thread, at most `timeoutMs` in all, dispatching this thread's messages
    // meanwhile, and lets them go: TRUE when each had ended, FALSE when some were left running.
    BOOL WaitAll(DWORD timeoutMs);
    // How many of the threads still run.
    size_t CountRunning();

private:
    void DropEnded();

    std::vector<HANDLE> m_threads;
};
