#include "XmlReader.h"

#include <cstring>

#include "AfxMessageBox.h"

namespace {

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
        *value = m_attributeValue;
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
    if (!m_file.Open(m_fileName, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return false;
    m_opened = 1;
    m_failed = false;
    m_position = -1;
    m_lineNumber = 0;
    m_inComment = m_inCData = m_inTag = m_expectingValue = m_inText = false;
    m_quote = 0;
    m_attributeNamePending = false;
    m_errorMessage.Empty();
    m_name.Empty();
    m_text.Empty();
    m_attributeName.Empty();
    m_attributeValue.Empty();
    m_declaration.Empty();
    return true;
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
        CString line;
        if (!m_file.ReadString(line)) {
            // A file that ends inside markup was cut short.
            if (m_inTag || m_expectingValue || m_inComment || m_inCData)
                Fail(kUnexpectedEnd);
            return 0;
        }
        m_line = line.Str();
        m_lineEnd = "\n";
        if (!m_line.empty() && m_line.back() == '\r') {
            m_line.pop_back();
            m_lineEnd = "\r\n";
        }
        ++m_lineNumber;
        m_position = 0;
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
        m_attributeValue.Empty();
        ++m_position;
        return true;
    }
    const size_t close = m_line.find(m_quote, static_cast<size_t>(m_position));
    if (close == std::string::npos) {
        m_attributeValue += CString(m_line.substr(static_cast<size_t>(m_position)));
        m_attributeValue += m_lineEnd;
        m_position = -1;
        return true;
    }
    m_attributeValue += CString(m_line.substr(static_cast<size_t>(m_position), close - m_position));
    m_nodeType = NODE_ATTRIBUTE;
    m_expectingValue = false;
    m_quote = 0;
    m_position = static_cast<int>(close) + 1;
    return true;
}

void CXmlReader::StepInText()
{
    const size_t open = m_line.find('<', static_cast<size_t>(m_position));
    const size_t end = open == std::string::npos ? m_line.size() : open;
    m_text = CString(m_line.substr(static_cast<size_t>(m_position), end - m_position));
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
        const CString name(m_line.substr(static_cast<size_t>(first), m_position - first));
        if (name.IsEmpty()) {
            *detail = kEmptyName;
            return false;
        }
        if (name[0] == '?' || name[0] == '!') {
            m_nodeType = NODE_DECLARATION;
            m_declaration = name;
            m_name.Empty();
        } else if (name[0] == '/') {
            m_nodeType = NODE_END_TAG;
            m_name = name.Mid(1);
        } else {
            m_nodeType = NODE_START_TAG;
            m_name = name;
        }
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
    if (!m_inTag) {
        *detail = kSyntaxError;
        return false;
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
    m_attributeName = CString(m_line.substr(static_cast<size_t>(first), m_position - first));
    m_attributeValue.Empty();
    m_attributeNamePending = true;
    return true;
}
