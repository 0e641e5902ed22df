#include "TimeBudget.h"

namespace {

LONGLONG CounterNow()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LONGLONG CounterFrequency()
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

} // namespace

DWORD CTimeBudget::s_sliceMs = CTimeBudget::kSliceMs;

CTimeBudget::CTimeBudget() : CTimeBudget(s_sliceMs)
{
}

CTimeBudget::CTimeBudget(DWORD milliseconds)
    : m_deadline(CounterNow() + CounterFrequency() * static_cast<LONGLONG>(milliseconds) / 1000)
{
}

CTimeBudget CTimeBudget::Unlimited()
{
    CTimeBudget budget(0);
    budget.m_deadline = 0;
    return budget;
}

bool CTimeBudget::IsSpent() const
{
    return m_deadline != 0 && CounterNow() >= m_deadline;
}
