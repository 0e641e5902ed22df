#include "MD5.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <share.h>

namespace {

inline UINT32 RotateLeft(UINT32 x, int n) { return (x << n) | (x >> (32 - n)); }

// Per-step shift amounts and the sine-derived constants of the compression function.
const int kShifts[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21,
};

const UINT32 kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

} // namespace

void CMD5::Init()
{
    m_bitsLow = m_bitsHigh = 0;
    m_state[0] = 0x67452301;
    m_state[1] = 0xefcdab89;
    m_state[2] = 0x98badcfe;
    m_state[3] = 0x10325476;
}

void CMD5::Transform(const unsigned char block[64], UINT32 state[4])
{
    UINT32 words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = static_cast<UINT32>(block[i * 4]) | (static_cast<UINT32>(block[i * 4 + 1]) << 8) |
                   (static_cast<UINT32>(block[i * 4 + 2]) << 16) | (static_cast<UINT32>(block[i * 4 + 3]) << 24);
    UINT32 a = state[0], b = state[1], c = state[2], d = state[3];
    for (int step = 0; step < 64; ++step) {
        UINT32 f;
        int word;
        if (step < 16) {
            f = (b & c) | (~b & d);
            word = step;
        } else if (step < 32) {
            f = (d & b) | (~d & c);
            word = (5 * step + 1) % 16;
        } else if (step < 48) {
            f = b ^ c ^ d;
            word = (3 * step + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            word = (7 * step) % 16;
        }
        const UINT32 rotated = RotateLeft(a + f + kSines[step] + words[word], kShifts[step]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void CMD5::Update(const unsigned char* data, unsigned length)
{
    unsigned used = (m_bitsLow >> 3) & 0x3F;
    const UINT32 addedBits = static_cast<UINT32>(length) << 3;
    m_bitsLow += addedBits;
    if (m_bitsLow < addedBits)
        ++m_bitsHigh;
    m_bitsHigh += static_cast<UINT32>(length) >> 29;

    while (length > 0) {
        const unsigned take = std::min(length, 64 - used);
        std::memcpy(m_block + used, data, take);
        used += take;
        data += take;
        length -= take;
        if (used == 64) {
            Transform(m_block, m_state);
            used = 0;
        }
    }
}

void CMD5::Final()
{
    unsigned char lengthBytes[8];
    for (int i = 0; i < 4; ++i) {
        lengthBytes[i] = static_cast<unsigned char>(m_bitsLow >> (8 * i));
        lengthBytes[4 + i] = static_cast<unsigned char>(m_bitsHigh >> (8 * i));
    }
    const unsigned used = (m_bitsLow >> 3) & 0x3F;
    const unsigned padLength = used < 56 ? 56 - used : 120 - used;
    unsigned char padding[64] = {0x80};
    Update(padding, padLength);
    Update(lengthBytes, 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_digest[i * 4 + j] = static_cast<unsigned char>(m_state[i] >> (8 * j));
}

const unsigned char* CMD5::DigestFile(const char* path)
{
    if (!path)
        return nullptr;
    // Shared open, so that files held open by other programs can still be read.
    FILE* file = ::_fsopen(path, "rb", _SH_DENYNO);
    if (!file)
        return nullptr;
    Init();
    unsigned char piece[16384];
    for (;;) {
        const size_t read = std::fread(piece, 1, sizeof(piece), file);
        Update(piece, static_cast<unsigned>(read));
        if (read < sizeof(piece))
            break;
    }
    // A read that failed part-way must not pass for the digest of a shorter file.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return nullptr;
    Final();
    return m_digest;
}

const unsigned char* CMD5::DigestBuffer(const unsigned char* data, unsigned length)
{
    if (!data)
        return nullptr;
    Init();
    Update(data, length);
    Final();
    return m_digest;
}

CString CMD5::ToText(const unsigned char* digest)
{
    CString text;
    if (!digest)
        return text;
    for (int i = 0; i < 16; ++i)
        text.AppendFormat("%02x", digest[i]);
    return text;
}
