#include "FileReference.h"

#include <vector>

#include "PathText.h"
#include "Wow64.h"

namespace {

const char kFileUrlPrefix[] = "file:///";
// What Windows tries when PATHEXT is not set.
const char kDefaultExecutableExtensions[] = ".COM;.EXE;.BAT;.CMD";
const DWORD kLongestPathExt = 1024;

CString FolderWithBackslash(UINT (WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH + 1] = {};
    const UINT length = query(buffer, MAX_PATH);
    if (!length || length > MAX_PATH)
        return CString();
    CString folder(buffer);
    folder.TrimRight('\\');
    return folder + "\\";
}

bool IsDriveLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool IsAbsoluteDrivePath(const CString& path)
{
    return path.GetLength() >= 2 && IsDriveLetter(path[0]) && path[1] == ':' &&
           (path.GetLength() == 2 || path[2] == '\\' || path[2] == '/');
}

// "http://...", "res://...", "mailto:x": a scheme of two or more letters before a colon.
bool IsUrl(const CString& text)
{
    const int colon = text.Find(':');
    if (colon < 2)
        return false;
    for (int i = 0; i < colon; ++i) {
        const char ch = text[i];
        if (!IsDriveLetter(ch) && !(ch >= '0' && ch <= '9') && ch != '+' && ch != '-' && ch != '.')
            return false;
    }
    return true;
}

bool HoldsNonPathCharacter(const CString& path)
{
    for (int i = 0; i < path.GetLength(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(path[i]);
        if (ch < 0x20 || ch == '*' || ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|')
            return true;
    }
    return false;
}

CString StripReferenceText(const CString& text)
{
    CString stripped(text);
    stripped.Trim();
    stripped = StripPathQuotes(stripped);
    stripped.Trim();
    if (CString(stripped.Left(static_cast<int>(sizeof(kFileUrlPrefix) - 1))).MakeLower() == kFileUrlPrefix) {
        stripped = stripped.Mid(static_cast<int>(sizeof(kFileUrlPrefix) - 1));
        stripped.Replace('/', '\\');
    }
    // Trailing separators go in one cut; a drive root keeps its own ("c:\").
    if (stripped.GetLength() > 3) {
        CString trimmed(stripped);
        trimmed.TrimRight('\\');
        stripped = trimmed.GetLength() >= 3 ? trimmed : stripped.Left(3);
    }
    return stripped;
}

// The extensions Windows adds to a command named without one, lower-cased, in its order.
std::vector<CString> ExecutableExtensions()
{
    char buffer[kLongestPathExt] = {};
    const DWORD length = ::GetEnvironmentVariableA("PATHEXT", buffer, kLongestPathExt);
    CString list = length > 0 && length < kLongestPathExt ? CString(buffer) : CString(kDefaultExecutableExtensions);
    list.MakeLower();
    std::vector<CString> extensions;
    while (!list.IsEmpty()) {
        const int separator = list.Find(';');
        CString extension = separator < 0 ? list : list.Left(separator);
        list = separator < 0 ? CString() : list.Mid(separator + 1);
        extension.Trim();
        if (extension.GetLength() > 1 && extension[0] == '.' && extension.FindOneOf("\\/:*?\"<>| ") < 0)
            extensions.push_back(extension);
    }
    if (extensions.empty())
        extensions = {".com", ".exe", ".bat", ".cmd"};
    return extensions;
}

// The last component of the path holds no dot: Windows would add an extension to run it.
bool HasNoExtension(const CString& path)
{
    const int backslash = path.ReverseFind('\\');
    const int slash = path.ReverseFind('/');
    const CString name = path.Mid((backslash > slash ? backslash : slash) + 1);
    return !name.IsEmpty() && name.Find('.') < 0;
}

} // namespace

CFileReferenceJudge::CFileReferenceJudge(CPathVariables& variables) : m_variables(variables)
{
    Reset();
}

void CFileReferenceJudge::Reset()
{
    m_answers.clear();
    m_fixedDrives.clear();
    m_probes = 0;
    m_wow64 = CWow64::IsWow64();
    m_windowsFolder = FolderWithBackslash(::GetWindowsDirectoryA);
    m_systemFolder = FolderWithBackslash(::GetSystemDirectoryA);
    m_executableExtensions = ExecutableExtensions();
}

bool CFileReferenceJudge::IsFixedDrive(char drive)
{
    if (drive >= 'A' && drive <= 'Z')
        drive = static_cast<char>(drive - 'A' + 'a');
    const auto known = m_fixedDrives.find(drive);
    if (known != m_fixedDrives.end())
        return known->second;
    const char root[] = {drive, ':', '\\', '\0'};
    const UINT type = ::GetDriveTypeA(root);
    const bool fixed = type == DRIVE_FIXED || type == DRIVE_RAMDISK;
    m_fixedDrives[drive] = fixed;
    return fixed;
}

void CFileReferenceJudge::SetDriveType(char drive, UINT driveType)
{
    if (drive >= 'A' && drive <= 'Z')
        drive = static_cast<char>(drive - 'A' + 'a');
    m_fixedDrives[drive] = driveType == DRIVE_FIXED || driveType == DRIVE_RAMDISK;
}

FILE_STATE CFileReferenceJudge::ProbePath(const CString& path)
{
    return Probe(path).state;
}

const CFileReferenceJudge::PathAnswer& CFileReferenceJudge::Probe(const CString& path)
{
    const CString key = NormalizedPathKey(path);
    const auto known = m_answers.find(key);
    if (known != m_answers.end())
        return known->second;
    return m_answers[key] = ProbeUncached(key);
}

CFileReferenceJudge::PathAnswer CFileReferenceJudge::ProbeUncached(const CString& key)
{
    PathAnswer answer;
    // Only local drive paths are asked about; network, device and relative paths cannot be told.
    if (!IsAbsoluteDrivePath(key) || key.GetLength() >= MAX_PATH || HoldsNonPathCharacter(key) ||
        key.Find(':', 2) >= 0)
        return answer;
    ++m_probes;
    // GetFileAttributes answers for files, folders and drive roots alike; the key never ends in
    // a backslash except as a root ("c:\").
    const DWORD attributes = ::GetFileAttributesA(key);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        answer.state = FILE_STATE_PRESENT;
        answer.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return answer;
    }
    const DWORD error = ::GetLastError();
    if ((error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && IsFixedDrive(key[0]))
        answer.state = FILE_STATE_MISSING;
    return answer;
}

bool CFileReferenceJudge::IsExistingFile(const CString& path)
{
    const PathAnswer& answer = Probe(path);
    return answer.state == FILE_STATE_PRESENT && !answer.folder;
}

BOOL CFileReferenceJudge::ExistsAtWow64Alternate(const CString& path, bool toNative)
{
    CString alternate;
    if (!m_wow64 || !MapWow64AlternatePath(path, toNative, &alternate))
        return FALSE;
    return ProbePath(alternate) == FILE_STATE_PRESENT ? TRUE : FALSE;
}

bool CFileReferenceJudge::IsExistingFileHereOrWow64(const CString& path)
{
    CString alternate;
    return IsExistingFile(path) || (m_wow64 && MapWow64AlternatePath(path, false, &alternate) && IsExistingFile(alternate));
}

bool CFileReferenceJudge::LeadingPartIsFile(const CString& path, CString* part)
{
    for (int blank = path.ReverseFind(' '); blank > 0; blank = path.Left(blank).ReverseFind(' ')) {
        CString leading = path.Left(blank);
        leading.TrimRight();
        if (leading.GetLength() <= 3)
            break;
        if (IsExistingFileHereOrWow64(leading)) {
            if (part)
                *part = leading;
            return true;
        }
    }
    return false;
}

FILE_STATE CFileReferenceJudge::JudgeLocalPath(const CString& path, CString* resolved)
{
    if (resolved)
        *resolved = path;
    const FILE_STATE answer = ProbePath(path);
    if (answer != FILE_STATE_MISSING)
        return answer;
    if (ExistsAtWow64Alternate(path, false))
        return FILE_STATE_PRESENT;
    // The whole text names nothing: it may be a file followed by its arguments.
    return LeadingPartIsFile(path, resolved) ? FILE_STATE_PRESENT : FILE_STATE_MISSING;
}

FILE_STATE CFileReferenceJudge::JudgeReferencePath(const CString& path)
{
    const FILE_STATE answer = JudgeLocalPath(path);
    return answer == FILE_STATE_MISSING && NamesProgramWithoutExtension(path) ? FILE_STATE_UNKNOWN : answer;
}

bool CFileReferenceJudge::NamesProgramWithoutExtension(const CString& path)
{
    CString text(path);
    text.TrimRight();
    // The whole text first, then each leading part that ends before a blank: "c:\my tools\run
    // -q" may start c:\my.exe, "c:\my tools\run.exe" or "c:\my tools\run -q.exe".
    for (int end = text.GetLength(); end > 3; end = text.Left(end).ReverseFind(' ')) {
        CString part = text.Left(end);
        part.TrimRight();
        if (part.GetLength() <= 3 || !HasNoExtension(part))
            continue;
        for (const CString& extension : m_executableExtensions)
            if (IsExistingFileHereOrWow64(part + extension))
                return true;
    }
    return false;
}

FILE_STATE CFileReferenceJudge::JudgeRelative(const CString& name, CString* resolved)
{
    bool unsure = false;
    for (const CString& folder : {m_windowsFolder, m_windowsFolder + "System\\", m_systemFolder}) {
        if (folder.GetLength() <= 1)
            continue;
        const CString candidate = folder + name;
        const FILE_STATE answer = ProbePath(candidate);
        if (answer == FILE_STATE_PRESENT) {
            if (resolved)
                *resolved = candidate;
            return FILE_STATE_PRESENT;
        }
        unsure = unsure || answer == FILE_STATE_UNKNOWN;
    }
    // The search path (program folder, current folder, PATH), as the system would run the name.
    char found[MAX_PATH + 1] = {};
    char* filePart = nullptr;
    const DWORD length = ::SearchPathA(nullptr, name, nullptr, MAX_PATH, found, &filePart);
    if (length > 0 && length <= MAX_PATH) {
        if (resolved)
            *resolved = found;
        return FILE_STATE_PRESENT;
    }
    if (resolved)
        *resolved = name;
    return unsure ? FILE_STATE_UNKNOWN : FILE_STATE_MISSING;
}

FILE_STATE CFileReferenceJudge::Judge(const CString& text, CString* resolved)
{
    CString path = StripReferenceText(text);
    if (resolved)
        *resolved = path;
    if (path.IsEmpty() || IsUrl(path))
        return FILE_STATE_UNKNOWN;
    if (path.Find('%') >= 0) {
        m_variables.Expand(path);
        CPathVariables::ExpandEnvironment(path);
        if (path.Find('%') >= 0)
            return FILE_STATE_UNKNOWN;
        path = StripReferenceText(path);
    }
    if (resolved)
        *resolved = path;
    // "\\server\share", "\\.\device", "\??\...", "\SystemRoot\...": not a plain local path.
    if (path[0] == '\\' || path[0] == '/')
        return FILE_STATE_UNKNOWN;
    if (!IsAbsoluteDrivePath(path)) {
        if (path.Find(':') >= 0 || HoldsNonPathCharacter(path))
            return FILE_STATE_UNKNOWN;
        return JudgeRelative(path, resolved);
    }
    return JudgeLocalPath(path, resolved);
}

BOOL CFileReferenceJudge::Locate(CString& text)
{
    text = StripPathQuotes(text);
    m_variables.Expand(text);
    const CString bare(text);
    const CString candidates[] = {bare, m_windowsFolder + bare, m_windowsFolder + "System\\" + bare,
                                  m_systemFolder + bare};
    for (const CString& candidate : candidates) {
        if (ProbePath(candidate) == FILE_STATE_PRESENT) {
            text = candidate;
            return TRUE;
        }
    }
    text.Replace(kFileUrlPrefix, "");
    return ProbePath(text) == FILE_STATE_PRESENT ? TRUE : FALSE;
}
