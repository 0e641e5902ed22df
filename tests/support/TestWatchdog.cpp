#include "TestWatchdog.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char kLimitVariable[] = "KELVARA_TEST_TIMEOUT";
// The exit code of a program the watchdog ended (as the shell's "timeout" gives).
const UINT kExpiredExitCode = 124;
// How long the thread report may take before the process is ended without it: a thread that
// was stopped inside the loader or the heap could block the report itself.
const DWORD kReportLimitMs = 10000;
const int kMaxFrames = 12;

// Written without the C runtime's stream locks, which a hung thread may hold.
void Print(const char* format, ...)
{
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int length = vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    if (length <= 0)
        return;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(length < static_cast<int>(sizeof(line)) ? length : sizeof(line) - 1);
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), line, size, &written, nullptr);
}

// "module+0xRVA", and the address that the module's own symbols use (for addr2line).
void PrintFrame(int index, DWORD64 address)
{
    HMODULE module = nullptr;
    char path[MAX_PATH] = "?";
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(address)), &module)) {
        Print("      #%d 0x%llx\n", index, static_cast<unsigned long long>(address));
        return;
    }
    ::GetModuleFileNameA(module, path, sizeof(path));
    const char* name = strrchr(path, '\\');
    name = name ? name + 1 : path;
    const auto base = reinterpret_cast<ULONG_PTR>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<ULONG_PTR>(dos->e_lfanew));
    const unsigned long long rva = address - base;
    Print("      #%d %s+0x%llx (0x%llx)\n", index, name, rva,
          static_cast<unsigned long long>(nt->OptionalHeader.ImageBase) + rva);
}

// The return addresses of a stopped thread, by the unwind data of its functions. Only the
// stack is read here: nothing is allocated while the thread may hold the heap's lock.
int WalkStack(HANDLE thread, DWORD64* frames)
{
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_FULL;
    if (!::GetThreadContext(thread, &context))
        return 0;
#ifdef _WIN64
    int count = 0;
    while (count < kMaxFrames && context.Rip) {
        frames[count++] = context.Rip;
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (!function) {
            // A leaf function: its caller's address is on top of the stack.
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        PVOID handlerData = nullptr;
        DWORD64 establisher = 0;
        ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData, &establisher,
                           nullptr);
    }
    return count;
#else
    frames[0] = context.Eip;
    return 1;
#endif
}

DWORD WINAPI ReportThreads(LPVOID mainThreadId)
{
    const DWORD mainId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(mainThreadId));
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    const DWORD self = ::GetCurrentThreadId();
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId() || entry.th32ThreadID == self)
            continue;
        HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE,
                                     entry.th32ThreadID);
        if (!thread)
            continue;
        DWORD64 frames[kMaxFrames] = {};
        int count = 0;
        const DWORD suspended = ::SuspendThread(thread);
        if (suspended != static_cast<DWORD>(-1)) {
            count = WalkStack(thread, frames);
            ::ResumeThread(thread);
        }
        Print("    thread %lu%s, priority %d, suspended %ld time(s) before:\n", entry.th32ThreadID,
              entry.th32ThreadID == mainId ? " (main)" : "", ::GetThreadPriority(thread), static_cast<long>(suspended));
        for (int i = 0; i < count; ++i)
            PrintFrame(i, frames[i]);
        ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return 0;
}

} // namespace

CTestWatchdog::CTestWatchdog(DWORD defaultSeconds)
    : m_limitMs(defaultSeconds * 1000), m_phase("(start)"), m_since(::GetTickCount()),
      m_mainThreadId(::GetCurrentThreadId())
{
    if (const char* value = getenv(kLimitVariable)) {
        const long seconds = strtol(value, nullptr, 10);
        if (seconds > 0)
            m_limitMs = static_cast<DWORD>(seconds) * 1000;
    }
    ::InitializeCriticalSection(&m_lock);
    m_stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = ::CreateThread(nullptr, 0, &CTestWatchdog::Watch, this, 0, nullptr);
}

CTestWatchdog::~CTestWatchdog()
{
    ::SetEvent(m_stop);
    if (m_thread) {
        ::WaitForSingleObject(m_thread, INFINITE);
        ::CloseHandle(m_thread);
    }
    ::CloseHandle(m_stop);
    ::DeleteCriticalSection(&m_lock);
}

void CTestWatchdog::Enter(const std::string& phase)
{
    ::EnterCriticalSection(&m_lock);
    m_phase = phase;
    m_since = ::GetTickCount();
    ::LeaveCriticalSection(&m_lock);
}

void CTestWatchdog::OnTestStart(const testing::TestInfo& test)
{
    Enter(std::string(test.test_suite_name()) + "." + test.name());
}

void CTestWatchdog::OnTestEnd(const testing::TestInfo& test)
{
    Enter(std::string("(after ") + test.test_suite_name() + "." + test.name() + ")");
}

DWORD WINAPI CTestWatchdog::Watch(LPVOID self)
{
    auto* watchdog = static_cast<CTestWatchdog*>(self);
    while (::WaitForSingleObject(watchdog->m_stop, 1000) == WAIT_TIMEOUT) {
        ::EnterCriticalSection(&watchdog->m_lock);
        const DWORD elapsed = ::GetTickCount() - watchdog->m_since;
        const std::string phase = elapsed > watchdog->m_limitMs ? watchdog->m_phase : std::string();
        ::LeaveCriticalSection(&watchdog->m_lock);
        if (!phase.empty())
            watchdog->Expire(phase, elapsed);
    }
    return 0;
}

void CTestWatchdog::Expire(const std::string& phase, DWORD elapsedMs)
{
    Print("\n[ WATCHDOG ] %s has run for %lu s (limit %lu s, %s): ending the program.\n", phase.c_str(),
          elapsedMs / 1000, m_limitMs / 1000, kLimitVariable);
    Print("[ WATCHDOG ] threads of the process (frames as module+offset, and the module's own address):\n");
    HANDLE reporter = ::CreateThread(nullptr, 0, &ReportThreads,
                                     reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(m_mainThreadId)), 0, nullptr);
    if (reporter) {
        if (::WaitForSingleObject(reporter, kReportLimitMs) == WAIT_TIMEOUT)
            Print("[ WATCHDOG ] the thread report did not finish in time\n");
        ::CloseHandle(reporter);
    }
    Print("[ WATCHDOG ] FAILED: %s\n", phase.c_str());
    ::TerminateProcess(::GetCurrentProcess(), kExpiredExitCode);
}
