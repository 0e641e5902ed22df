// The engine's TinyXML lookups: element and attribute names match without regard to ASCII case
// (TinyXML itself compares them exactly); attribute values are taken as stored.
#pragma once

#include <tinyxml.h>

#include "AfxString.h"

bool NameEqualsNoCase(const char* a, const char* b);

// First child element of parent with that name; null when there is none (or parent is null).
TiXmlElement* FirstChildElementNoCase(TiXmlNode* parent, const char* name);
const TiXmlElement* FirstChildElementNoCase(const TiXmlNode* parent, const char* name);

// The attribute's value, or null when the element has no such attribute.
const char* FindAttributeNoCase(const TiXmlElement* element, const char* name);
// The attribute's value; empty when missing.
CString AttributeText(const TiXmlElement* element, const char* name);
// The attribute read as a C decimal integer (leading blanks and sign allowed, reading stops at
// the first non-digit); 0 when missing.
long AttributeNumber(const TiXmlElement* element, const char* name);
// Sets the attribute that matches name, or adds it under that name when there is none.
void SetAttributeNoCase(TiXmlElement* element, const char* name, const char* value);
