#include "CommandLineInfoEx.h"

#include <mbstring.h>

namespace {

bool CanOpenForReading(const CString& path)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

} // namespace

void CCommandLineInfoEx::ParseParam(const char* param, BOOL, BOOL)
{
    CString argument = param ? param : "";
    argument.Trim();
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(static_cast<const char*>(argument)),
                 reinterpret_cast<const unsigned char*>("SCHEDULE")) == 0) {
        m_bSchedule = TRUE;
        return;
    }
    if (argument.IsEmpty())
        return;

    CString pattern;
    if (CanOpenForReading(argument)) {
        pattern = argument;
    } else {
        // A quoted folder path that ends in a backslash arrives with a stray quote at its end.
        argument.TrimRight('"');
        pattern = argument + "\\*.*";
    }
    CFileFind finder;
    if (finder.FindFile(pattern))
        m_strPath = argument;
    finder.Close();
}
