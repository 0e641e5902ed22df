// CPageJob: an engine job that a page starts and shows, written once. It holds what every such
// page does alike: the refusal while another job holds the engine, the start with the page's own
// preparation around it, the timer that draws what the job's thread recorded, the end message
// that the job's thread posts to the page, and the wait for that thread before the page goes on.
// The page says, as a CAbstractPageJobOwner, which job it starts, what it puts back when the
// engine refuses and what a tick draws; its handler of the end message does the rest of its end.
#pragma once

#include "Afx.h"
#include "VexaEngine.h"

class CAbstractPageJobOwner
{
public:
    virtual ~CAbstractPageJobOwner() {}
    // Asks the engine for the page's job (StartScan, StartRepair...), with the page's status
    // object: the engine's answer, 1 when it took the job.
    virtual int StartEngineJob(CAbstractProcess* process) = 0;
    // The engine refused the job, or there is none: the page as it was before the start.
    virtual void OnEngineJobRefused() = 0;
    // The engine took the job, which does not run yet.
    virtual void OnEngineJobTaken() {}
    // A tick of the progress timer: what the job's thread recorded since the last one is drawn.
    virtual void DrawJobProgress() {}
};

class CPageJob
{
public:
    // `endMessage` goes to `page` when the job has ended; its progress is drawn every
    // `progressIntervalMs` (0: the page draws none on a timer).
    CPageJob(CWnd& page, CAbstractPageJobOwner& owner, UINT endMessage, UINT progressIntervalMs);
    CPageJob(const CPageJob&) = delete;
    CPageJob& operator=(const CPageJob&) = delete;

    // True when no job holds the engine (or there is no engine); otherwise `busyText` is told.
    static bool IsEngineFree(CAbstractProcess* process, const char* busyText);
    // Has the owner start its job, starts the progress timer and lets the job run: true. When the
    // engine refuses, the owner puts the page back and `busyText` is told.
    bool Start(CAbstractProcess* process, const char* busyText);
    // On the job's thread, at the job's end: posts the end message to the page with `wParam`.
    void PostEnd(WPARAM wParam = 0) const;
    // The end message came: the progress timer stops.
    void StopProgress();
    // The end message came: the progress timer stops, and the job's thread has ended on return
    // (the window's messages go on meanwhile), so that whatever the page does next finds the
    // engine free.
    void Finish(CAbstractProcess* process);
    // From the page's OnTimer: a tick of the job's timer draws its progress.
    void OnTimer(UINT_PTR id);

private:
    void StartProgress();

    CWnd& m_page;
    CAbstractPageJobOwner& m_owner;
    const UINT m_uEndMessage;
    const UINT m_uProgressIntervalMs;
    bool m_bTimerRunning = false;
};
