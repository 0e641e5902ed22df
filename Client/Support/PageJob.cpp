#include "PageJob.h"

#include "JobWait.h"

namespace {

// The page's only timer of its own job; other timers of the page take other numbers.
const UINT_PTR kProgressTimer = 1;

} // namespace

CPageJob::CPageJob(CWnd& page, CAbstractPageJobOwner& owner, UINT endMessage, UINT progressIntervalMs)
    : m_page(page), m_owner(owner), m_uEndMessage(endMessage), m_uProgressIntervalMs(progressIntervalMs)
{
}

bool CPageJob::IsEngineFree(CAbstractProcess* process, const char* busyText)
{
    if (!process || !process->IsRunning())
        return true;
    AfxMessageBox(busyText, MB_OK | MB_ICONINFORMATION);
    return false;
}

bool CPageJob::Start(CAbstractProcess* process, const char* busyText)
{
    if (!process || m_owner.StartEngineJob(process) != 1) {
        // Another job got there first (or there is no engine): nothing runs, and the page is as
        // it was.
        m_owner.OnEngineJobRefused();
        AfxMessageBox(busyText, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    m_owner.OnEngineJobTaken();
    StartProgress();
    process->Resume();
    return true;
}

void CPageJob::StartProgress()
{
    if (m_uProgressIntervalMs == 0 || !m_page.m_hWnd || m_bTimerRunning)
        return;
    m_page.SetTimer(kProgressTimer, m_uProgressIntervalMs);
    m_bTimerRunning = true;
}

void CPageJob::PostEnd(WPARAM wParam) const
{
    if (m_page.m_hWnd)
        ::PostMessageA(m_page.m_hWnd, m_uEndMessage, wParam, 0);
}

void CPageJob::StopProgress()
{
    if (!m_bTimerRunning)
        return;
    m_page.KillTimer(kProgressTimer);
    m_bTimerRunning = false;
}

void CPageJob::Finish(CAbstractProcess* process)
{
    StopProgress();
    WaitForEngineJob(process);
}

void CPageJob::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer)
        m_owner.DrawJobProgress();
}
