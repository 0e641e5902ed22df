// CMD5: the MD5 digest (RFC 1321) of a file or a buffer. One computation at a time; the digest
// stays valid until the next one on the same object.
#pragma once

#include "AfxString.h"

class CMD5
{
public:
    CMD5() { Init(); }
    virtual ~CMD5() {}

    void Init();
    void Update(const unsigned char* data, unsigned length);
    void Final();

    // Digest of the file's contents; null when the file cannot be opened or read.
    const unsigned char* DigestFile(const char* path);
    // Digest of the bytes; null when data is null.
    const unsigned char* DigestBuffer(const unsigned char* data, unsigned length);

    // 32 lower-case hexadecimal digits; empty for a null digest.
    static CString ToText(const unsigned char* digest);

private:
    static void Transform(const unsigned char block[64], UINT32 state[4]);

    UINT32 m_bitsLow = 0;
    UINT32 m_bitsHigh = 0;
    UINT32 m_state[4] = {};
    unsigned char m_block[64] = {};
    unsigned char m_digest[16] = {};
};
