#include "CommandLineInfoEx.h"

#include <shellapi.h>

#include <cwchar>
#include <vector>

namespace {

bool CanOpenForReading(const std::wstring& path)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

bool FindsAnything(const std::wstring& pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(search);
    return true;
}

std::wstring Trimmed(const std::wstring& text)
{
    const wchar_t* space = L" \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// The text in the code page; `exact` tells whether it converts back to the same characters.
CString ToCodePage(const std::wstring& text, bool* exact)
{
    *exact = false;
    if (text.empty()) {
        *exact = true;
        return CString();
    }
    const int wideLength = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return CString();
    std::string bytes(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), wideLength, &bytes[0], length, nullptr, nullptr);
    // A character the code page lacks comes back as "?" or as a look-alike: either way not the same.
    const int backLength = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    std::wstring back(static_cast<size_t>(backLength > 0 ? backLength : 0), L'\0');
    if (backLength > 0)
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &back[0], backLength);
    *exact = back == text;
    return CString(bytes);
}

std::wstring ToWide(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

std::wstring ShortNameOf(const std::wstring& path)
{
    const DWORD length = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (length == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1);
    const DWORD written = ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    return written > 0 && written < buffer.size() ? std::wstring(buffer.data(), written) : std::wstring();
}

} // namespace

BOOL GetScannablePath(const std::wstring& path, CString& scannable)
{
    bool exact = false;
    CString spelled = ToCodePage(path, &exact);
    if (exact && spelled.GetLength() < MAX_PATH) {
        scannable = spelled;
        return TRUE;
    }
    const std::wstring shortName = ShortNameOf(path);
    if (shortName.empty())
        return FALSE;
    spelled = ToCodePage(shortName, &exact);
    if (!exact || spelled.GetLength() >= MAX_PATH)
        return FALSE;
    scannable = spelled;
    return TRUE;
}

void CCommandLineInfoEx::ParseCommandLine(const wchar_t* commandLine)
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return;
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (*argument == L'/' || *argument == L'-')
            ++argument;
        ParseArgument(argument);
    }
    ::LocalFree(arguments);
}

void CCommandLineInfoEx::ParseParam(const char* param, BOOL, BOOL)
{
    ParseArgument(ToWide(param ? param : ""));
}

void CCommandLineInfoEx::ParseArgument(std::wstring argument)
{
    argument = Trimmed(argument);
    if (_wcsicmp(argument.c_str(), L"SCHEDULE") == 0) {
        m_bSchedule = TRUE;
        return;
    }
    if (argument.empty())
        return;

    if (!CanOpenForReading(argument)) {
        // A quoted folder path that ends in a backslash arrives with a stray quote at its end.
        argument.erase(argument.find_last_not_of(L'"') + 1);
        if (argument.empty() || !FindsAnything(argument + L"\\*.*"))
            return;
    } else if (!FindsAnything(argument)) {
        return;
    }
    CString scannable;
    if (GetScannablePath(argument, scannable)) {
        m_strPath = scannable;
        m_strUnscannablePath.Empty();
    } else {
        bool exact = false;
        m_strPath.Empty();
        m_strUnscannablePath = ToCodePage(argument, &exact);
    }
}
