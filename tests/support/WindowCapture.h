// Helpers for GUI tests: run the message queue through the PreTranslateMessage chain, read the
// pixels a window shows on screen, save them as a PNG for a person to look at, and watch the
// process's GDI objects.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Dispatches queued messages (offering each to AfxPreTranslateMessage first) for `ms`
// milliseconds, or until the queue is empty when `ms` is 0.
void PumpMessages(DWORD ms = 0);
// Dispatches messages until `done` holds; false when it did not within `timeoutMs`.
template <class F>
bool PumpMessagesUntil(F done, DWORD timeoutMs = 30000)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        PumpMessages(10);
    }
    return true;
}

// Whether `window` or a visible window inside it still has a part to paint (any process's).
bool HasPendingPaint(HWND window);

// Runs the message queue until `window` and every window inside it have painted what they were
// asked to (no update region left) and the queue is empty, or `timeoutMs` has passed; false on
// time-out. It asks for no painting itself: what is on screen afterwards is what a user sees.
bool WaitUntilDrawn(HWND window, DWORD timeoutMs = 5000);

// The pixels of a window as the screen shows them (top-down, 0x00RRGGBB).
struct CWindowPixels
{
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    COLORREF At(int x, int y) const;  // as a COLORREF (0x00BBGGRR)
};
CWindowPixels CaptureWindow(HWND hWnd);
// The pixels of a part of the screen (screen coordinates), whatever windows show there.
CWindowPixels CaptureScreen(const RECT& rect);
CWindowPixels CaptureBitmap(HDC dc, HBITMAP bitmap);
// The pixels of a bitmap resource of the program (empty when it does not load).
CWindowPixels CaptureResourceBitmap(UINT id);

// How many pixels of `control` the screen shows otherwise than the place of bitmap resource
// `backgroundId` under it, the bitmap being `window`'s background from its top left corner: none
// for a transparent label without text, many for one whose text is drawn.
int PixelsOverBackground(HWND window, HWND control, UINT backgroundId);

// Whether the pixels hold a dotted line of at least `length` pixels along a row or a column, as a
// focus frame draws one (every other pixel inverted): the sign that a control shows the focus.
bool HasDottedLine(const CWindowPixels& image, int length = 8);

// Writes the pixels as a PNG (RGB, stored deflate blocks). Folders must exist.
bool SavePng(const CWindowPixels& image, const std::string& path);

// The number of GDI objects the process holds, plus a constant: two readings around a loop show
// what it leaked. (The system hands out the slot freed last first, so the index of one new object
// tells nothing: enough probes are made to use up every free slot, and the highest index is
// counted.)
int LiveGdiObjects();
