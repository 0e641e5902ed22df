#include "WhiteList.h"

#include <cstdio>
#include <cstring>

void CWhiteList::Load(const CString& path)
{
    m_records.clear();
    FILE* file = fopen(path, "a+");
    if (!file)
        return;
    rewind(file);
    std::string text;
    char chunk[500];
    for (;;) {
        const size_t read = fread(chunk, 1, 499, file);
        if (read == 0)
            break;
        text.append(chunk, strnlen(chunk, read));
    }
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (!failed)
        Parse(CString(text));
}

void CWhiteList::Parse(const CString& fileText)
{
    m_records.clear();
    CString text = fileText;
    text.MakeLower();
    int start = 0;
    for (;;) {
        const int end = text.Find(';', start);
        if (end < 0)
            break;
        CString record = text.Mid(start, end - start);
        record.Trim();
        if (record.IsEmpty())
            break;
        m_records.push_back(record);
        start = end + 1;
    }
}

BOOL CWhiteList::IsListed(const CString& item) const
{
    if (m_records.empty())
        return FALSE;
    CString lower = item;
    lower.MakeLower();
    for (const CString& record : m_records) {
        if (lower.Find(record) >= 0)
            return TRUE;
    }
    return FALSE;
}
