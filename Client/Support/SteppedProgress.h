// CSteppedProgress: where a progress bar stands while an engine job steps it. The job's thread
// gives the phases of its progress: the bar starts at a point, goes on by a step at each of the
// job's steps and, past its end, starts again from the beginning (as a progress bar steps); at
// the job's end it stands full. The window's thread draws the position.
#pragma once

#include <atomic>

#include "Afx.h"

class CSteppedProgress
{
public:
    static constexpr int kRange = 100;

    // `firstStep`: the step of a job that steps before it begins.
    explicit CSteppedProgress(int firstStep) : m_step(firstStep) {}

    // On the job's thread: a phase of its progress (PROGRESS_BEGIN, _STEP or _END), the bar
    // starting at `start` and going on by `step`.
    void OnPhase(int phase, int start, int step);
    int GetPosition() const { return m_position; }
    void Reset() { m_position = 0; }
    // Sets the bar to the position, where it stands elsewhere (nothing for a bar not made).
    void DrawOn(CProgressCtrl& bar) const;

private:
    std::atomic<int> m_position{ 0 };
    std::atomic<int> m_step;
};
