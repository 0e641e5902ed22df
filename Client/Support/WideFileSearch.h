// CWideFileSearch: one search of a folder by the wide find calls, closed when the object goes.
// Names the code page cannot spell come back as they are, so the file found is the file acted on.
#pragma once

#include <windows.h>

#include <string>

class CWideFileSearch
{
public:
    explicit CWideFileSearch(const std::wstring& pattern) : m_find(::FindFirstFileW(pattern.c_str(), &m_data)) {}
    ~CWideFileSearch()
    {
        if (m_find != INVALID_HANDLE_VALUE)
            ::FindClose(m_find);
    }
    CWideFileSearch(const CWideFileSearch&) = delete;
    CWideFileSearch& operator=(const CWideFileSearch&) = delete;

    // Whether the first entry was found; Next moves to the next one, false at the end.
    bool Found() const { return m_find != INVALID_HANDLE_VALUE; }
    bool Next() { return ::FindNextFileW(m_find, &m_data) != FALSE; }
    const WIN32_FIND_DATAW& Data() const { return m_data; }

private:
    WIN32_FIND_DATAW m_data = {};
    HANDLE m_find;
};
