#include "IgnoreListFile.h"

#include <cstdlib>

#include "AfxFile.h"

const char CIgnoreListFile::ESCAPED_MARKER[] = "#escaped fields";

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool IsSpaceByte(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

int HexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return -1;
}

// The next separator at or after start, which always stands at the start of a character.
// Escaped text holds no raw separator byte, so it is searched byte by byte; text without escapes
// steps over double-byte characters, as it was written.
int FindSeparator(const CString& text, char separator, int start, bool escaped)
{
    const std::string& bytes = text.Str();
    if (escaped) {
        const size_t found = bytes.find(separator, static_cast<size_t>(start));
        return found == std::string::npos ? -1 : static_cast<int>(found);
    }
    for (size_t i = static_cast<size_t>(start); i < bytes.size(); ++i) {
        if (bytes[i] == separator)
            return static_cast<int>(i);
        if (::IsDBCSLeadByte(static_cast<BYTE>(bytes[i])))
            ++i;
    }
    return -1;
}

std::vector<CString> SplitFields(const CString& record, bool escaped)
{
    std::vector<CString> fields;
    int start = 0;
    for (;;) {
        const int caret = FindSeparator(record, '^', start, escaped);
        if (caret < 0) {
            fields.push_back(record.Mid(start));
            return fields;
        }
        fields.push_back(record.Mid(start, caret - start));
        start = caret + 1;
    }
}

// Item, label and number of a record's fields. The number is the last field and the label the
// one before it; whatever stands before the label is the item, so an item holding '^' in a file
// written without escapes still comes back whole.
bool RecordFromFields(const std::vector<CString>& fields, bool escaped, IGNORE_LIST_RECORD* record)
{
    if (fields.size() < 2)
        return false;
    const size_t count = fields.size();
    CString item = fields[0];
    CString label;
    if (count >= 3) {
        for (size_t i = 1; i + 2 < count; ++i)
            item += CString('^') + fields[i];
        label = fields[count - 2];
    }
    if (escaped) {
        item = CIgnoreListFile::Unescape(item);
        label = CIgnoreListFile::Unescape(label);
    }
    record->Item = item;
    record->Category = label;
    record->Number = std::atoi(fields[count - 1]);
    return true;
}

} // namespace

bool SplitIgnoreKey(const CString& key, CString* item, CString* label)
{
    const int caret = key.ReverseFind('^');
    if (caret < 0) {
        if (item)
            item->Empty();
        if (label)
            *label = key;
        return false;
    }
    if (item)
        *item = key.Left(caret);
    if (label)
        *label = key.Mid(caret + 1);
    return true;
}

std::vector<IGNORE_LIST_RECORD> CIgnoreListFile::Parse(const CString& text)
{
    std::vector<IGNORE_LIST_RECORD> records;
    bool escaped = false;
    int start = 0;
    for (;;) {
        const int separator = FindSeparator(text, ';', start, escaped);
        // The last record may lack its ';' (a write that was cut short): it is read all the
        // same, as an append closes it, so a rewrite of the file does not lose it.
        const int end = separator < 0 ? text.GetLength() : separator;
        if (start >= end && separator < 0)
            break;
        CString record = text.Mid(start, end - start);
        record.Trim();
        start = end + 1;
        // An empty record (";;") ends nothing: the records after it are read and kept through
        // every rewrite of the file.
        if (record.IsEmpty())
            continue;
        if (record == ESCAPED_MARKER) {
            escaped = true;
            continue;
        }
        IGNORE_LIST_RECORD parsed;
        if (RecordFromFields(SplitFields(record, escaped), escaped, &parsed))
            records.push_back(parsed);
    }
    return records;
}

CString CIgnoreListFile::FormatRecord(const CString& key, int number)
{
    CString item, label;
    CString text;
    if (SplitIgnoreKey(key, &item, &label))
        text = Escape(item) + "^" + Escape(label);
    else
        text = Escape(key);
    text.AppendFormat("^%d;\r\n", number);
    return text;
}

CString CIgnoreListFile::FormatMarker()
{
    return CString(ESCAPED_MARKER) + ";\r\n";
}

CString CIgnoreListFile::Escape(const CString& field)
{
    const std::string& text = field.Str();
    // White space at either end would be trimmed away with the record.
    size_t first = 0;
    while (first < text.size() && IsSpaceByte(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && IsSpaceByte(text[last - 1]))
        --last;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        const bool atEnds = i < first || i >= last;
        if (ch == '%' || ch == '^' || ch == ';' || ch < 0x20 || ch == 0x7F || (atEnds && ch == ' ')) {
            out += '%';
            out += kHexDigits[ch >> 4];
            out += kHexDigits[ch & 0x0F];
        } else {
            out += static_cast<char>(ch);
        }
    }
    return CString(out);
}

CString CIgnoreListFile::Unescape(const CString& field)
{
    const std::string& text = field.Str();
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return CString(out);
}

BOOL CIgnoreListFile::ReadText(const char* path, CString* text)
{
    if (!path || !text)
        return FALSE;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            text->Empty();
            return TRUE;
        }
        return FALSE;
    }
    std::string contents;
    char chunk[4096];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.GetHandle(), chunk, sizeof(chunk), &read, nullptr))
            return FALSE;
        if (read == 0)
            break;
        contents.append(chunk, read);
    }
    *text = CString(contents);
    return TRUE;
}

BOOL CIgnoreListFile::ReplaceText(const char* path, const CString& text)
{
    if (!path || !*path)
        return FALSE;
    const CString target(path);
    const int slash = target.ReverseFind('\\');
    const CString folder = slash >= 0 ? target.Left(slash + 1) : CString(".\\");
    char temporary[MAX_PATH + 16] = {};
    if (!::GetTempFileNameA(folder, "ign", 0, temporary))
        return FALSE;
    BOOL written = FALSE;
    {
        CStdioFile file;
        if (file.Open(temporary, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
            written = file.WriteString(text) && file.FlushWriteBuffer() && file.Flush();
    }
    if (!written || !::MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(temporary);
        return FALSE;
    }
    return TRUE;
}

BOOL CIgnoreListFile::AppendText(const char* path, const CString& text)
{
    CString existing;
    if (!ReadText(path, &existing))
        return FALSE;
    CStdioFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive))
        return FALSE;
    if (file.SeekToEnd() == static_cast<ULONGLONG>(-1))
        return FALSE;
    // A last record without its ';' would swallow the first record written after it.
    existing.Trim();
    CString addition = text;
    if (!existing.IsEmpty() && existing.GetAt(existing.GetLength() - 1) != ';')
        addition = ";\r\n" + addition;
    return file.WriteString(addition) && file.FlushWriteBuffer() && file.Flush();
}
