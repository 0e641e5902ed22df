// TEMPORARY instrumentation (not to be committed).
#pragma once
#include <windows.h>
#include <cstdio>
inline void PerfMark(const char* what)
{
    static double base = [] {
        FILETIME c, e, k, u, now; ::GetProcessTimes(::GetCurrentProcess(), &c, &e, &k, &u); ::GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER a, b; a.LowPart = c.dwLowDateTime; a.HighPart = c.dwHighDateTime; b.LowPart = now.dwLowDateTime; b.HighPart = now.dwHighDateTime;
        LARGE_INTEGER q, f; ::QueryPerformanceCounter(&q); ::QueryPerformanceFrequency(&f);
        return q.QuadPart * 1000.0 / f.QuadPart - (b.QuadPart - a.QuadPart) / 10000.0; }();
    static bool on = ::GetEnvironmentVariableA("KELVARA_TRACE", nullptr, 0) > 0;
    if (!on) return;
    LARGE_INTEGER now, f; ::QueryPerformanceCounter(&now); ::QueryPerformanceFrequency(&f);
    fprintf(stderr, "[%9.1f ms] %s\n", now.QuadPart * 1000.0 / f.QuadPart - base, what);
    fflush(stderr);
}
