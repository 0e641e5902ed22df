#include "BackupText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// A character reference has at most this many characters between "&" and ";" ("#x10ffff").
const size_t kLongestReference = 8;

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

bool IsHighSurrogate(unsigned unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(unsigned unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(std::string* out, unsigned long code)
{
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendReference(std::string* out, unsigned code)
{
    char reference[12];
    std::snprintf(reference, sizeof(reference), code < 0x20 ? "&#%u;" : "&#x%X;", code);
    *out += reference;
}

// The code point of a reference body ("amp", "#13", "#x1a"); false for anything else.
bool ParseReference(const char* body, size_t length, unsigned long* code)
{
    struct Entity {
        const char* name;
        char character;
    };
    static const Entity entities[] = {{"amp", '&'}, {"quot", '"'}, {"lt", '<'}, {"gt", '>'}, {"apos", '\''}};
    for (const Entity& entity : entities) {
        if (length == std::strlen(entity.name) && std::memcmp(body, entity.name, length) == 0) {
            *code = static_cast<unsigned char>(entity.character);
            return true;
        }
    }
    if (length < 2 || body[0] != '#')
        return false;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const size_t first = hex ? 2 : 1;
    if (first >= length)
        return false;
    unsigned long value = 0;
    for (size_t i = first; i < length; ++i) {
        const char ch = body[i];
        unsigned digit;
        if (ch >= '0' && ch <= '9')
            digit = static_cast<unsigned>(ch - '0');
        else if (hex && ch >= 'a' && ch <= 'f')
            digit = static_cast<unsigned>(ch - 'a' + 10);
        else if (hex && ch >= 'A' && ch <= 'F')
            digit = static_cast<unsigned>(ch - 'A' + 10);
        else
            return false;
        value = value * (hex ? 16 : 10) + digit;
        if (value > 0x10FFFF)
            return false;
    }
    if (value == 0)
        return false;
    *code = value;
    return true;
}

// One UTF-8 sequence starting at text[*at]; false for bytes that are not UTF-8 (overlong forms,
// encoded surrogates and code points above 0x10FFFF included).
bool ReadUtf8(const std::string& text, size_t* at, unsigned long* code)
{
    const unsigned char lead = static_cast<unsigned char>(text[*at]);
    size_t extra;
    unsigned long value;
    if (lead < 0x80) {
        *code = lead;
        ++*at;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        value = lead & 0x07;
    } else {
        return false;
    }
    if (*at + extra >= text.size())
        return false;
    for (size_t i = 1; i <= extra; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (next & 0x3F);
    }
    static const unsigned long smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *at += extra + 1;
    *code = value;
    return true;
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

std::string WideToFileText(const wchar_t* text, size_t length)
{
    std::string out;
    out.reserve(length + length / 8 + 16);
    for (size_t i = 0; i < length; ++i) {
        const unsigned unit = static_cast<unsigned short>(text[i]);
        switch (unit) {
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '<': out += "&lt;"; break;
        default:
            if (unit < 0x20) {
                AppendReference(&out, unit);
            } else if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(static_cast<unsigned short>(text[i + 1]))) {
                const unsigned low = static_cast<unsigned short>(text[++i]);
                AppendUtf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
                AppendReference(&out, unit);
            } else {
                AppendUtf8(&out, unit);
            }
        }
    }
    return out;
}

bool FileTextToWide(const std::string& text, std::wstring* wide)
{
    // No byte of the file gives more than one UTF-16 unit, so the room is known up front.
    wide->resize(text.size());
    wchar_t* out = wide->empty() ? nullptr : &(*wide)[0];
    size_t written = 0;
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char ch = static_cast<unsigned char>(text[at]);
        if (ch < 0x80 && ch != '&' && ch != 0) {
            out[written++] = static_cast<wchar_t>(ch);
            ++at;
            continue;
        }
        // The writer never puts a zero byte into the file; one found there is damage.
        if (ch == 0)
            return false;
        unsigned long code;
        if (ch == '&') {
            // The ";" is looked for only as far as the longest reference reaches, so a long run
            // of "&" is read in linear time.
            const size_t limit = std::min(text.size(), at + 2 + kLongestReference);
            size_t end = at + 1;
            while (end < limit && text[end] != ';')
                ++end;
            if (end >= limit || !ParseReference(text.data() + at + 1, end - at - 1, &code))
                return false;
            at = end + 1;
        } else if (!ReadUtf8(text, &at, &code)) {
            return false;
        }
        if (code < 0x10000) {
            out[written++] = static_cast<wchar_t>(code);
        } else {
            code -= 0x10000;
            out[written++] = static_cast<wchar_t>(0xD800 + (code >> 10));
            out[written++] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        }
    }
    wide->resize(written);
    return true;
}

namespace {

template <class Text>
bool EqualsNoCase(const Text& text, const char* ascii)
{
    size_t i = 0;
    for (; i < text.size() && ascii[i]; ++i) {
        unsigned a = static_cast<unsigned>(text[i]) & (sizeof(text[i]) == 1 ? 0xFFu : 0xFFFFu);
        unsigned b = static_cast<unsigned char>(ascii[i]);
        if (a >= 'A' && a <= 'Z')
            a += 'a' - 'A';
        if (b >= 'A' && b <= 'Z')
            b += 'a' - 'A';
        if (a != b)
            return false;
    }
    return i == text.size() && !ascii[i];
}

} // namespace

bool EqualsNoCaseAscii(const std::wstring& text, const char* ascii)
{
    return EqualsNoCase(text, ascii);
}

bool EqualsNoCaseAscii(const std::string& text, const char* ascii)
{
    return EqualsNoCase(text, ascii);
}
