// CFileFind: enumerates the files matching a pattern, as the MFC class of that name.
#pragma once

#include "AfxString.h"

class CFileFind
{
public:
    CFileFind() = default;
    ~CFileFind() { Close(); }
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // TRUE when at least one entry matches; call FindNextFile before reading the first.
    BOOL FindFile(const char* pattern = "*.*");
    // TRUE while further entries follow the one it moved to.
    BOOL FindNextFile();
    void Close();

    CString GetFileName() const;
    CString GetFilePath() const;
    CString GetRoot() const { return m_root; }
    ULONGLONG GetLength() const;
    DWORD GetAttributes() const { return m_current.dwFileAttributes; }
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsDots() const;
    BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
    BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
    BOOL IsReparsePoint() const { return MatchesMask(FILE_ATTRIBUTE_REPARSE_POINT); }
    BOOL MatchesMask(DWORD mask) const { return (m_current.dwFileAttributes & mask) != 0; }
    BOOL GetLastWriteTime(FILETIME* time) const;
    BOOL GetCreationTime(FILETIME* time) const;

private:
    HANDLE m_hFind = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA m_next = {};
    WIN32_FIND_DATAA m_current = {};
    bool m_hasNext = false;
    CString m_root;
};
