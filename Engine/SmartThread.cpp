#include "SmartThread.h"

#include <new>

CSmartThread::CSmartThread()
{
    ::InitializeCriticalSection(&m_handleLock);
    m_events = new (std::nothrow) std::vector<HANDLE>();
}

CSmartThread::~CSmartThread()
{
    // A derived class stops and waits for its job before its own members go; this covers the
    // last instructions of the thread procedure, which still run in this module.
    AbandonSuspendedThread();
    WaitForThreadExit(INFINITE);
    if (m_events) {
        for (HANDLE event : *m_events)
            if (event)
                ::CloseHandle(event);
        delete m_events;
    }
    if (m_thread)
        ::CloseHandle(m_thread);
    if (m_finished)
        ::CloseHandle(m_finished);
    if (m_lockInitialised)
        ::DeleteCriticalSection(&m_lock);
    ::DeleteCriticalSection(&m_handleLock);
}

int CSmartThread::Start()
{
    if (GetHandle())
        return -1;
    m_started = true;
    m_resumed = false;
    m_abandon = false;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &CSmartThread::ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!thread)
        return 0;
    ::EnterCriticalSection(&m_handleLock);
    m_thread = thread;
    m_threadId = id;
    ::LeaveCriticalSection(&m_handleLock);
    if (!CreateEvents()) {
        AbandonSuspendedThread();
        WaitForThreadExit(INFINITE);
        return 0;
    }
    return 1;
}

BOOL CSmartThread::CreateEvents()
{
    if (!m_events)
        return TRUE;
    for (HANDLE event : *m_events)
        if (event)
            ::CloseHandle(event);
    m_events->clear();
    for (int i = 0; i < m_eventCount; ++i) {
        HANDLE event = CreateEventHandle();
        if (!event)
            return FALSE;
        m_events->push_back(event);
    }
    return TRUE;
}

DWORD WINAPI CSmartThread::ThreadProc(LPVOID parameter)
{
    CSmartThread* self = static_cast<CSmartThread*>(parameter);
    DWORD exitCode = 0;
    if (!self->m_abandon && self->OnStart())
        exitCode = self->Run();
    // From here on a new Start may create the next thread.
    self->RetireThread(::GetCurrentThreadId());
    return exitCode;
}

void CSmartThread::RetireThread(DWORD threadId)
{
    ::EnterCriticalSection(&m_handleLock);
    if (m_thread && m_threadId == threadId) {
        if (m_finished)
            ::CloseHandle(m_finished);
        m_finished = m_thread;
        m_thread = nullptr;
    }
    ::LeaveCriticalSection(&m_handleLock);
}

BOOL CSmartThread::WaitForThreadExit(DWORD timeout)
{
    HANDLE waits[2];
    DWORD count = 0;
    const HANDLE process = ::GetCurrentProcess();
    ::EnterCriticalSection(&m_handleLock);
    const bool onOwnThread = ::GetCurrentThreadId() == m_threadId;
    for (HANDLE handle : {m_thread, m_finished}) {
        if (!handle || (onOwnThread && handle == (m_thread ? m_thread : m_finished)))
            continue;
        if (::DuplicateHandle(process, handle, process, &waits[count], SYNCHRONIZE, FALSE, 0))
            ++count;
    }
    ::LeaveCriticalSection(&m_handleLock);
    if (count == 0)
        return TRUE;
    const DWORD result = ::WaitForMultipleObjects(count, waits, TRUE, timeout);
    for (DWORD i = 0; i < count; ++i)
        ::CloseHandle(waits[i]);
    return result < WAIT_OBJECT_0 + count;
}

void CSmartThread::AbandonSuspendedThread()
{
    HANDLE thread = GetHandle();
    if (thread && !m_resumed) {
        m_abandon = true;
        m_resumed = true;
        ::ResumeThread(thread);
    }
}

BOOL CSmartThread::SetEvent()
{
    if (!m_events || m_events->empty())
        return FALSE;
    return ::SetEvent((*m_events)[0]);
}

BOOL CSmartThread::ResetEvent(int index)
{
    if (!m_events || index < 0 || index >= static_cast<int>(m_events->size()))
        return FALSE;
    return ::ResetEvent((*m_events)[static_cast<size_t>(index)]);
}

BOOL CSmartThread::WaitEvent()
{
    if (!m_events || m_events->empty())
        return FALSE;
    return ::WaitForSingleObject((*m_events)[0], INFINITE) == WAIT_OBJECT_0;
}

int CSmartThread::WaitEvents(const std::vector<int>& indices, BOOL waitAll, DWORD timeout)
{
    if (!m_events || indices.empty() || indices.size() > MAXIMUM_WAIT_OBJECTS)
        return -1;
    std::vector<HANDLE> handles;
    for (int index : indices) {
        if (index < 0 || index >= static_cast<int>(m_events->size()))
            return -1;
        handles.push_back((*m_events)[static_cast<size_t>(index)]);
    }
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), waitAll, timeout);
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size())
        return static_cast<int>(result - WAIT_OBJECT_0);
    return -1;
}

int CSmartThread::GetPriority() const
{
    HANDLE thread = GetHandle();
    if (m_started && thread)
        return ::GetThreadPriority(thread);
    return m_priority;
}

BOOL CSmartThread::SetPriority(int priority)
{
    m_priority = priority;
    HANDLE thread = GetHandle();
    if (!m_started || !thread)
        return FALSE;
    return ::SetThreadPriority(thread, priority);
}

BOOL CSmartThread::Suspend()
{
    HANDLE thread = GetHandle();
    return thread && ::SuspendThread(thread) != static_cast<DWORD>(-1);
}

BOOL CSmartThread::Resume()
{
    HANDLE thread = GetHandle();
    if (!thread)
        return FALSE;
    m_resumed = true;
    return ::ResumeThread(thread) != static_cast<DWORD>(-1);
}

BOOL CSmartThread::Terminate()
{
    HANDLE thread = GetHandle();
    DWORD exitCode = 0;
    if (!thread || !::GetExitCodeThread(thread, &exitCode))
        return FALSE;
    return ::TerminateThread(thread, exitCode);
}

void CSmartThread::InitLock()
{
    if (!m_noLock && !m_lockInitialised) {
        ::InitializeCriticalSection(&m_lock);
        m_lockInitialised = true;
    }
}

void CSmartThread::Lock()
{
    if (m_lockInitialised)
        ::EnterCriticalSection(&m_lock);
}

void CSmartThread::Unlock()
{
    if (m_lockInitialised)
        ::LeaveCriticalSection(&m_lock);
}

HANDLE CSmartThread::GetHandle() const
{
    ::EnterCriticalSection(&m_handleLock);
    HANDLE thread = m_thread;
    ::LeaveCriticalSection(&m_handleLock);
    return thread;
}

HANDLE CSmartThread::GetFinishedHandle() const
{
    ::EnterCriticalSection(&m_handleLock);
    HANDLE thread = m_finished;
    ::LeaveCriticalSection(&m_handleLock);
    return thread;
}
