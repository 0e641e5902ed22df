#include "WorkerThreads.h"

#include "JobWait.h"

CWorkerThreads::~CWorkerThreads()
{
    for (HANDLE thread : m_threads)
        ::CloseHandle(thread);
}

void CWorkerThreads::Add(HANDLE thread)
{
    DropEnded();
    if (thread)
        m_threads.push_back(thread);
}

BOOL CWorkerThreads::WaitAll(DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    BOOL allEnded = TRUE;
    // The wait dispatches messages: a handler may add a thread meanwhile, which the loop then
    // waits for too, within the same limit.
    while (!m_threads.empty()) {
        HANDLE thread = m_threads.back();
        m_threads.pop_back();
        const DWORD elapsed = ::GetTickCount() - start;
        const BOOL ended = elapsed < timeoutMs ? WaitForThreadEnd(thread, timeoutMs - elapsed)
                                               : ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        allEnded = allEnded && ended;
        ::CloseHandle(thread);
    }
    return allEnded;
}

size_t CWorkerThreads::CountRunning()
{
    DropEnded();
    return m_threads.size();
}

void CWorkerThreads::DropEnded()
{
    for (size_t i = m_threads.size(); i-- > 0;) {
        if (::WaitForSingleObject(m_threads[i], 0) == WAIT_OBJECT_0) {
            ::CloseHandle(m_threads[i]);
            m_threads.erase(m_threads.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}
