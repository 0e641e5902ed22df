#include "WindowCapture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "Afx.h"

void PumpMessages(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (::GetTickCount() - start >= ms)
            break;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

namespace {

BOOL CALLBACK FindUnpainted(HWND child, LPARAM found)
{
    if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool HasPendingPaint(HWND window)
{
    if (::GetUpdateRect(window, nullptr, FALSE))
        return true;
    bool found = false;
    ::EnumChildWindows(window, &FindUnpainted, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool WaitUntilDrawn(HWND window, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        PumpMessages();
        MSG msg;
        if (!HasPendingPaint(window) && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

COLORREF CWindowPixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        return CLR_INVALID;
    const DWORD p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

CWindowPixels CaptureBitmap(HDC dc, HBITMAP bitmap)
{
    CWindowPixels image;
    if (!AfxReadBitmapPixels(bitmap, dc, &image.pixels, &image.width, &image.height)) {
        image.pixels.clear();
        return image;
    }
    for (DWORD& p : image.pixels)
        p &= 0x00FFFFFF;
    return image;
}

CWindowPixels CaptureWindow(HWND hWnd)
{
    RECT rect;
    ::GetWindowRect(hWnd, &rect);
    return CaptureScreen(rect);
}

CWindowPixels CaptureScreen(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(memory, old);
    CWindowPixels image = CaptureBitmap(screen, bitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return image;
}

CWindowPixels CaptureResourceBitmap(UINT id)
{
    CBitmap bitmap;
    if (!bitmap.LoadBitmap(id))
        return CWindowPixels();
    HDC screen = ::GetDC(nullptr);
    CWindowPixels pixels = CaptureBitmap(screen, bitmap);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

namespace {

int ColourDistance(COLORREF a, COLORREF b)
{
    return abs(GetRValue(a) - GetRValue(b)) + abs(GetGValue(a) - GetGValue(b)) + abs(GetBValue(a) - GetBValue(b));
}

// Along a line of pixels: the longest stretch where each pixel differs clearly from the next one
// and hardly from the one after it.
int LongestAlternation(const CWindowPixels& image, int x, int y, int dx, int dy)
{
    int longest = 0;
    int run = 0;
    for (; image.At(x + 2 * dx, y + 2 * dy) != CLR_INVALID; x += dx, y += dy) {
        const COLORREF here = image.At(x, y);
        const bool alternates = ColourDistance(here, image.At(x + dx, y + dy)) > 90 &&
                                ColourDistance(here, image.At(x + 2 * dx, y + 2 * dy)) < 60;
        run = alternates ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

bool HasDottedLine(const CWindowPixels& image, int length)
{
    for (int y = 0; y < image.height; ++y) {
        if (LongestAlternation(image, 0, y, 1, 0) >= length)
            return true;
    }
    for (int x = 0; x < image.width; ++x) {
        if (LongestAlternation(image, x, 0, 0, 1) >= length)
            return true;
    }
    return false;
}

int PixelsOverBackground(HWND window, HWND control, UINT backgroundId)
{
    const CWindowPixels skin = CaptureResourceBitmap(backgroundId);
    const CWindowPixels shown = CaptureWindow(window);
    RECT rect;
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<LPPOINT>(&rect), 2);
    int differing = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            differing += shown.At(x, y) != skin.At(x, y);
    return differing;
}

namespace {

DWORD Crc32(const unsigned char* data, size_t length, DWORD crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBig32(std::string& out, DWORD value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& body)
{
    PutBig32(out, static_cast<DWORD>(body.size()));
    std::string typed = std::string(type, 4) + body;
    out += typed;
    PutBig32(out, Crc32(reinterpret_cast<const unsigned char*>(typed.data()), typed.size()));
}

} // namespace

bool SavePng(const CWindowPixels& image, const std::string& path)
{
    if (image.width <= 0 || image.height <= 0)
        return false;
    // Raw scan lines: filter byte 0, then RGB.
    std::string raw;
    raw.reserve(static_cast<size_t>(image.height) * (static_cast<size_t>(image.width) * 3 + 1));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';
        for (int x = 0; x < image.width; ++x) {
            const DWORD p = image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)];
            raw += static_cast<char>((p >> 16) & 0xFF);
            raw += static_cast<char>((p >> 8) & 0xFF);
            raw += static_cast<char>(p & 0xFF);
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and the Adler-32 of the data.
    std::string zlib("\x78\x01", 2);
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + length >= raw.size();
        zlib += static_cast<char>(last ? 1 : 0);
        zlib += static_cast<char>(length & 0xFF);
        zlib += static_cast<char>(length >> 8);
        zlib += static_cast<char>(~length & 0xFF);
        zlib += static_cast<char>((~length >> 8) & 0xFF);
        zlib.append(raw, at, length);
        if (last)
            break;
    }
    DWORD a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(zlib, (b << 16) | a);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBig32(header, static_cast<DWORD>(image.width));
    PutBig32(header, static_cast<DWORD>(image.height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", std::string());

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}

int LiveGdiObjects()
{
    // More probes than the table can hold free slots of a test program.
    const int probes = 20000;
    std::vector<HBRUSH> made;
    made.reserve(probes);
    int highest = 0;
    for (int i = 0; i < probes; ++i) {
        HBRUSH probe = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!probe)
            break;
        made.push_back(probe);
        highest = std::max(highest, static_cast<int>(reinterpret_cast<UINT_PTR>(probe) & 0xFFFF));
    }
    for (HBRUSH probe : made)
        ::DeleteObject(probe);
    return highest - static_cast<int>(made.size());
}
