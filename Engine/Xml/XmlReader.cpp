#include "XmlReader.h"

#include <cstring>

#include "AfxMessageBox.h"

namespace {

// The file is read in pieces of this size; lines of any length are put together from them.
const size_t kReadSize = 64 * 1024;
// A value longer than this takes over the line's buffer instead of being copied out of it.
const size_t kLargeValue = 64 * 1024;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

const char kBadOpen[] = "Bad '<' symbol";
const char kOpenAtLineEnd[] = "'<' symbol not allowed at the end of a line";
const char kEmptyName[] = "Empty element name";
const char kSyntaxError[] = "Syntax error";
const char kMissingAttributeName[] = "Missing attribute name before '='";
const char kUnexpectedEnd[] = "Unexpected end of file";

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

} // namespace

void CXmlReader::GetAttribute(CString* name, CString* value) const
{
    if (name)
        *name = m_attributeName;
    if (value)
        *value = CString(m_attributeValue);
}

int CXmlReader::SetFileName(const char* path)
{
    if (!m_opened)
        m_fileName = path;
    return 1;
}

int CXmlReader::Close()
{
    m_file.Close();
    Reset();
    m_buffer = std::vector<char>();
    std::string().swap(m_line);
    std::string().swap(m_attributeValue);
    return 1;
}

void CXmlReader::Reset()
{
    m_opened = 0;
    m_showErrors = 0;
}

bool CXmlReader::Open()
{
    // Binary: a 0x1A byte is data and line ends reach the reader as they are in the file.
    // Nobody may write the file meanwhile, so a second reading (Rewind) reads the same.
    if (!m_file.Open(m_fileName, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary))
        return false;
    m_opened = 1;
    ResetState();
    return true;
}

bool CXmlReader::Rewind()
{
    if (!m_opened || m_file.Seek(0, CFile::begin) != 0)
        return false;
    ResetState();
    return true;
}

void CXmlReader::ResetState()
{
    m_failed = false;
    m_buffer.resize(kReadSize);
    m_bufferUsed = m_bufferRead = 0;
    m_atEnd = false;
    m_line.clear();
    m_lineEnd = "";
    m_position = -1;
    m_lineNumber = 0;
    m_nodeType = NODE_NONE;
    m_inComment = m_inCData = m_inTag = m_expectingValue = m_inText = false;
    m_quote = 0;
    m_attributeNamePending = false;
    m_errorMessage.Empty();
    m_name.Empty();
    m_text.Empty();
    m_attributeName.Empty();
    m_attributeValue.clear();
    m_declaration.Empty();
}

bool CXmlReader::ReadLine()
{
    m_line.clear();
    bool gotAny = false;
    for (;;) {
        if (m_bufferRead >= m_bufferUsed) {
            m_bufferUsed = m_bufferRead = 0;
            if (!m_atEnd)
                m_bufferUsed = m_file.Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
            if (m_bufferUsed == 0) {
                m_atEnd = true;
                m_lineEnd = "";
                return gotAny;
            }
        }
        gotAny = true;
        const char* start = m_buffer.data() + m_bufferRead;
        const size_t available = m_bufferUsed - m_bufferRead;
        const char* newline = static_cast<const char*>(std::memchr(start, '\n', available));
        if (!newline) {
            m_line.append(start, available);
            m_bufferRead = m_bufferUsed;
            continue;
        }
        m_line.append(start, static_cast<size_t>(newline - start));
        m_bufferRead += static_cast<size_t>(newline - start) + 1;
        m_lineEnd = "\n";
        if (!m_line.empty() && m_line.back() == '\r') {
            m_line.pop_back();
            m_lineEnd = "\r\n";
        }
        return true;
    }
}

void CXmlReader::Fail(const char* detail)
{
    m_failed = true;
    m_errorMessage.Format("Parse error in line %d : (%s)", m_lineNumber, detail);
    if (m_showErrors)
        AfxMessageBox(m_errorMessage, MB_OK);
}

int CXmlReader::Read()
{
    if (!m_opened && !Open()) {
        m_failed = true;
        return 0;
    }
    if (m_failed)
        return 0;
    if (m_position == -1) {
        if (!ReadLine()) {
            // A file that ends inside markup was cut short.
            if (m_inTag || m_expectingValue || m_inComment || m_inCData)
                Fail(kUnexpectedEnd);
            return 0;
        }
        ++m_lineNumber;
        m_position = 0;
        if (m_lineNumber == 1 && m_line.compare(0, 3, kByteOrderMark) == 0)
            m_position = 3;
    }
    const char* detail = nullptr;
    if (!Step(&detail)) {
        Fail(detail);
        return 0;
    }
    return 1;
}

void CXmlReader::SkipBlanks()
{
    while (m_position < static_cast<int>(m_line.size()) && IsBlank(m_line[static_cast<size_t>(m_position)]))
        ++m_position;
}

bool CXmlReader::Step(const char** detail)
{
    m_nodeType = NODE_NONE;
    // Inside a value every line end is part of it, also that of an empty line or of a line
    // that ends with the opening quote.
    if (m_expectingValue && m_quote)
        return StepInValue(detail);
    const int length = static_cast<int>(m_line.size());
    if (m_position >= length) {
        m_position = -1;
        return true;
    }
    if (m_inTag && !m_expectingValue) {
        SkipBlanks();
        if (m_position >= length) {
            m_position = -1;
            return true;
        }
    }
    if (m_inComment || m_inCData) {
        const char* close = m_inComment ? "-->" : "]]>";
        const size_t found = m_line.find(close, static_cast<size_t>(m_position));
        if (found == std::string::npos) {
            m_nodeType = m_inComment ? NODE_COMMENT : NODE_CDATA;
            m_position = length;
            return true;
        }
        m_position = static_cast<int>(found) + 3;
        m_inComment = m_inCData = m_inTag = m_expectingValue = false;
        m_inText = true;
        m_text.Empty();
        return true;
    }
    if (m_expectingValue)
        return StepInValue(detail);
    if (m_inText) {
        StepInText();
        return true;
    }
    return StepAtMarkup(detail);
}

