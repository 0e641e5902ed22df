#include "WhiteList.h"

#include <cstdio>
#include <cstring>
#include <string>

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
    std::string text = fileText.Str();
    if (!text.empty())
        ::CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    // One pass over the text: a ';' counts only where a character starts, so the second byte of
    // a double-byte character never ends a record.
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';') {
            if (i + 1 < text.size() && ::IsDBCSLeadByte(static_cast<BYTE>(text[i])))
                ++i;
            continue;
        }
        CString record(text.substr(start, i - start));
        record.Trim();
        if (record.IsEmpty())
            break;
        m_records.push_back(record);
        start = i + 1;
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
