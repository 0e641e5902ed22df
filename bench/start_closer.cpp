// start_closer: the part of bench/start_bench.sh that runs inside Wine. It waits for the program's
// main window (Kelvara's unless another title is given) to be visible, then until the window
// answers messages (its start-up work done), then closes it the way a user does (the system's
// close request) and waits until the process is gone, so that the next start is a new first
// instance and not a request handed to this one. With a watch time, it first asks the window for
// answers (WM_NULL, every 5 ms) for that long from the moment it finds it, and prints the longest
// wait for one in milliseconds.
//
//   start_closer [window title [timeout seconds [watch milliseconds]]]
//   exit code 0 when the program has ended
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char kKelvaraTitle[] = "Bellwort Registry Reriraz";
const DWORD kPollMs = 20;

struct CHandle
{
    explicit CHandle(HANDLE handle) : m_handle(handle) {}
    ~CHandle()
    {
        if (m_handle)
            ::CloseHandle(m_handle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE m_handle;
};

DWORD Elapsed(DWORD start)
{
    return ::GetTickCount() - start;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The longest time the window took to answer, asked every 5 ms for `watchMs`.
double LongestAnswerMs(HWND window, DWORD watchMs, DWORD timeoutMs)
{
    double longest = 0;
    const DWORD start = ::GetTickCount();
    while (Elapsed(start) < watchMs) {
        LARGE_INTEGER sent;
        LARGE_INTEGER answered;
        ::QueryPerformanceCounter(&sent);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
        ::QueryPerformanceCounter(&answered);
        const double ms = Milliseconds(sent, answered);
        if (ms > longest)
            longest = ms;
        ::Sleep(5);
    }
    return longest;
}

HWND FindMainWindow(const char* title, DWORD timeoutMs, DWORD start)
{
    for (;;) {
        HWND window = ::FindWindowA(nullptr, title);
        if (window && ::IsWindowVisible(window))
            return window;
        if (Elapsed(start) > timeoutMs)
            return nullptr;
        ::Sleep(kPollMs);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const char* title = argc > 1 ? argv[1] : kKelvaraTitle;
    const DWORD timeoutMs = (argc > 2 ? static_cast<DWORD>(atoi(argv[2])) : 60) * 1000;
    const DWORD watchMs = argc > 3 ? static_cast<DWORD>(atoi(argv[3])) : 0;
    const DWORD start = ::GetTickCount();
    HWND window = FindMainWindow(title, timeoutMs, start);
    if (!window) {
        fprintf(stderr, "start_closer: no main window\n");
        return 1;
    }
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (watchMs > 0) {
        printf("%.0f\n", LongestAnswerMs(window, watchMs, timeoutMs));
        fflush(stdout);
    }
    // A window that answers has finished what its start posted to itself.
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored)) {
        fprintf(stderr, "start_closer: the window does not answer\n");
        return 1;
    }
    ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    const DWORD left = timeoutMs > Elapsed(start) ? timeoutMs - Elapsed(start) : 0;
    if (!process.m_handle || ::WaitForSingleObject(process.m_handle, left) != WAIT_OBJECT_0) {
        fprintf(stderr, "start_closer: the program did not end\n");
        return 1;
    }
    return 0;
}
