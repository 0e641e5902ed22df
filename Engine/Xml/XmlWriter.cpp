#include "XmlWriter.h"

namespace {

// Text is handed to the file in pieces of this size, not line by line.
const size_t kFlushSize = 64 * 1024;

} // namespace

CXmlWriter::CXmlWriter() : m_file(new CFile)
{
}

CXmlWriter::~CXmlWriter()
{
    Close();
    delete m_file;
}

int CXmlWriter::SetFileName(const char* path)
{
    if (!m_opened)
        m_fileName = path;
    return 1;
}

int CXmlWriter::Write(const CString& text)
{
    if (!m_opened) {
        if (!m_file->Open(m_fileName, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyNone)) {
            // Whatever follows lacks this text: the document can no longer be whole.
            m_failed = true;
            return 0;
        }
        m_opened = 1;
    }
    WriteDeclarationOnce();
    Append(text);
    return m_failed ? 0 : 1;
}

void CXmlWriter::WriteDeclarationOnce()
{
    if (m_declarationWritten)
        return;
    m_declarationWritten = 1;
    const int depth = m_depth;
    m_depth = 0;
    CXmlElement declaration("xml");
    declaration.SetAttribute("version", "1.0");
    declaration.SetAttribute("encoding", "UTF-8");
    declaration.WriteDeclaration(this);
    m_depth = depth;
}

void CXmlWriter::Append(const CString& text)
{
    if (m_failed)
        return;
    if (text.GetLength() >= static_cast<int>(kFlushSize)) {
        // A large text goes to the file as it is, without a copy in the buffer.
        if (Flush() && !m_file->Write(text.GetString(), static_cast<UINT>(text.GetLength())))
            m_failed = true;
        return;
    }
    m_buffer += text.Str();
    if (m_buffer.size() >= kFlushSize)
        Flush();
}

bool CXmlWriter::Flush()
{
    if (!m_buffer.empty() && !m_failed) {
        if (!m_file->Write(m_buffer.data(), static_cast<UINT>(m_buffer.size())))
            m_failed = true;
    }
    m_buffer.clear();
    return !m_failed;
}

int CXmlWriter::Close()
{
    const bool complete = (m_opened ? Flush() : true) && !m_failed;
    m_file->Close();
    Reset();
    return complete ? 1 : 0;
}

void CXmlWriter::Reset()
{
    m_depth = 0;
    m_opened = 0;
    m_declarationWritten = 0;
    m_failed = false;
    m_buffer.clear();
}

void CXmlWriter::WriteEndTag(const CXmlElement& element)
{
    Write(CString(std::string(static_cast<size_t>(m_depth > 0 ? m_depth : 0), ' ')) + "</" + element.GetName() +
          ">\r\n");
    --m_depth;
}

int CXmlStringWriter::Write(const CString& text)
{
    WriteDeclarationOnce();
    Append(text);
    return 1;
}
