#include "CodePagePath.h"

#include <cwchar>
#include <vector>

namespace {

const wchar_t kLongPrefix[] = L"\\\\?\\";
const wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* start)
{
    return text.compare(0, std::wcslen(start), start) == 0;
}

std::wstring WithoutLongPrefix(const std::wstring& path)
{
    if (StartsWith(path, kLongUncPrefix))
        return L"\\\\" + path.substr(std::wcslen(kLongUncPrefix));
    if (StartsWith(path, kLongPrefix))
        return path.substr(std::wcslen(kLongPrefix));
    return path;
}

bool SpellsFitting(const std::wstring& path, CString& spelled)
{
    CString text;
    if (path.empty() || !SpellInCodePage(path, text) || text.GetLength() >= MAX_PATH)
        return false;
    spelled = text;
    return true;
}

} // namespace

bool SpellInCodePage(const std::wstring& text, CString& spelled)
{
    spelled.Empty();
    if (text.empty())
        return true;
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), wideLength, &bytes[0], length, nullptr, nullptr);
    spelled = CString(bytes);
    // A character the code page lacks comes back as "?" or as a look-alike: either way not the same.
    const int backLength = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (backLength <= 0)
        return false;
    std::wstring back(static_cast<size_t>(backLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &back[0], backLength);
    return back == text;
}

std::wstring GetLongPathForm(const std::wstring& path)
{
    if (path.size() < MAX_PATH || StartsWith(path, kLongPrefix))
        return path;
    if (StartsWith(path, L"\\\\"))
        return kLongUncPrefix + path.substr(2);
    return kLongPrefix + path;
}

std::wstring GetShortPath(const std::wstring& path)
{
    const std::wstring asked = GetLongPathForm(path);
    const DWORD length = ::GetShortPathNameW(asked.c_str(), nullptr, 0);
    if (length == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    const DWORD written = ::GetShortPathNameW(asked.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0 || written >= buffer.size())
        return std::wstring();
    return WithoutLongPrefix(std::wstring(buffer.data(), written));
}

BOOL ChooseCodePagePath(const std::wstring& path, const std::wstring& shortPath, CString& spelled)
{
    return SpellsFitting(path, spelled) || SpellsFitting(shortPath, spelled);
}

BOOL GetCodePagePath(const std::wstring& path, CString& spelled)
{
    return SpellsFitting(path, spelled) || SpellsFitting(GetShortPath(path), spelled);
}
