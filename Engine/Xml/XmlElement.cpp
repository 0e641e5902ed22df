#include "XmlElement.h"

#include "XmlWriter.h"

void CXmlElement::SetAttribute(const char* name, const char* value)
{
    for (INT_PTR i = 0; i < m_names.GetSize(); ++i) {
        if (m_names[i] == name) {
            m_values[i] = value;
            return;
        }
    }
    m_names.Add(name);
    m_values.Add(value);
}

bool CXmlElement::HasAttribute(const char* name) const
{
    for (const CString& existing : m_names)
        if (existing == name)
            return true;
    return false;
}

CString CXmlElement::GetAttributeName(int index) const
{
    return index >= 0 && index < m_names.GetSize() ? m_names[index] : CString();
}

CString CXmlElement::GetAttributeValue(int index) const
{
    return index >= 0 && index < m_values.GetSize() ? m_values[index] : CString();
}

CString CXmlElement::Line(int depth, const char* open, const char* close) const
{
    std::string line(static_cast<size_t>(depth > 0 ? depth : 0), ' ');
    line += open;
    line += m_name.Str();
    for (INT_PTR i = 0; i < m_names.GetSize(); ++i) {
        line += ' ';
        line += m_names[i].Str();
        line += "=\"";
        line += m_values[i].Str();
        line += '"';
    }
    line += close;
    line += "\r\n";
    return CString(line);
}

void CXmlElement::WriteStartTag(CXmlWriter* writer) const
{
    writer->SetDepth(writer->GetDepth() + 1);
    writer->Write(Line(writer->GetDepth(), "<", ">"));
}

void CXmlElement::WriteEmptyTag(CXmlWriter* writer) const
{
    writer->Write(Line(writer->GetDepth() + 1, "<", "/>"));
}

void CXmlElement::WriteDeclaration(CXmlWriter* writer) const
{
    writer->Write(Line(writer->GetDepth(), "<?", "?>"));
}
