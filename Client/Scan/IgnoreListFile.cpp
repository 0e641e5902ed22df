#include "IgnoreListFile.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

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
// steps over double-byte characters, as it was written. Without a separator, *resume is where a
// later search of the same text with more bytes after it goes on (a lead byte at the end waits
// for its second byte).
int FindSeparator(const std::string& bytes, char separator, size_t start, bool escaped, size_t* resume = nullptr)
{
    if (escaped) {
        const size_t found = bytes.find(separator, start);
        if (resume)
            *resume = bytes.size();
        return found == std::string::npos ? -1 : static_cast<int>(found);
    }
    size_t i = start;
    for (; i < bytes.size(); ++i) {
        if (bytes[i] == separator)
            return static_cast<int>(i);
        if (::IsDBCSLeadByte(static_cast<BYTE>(bytes[i]))) {
            if (i + 1 == bytes.size())
                break;
            ++i;
        }
    }
    if (resume)
        *resume = std::min(i, bytes.size());
    return -1;
}

int FindSeparator(const CString& text, char separator, int start, bool escaped)
{
    return FindSeparator(text.Str(), separator, static_cast<size_t>(start), escaped);
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

// The file's last byte that is not white space ('\0' when the file is missing or holds none),
// read from its end: a long list is not read whole to find it. FALSE when the file exists but
// cannot be read.
bool LastTextByte(const char* path, char* last)
{
    *last = '\0';
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone)) {
        const DWORD error = ::GetLastError();
        return path && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    }
    LARGE_INTEGER end = {};
    if (!::GetFileSizeEx(file.GetHandle(), &end))
        return false;
    char block[4096];
    while (end.QuadPart > 0) {
        const LONGLONG count = std::min<LONGLONG>(end.QuadPart, sizeof(block));
        LARGE_INTEGER from = {};
        from.QuadPart = end.QuadPart - count;
        DWORD read = 0;
        if (!::SetFilePointerEx(file.GetHandle(), from, nullptr, FILE_BEGIN) ||
            !::ReadFile(file.GetHandle(), block, static_cast<DWORD>(count), &read, nullptr) || read != count)
            return false;
        for (DWORD i = read; i > 0; --i) {
            if (!IsSpaceByte(block[i - 1])) {
                *last = block[i - 1];
                return true;
            }
        }
        end = from;
    }
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

namespace {

// Cuts a file's text into records as its bytes arrive, so that a list is never held whole as
// text: each record is handed on as soon as its ';' is read.
class CRecordReader
{
public:
    explicit CRecordReader(const std::function<void(IGNORE_LIST_RECORD&)>& visit) : m_visit(visit) {}

    void Add(const char* bytes, size_t count)
    {
        m_pending.append(bytes, count);
        for (;;) {
            size_t resume = 0;
            const int separator = FindSeparator(m_pending, ';', m_searchFrom, m_escaped, &resume);
            if (separator < 0) {
                m_searchFrom = resume;
                break;
            }
            Take(m_recordStart, static_cast<size_t>(separator));
            m_recordStart = m_searchFrom = static_cast<size_t>(separator) + 1;
        }
        // What was handed on goes; only the record still open stays.
        m_pending.erase(0, m_recordStart);
        m_searchFrom -= m_recordStart;
        m_recordStart = 0;
    }

    // The last record may lack its ';' (a write that was cut short): it is read all the same,
    // as an append closes it, so a rewrite of the file does not lose it.
    void Finish()
    {
        if (m_recordStart < m_pending.size())
            Take(m_recordStart, m_pending.size());
        m_pending.clear();
        m_recordStart = m_searchFrom = 0;
    }

private:
    void Take(size_t start, size_t end)
    {
        CString record(m_pending.substr(start, end - start));
        record.Trim();
        // An empty record (";;") ends nothing: the records after it are read and kept through
        // every rewrite of the file.
        if (record.IsEmpty())
            return;
        if (record == CIgnoreListFile::ESCAPED_MARKER) {
            m_escaped = true;
            return;
        }
        IGNORE_LIST_RECORD parsed;
        if (RecordFromFields(SplitFields(record, m_escaped), m_escaped, &parsed))
            m_visit(parsed);
    }

    const std::function<void(IGNORE_LIST_RECORD&)>& m_visit;
    std::string m_pending;
    size_t m_recordStart = 0;
    size_t m_searchFrom = 0;
    bool m_escaped = false;
};

} // namespace

void CIgnoreListFile::ForEachRecord(const CString& text, const std::function<void(IGNORE_LIST_RECORD&)>& visit)
{
    CRecordReader reader(visit);
    reader.Add(text.GetString(), static_cast<size_t>(text.GetLength()));
    reader.Finish();
}

std::vector<IGNORE_LIST_RECORD> CIgnoreListFile::Parse(const CString& text)
{
    std::vector<IGNORE_LIST_RECORD> records;
    ForEachRecord(text, [&records](IGNORE_LIST_RECORD& record) { records.push_back(std::move(record)); });
    return records;
}

BOOL CIgnoreListFile::ReadRecords(const char* path, const std::function<void(IGNORE_LIST_RECORD&)>& visit)
{
    if (!path)
        return FALSE;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    CRecordReader reader(visit);
    std::vector<char> chunk(256 * 1024);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.GetHandle(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            return FALSE;
        if (read == 0)
            break;
        reader.Add(chunk.data(), read);
    }
    reader.Finish();
    return TRUE;
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
    char last = '\0';
    if (!LastTextByte(path, &last))
        return FALSE;
    CStdioFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite | CFile::shareExclusive))
        return FALSE;
    if (file.SeekToEnd() == static_cast<ULONGLONG>(-1))
        return FALSE;
    // A last record without its ';' would swallow the first record written after it.
    CString addition = text;
    if (last != '\0' && last != ';')
        addition = ";\r\n" + addition;
    return file.WriteString(addition) && file.FlushWriteBuffer() && file.Flush();
}
