#include "Scanners/CommandLine.h"

#include <string>

namespace {

const char kExe[] = ".exe";
const int kExeLength = 4;
// The longest path Windows accepts, in characters.
const size_t kLongestPath = 32767;

// ".exe" in any case at the position.
bool IsExeAt(const std::string& text, size_t at)
{
    for (int i = 0; i < kExeLength; ++i) {
        char ch = text[at + static_cast<size_t>(i)];
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != kExe[i])
            return false;
    }
    return true;
}

bool EndsPathComponent(const CString& text, int at)
{
    if (at >= text.GetLength())
        return true;
    const char next = text[at];
    return next == '"' || next == ' ' || next == '\t' || next == '/';
}

bool StartsWithNoCase(const CString& text, const char* prefix)
{
    const CString start = text.Left(static_cast<int>(strlen(prefix)));
    return start.CompareNoCase(prefix) == 0;
}

bool IsDriveRooted(const CString& path)
{
    return path.GetLength() >= 3 && path[1] == ':' && path[2] == '\\';
}

} // namespace

CString ProgramPathBeforeExe(const CString& commandLine, int firstPosition)
{
    // One pass over the text, stepping over double-byte characters so that a trail byte never
    // starts a match; a program path cannot end beyond the longest path Windows accepts.
    const std::string& text = commandLine.Str();
    const size_t first = firstPosition > 0 ? static_cast<size_t>(firstPosition) : 0;
    size_t characters = 0;  // before `at`
    for (size_t at = 0; at + kExeLength <= text.size() && characters + kExeLength <= kLongestPath; ++at) {
        if (at >= first && IsExeAt(text, at) && EndsPathComponent(commandLine, static_cast<int>(at) + kExeLength))
            return commandLine.Left(static_cast<int>(at) + kExeLength);
        if (::IsDBCSLeadByte(static_cast<BYTE>(text[at])))
            ++at;
        ++characters;
    }
    return CString();
}

CString TranslateServiceImagePath(const CString& imagePath, const CString& windowsFolder)
{
    CString path(imagePath);
    path.Trim();
    if (StartsWithNoCase(path, "\\??\\UNC\\") || StartsWithNoCase(path, "\\\\?\\UNC\\"))
        return "\\\\" + path.Mid(8);
    if (StartsWithNoCase(path, "\\??\\") || StartsWithNoCase(path, "\\\\?\\"))
        return path.Mid(4);
    if (StartsWithNoCase(path, "\\SystemRoot\\"))
        return windowsFolder + path.Mid(11);
    if (StartsWithNoCase(path, "SystemRoot\\"))
        return windowsFolder + path.Mid(10);
    // Relative to the Windows folder, as the service manager reads it.
    if (!path.IsEmpty() && path[0] != '\\' && path[0] != '%' && path[0] != '"' && !IsDriveRooted(path) &&
        path.Find('\\') > 0)
        return windowsFolder + "\\" + path;
    return path;
}

bool NamesServerLibrary(const CString& lowerText)
{
    return lowerText.Find(".dll") > 0 || lowerText.Find(".ocx") > 0;
}
