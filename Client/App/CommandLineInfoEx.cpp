#include "CommandLineInfoEx.h"

#include <shellapi.h>

#include <cwchar>

#include "CodePagePath.h"

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

} // namespace

BOOL GetScannablePath(const std::wstring& path, CString& scannable)
{
    return GetCodePagePath(path, scannable);
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
        m_strPath.Empty();
        SpellInCodePage(argument, m_strUnscannablePath);
    }
}
