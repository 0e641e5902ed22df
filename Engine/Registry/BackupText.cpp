#include "BackupText.h"

#include <cstdio>

namespace {

bool IsAscii(const CString& text)
{
    for (unsigned char ch : text.Str())
        if (ch >= 0x80)
            return false;
    return true;
}

std::wstring ToWide(UINT codePage, DWORD flags, const char* text, int length)
{
    if (length <= 0)
        return std::wstring();
    const int count = ::MultiByteToWideChar(codePage, flags, text, length, nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    ::MultiByteToWideChar(codePage, flags, text, length, &wide[0], count);
    return wide;
}

std::string FromWide(UINT codePage, const wchar_t* text, int length)
{
    if (length <= 0)
        return std::string();
    const int count = ::WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(count), '\0');
    ::WideCharToMultiByte(codePage, 0, text, length, &narrow[0], count, nullptr, nullptr);
    return narrow;
}

// The code point of a character reference body ("#13", "#x1a"); -1 when it is none.
long ParseCharacterReference(const std::string& body)
{
    if (body.size() < 2 || body[0] != '#')
        return -1;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const size_t first = hex ? 2 : 1;
    if (first >= body.size() || body.size() - first > 6)
        return -1;
    long value = 0;
    for (size_t i = first; i < body.size(); ++i) {
        const char ch = body[i];
        int digit;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (hex && ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (hex && ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else
            return -1;
        value = value * (hex ? 16 : 10) + digit;
    }
    return value > 0 && value <= 0xFFFF ? value : -1;
}

} // namespace

std::wstring AnsiToWide(const char* text, int length)
{
    return ToWide(CP_ACP, 0, text, length);
}

bool WideToAnsiExact(const wchar_t* text, int length, std::string* ansi)
{
    *ansi = FromWide(CP_ACP, text, length);
    if (length <= 0)
        return true;
    // A round trip is the only test that also catches best-fit mappings ("a" for an accented
    // letter) that leave the default-character flag unset.
    const std::wstring back = ToWide(CP_ACP, 0, ansi->data(), static_cast<int>(ansi->size()));
    return back.size() == static_cast<size_t>(length) && back.compare(0, back.size(), text, back.size()) == 0;
}

CString AnsiToUtf8(const CString& text)
{
    if (IsAscii(text))
        return text;
    const std::wstring wide = AnsiToWide(text);
    return CString(FromWide(CP_UTF8, wide.data(), static_cast<int>(wide.size())));
}

bool Utf8ToAnsiExact(const CString& utf8, CString* ansi)
{
    if (IsAscii(utf8)) {
        *ansi = utf8;
        return true;
    }
    const std::wstring wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.GetString(), utf8.GetLength());
    if (wide.empty())
        return false;
    std::string narrow;
    const bool exact = WideToAnsiExact(wide.data(), static_cast<int>(wide.size()), &narrow);
    *ansi = CString(narrow);
    return exact;
}

CString EscapeXml(const CString& text)
{
    const std::string& in = text.Str();
    std::string out;
    out.reserve(in.size() + 16);
    for (size_t i = 0; i < in.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(in[i]);
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default:
            if (ch == '\r' && i + 1 < in.size() && in[i + 1] == '\n') {
                out += "\r\n";
                ++i;
            } else if (ch < 0x20) {
                char reference[8];
                std::snprintf(reference, sizeof(reference), "&#%u;", static_cast<unsigned>(ch));
                out += reference;
            } else {
                out += static_cast<char>(ch);
            }
        }
    }
    return CString(out);
}

CString UnescapeXml(const CString& text)
{
    const std::string& in = text.Str();
    if (in.find('&') == std::string::npos)
        return text;
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const size_t end = in[i] == '&' ? in.find(';', i + 1) : std::string::npos;
        if (end == std::string::npos || end - i > 10) {
            out += in[i];
            continue;
        }
        const std::string body = in.substr(i + 1, end - i - 1);
        if (body == "amp")
            out += '&';
        else if (body == "quot")
            out += '"';
        else if (body == "lt")
            out += '<';
        else if (body == "gt")
            out += '>';
        else if (body == "apos")
            out += '\'';
        else {
            const long code = ParseCharacterReference(body);
            if (code < 0) {
                out += in[i];
                continue;
            }
            if (code < 0x80) {
                out += static_cast<char>(code);
            } else {
                const wchar_t wide = static_cast<wchar_t>(code);
                std::string narrow;
                if (!WideToAnsiExact(&wide, 1, &narrow)) {
                    out += in[i];
                    continue;
                }
                out += narrow;
            }
        }
        i = end;
    }
    return CString(out);
}
