#include "AfxFile.h"

#include <algorithm>
#include <cstring>

namespace {

DWORD AccessFor(UINT flags)
{
    if (flags & CFile::modeReadWrite)
        return GENERIC_READ | GENERIC_WRITE;
    if (flags & CFile::modeWrite)
        return GENERIC_WRITE;
    return GENERIC_READ;
}

DWORD ShareFor(UINT flags)
{
    switch (flags & 0x70) {
    case CFile::shareExclusive: return 0;
    case CFile::shareDenyWrite: return FILE_SHARE_READ;
    case CFile::shareDenyRead: return FILE_SHARE_WRITE;
    case CFile::shareDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    default: return FILE_SHARE_READ;
    }
}

DWORD CreationFor(UINT flags)
{
    if (flags & CFile::modeCreate)
        return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    return OPEN_EXISTING;
}

} // namespace

CFile::~CFile()
{
    // A derived class's buffers were flushed by its own destructor path through Close.
    if (m_hFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_hFile);
}

BOOL CFile::Open(const char* fileName, UINT openFlags)
{
    Close();
    if (!fileName || !*fileName) {
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    m_hFile = ::CreateFileA(fileName, AccessFor(openFlags), ShareFor(openFlags), nullptr,
                            CreationFor(openFlags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    m_path = fileName;
    return TRUE;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
    m_path.Empty();
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD read = 0;
    if (!IsOpen() || !buffer || count == 0)
        return 0;
    if (!::ReadFile(m_hFile, buffer, count, &read, nullptr))
        return 0;
    return read;
}

BOOL CFile::Write(const void* buffer, UINT count)
{
    if (!IsOpen())
        return FALSE;
    const char* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(m_hFile, bytes, count, &written, nullptr) || written == 0)
            return FALSE;
        bytes += written;
        count -= written;
    }
    return TRUE;
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    position.QuadPart = 0;
    if (!IsOpen() || !::SetFilePointerEx(m_hFile, distance, &position, from))
        return static_cast<ULONGLONG>(-1);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    position.QuadPart = 0;
    if (!IsOpen() || !::SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT))
        return 0;
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size;
    size.QuadPart = 0;
    if (!IsOpen() || !::GetFileSizeEx(m_hFile, &size))
        return 0;
    return static_cast<ULONGLONG>(size.QuadPart);
}

BOOL CFile::SetLength(ULONGLONG length)
{
    if (Seek(static_cast<LONGLONG>(length), begin) == static_cast<ULONGLONG>(-1))
        return FALSE;
    return ::SetEndOfFile(m_hFile);
}

BOOL CFile::Flush()
{
    return IsOpen() && ::FlushFileBuffers(m_hFile);
}

BOOL CStdioFile::Open(const char* fileName, UINT openFlags)
{
    Close();
    m_textMode = (openFlags & typeBinary) == 0;
    return CFile::Open(fileName, openFlags);
}

void CStdioFile::Close()
{
    FlushWriteBuffer();
    m_readBuffer.clear();
    m_readPos = 0;
    m_atEnd = false;
    CFile::Close();
}

bool CStdioFile::FillBuffer()
{
    if (m_atEnd)
        return false;
    char chunk[16384];
    const UINT read = CFile::Read(chunk, sizeof(chunk));
    if (read == 0) {
        m_atEnd = true;
        return false;
    }
    m_readBuffer.erase(0, m_readPos);
    m_readPos = 0;
    m_readBuffer.append(chunk, read);
    return true;
}

UINT CStdioFile::Read(void* buffer, UINT count)
{
    UINT copied = 0;
    char* out = static_cast<char*>(buffer);
    while (copied < count) {
        if (m_readPos >= m_readBuffer.size() && !FillBuffer())
            break;
        const size_t take = std::min<size_t>(count - copied, m_readBuffer.size() - m_readPos);
        std::memcpy(out + copied, m_readBuffer.data() + m_readPos, take);
        m_readPos += take;
        copied += static_cast<UINT>(take);
    }
    return copied;
}

BOOL CStdioFile::ReadString(CString& line)
{
    std::string text;
    bool gotAny = false;
    for (;;) {
        if (m_readPos >= m_readBuffer.size() && !FillBuffer())
            break;
        gotAny = true;
        const size_t newline = m_readBuffer.find('\n', m_readPos);
        if (newline == std::string::npos) {
            text.append(m_readBuffer, m_readPos, std::string::npos);
            m_readPos = m_readBuffer.size();
            continue;
        }
        text.append(m_readBuffer, m_readPos, newline - m_readPos);
        m_readPos = newline + 1;
        if (m_textMode && !text.empty() && text.back() == '\r')
            text.pop_back();
        line = CString(text);
        return TRUE;
    }
    if (!gotAny)
        return FALSE;
    line = CString(text);
    return TRUE;
}

BOOL CStdioFile::Write(const void* buffer, UINT count)
{
    if (!IsOpen())
        return FALSE;
    const char* bytes = static_cast<const char*>(buffer);
    for (UINT i = 0; i < count; ++i) {
        if (m_textMode && bytes[i] == '\n')
            m_writeBuffer += '\r';
        m_writeBuffer += bytes[i];
    }
    if (m_writeBuffer.size() >= 65536)
        return FlushWriteBuffer();
    return TRUE;
}

BOOL CStdioFile::WriteString(const char* text)
{
    return text ? Write(text, static_cast<UINT>(std::strlen(text))) : TRUE;
}

BOOL CStdioFile::FlushWriteBuffer()
{
    if (m_writeBuffer.empty())
        return TRUE;
    const BOOL ok = CFile::Write(m_writeBuffer.data(), static_cast<UINT>(m_writeBuffer.size()));
    m_writeBuffer.clear();
    return ok;
}
