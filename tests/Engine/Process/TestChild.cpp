// Started by the process tests. "sleep": waits to be ended; "hold <file>": opens the file
// without sharing it, then waits. Ends by itself after a minute in any case.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv)
{
    HANDLE held = INVALID_HANDLE_VALUE;
    if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
        held = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (held == INVALID_HANDLE_VALUE)
            return 2;
    }
    ::Sleep(60000);
    if (held != INVALID_HANDLE_VALUE)
        ::CloseHandle(held);
    return 0;
}
