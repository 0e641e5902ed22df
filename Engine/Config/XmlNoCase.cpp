#include "XmlNoCase.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace {

bool SameNameNoCase(const char* a, const char* b)
{
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

std::string Convert(const char* text, UINT from, UINT to)
{
    if (!text || !*text)
        return std::string();
    const int wideLength = ::MultiByteToWideChar(from, 0, text, -1, nullptr, 0);
    if (wideLength <= 0)
        return text;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    ::MultiByteToWideChar(from, 0, text, -1, wide.data(), wideLength);
    const int length = ::WideCharToMultiByte(to, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return text;
    std::vector<char> converted(static_cast<size_t>(length));
    ::WideCharToMultiByte(to, 0, wide.data(), -1, converted.data(), length, nullptr, nullptr);
    return std::string(converted.data());
}

} // namespace

TiXmlElement* FindChildElementNoCase(TiXmlNode* parent, const char* name)
{
    if (!parent)
        return nullptr;
    for (TiXmlElement* child = parent->FirstChildElement(); child; child = child->NextSiblingElement())
        if (SameNameNoCase(child->Value(), name))
            return child;
    return nullptr;
}

const char* FindAttributeNoCase(const TiXmlElement* element, const char* name)
{
    if (!element)
        return nullptr;
    for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next())
        if (SameNameNoCase(attribute->Name(), name))
            return attribute->Value();
    return nullptr;
}

CString AttributeTextNoCase(const TiXmlElement* element, const char* name)
{
    return Utf8ToAnsi(FindAttributeNoCase(element, name));
}

long AttributeNumberNoCase(const TiXmlElement* element, const char* name)
{
    const char* value = FindAttributeNoCase(element, name);
    return value ? std::strtol(value, nullptr, 10) : 0;
}

std::string AnsiToUtf8(const char* text)
{
    return Convert(text, CP_ACP, CP_UTF8);
}

CString Utf8ToAnsi(const char* text)
{
    return CString(Convert(text, CP_UTF8, CP_ACP));
}
