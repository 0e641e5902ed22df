#include "ScheduledJobsReader.h"

#include <objbase.h>
#include <process.h>

#include <mutex>

#include "JobWait.h"

struct CScheduledJobsReader::SHARED_STATE
{
    Read read;
    std::mutex lock;
    HWND window = nullptr;
    UINT message = 0;
    bool done = false;
    SCHEDULED_JOBS result;
};

unsigned __stdcall CScheduledJobsReader::ThreadProc(void* param)
{
    std::unique_ptr<std::shared_ptr<SHARED_STATE>> owner(static_cast<std::shared_ptr<SHARED_STATE>*>(param));
    SHARED_STATE& state = **owner;
    SCHEDULED_JOBS jobs;
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The read's COM objects are all released inside it, before COM ends on this thread.
    if (SUCCEEDED(com)) {
        jobs = state.read();
        ::CoUninitialize();
    }
    // Under the lock, so the owner cannot stop the notices between the check and the post.
    std::lock_guard<std::mutex> guard(state.lock);
    state.result = jobs;
    state.done = true;
    if (state.window)
        ::PostMessageA(state.window, state.message, 0, 0);
    return 0;
}

CScheduledJobsReader::~CScheduledJobsReader()
{
    Finish(kScheduledJobsExitWaitMs);
}

BOOL CScheduledJobsReader::Start(Read read, HWND window, UINT message)
{
    if (m_hThread && ::WaitForSingleObject(m_hThread, 0) != WAIT_OBJECT_0)
        return FALSE;
    if (m_hThread) {
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    m_state = std::make_shared<SHARED_STATE>();
    m_state->read = std::move(read);
    m_state->window = window;
    m_state->message = message;
    auto* param = new std::shared_ptr<SHARED_STATE>(m_state);
    unsigned id = 0;
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadProc, param, 0, &id));
    if (!m_hThread) {
        delete param;
        m_state.reset();
        return FALSE;
    }
    m_bPending = true;
    return TRUE;
}

BOOL CScheduledJobsReader::TakeResult(SCHEDULED_JOBS* jobs)
{
    if (!m_state || !m_bPending)
        return FALSE;
    std::lock_guard<std::mutex> guard(m_state->lock);
    if (!m_state->done)
        return FALSE;
    *jobs = m_state->result;
    m_bPending = false;
    return TRUE;
}

BOOL CScheduledJobsReader::Finish(DWORD timeoutMs)
{
    if (m_state) {
        std::lock_guard<std::mutex> guard(m_state->lock);
        m_state->window = nullptr;
    }
    if (!m_hThread)
        return TRUE;
    const BOOL ended = WaitForThreadEnd(m_hThread, timeoutMs);
    ::CloseHandle(m_hThread);
    m_hThread = nullptr;
    return ended;
}
