// CWorkerThreads: threads of the program that its exit must see end (the update dialog's worker,
// which may outlive its dialog while a cancelled download winds down).
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
    // Waits for every thread, dispatching this thread's messages meanwhile, and lets them go.
    void WaitAll();
    // How many of the threads still run.
    size_t CountRunning();

private:
    void DropEnded();

    std::vector<HANDLE> m_threads;
};
