#include "LineBreaks.h"

#include <string>

namespace {

bool IsBreakAfter(char c)
{
    return c == '\\' || c == '/' || c == ' ' || c == ',' || c == ';' || static_cast<unsigned char>(c) == 0xAC;
}

int WidthOf(HDC dc, const char* text, int length)
{
    SIZE size = {};
    ::GetTextExtentPoint32A(dc, text, length, &size);
    return size.cx;
}

// How many bytes from `start` fit the width, whole characters only; at least one character.
int FittingLength(HDC dc, const char* start, int width)
{
    int fitted = 0;
    for (const char* end = ::CharNextA(start); end > start; end = ::CharNextA(end)) {
        const int length = static_cast<int>(end - start);
        if (WidthOf(dc, start, length) > width)
            break;
        fitted = length;
        if (!*end)
            break;
    }
    return fitted > 0 ? fitted : static_cast<int>(::CharNextA(start) - start);
}

} // namespace

CString BreakIntoLinesFor(HWND window, const LOGFONTA& font, const CString& text)
{
    RECT area = {};
    if (!window || !::GetClientRect(window, &area) || area.right <= 2)
        return text;
    const HFONT handle = ::CreateFontIndirectA(&font);
    const HDC dc = ::GetDC(window);
    const HGDIOBJ old = handle ? ::SelectObject(dc, handle) : nullptr;
    const CString lines = BreakIntoLines(dc, text, area.right - 1);
    if (old)
        ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    if (handle)
        ::DeleteObject(handle);
    return lines;
}

CString BreakIntoLines(HDC dc, const CString& text, int width)
{
    std::string lines;
    const char* rest = text.GetString();
    while (*rest) {
        int length = FittingLength(dc, rest, width);
        if (rest[length]) {
            // The last break opportunity inside what fits, when there is one (whole characters
            // only: a trail byte may look like a backslash).
            int lastBreak = 0;
            for (const char* at = rest; at < rest + length; at = ::CharNextA(at)) {
                const char* next = ::CharNextA(at);
                if (next - at == 1 && IsBreakAfter(*at) && next <= rest + length)
                    lastBreak = static_cast<int>(next - rest);
            }
            if (lastBreak > 0)
                length = lastBreak;
        }
        if (!lines.empty())
            lines += "\r\n";
        lines.append(rest, static_cast<size_t>(length));
        rest += length;
    }
    return CString(lines.c_str());
}
