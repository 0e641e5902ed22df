// CFileReferenceJudge: decides whether a file named in the registry is there. The answer has
// three values, and scanners report only FILE_STATE_MISSING: a path that cannot be judged (a URL, a
// device or network path, a removable drive, a wildcard, an unexpanded variable) is never taken
// for a missing file. Answers are kept per scan, by normalised path, so each path costs one
// file-system query however often the registry names it.
#pragma once

#include <map>
#include <vector>

#include "AfxString.h"
#include "PathVariables.h"

enum FILE_STATE {
    FILE_STATE_UNKNOWN = -1,  // cannot tell
    FILE_STATE_MISSING = 0,
    FILE_STATE_PRESENT = 1,
};

class CFileReferenceJudge
{
public:
    // variables is borrowed and must outlive the judge.
    explicit CFileReferenceJudge(CPathVariables& variables);

    // A new scan: forgets every answer and reads the WOW64 state and system folders again.
    void Reset();

    // The full judgement of a text that names one file or folder (a value's data, a program
    // path): quotes, surrounding blanks and trailing backslashes stripped, "file:///" removed,
    // path variables expanded (the token table first, then the environment); a name without a
    // drive is looked for in the Windows folder, its "System" subfolder, the system folder and
    // on the search path; under WOW64 the other location of a system or program path is the
    // second chance. resolved, when given, receives the path that was found or tested last.
    FILE_STATE Judge(const CString& text, CString* resolved = nullptr);

    // One absolute path as it is, file or folder (cached). Drive roots and trailing backslashes
    // are fine; only a path on a fixed drive can be FILE_STATE_MISSING.
    FILE_STATE ProbePath(const CString& path);

    // A path on a drive that may be followed by arguments ("c:\pagefile.sys 27 77"): present when
    // the whole text names a file or folder, here or at its WOW64 location, or when a leading
    // part of it that ends just before a blank names a file (not a folder) there. resolved, when
    // given, receives the leading part that was found.
    FILE_STATE JudgeLocalPath(const CString& path, CString* resolved = nullptr);

    // JudgeLocalPath for a text that may or may not be a command: a path that is missing as
    // written but names a program the way Windows runs one, without its extension ("c:\dir\tool"
    // or "c:\dir\tool /min" beside c:\dir\tool.exe), cannot be told (FILE_STATE_UNKNOWN).
    FILE_STATE JudgeReferencePath(const CString& path);

    // Whether the path, or a leading part of it that ends just before a blank, has no extension
    // and names a file once an executable extension (those of PATHEXT) is added, here or at its
    // WOW64 location: the program that Windows starts for such a command.
    bool NamesProgramWithoutExtension(const CString& path);

    // Looks a file up the way registry entries name it: quotes stripped, tokens expanded, then
    // the text as it is, after the Windows folder, after the Windows folder's "System"
    // subfolder, after the system folder, and finally with "file:///" removed. TRUE when found;
    // text then holds the path found (or, when nothing was found, the stripped and expanded text).
    BOOL Locate(CString& text);

    // The test at the other location of a system or program path; only under WOW64.
    // toNative: from the 32-bit view to the real one ("syswow64" to "system32").
    BOOL ExistsAtWow64Alternate(const CString& path, bool toNative);

    // Answers for a drive, in place of the system's drive type, until the next Reset: lets a
    // test stand in for a removable drive.
    void SetDriveType(char drive, UINT driveType);

    BOOL IsWow64() const { return m_wow64; }
    size_t CachedPathCount() const { return m_answers.size(); }
    // File-system queries made since the last Reset (cache misses).
    unsigned ProbeCount() const { return m_probes; }

private:
    struct PathAnswer {
        FILE_STATE state = FILE_STATE_UNKNOWN;
        bool folder = false;
    };

    const PathAnswer& Probe(const CString& path);
    PathAnswer ProbeUncached(const CString& path);
    bool IsExistingFile(const CString& path);
    bool LeadingPartIsFile(const CString& path, CString* part);
    bool IsFixedDrive(char drive);
    FILE_STATE JudgeRelative(const CString& name, CString* resolved);
    bool IsExistingFileHereOrWow64(const CString& path);

    CPathVariables& m_variables;
    std::map<CString, PathAnswer> m_answers;
    std::map<char, bool> m_fixedDrives;
    CString m_windowsFolder;  // with one trailing backslash
    CString m_systemFolder;   // with one trailing backslash
    std::vector<CString> m_executableExtensions;  // lower case, each with its dot
    BOOL m_wow64 = FALSE;
    unsigned m_probes = 0;
};
