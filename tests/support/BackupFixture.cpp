#include "BackupFixture.h"

#include "RegistrySnapshot.h"

namespace {

std::vector<BYTE> Bytes(const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + size);
}

// The characters of a literal with its terminator: Wide(L"a\0b") holds a, 0, b, 0.
template <size_t N>
std::vector<BYTE> Wide(const wchar_t (&text)[N])
{
    return Bytes(text, N * sizeof(wchar_t));
}

std::vector<BYTE> WideWithout(const wchar_t* text, size_t characters)
{
    return Bytes(text, characters * sizeof(wchar_t));
}

} // namespace

std::vector<BackupFixtureValue> BackupFixtureValues()
{
    std::vector<BYTE> huge(1024 * 1024);
    for (size_t i = 0; i < huge.size(); ++i)
        huge[i] = static_cast<BYTE>(i * 7 + (i >> 8));
    static const std::wstring longName(16383, L'n');
    const DWORD thirty = 30, minusOne = 0xFFFFFFFF;
    const BYTE bigEndian[] = {0, 0, 0, 0x1e};
    const BYTE qword[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const BYTE small[] = {0x0a, 0x1b, 0xff, 0x00};
    std::wstring deep;
    for (int level = 1; level <= 20; ++level)
        deep += L"\\Level" + std::to_wstring(level);
    return {
        {L"", nullptr, REG_SZ, Wide(L"abc")},
        {L"", L"(Default)", REG_SZ, Wide(L"a value really named so")},
        {L"", L"none", REG_NONE, Bytes(small, 3)},
        {L"", L"none empty", REG_NONE, {}},
        {L"", L"sz", REG_SZ, Wide(L"text & \" < > ' &amp; &#13; ;")},
        {L"", L"sz empty", REG_SZ, {}},
        {L"", L"sz unterminated", REG_SZ, WideWithout(L"abc", 3)},
        {L"", L"sz odd size", REG_SZ, Bytes("abcde", 5)},
        {L"", L"sz controls", REG_SZ, Wide(L"a\x1a" L"e\x01\tf\x7f")},
        {L"", L"sz line breaks at the edges", REG_SZ, Wide(L"\r\nmiddle\r\n")},
        {L"", L"sz blank lines", REG_SZ, Wide(L"a\r\n\r\n\r\nb")},
        {L"", L"sz lone breaks", REG_SZ, Wide(L"\n\ra\n\r")},
        {L"", L"sz embedded nul", REG_SZ, Wide(L"before\0after")},
        {L"", L"sz beyond the code page", REG_SZ, Wide(L"\x4e00\x4e8c \xD83D\xDE00")},
        {L"", L"sz lone surrogate", REG_SZ, Wide(L"a\xD800z")},
        {L"", L"expand", REG_EXPAND_SZ, Wide(L"%SystemRoot%\\x")},
        {L"", L"expand leading break", REG_EXPAND_SZ, Wide(L"\r\n%x%")},
        {L"", L"binary", REG_BINARY, Bytes(small, 4)},
        {L"", L"binary empty", REG_BINARY, {}},
        {L"", L"binary huge", REG_BINARY, huge},
        {L"", L"dword", REG_DWORD, Bytes(&thirty, 4)},
        {L"", L"dword minus one", REG_DWORD, Bytes(&minusOne, 4)},
        {L"", L"dword short", REG_DWORD, Bytes(small, 3)},
        {L"", L"dword empty", REG_DWORD, {}},
        {L"", L"big endian", REG_DWORD_BIG_ENDIAN, Bytes(bigEndian, 4)},
        {L"", L"link", REG_LINK, WideWithout(L"\\Registry\\Machine\\X", 19)},
        {L"", L"multi", REG_MULTI_SZ, Wide(L"a\0b\0")},
        {L"", L"multi one terminator", REG_MULTI_SZ, Wide(L"a\0b")},
        {L"", L"multi empty inside", REG_MULTI_SZ, Wide(L"a\0\0b\0")},
        {L"", L"multi empty first", REG_MULTI_SZ, Wide(L"\0a\0")},
        {L"", L"multi with line breaks", REG_MULTI_SZ, Wide(L"\r\nx\r\ny\0z\r\n\0")},
        {L"", L"multi empty", REG_MULTI_SZ, {}},
        {L"", L"multi two zeros", REG_MULTI_SZ, Wide(L"\0")},
        {L"", L"resource list", REG_RESOURCE_LIST, Bytes(small, 4)},
        {L"", L"full resource", REG_FULL_RESOURCE_DESCRIPTOR, Bytes(small, 4)},
        {L"", L"requirements", REG_RESOURCE_REQUIREMENTS_LIST, Bytes(small, 2)},
        {L"", L"qword", REG_QWORD, Bytes(qword, 8)},
        {L"", L"qword short", REG_QWORD, Bytes(qword, 4)},
        {L"", L"unknown type", 0x1234, Bytes(small, 4)},
        {L"", L"back\\slash\\name", REG_SZ, Wide(L"v")},
        {L"", L"  spaced name  ", REG_SZ, Wide(L" spaced value ")},
        {L"", L"q\"a&l<g>a'", REG_SZ, Wide(L"x")},
        {L"", L"&amp; looks escaped", REG_SZ, Wide(L"x")},
        {L"", L"tab\tand\r\nbreak", REG_SZ, Wide(L"x")},
        {L"", L"name \x4e00\x4e8c", REG_SZ, Wide(L"x")},
        {L"", L"name \xD83D\xDE00", REG_DWORD, Bytes(&thirty, 4)},
        {L"", L"lone \xDC00 surrogate", REG_SZ, Wide(L"x")},
        {L"", L"caf\xe9", REG_SZ, Wide(L"\xe9t\xe9")},
        {L"", longName.c_str(), REG_SZ, Wide(L"longest name")},
        {L"\\Only empty default", nullptr, REG_SZ, {}},
        {L"\\Deep\\Er\\Est", L"leaf", REG_DWORD, Bytes(&thirty, 4)},
        {L"\\Key & \"<>' name", L"v", REG_SZ, Wide(L"w")},
        {L"\\  spaced key ", L"v", REG_SZ, Wide(L"w")},
        {L"\\key with\r\nbreak", L"v", REG_SZ, Wide(L"w")},
        {L"\\key \x4e00", L"v", REG_SZ, Wide(L"w")},
        {L"\\key \x4e00\\child \x4e8c\xD83D\xDE00", L"\x4e09", REG_SZ, Wide(L"\x4e09")},
        {deep, L"twenty levels down", REG_SZ, Wide(L"w")},
    };
}

bool WriteBackupFixture(HKEY root, const std::wstring& top)
{
    for (const BackupFixtureValue& value : BackupFixtureValues()) {
        if (!WriteRegValueW(root, (top + value.key).c_str(), value.name, value.type,
                            value.data.empty() ? nullptr : value.data.data(), static_cast<DWORD>(value.data.size())))
            return false;
    }
    HKEY empty = nullptr;
    if (::RegCreateKeyExW(root, (top + L"\\Empty").c_str(), 0, nullptr, 0, KEY_READ, nullptr, &empty, nullptr) !=
        ERROR_SUCCESS)
        return false;
    ::RegCloseKey(empty);
    return true;
}
