// CTimeBudget: how long one piece of window-thread work may run before it hands the thread back
// to the window's messages. Work that can take longer (a results tree of tens of thousands of
// rows, the look at what a repair removed) runs in slices, each checking its budget now and then.
#pragma once

#include <windows.h>

class CTimeBudget
{
public:
    // The slice length that keeps a window answering at once to the eye.
    static constexpr DWORD kSliceMs = 20;

    // A slice's budget.
    CTimeBudget();
    explicit CTimeBudget(DWORD milliseconds);
    // Changes the length of a slice (0: each slice does the least it can); tests use it to see
    // work that goes in several slices on any machine.
    static void SetSliceMs(DWORD milliseconds) { s_sliceMs = milliseconds; }
    // A budget that never runs out: the work is wanted whole, now.
    static CTimeBudget Unlimited();

    bool IsSpent() const;

private:
    static DWORD s_sliceMs;
    LONGLONG m_deadline;   // performance-counter ticks; 0: none
};
