#include "XmlNesting.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The byte length TinyXML gives a character that starts with this byte in UTF-8 mode.
int Utf8Length(unsigned char byte)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 1;
}

// What TinyXML parses after reading a file: the text up to its first NUL, with CR LF and lone
// CR turned into LF.
std::string NormaliseLineEnds(const std::string& raw)
{
    std::string text;
    text.reserve(raw.size());
    for (size_t i = 0; i < raw.size() && raw[i]; ++i) {
        if (raw[i] == '\r') {
            text += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else {
            text += raw[i];
        }
    }
    return text;
}

// Walks a document the way TinyXML's parser reads it, one node at a time, keeping only the
// names of the open elements. Every step below mirrors the TinyXML function named beside it,
// with the same character tests, so that the walk and the parser stay in step for as long as
// the parser goes on; where the parser gives up, the walk gives up too (returns null). It never
// recurses, so any depth is measured safely.
class CNestingWalk
{
public:
    CNestingWalk(const char* text, bool utf8, bool utf8AfterDeclaration, int stopAbove)
        : m_text(text), m_utf8(utf8), m_utf8AfterDeclaration(utf8AfterDeclaration), m_stopAbove(stopAbove)
    {
    }

    // TiXmlDocument::Parse and TiXmlElement::ReadValue, with the element recursion unrolled.
    int Run()
    {
        const char* p = SkipWhiteSpace(m_text);
        while (p && *p && m_deepest <= m_stopAbove) {
            if (m_open.empty()) {
                if (*p != '<')
                    break;
                const NODE kind = Identify(p);
                p = ParseNode(kind, p);
                if (kind == NODE_DECLARATION && m_utf8AfterDeclaration) {
                    m_utf8 = true;
                    m_utf8AfterDeclaration = false;
                }
            } else if (*p != '<') {
                p = ParseText(p);
            } else if (StringEqual(p, "</", false)) {
                p = ParseEndTag(p);
            } else {
                p = ParseNode(Identify(p), p);
            }
            if (p)
                p = SkipWhiteSpace(p);
        }
        return m_overrun ? m_stopAbove + 1 : m_deepest;
    }

private:
    enum NODE { NODE_DECLARATION, NODE_COMMENT, NODE_CDATA, NODE_UNKNOWN, NODE_ELEMENT };

    // TiXmlBase::IsWhiteSpace, IsAlpha, IsAlphaNum, ToLower.
    static bool IsWhiteSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) || c == '\n' || c == '\r'; }
    static bool IsAlpha(unsigned char c) { return c < 127 ? std::isalpha(c) != 0 : true; }
    static bool IsAlphaNum(unsigned char c) { return c < 127 ? std::isalnum(c) != 0 : true; }
    int ToLower(int c) const
    {
        if (m_utf8)
            return c < 128 ? std::tolower(c) : c;
        return std::tolower(c);
    }

    // TiXmlBase::SkipWhiteSpace.
    const char* SkipWhiteSpace(const char* p) const
    {
        if (!m_utf8) {
            while (*p && IsWhiteSpace(*p))
                ++p;
            return p;
        }
        while (*p) {
            const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
            if (u[0] == 0xEF && ((u[1] == 0xBB && u[2] == 0xBF) || (u[1] == 0xBF && (u[2] == 0xBE || u[2] == 0xBF)))) {
                p += 3;
                continue;
            }
            if (!IsWhiteSpace(*p))
                break;
            ++p;
        }
        return p;
    }

    // TiXmlBase::StringEqual: whether p starts with tag.
    bool StringEqual(const char* p, const char* tag, bool ignoreCase) const
    {
        for (; *p && *tag; ++p, ++tag)
            if (ignoreCase ? ToLower(*p) != ToLower(*tag) : *p != *tag)
                return false;
        return *tag == 0;
    }

    // TiXmlBase::ReadName: the end of the name at p, or null when none starts there.
    static const char* ReadName(const char* p)
    {
        if (!*p || !(IsAlpha(static_cast<unsigned char>(*p)) || *p == '_'))
            return nullptr;
        while (*p && (IsAlphaNum(static_cast<unsigned char>(*p)) || *p == '_' || *p == '-' || *p == '.' || *p == ':'))
            ++p;
        return p;
    }

    // TiXmlBase::GetEntity: numeric references run to the next ';' as long as what precedes it
    // back to the 'x' (or '#') is digits.
    static const char* GetEntity(const char* p)
    {
        if (p[1] == '#' && p[2]) {
            const bool hex = p[2] == 'x';
            if (hex && !p[3])
                return nullptr;
            const char* end = std::strchr(p + (hex ? 3 : 2), ';');
            if (!end)
                return nullptr;
            for (const char* q = end - 1; *q != (hex ? 'x' : '#'); --q) {
                const bool digit = (*q >= '0' && *q <= '9')
                                   || (hex && ((*q >= 'a' && *q <= 'f') || (*q >= 'A' && *q <= 'F')));
                if (!digit)
                    return nullptr;
            }
            return end + 1;
        }
        for (const char* entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"})
            if (std::strncmp(entity, p, std::strlen(entity)) == 0)
                return p + std::strlen(entity);
        return p + 1;
    }

    // TiXmlBase::GetChar. A UTF-8 sequence cut by the end of the text would make the parser
    // read past its buffer: such a document is refused.
    const char* GetChar(const char* p)
    {
        const int length = m_utf8 ? Utf8Length(static_cast<unsigned char>(*p)) : 1;
        if (length == 1)
            return *p == '&' ? GetEntity(p) : p + 1;
        for (int i = 1; i < length; ++i)
            if (!p[i]) {
                m_overrun = true;
                return nullptr;
            }
        return p + length;
    }

    // TiXmlBase::ReadText: the position after endTag, null when the text ends first.
    const char* ReadText(const char* p, const char* endTag, bool trimWhiteSpace)
    {
        if (!trimWhiteSpace || !TiXmlBase::IsWhiteSpaceCondensed()) {
            while (p && *p && !StringEqual(p, endTag, false))
                p = GetChar(p);
        } else {
            p = SkipWhiteSpace(p);
            while (p && *p && !StringEqual(p, endTag, false))
                p = IsWhiteSpace(*p) ? p + 1 : GetChar(p);
        }
        if (p && *p)
            p += std::strlen(endTag);
        return p && *p ? p : nullptr;
    }

    // TiXmlNode::Identify, for p at '<'.
    NODE Identify(const char* p) const
    {
        if (StringEqual(p, "<?xml", true))
            return NODE_DECLARATION;
        if (StringEqual(p, "<!--", false))
            return NODE_COMMENT;
        if (StringEqual(p, "<![CDATA[", false))
            return NODE_CDATA;
        if (StringEqual(p, "<!", false))
            return NODE_UNKNOWN;
        if (IsAlpha(static_cast<unsigned char>(p[1])) || p[1] == '_')
            return NODE_ELEMENT;
        return NODE_UNKNOWN;
    }

    const char* ParseNode(NODE kind, const char* p)
    {
        switch (kind) {
        case NODE_DECLARATION: return ParseDeclaration(p);
        case NODE_COMMENT: return ParseComment(p);
        case NODE_CDATA: return ParseCdata(p);
        case NODE_ELEMENT: return ParseStartTag(p);
        case NODE_UNKNOWN:
        default: return ParseUnknown(p);
        }
    }

    // TiXmlDeclaration::Parse.
    const char* ParseDeclaration(const char* p)
    {
        p += 5;
        while (p && *p) {
            if (*p == '>')
                return p + 1;
            p = SkipWhiteSpace(p);
            if (!*p)
                break;
            if (StringEqual(p, "version", true) || StringEqual(p, "encoding", true)
                || StringEqual(p, "standalone", true)) {
                p = ParseAttribute(p);
            } else {
                while (*p && *p != '>' && !IsWhiteSpace(*p))
                    ++p;
            }
        }
        return nullptr;
    }

    // TiXmlComment::Parse.
    const char* ParseComment(const char* p) const
    {
        p += 4;
        while (*p && !StringEqual(p, "-->", false))
            ++p;
        return *p ? p + 3 : p;
    }

    // TiXmlText::Parse of a CDATA section.
    const char* ParseCdata(const char* p)
    {
        p += 9;
        while (*p && !StringEqual(p, "]]>", false))
            ++p;
        return ReadText(p, "]]>", false);
    }

    // TiXmlUnknown::Parse.
    static const char* ParseUnknown(const char* p)
    {
        ++p;
        while (*p && *p != '>')
            ++p;
        return *p == '>' ? p + 1 : p;
    }

    // TiXmlText::Parse of character data in an element; returns the '<' that ends it.
    const char* ParseText(const char* p)
    {
        p = ReadText(p, "<", true);
        return p ? p - 1 : nullptr;
    }

    // TiXmlAttribute::Parse.
    const char* ParseAttribute(const char* p)
    {
        p = SkipWhiteSpace(p);
        if (!*p)
            return nullptr;
        p = ReadName(p);
        if (!p || !*p)
            return nullptr;
        p = SkipWhiteSpace(p);
        if (*p != '=')
            return nullptr;
        p = SkipWhiteSpace(p + 1);
        if (!*p)
            return nullptr;
        if (*p == '\'')
            return ReadText(p + 1, "'", false);
        if (*p == '"')
            return ReadText(p + 1, "\"", false);
        for (; *p && !IsWhiteSpace(*p) && *p != '/' && *p != '>'; ++p)
            if (*p == '\'' || *p == '"')
                return nullptr;
        return p;
    }

    // TiXmlElement::Parse up to the end of the start tag: an element that has content stays
    // open until its end tag.
    const char* ParseStartTag(const char* p)
    {
        const int depth = static_cast<int>(m_open.size()) + 1;
        if (depth > m_deepest)
            m_deepest = depth;
        if (depth > m_stopAbove)
            return nullptr;
        const char* name = SkipWhiteSpace(p + 1);
        p = ReadName(name);
        if (!p || !*p)
            return nullptr;
        const size_t nameLength = static_cast<size_t>(p - name);
        while (*p) {
            p = SkipWhiteSpace(p);
            if (!*p)
                return nullptr;
            if (*p == '/')
                return p[1] == '>' ? p + 2 : nullptr;
            if (*p == '>') {
                m_open.emplace_back(name, nameLength);
                return p + 1;
            }
            p = ParseAttribute(p);
            if (!p || !*p)
                return nullptr;
        }
        return nullptr;
    }

    // The end tag check of TiXmlElement::Parse: "</", the element's own name, blanks, '>'.
    const char* ParseEndTag(const char* p)
    {
        const std::pair<const char*, size_t> name = m_open.back();
        if (std::strncmp(p + 2, name.first, name.second) != 0)
            return nullptr;
        p = SkipWhiteSpace(p + 2 + name.second);
        if (*p != '>')
            return nullptr;
        m_open.pop_back();
        return p + 1;
    }

    const char* m_text;
    bool m_utf8;
    bool m_utf8AfterDeclaration;
    int m_stopAbove;
    int m_deepest = 0;
    bool m_overrun = false;
    std::vector<std::pair<const char*, size_t>> m_open;
};

