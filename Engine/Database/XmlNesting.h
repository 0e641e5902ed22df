// The nesting guard in front of TinyXML. Its parser, its copy, its printer and its destructor
// all recurse once per element level, so a document nested a few thousand levels deep ends the
// process with a stack overflow. Every XML data file of the engine (the signature database, an
// update patch, the configuration) is measured here first and refused when it is nested deeper
// than kMaxXmlNesting.
#pragma once

#include <cstddef>
#include <string>

#include <tinyxml.h>

// Our documents are four or five levels deep. At this limit the deepest TinyXML walk uses well
// under 64 KB of stack in the 64-bit build (bench/xml_nesting_bench), whose frames are larger
// than the 32-bit ones: far inside the smallest thread stack the engine runs on.
const int kMaxXmlNesting = 64;

// The deepest element nesting that TinyXML would reach while parsing `text` (its bytes as read
// from the file) with the given encoding, counted no further than stopAbove + 1. The count
// follows TinyXML's own reading of the markup (attribute quotes, comments, CDATA, entities and
// UTF-8 sequences), so it is never below the depth the parser reaches; a document whose reading
// would run past its end is counted as stopAbove + 1.
int XmlNestingDepth(const std::string& text, TiXmlEncoding encoding, int stopAbove);

// Loads the file into the document as TiXmlDocument::LoadFile does (the document is named after
// the file), unless the file is nested deeper than kMaxXmlNesting: then the document is left
// empty and the result is false, like any other load failure.
bool LoadXmlFile(TiXmlDocument* document, const char* path, TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING);
