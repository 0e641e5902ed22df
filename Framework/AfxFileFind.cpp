#include "AfxFileFind.h"

#include <algorithm>

BOOL CFileFind::FindFile(const char* pattern)
{
    Close();
    if (!pattern || !*pattern)
        pattern = "*.*";
    m_hFind = ::FindFirstFileA(pattern, &m_next);
    if (m_hFind == INVALID_HANDLE_VALUE)
        return FALSE;
    m_hasNext = true;
    CString root(pattern);
    const int slash = std::max(root.ReverseFind('\\'), root.ReverseFind('/'));
    m_root = slash >= 0 ? root.Left(slash) : CString();
    return TRUE;
}

BOOL CFileFind::FindNextFile()
{
    if (m_hFind == INVALID_HANDLE_VALUE || !m_hasNext)
        return FALSE;
    m_current = m_next;
    m_hasNext = ::FindNextFileA(m_hFind, &m_next) != FALSE;
    return m_hasNext ? TRUE : FALSE;
}

void CFileFind::Close()
{
    if (m_hFind != INVALID_HANDLE_VALUE) {
        ::FindClose(m_hFind);
        m_hFind = INVALID_HANDLE_VALUE;
    }
    m_hasNext = false;
}

CString CFileFind::GetFileName() const
{
    return CString(m_current.cFileName);
}

CString CFileFind::GetFilePath() const
{
    if (m_root.IsEmpty())
        return GetFileName();
    return m_root + "\\" + m_current.cFileName;
}

ULONGLONG CFileFind::GetLength() const
{
    return (static_cast<ULONGLONG>(m_current.nFileSizeHigh) << 32) | m_current.nFileSizeLow;
}

BOOL CFileFind::IsDots() const
{
    const char* name = m_current.cFileName;
    return IsDirectory() && name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

BOOL CFileFind::GetLastWriteTime(FILETIME* time) const
{
    if (!time)
        return FALSE;
    *time = m_current.ftLastWriteTime;
    return TRUE;
}

BOOL CFileFind::GetCreationTime(FILETIME* time) const
{
    if (!time)
        return FALSE;
    *time = m_current.ftCreationTime;
    return TRUE;
}