bool ReadWholeFile(const char* path, std::string* contents)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    // Read in pieces on the heap: the loader may run on a small stack.
    std::vector<char> piece(65536);
    size_t read;
    while ((read = std::fread(piece.data(), 1, piece.size(), file)) > 0)
        contents->append(piece.data(), read);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

bool StartsWithByteOrderMark(const std::string& text)
{
    return text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

} // namespace

int XmlNestingDepth(const std::string& text, TiXmlEncoding encoding, int stopAbove)
{
    const std::string normalised = NormaliseLineEnds(text);
    // The parser reads UTF-8 when told so or when the text starts with a byte-order mark. An
    // undecided document becomes UTF-8 or stays as it is at its first declaration, depending on
    // what that declares: both readings are walked and the deeper one counts.
    if (encoding == TIXML_ENCODING_UTF8
        || (encoding == TIXML_ENCODING_UNKNOWN && StartsWithByteOrderMark(normalised)))
        return CNestingWalk(normalised.c_str(), true, false, stopAbove).Run();
    const int asRead = CNestingWalk(normalised.c_str(), false, false, stopAbove).Run();
    if (encoding != TIXML_ENCODING_UNKNOWN)
        return asRead;
    const int asUtf8 = CNestingWalk(normalised.c_str(), false, true, stopAbove).Run();
    return asRead > asUtf8 ? asRead : asUtf8;
}

bool LoadXmlFile(TiXmlDocument* document, const char* path, TiXmlEncoding encoding)
{
    if (!document || !path)
        return false;
    document->Clear();
    document->SetValue(path);
    std::string contents;
    if (!ReadWholeFile(path, &contents) || XmlNestingDepth(contents, encoding, kMaxXmlNesting) > kMaxXmlNesting)
        return false;
    // The parser is given exactly the text that was measured, as its own file loading would
    // prepare it.
    const std::string text = NormaliseLineEnds(contents);
    document->Parse(text.c_str(), nullptr, encoding);
    return !document->Error();
}
