// CXmlWriter: a streaming XML text writer. The file is created at the first Write, with the
// XML declaration in front; the tag operations of CXmlElement indent one space per level.
// CXmlStringWriter collects the same text in memory.
#pragma once

#include <string>

#include "AfxFile.h"
#include "XmlElement.h"

class CXmlWriter
{
public:
    CXmlWriter();
    virtual ~CXmlWriter();
    CXmlWriter(const CXmlWriter&) = delete;
    CXmlWriter& operator=(const CXmlWriter&) = delete;

    // Appends the text unchanged (the declaration first, once per document). 0 when the file
    // cannot be created or written; the failure sticks until the document is closed.
    virtual int Write(const CString& text);

    // Taken only while no file is open.
    int SetFileName(const char* path);
    // Writes what is buffered and closes the file; the next Write starts a new document.
    // 1 when every write of the document succeeded, else 0.
    int Close();
    // Forgets the document without closing the file.
    void Reset();
    void SetDepth(int depth) { m_depth = depth; }
    int GetDepth() const { return m_depth; }
    // "</name>" at the current depth, then one level up.
    void WriteEndTag(const CXmlElement& element);
    // A write of the current document failed (the file could not be created or the disk
    // refused the data): the document is incomplete.
    bool HasFailed() const { return m_failed; }

protected:
    // Writes the declaration line when this document has none yet.
    void WriteDeclarationOnce();
    virtual void Append(const CString& text);

    int m_declarationWritten = 0;
    int m_depth = 0;
    bool m_failed = false;

private:
    bool Flush();

    CFile* m_file;
    int m_opened = 0;
    CString m_fileName;
    std::string m_buffer;
};

class CXmlStringWriter : public CXmlWriter
{
public:
    int Write(const CString& text) override;
    void Clear() { m_text.Empty(); }
    const CString& GetString() const { return m_text; }

protected:
    void Append(const CString& text) override { m_text += text; }

private:
    CString m_text;
};
