#include "XmlNoCase.h"

#include <cstdlib>

namespace {

char AsciiLower(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

TiXmlAttribute* FindAttribute(const TiXmlElement* element, const char* name)
{
    if (!element)
        return nullptr;
    for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next())
        if (NameEqualsNoCase(attribute->Name(), name))
            return const_cast<TiXmlAttribute*>(attribute);
    return nullptr;
}

} // namespace

bool NameEqualsNoCase(const char* a, const char* b)
{
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b))
            return false;
    return *a == *b;
}

TiXmlElement* FirstChildElementNoCase(TiXmlNode* parent, const char* name)
{
    if (!parent)
        return nullptr;
    for (TiXmlElement* child = parent->FirstChildElement(); child; child = child->NextSiblingElement())
        if (NameEqualsNoCase(child->Value(), name))
            return child;
    return nullptr;
}

const TiXmlElement* FirstChildElementNoCase(const TiXmlNode* parent, const char* name)
{
    return FirstChildElementNoCase(const_cast<TiXmlNode*>(parent), name);
}

const char* FindAttributeNoCase(const TiXmlElement* element, const char* name)
{
    const TiXmlAttribute* attribute = FindAttribute(element, name);
    return attribute ? attribute->Value() : nullptr;
}

CString AttributeText(const TiXmlElement* element, const char* name)
{
    return CString(FindAttributeNoCase(element, name));
}

long AttributeNumber(const TiXmlElement* element, const char* name)
{
    const char* value = FindAttributeNoCase(element, name);
    return value ? std::strtol(value, nullptr, 10) : 0;
}

void SetAttributeNoCase(TiXmlElement* element, const char* name, const char* value)
{
    if (!element)
        return;
    if (TiXmlAttribute* attribute = FindAttribute(element, name))
        attribute->SetValue(value ? value : "");
    else
        element->SetAttribute(name, value ? value : "");
}
