// GetTickCount64 for systems without it (Windows XP): the 32-bit tick count of GetTickCount,
// carried on past its wrap after 49.7 days.
#pragma once

#include <windows.h>

class CTickCountExtender
{
public:
    // The 64-bit count for a 32-bit reading. Readings must come in the order they were taken
    // and at least once per wrap; a reading below the last one starts the next round.
    ULONGLONG Extend(DWORD ticks)
    {
        if (ticks < m_last)
            ++m_rounds;
        m_last = ticks;
        return (static_cast<ULONGLONG>(m_rounds) << 32) | ticks;
    }

private:
    DWORD m_last = 0;
    DWORD m_rounds = 0;
};
