#include "SliceScheduler.h"

void CSliceScheduler::Schedule(HWND window)
{
    if (m_bPending || !window)
        return;
    m_bPending = true;
    m_bTimer = HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0;
    if (m_bTimer)
        ::SetTimer(window, m_timerId, USER_TIMER_MINIMUM, nullptr);
    else
        ::PostMessageA(window, m_message, 0, 0);
}

void CSliceScheduler::ScheduleLater(HWND window, UINT milliseconds)
{
    if (m_bPending || !window)
        return;
    m_bPending = true;
    m_bTimer = true;
    ::SetTimer(window, m_timerId, milliseconds, nullptr);
}

void CSliceScheduler::Arrived(HWND window)
{
    if (m_bTimer)
        ::KillTimer(window, m_timerId);
    m_bPending = false;
    m_bTimer = false;
}

void CSliceScheduler::Cancel(HWND window)
{
    Arrived(window);
}
