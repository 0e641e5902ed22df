// CXmlReader: a pull reader for XML text. It reads the file line by line and returns one small
// node per Read: a start or end tag, one attribute, a piece of text, a declaration, a comment or
// CDATA line. It keeps no tree, checks no nesting and decodes neither entities nor code pages.
// A syntax error ends the reading with a message that names the line.
#pragma once

#include <string>
#include <vector>

#include "AfxFile.h"

class CXmlReader
{
public:
    enum NodeType {
        NODE_NONE = 0,
        NODE_START_TAG = 1,
        NODE_END_TAG = 2,  // also the "/>" of an empty element, with that element's name
        NODE_ATTRIBUTE = 3,
        NODE_TEXT = 4,
        NODE_DECLARATION = 5,
        NODE_COMMENT = 6,
        NODE_CDATA = 7,
    };

    CXmlReader() = default;
    virtual ~CXmlReader() {}
    CXmlReader(const CXmlReader&) = delete;
    CXmlReader& operator=(const CXmlReader&) = delete;

    // The next node: 1 when one was read (possibly NODE_NONE); 0 at the end of the file, when
    // the file cannot be opened or read, and on a parse error.
    virtual int Read();

    int GetNodeType() const { return m_nodeType; }
    const CString& GetName() const { return m_name; }
    const CString& GetText() const { return m_text; }
    const CString& GetDeclaration() const { return m_declaration; }
    void GetAttribute(CString* name, CString* value) const;
    const CString& GetAttributeName() const { return m_attributeName; }
    // The value of the attribute node without a copy (a value can be as large as the file).
    const std::string& GetAttributeValue() const { return m_attributeValue; }
    // Moves the value of the attribute node into *value, so that it is held once.
    void TakeAttributeValue(std::string* value)
    {
        value->clear();
        value->swap(m_attributeValue);
    }
    int GetLineNumber() const { return m_lineNumber; }
    // "Parse error in line %d : (%s)" after a parse error.
    const CString& GetErrorMessage() const { return m_errorMessage; }
    // Reading ended on something other than the plain end of a complete file.
    bool HasFailed() const { return m_failed; }

    // Taken only while no file is open.
    int SetFileName(const char* path);
    // 1: a parse error is also shown in a message box.
    void SetShowErrors(int show) { m_showErrors = show; }
    // Starts again at the first line of the open file. False when no file is open or it cannot
    // be read again. Nobody can write the file while it is open, so both readings see the same.
    bool Rewind();
    int Close();
    void Reset();

private:
    bool Open();
    void ResetState();
    // The next line into m_line, without its line end (kept in m_lineEnd); false at the end.
    bool ReadLine();
    // One tokenizer step on the current line; false with a detail text on a syntax error.
    bool Step(const char** detail);
    bool StepInValue(const char** detail);
    bool StepAtMarkup(const char** detail);
    void StepInText();
    void TakeValue(size_t close);
    void SkipBlanks();
    void Fail(const char* detail);

    CFile m_file;
    int m_opened = 0;
    CString m_fileName;
    int m_showErrors = 0;
    bool m_failed = false;
    CString m_errorMessage;

    std::vector<char> m_buffer;
    size_t m_bufferUsed = 0;
    size_t m_bufferRead = 0;
    bool m_atEnd = false;

    std::string m_line;
    // What ended the current line in the file ("\r\n", "\n", or nothing for the last line): a
    // value that spans lines keeps it.
    const char* m_lineEnd = "";
    int m_position = -1;  // -1: read the next line
    int m_lineNumber = 0;

    int m_nodeType = NODE_NONE;
    CString m_name;
    CString m_text;
    CString m_attributeName;
    std::string m_attributeValue;
    CString m_declaration;

    bool m_inComment = false;
    bool m_inCData = false;
    bool m_inTag = false;
    bool m_expectingValue = false;
    bool m_inText = false;
    // The quote character that opened the value being read; 0 before it opens.
    char m_quote = 0;
    // An attribute name was read and waits for its "=".
    bool m_attributeNamePending = false;
};