bool CXmlReader::StepInValue(const char** detail)
{
    const int length = static_cast<int>(m_line.size());
    if (!m_quote) {
        SkipBlanks();
        if (m_position >= length) {
            m_position = -1;  // the value opens on a later line
            return true;
        }
        const char ch = m_line[static_cast<size_t>(m_position)];
        if (ch != '"' && ch != '\'') {
            // An unquoted value has no end that could be told from its text.
            *detail = kSyntaxError;
            return false;
        }
        m_quote = ch;
        // A large value read before leaves its room to the system, not to the next value.
        if (m_attributeValue.capacity() > kLargeValue)
            std::string().swap(m_attributeValue);
        m_attributeValue.clear();
        ++m_position;
        return true;
    }
    const size_t close = m_line.find(m_quote, static_cast<size_t>(m_position));
    if (close == std::string::npos) {
        m_attributeValue.append(m_line, static_cast<size_t>(m_position), std::string::npos);
        m_attributeValue += m_lineEnd;
        m_position = -1;
        return true;
    }
    TakeValue(close);
    m_nodeType = NODE_ATTRIBUTE;
    m_expectingValue = false;
    m_quote = 0;
    return true;
}

void CXmlReader::TakeValue(size_t close)
{
    const size_t first = static_cast<size_t>(m_position);
    if (m_attributeValue.empty() && close - first > kLargeValue) {
        // The value takes over the line's buffer, so a large value is held once, not twice.
        std::string rest = m_line.substr(close + 1);
        m_attributeValue.swap(m_line);
        m_attributeValue.resize(close);
        m_attributeValue.erase(0, first);
        m_line.swap(rest);
        m_position = 0;
        return;
    }
    m_attributeValue.append(m_line, first, close - first);
    m_position = static_cast<int>(close) + 1;
}

void CXmlReader::StepInText()
{
    const size_t open = m_line.find('<', static_cast<size_t>(m_position));
    const size_t end = open == std::string::npos ? m_line.size() : open;
    m_text = CString(m_line.data() + m_position, static_cast<int>(end) - m_position);
    if (open != std::string::npos)
        m_inText = false;
    m_position = static_cast<int>(end);
    if (!m_text.IsEmpty())
        m_nodeType = NODE_TEXT;
}

bool CXmlReader::StepAtMarkup(const char** detail)
{
    const int length = static_cast<int>(m_line.size());
    const char ch = m_line[static_cast<size_t>(m_position)];
    if (ch == '<') {
        if (m_inTag) {
            *detail = kBadOpen;
            return false;
        }
        m_inTag = true;
        m_inComment = m_inCData = m_expectingValue = m_inText = false;
        m_attributeNamePending = false;
        ++m_position;
        SkipBlanks();
        if (m_position >= length) {
            *detail = kOpenAtLineEnd;
            return false;
        }
        if (m_line.compare(static_cast<size_t>(m_position), 3, "!--") == 0) {
            m_nodeType = NODE_COMMENT;
            m_inComment = true;
            m_position += 3;
            return true;
        }
        if (m_line.compare(static_cast<size_t>(m_position), 8, "![CDATA[") == 0) {
            m_nodeType = NODE_CDATA;
            m_inCData = true;
            m_position += 8;
            return true;
        }
        const int first = m_position;
        while (m_position < length) {
            const char c = m_line[static_cast<size_t>(m_position)];
            if (IsBlank(c) || c == '>' || (c == '/' && m_position != first))
                break;
            ++m_position;
        }
        if (m_position == first) {
            *detail = kEmptyName;
            return false;
        }
        const char* name = m_line.data() + first;
        const int length = m_position - first;
        if (name[0] == '?' || name[0] == '!') {
            m_nodeType = NODE_DECLARATION;
            m_declaration = CString(name, length);
            m_name.Empty();
        } else if (name[0] == '/') {
            m_nodeType = NODE_END_TAG;
            m_name = CString(name + 1, length - 1);
        } else {
            m_nodeType = NODE_START_TAG;
            m_name = CString(name, length);
        }
        return true;
    }
    if (!m_inTag) {
        // Only blanks may stand before the first element.
        if (!IsBlank(ch)) {
            *detail = kSyntaxError;
            return false;
        }
        SkipBlanks();
        return true;
    }
    if (ch == '?') {
        ++m_position;
        return true;
    }
    if (ch == '/') {
        while (m_position < length && !IsBlank(m_line[static_cast<size_t>(m_position)]) &&
               m_line[static_cast<size_t>(m_position)] != '>')
            ++m_position;
        m_nodeType = NODE_END_TAG;
        return true;
    }
    if (ch == '>') {
        m_inTag = m_expectingValue = false;
        m_inText = true;
        m_text.Empty();
        ++m_position;
        return true;
    }
    if (ch == '=') {
        if (!m_attributeNamePending) {
            *detail = kMissingAttributeName;
            return false;
        }
        m_attributeNamePending = false;
        m_expectingValue = true;
        m_quote = 0;
        ++m_position;
        return true;
    }
    const int first = m_position;
    while (m_position < length) {
        const char c = m_line[static_cast<size_t>(m_position)];
        if (IsBlank(c) || c == '=' || c == '>')
            break;
        ++m_position;
    }
    m_attributeName = CString(m_line.data() + first, m_position - first);
    m_attributeValue.clear();
    m_attributeNamePending = true;
    return true;
}
