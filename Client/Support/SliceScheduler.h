// CSliceScheduler: asks a window for the next slice of its long work. A posted message comes at
// once, but before the user's input, the painting and the timers: a chain of posted slices would
// starve them. So when any of those waits, the next slice comes by a timer instead, after them.
// The window handles the message and the timer alike: Arrived(), then one slice of work, then
// Schedule() again while work is left.
#pragma once

#include <windows.h>

class CSliceScheduler
{
public:
    CSliceScheduler(UINT message, UINT_PTR timerId) : m_message(message), m_timerId(timerId) {}

    // At most one slice is asked for at a time.
    void Schedule(HWND window);
    // A slice in a while, for work that waits for something else to end first.
    void ScheduleLater(HWND window, UINT milliseconds);
    // The slice asked for has come (its message, or its timer: stopped here).
    void Arrived(HWND window);
    // No slice is wanted any more; one already posted arrives all the same and finds nothing to do.
    void Cancel(HWND window);
    UINT GetMessage() const { return m_message; }
    UINT_PTR GetTimerId() const { return m_timerId; }

private:
    UINT m_message;
    UINT_PTR m_timerId;
    bool m_bPending = false;
    bool m_bTimer = false;
};
