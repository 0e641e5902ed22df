// Lookups in TinyXML documents that ignore ASCII case in element and attribute names, as the
// engine's XML files are read, and the text conversion between the system code page and the
// UTF-8 of the files.
#pragma once

#include <string>

#include <tinyxml.h>

#include "AfxString.h"

// The first child element of the node with that name, or null.
TiXmlElement* FindChildElementNoCase(TiXmlNode* parent, const char* name);
// The value of the element's attribute with that name, or null when it has none.
const char* FindAttributeNoCase(const TiXmlElement* element, const char* name);
// The attribute's text (empty when missing) and number (0 when missing).
CString AttributeTextNoCase(const TiXmlElement* element, const char* name);
long AttributeNumberNoCase(const TiXmlElement* element, const char* name);

std::string AnsiToUtf8(const char* text);
CString Utf8ToAnsi(const char* text);
