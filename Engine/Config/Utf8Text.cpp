#include "Utf8Text.h"

#include <windows.h>

#include <vector>

namespace {

std::string Convert(const char* text, UINT from, UINT to)
{
    if (!text || !*text)
        return std::string();
    const int wideLength = ::MultiByteToWideChar(from, 0, text, -1, nullptr, 0);
    if (wideLength <= 0)
        return text;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    ::MultiByteToWideChar(from, 0, text, -1, wide.data(), wideLength);
    const int length = ::WideCharToMultiByte(to, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return text;
    std::vector<char> converted(static_cast<size_t>(length));
    ::WideCharToMultiByte(to, 0, wide.data(), -1, converted.data(), length, nullptr, nullptr);
    return std::string(converted.data());
}

} // namespace

std::string AnsiToUtf8(const char* text)
{
    return Convert(text, CP_ACP, CP_UTF8);
}

CString Utf8ToAnsi(const char* text)
{
    return CString(Convert(text, CP_UTF8, CP_ACP));
}
