#include "SteppedProgress.h"

#include "VexaEngine.h"

void CSteppedProgress::OnPhase(int phase, int start, int step)
{
    if (phase == PROGRESS_BEGIN) {
        m_position = start;
        m_step = step;
    } else if (phase == PROGRESS_STEP) {
        int next = m_position + m_step;
        if (next > kRange)
            next -= kRange;
        m_position = next;
    } else if (phase == PROGRESS_END) {
        m_position = kRange;
    }
}

void CSteppedProgress::DrawOn(CProgressCtrl& bar) const
{
    const int position = m_position;
    if (bar.m_hWnd && bar.GetPos() != position)
        bar.SetPos(position);
}
