// startup_bench: the startup manager's work over a sandboxed registry. It prints
// - Disable All and Enable All on one multi-string Run value of 250 to 2,000 strings (the value
//   is written once each way, so the time per string stays flat as the list grows);
// - the list read (Run values and disabled records), Disable All and Enable All for 1,250 to
//   5,000 separate Run values. The page's own work per entry is constant; under Wine, creating
//   and deleting thousands of keys in one key also costs more per key as the key grows (measured:
//   deleting 5,000 subkeys 0.99 s, 2,500 subkeys 0.37 s), which shows in the last column.
// Each figure is the fastest of three runs.
//
// Run by hand under Wine:  build/x86_64/wine-run.sh build/x86_64/bin/startup_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "RegistrySandbox.h"
#include "StartupManager.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

double Seconds(LARGE_INTEGER start)
{
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    return now;
}

void WriteList(int strings)
{
    std::wstring list;
    for (int i = 0; i < strings; ++i)
        list += L"\"C:\\Program Files\\Bench\\tool" + std::to_wstring(i) + L".exe\" /min" + L'\0';
    list += L'\0';
    CRegKey64 run;
    run.Create(HKEY_CURRENT_USER, kRun);
    ::RegSetValueExW(run, L"Many", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                     static_cast<DWORD>(list.size() * sizeof(wchar_t)));
}

void WriteValues(int count)
{
    CRegKey64 run;
    run.Create(HKEY_CURRENT_USER, kRun);
    for (int i = 0; i < count; ++i) {
        const std::wstring name = L"Entry" + std::to_wstring(i);
        const std::wstring data = L"C:\\Program Files\\Bench\\tray" + std::to_wstring(i) + L".exe /min";
        ::RegSetValueExW(run, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
}

struct FIGURES
{
    double read = 1e30, disable = 1e30, enable = 1e30;
};

// Three rounds of read, Disable All, read, Enable All on a fresh sandbox each.
template <class F>
FIGURES Measure(F fill)
{
    FIGURES best;
    for (int round = 0; round < 3; ++round) {
        CRegistrySandbox sandbox;
        fill();
        CStartupManager manager{ STARTUP_FOLDERS() };
        LARGE_INTEGER start = Now();
        manager.Refresh();
        best.read = std::min(best.read, Seconds(start));
        start = Now();
        const STARTUP_OUTCOME disabled = manager.DisableAll();
        best.disable = std::min(best.disable, Seconds(start));
        manager.Refresh();
        start = Now();
        const STARTUP_OUTCOME enabled = manager.EnableAll();
        best.enable = std::min(best.enable, Seconds(start));
        if (disabled.failed || enabled.failed)
            printf("  (%d entries could not be disabled, %d enabled)\n", disabled.failed, enabled.failed);
    }
    return best;
}

void PrintRow(int count, const FIGURES& figures, bool withRead)
{
    const double perEntry = (figures.disable + figures.enable) * 1e3 / count;
    if (withRead)
        printf("%8d %10.3f %12.3f %12.3f %14.3f\n", count, figures.read, figures.disable, figures.enable, perEntry);
    else
        printf("%8d %12.3f %12.3f %14.3f\n", count, figures.disable, figures.enable, perEntry);
    fflush(stdout);
}

} // namespace

int main()
{
    ::CoInitialize(nullptr);
    printf("one multi-string value\n%8s %12s %12s %14s\n", "strings", "disable (s)", "enable (s)", "ms per string");
    for (int strings : { 250, 500, 1000, 2000 })
        PrintRow(strings, Measure([strings] { WriteList(strings); }), false);

    printf("\nseparate values\n%8s %10s %12s %12s %14s\n", "entries", "read (s)", "disable (s)", "enable (s)",
           "ms per entry");
    for (int count : { 1250, 2500, 5000 })
        PrintRow(count, Measure([count] { WriteValues(count); }), true);
    ::CoUninitialize();
    return 0;
}
