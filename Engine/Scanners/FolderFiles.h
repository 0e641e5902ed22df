// CFolderFiles: tells whether a file found below a folder truly lies there, so that deleting it
// deletes nothing elsewhere. A link on the way may lead out of the folder: a reparse point on
// Windows, and under Wine a Unix symbolic link, which the find and attribute functions show as a
// plain file and through which DeleteFile removes the file it points to (the link stays). A file
// is taken for the folder's own only when the system's final path of the opened file is the
// folder's final path followed by the names it was found under; when that cannot be told, the
// answer is no.
#pragma once

#include <windows.h>

#include "AfxString.h"

class CFolderFiles
{
public:
    // folder as the walk was given it (blanks and trailing backslashes are dropped).
    explicit CFolderFiles(const CString& folder);

    const CString& Folder() const { return m_folder; }

    // Whether path is the folder's text, a backslash and the names below it (without "." or
    // ".." parts), compared without regard to case; relative receives the names.
    bool Contains(const CString& path, CString* relative = nullptr) const;

    // Opens path without following a link and tells whether it is a plain file that lies in the
    // folder under the names the path gives.
    bool Holds(const CString& path) const;

    // The same for a file the caller has opened (with FILE_FLAG_OPEN_REPARSE_POINT).
    bool HoldsOpened(HANDLE file, const CString& path) const;

private:
    // Where final paths cannot be asked for (Windows XP, which has no file links): no part of
    // the path below the folder is a reparse point.
    bool HasNoLinkBelow(const CString& relative) const;

    CString m_folder;       // trimmed, without a trailing backslash
    CString m_finalFolder;  // the folder's final path; empty when it could not be told
    bool m_finalPaths;      // whether the system tells final paths
};
