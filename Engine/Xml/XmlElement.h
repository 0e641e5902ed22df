// CXmlElement: one element's name and attributes, written as start, empty, declaration or end
// tag through a CXmlWriter. Texts are written as given: callers escape them.
#pragma once

#include "AfxColl.h"

class CXmlWriter;

class CXmlElement
{
public:
    CXmlElement() = default;
    explicit CXmlElement(const char* name) : m_name(name) {}

    // Replaces the value of the attribute of that exact name, else appends the pair.
    void SetAttribute(const char* name, const char* value);
    bool HasAttribute(const char* name) const;
    int GetAttributeCount() const { return static_cast<int>(m_names.GetSize()); }
    // The empty text for an index out of range.
    CString GetAttributeName(int index) const;
    CString GetAttributeValue(int index) const;
    const CString& GetName() const { return m_name; }

    // One line at the writer's depth + 1; the depth stays raised until WriteEndTag.
    void WriteStartTag(CXmlWriter* writer) const;
    // One "<name .../>" line at the writer's depth + 1; the depth is unchanged afterwards.
    void WriteEmptyTag(CXmlWriter* writer) const;
    // One "<?name ...?>" line at the writer's depth.
    void WriteDeclaration(CXmlWriter* writer) const;

private:
    CString Line(int depth, const char* open, const char* close) const;

    CString m_name;
    CStringArray m_names;
    CStringArray m_values;
};
