// CFile and CStdioFile: files by Win32 handle, as the MFC classes of those names.
#pragma once

#include "AfxString.h"

class CFile
{
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoTruncate = 0x1000,
        modeCreate = 0x1000 << 1,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = FILE_BEGIN, current = FILE_CURRENT, end = FILE_END };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Returns FALSE and leaves the object closed when the file cannot be opened;
    // GetLastError then tells why.
    virtual BOOL Open(const char* fileName, UINT openFlags);
    virtual void Close();
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE GetHandle() const { return m_hFile; }
    const CString& GetFilePath() const { return m_path; }

    // Read returns the bytes read (0 at the end or on error); Write returns FALSE when not
    // every byte was written, so a full disk is noticed.
    virtual UINT Read(void* buffer, UINT count);
    virtual BOOL Write(const void* buffer, UINT count);
    ULONGLONG Seek(LONGLONG offset, UINT from);
    ULONGLONG SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG GetPosition() const;
    ULONGLONG GetLength() const;
    BOOL SetLength(ULONGLONG length);
    BOOL Flush();

    static BOOL Remove(const char* fileName) { return ::DeleteFileA(fileName); }
    static BOOL Rename(const char* oldName, const char* newName) { return ::MoveFileA(oldName, newName); }

protected:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_path;
};

// Line-oriented text file. Lines of any length are read; a 0x1A byte is data, not the end of
// the file. In text mode (the default) "\r\n" ends a line on reading and "\n" is written as
// "\r\n"; in binary mode (typeBinary) only "\n" ends a line and bytes pass unchanged.
class CStdioFile : public CFile
{
public:
    ~CStdioFile() override { FlushWriteBuffer(); }
    BOOL Open(const char* fileName, UINT openFlags) override;
    void Close() override;
    UINT Read(void* buffer, UINT count) override;
    BOOL Write(const void* buffer, UINT count) override;

    // FALSE at the end of the file; the line comes without its line end.
    BOOL ReadString(CString& line);
    BOOL WriteString(const char* text);
    // Writes what is buffered; FALSE when the disk refused it.
    BOOL FlushWriteBuffer();

private:
    bool FillBuffer();

    bool m_textMode = true;
    std::string m_readBuffer;
    size_t m_readPos = 0;
    bool m_atEnd = false;
    std::string m_writeBuffer;
};
