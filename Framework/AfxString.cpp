#include "AfxString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const char kWhiteSpace[] = " \t\r\n\v\f";

bool InSet(char ch, const char* charSet)
{
    return charSet && ch != '\0' && std::strchr(charSet, ch) != nullptr;
}

} // namespace

CString::CString(const char* text, int length)
{
    if (text && length > 0)
        m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat)
{
    if (repeat > 0)
        m_text.assign(static_cast<size_t>(repeat), ch);
}

char CString::GetAt(int index) const
{
    if (index < 0 || index >= GetLength())
        return '\0';
    return m_text[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch)
{
    if (index >= 0 && index < GetLength())
        m_text[static_cast<size_t>(index)] = ch;
}

CString& CString::operator=(const char* text)
{
    // The text may point into this very string.
    std::string copy(text ? text : "");
    m_text.swap(copy);
    return *this;
}

CString& CString::operator=(char ch)
{
    m_text.assign(1, ch);
    return *this;
}

int CString::Compare(const char* text) const
{
    return std::strcmp(m_text.c_str(), text ? text : "");
}

int CString::CompareNoCase(const char* text) const
{
    return ::lstrcmpiA(m_text.c_str(), text ? text : "");
}

CString CString::Left(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (count < 0)
        count = 0;
    if (first >= GetLength())
        return CString();
    count = std::min(count, GetLength() - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(static_cast<size_t>(GetLength() - count)));
}

bool CString::IsLeadByteAt(const std::string& text, size_t index)
{
    return index + 1 < text.size() && ::IsDBCSLeadByte(static_cast<BYTE>(text[index]));
}

int CString::Find(char ch, int start) const
{
    if (start < 0)
        start = 0;
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (static_cast<int>(i) >= start && m_text[i] == ch)
            return static_cast<int>(i);
        if (IsLeadByteAt(m_text, i))
            ++i;
    }
    return -1;
}

int CString::Find(const char* sub, int start) const
{
    if (!sub)
        return -1;
    if (start < 0)
        start = 0;
    const size_t subLength = std::strlen(sub);
    if (static_cast<size_t>(start) > m_text.size())
        return -1;
    for (size_t i = 0; i + subLength <= m_text.size(); ++i) {
        if (static_cast<int>(i) >= start && m_text.compare(i, subLength, sub) == 0)
            return static_cast<int>(i);
        if (IsLeadByteAt(m_text, i))
            ++i;
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    int found = -1;
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == ch)
            found = static_cast<int>(i);
        if (IsLeadByteAt(m_text, i))
            ++i;
    }
    return found;
}

int CString::FindOneOf(const char* charSet) const
{
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (InSet(m_text[i], charSet))
            return static_cast<int>(i);
        if (IsLeadByteAt(m_text, i))
            ++i;
    }
    return -1;
}

CString& CString::MakeLower()
{
    // CharLowerBuff knows the code page: it leaves double-byte characters intact.
    if (!m_text.empty())
        ::CharLowerBuffA(&m_text[0], static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::MakeUpper()
{
    if (!m_text.empty())
        ::CharUpperBuffA(&m_text[0], static_cast<DWORD>(m_text.size()));
    return *this;
}

CString& CString::MakeReverse()
{
    std::reverse(m_text.begin(), m_text.end());
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const char* charSet) { return TrimRight(charSet).TrimLeft(charSet); }
CString& CString::TrimLeft() { return TrimLeft(kWhiteSpace); }
CString& CString::TrimRight() { return TrimRight(kWhiteSpace); }

CString& CString::TrimLeft(char ch)
{
    const char set[2] = {ch, '\0'};
    return TrimLeft(set);
}

CString& CString::TrimRight(char ch)
{
    const char set[2] = {ch, '\0'};
    return TrimRight(set);
}

CString& CString::TrimLeft(const char* charSet)
{
    size_t first = 0;
    while (first < m_text.size() && InSet(m_text[first], charSet))
        ++first;
    m_text.erase(0, first);
    return *this;
}

CString& CString::TrimRight(const char* charSet)
{
    // Only single-byte characters are trimmed: a trail byte that looks like a set member stays.
    size_t keep = 0;
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (IsLeadByteAt(m_text, i)) {
            ++i;
            keep = i + 1;
        } else if (!InSet(m_text[i], charSet)) {
            keep = i + 1;
        }
    }
    m_text.erase(keep);
    return *this;
}

int CString::Replace(char oldCh, char newCh)
{
    int count = 0;
    for (size_t i = 0; i < m_text.size(); ++i) {
        if (m_text[i] == oldCh) {
            m_text[i] = newCh;
            ++count;
        }
        if (IsLeadByteAt(m_text, i))
            ++i;
    }
    return count;
}

int CString::Replace(const char* oldText, const char* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::string replacement(newText ? newText : "");
    const size_t oldLength = std::strlen(oldText);
    std::string result;
    int count = 0;
    size_t i = 0;
    while (i < m_text.size()) {
        if (m_text.compare(i, oldLength, oldText) == 0) {
            result += replacement;
            i += oldLength;
            ++count;
        } else {
            const size_t step = IsLeadByteAt(m_text, i) ? 2 : 1;
            result.append(m_text, i, step);
            i += step;
        }
    }
    if (count)
        m_text.swap(result);
    return count;
}

int CString::Remove(char ch)
{
    const size_t before = m_text.size();
    m_text.erase(std::remove(m_text.begin(), m_text.end(), ch), m_text.end());
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, char ch)
{
    const char text[2] = {ch, '\0'};
    return Insert(index, text);
}

int CString::Insert(int index, const char* text)
{
    index = std::clamp(index, 0, GetLength());
    if (text)
        m_text.insert(static_cast<size_t>(index), text);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index < 0)
        index = 0;
    if (count > 0 && index < GetLength())
        m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

void CString::FormatV(const char* format, va_list args)
{
    if (!format) {
        m_text.clear();
        return;
    }
    // The Microsoft runtime's formatting (not MinGW's), so numbers read as on Windows.
    va_list sizing;
    va_copy(sizing, args);
    const int length = ::_vscprintf(format, sizing);
    va_end(sizing);
    if (length <= 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    ::_vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(length));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_text += tail.m_text;
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength), '\0');
    // std::string always keeps a terminator behind its last character.
    return &m_text[0];
}

char* CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<size_t>(std::max(length, 0)), '\0');
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(std::strlen(m_text.c_str()));
    m_text.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

CString AfxFormatString(const char* format, ...)
{
    CString result;
    va_list args;
    va_start(args, format);
    result.FormatV(format, args);
    va_end(args);
    return result;
}
