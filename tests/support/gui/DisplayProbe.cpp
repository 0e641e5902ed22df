// Exits with 0 when this process can open a window on the X display, 1 when Wine gives it no
// display (error 1400): right after the prefix was made without a display, Wine's desktop may
// still run on its display-less driver for a moment.
#include <windows.h>

int main()
{
    HWND probe = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe)
        return 1;
    ::DestroyWindow(probe);
    return 0;
}
