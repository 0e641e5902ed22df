#include "Scanners/CommandLine.h"

namespace {

const char kExe[] = ".exe";
const int kExeLength = 4;

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
    const CString lower = CString(commandLine).MakeLower();
    for (int at = lower.Find(kExe, firstPosition > 0 ? firstPosition : 0); at >= 0;
         at = lower.Find(kExe, at + 1)) {
        if (EndsPathComponent(lower, at + kExeLength))
            return commandLine.Left(at + kExeLength);
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
