// Started by the process tests. "sleep": waits to be ended; "hold <file>": opens the file
// without sharing it, then waits. Ends by itself after a minute in any case.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    HANDLE held = INVALID_HANDLE_VALUE;
    if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
        held = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE)
            return 2;
    }
    // Tells the test that the file is held (or that it runs), so no timing guess is needed.
    char name[64];
    std::snprintf(name, sizeof(name), "kelvara_test_child_ready_%lu", ::GetCurrentProcessId());
    HANDLE ready = ::CreateEventA(nullptr, TRUE, TRUE, name);
    ::Sleep(60000);
    if (ready)
        ::CloseHandle(ready);
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    return 0;
}
