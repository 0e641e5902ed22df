#include "DataFileCipher.h"

#include <windows.h>
#include <wincrypt.h>
#include <cstdio>

#include "AfxMessageBox.h"
#include "AfxString.h"
#include "TempDataFile.h"

namespace {

// Every enciphered file of the system is made with this phrase; changing it orphans them all.
const char kPassPhrase[] = "ujzde8gxd6ncf10epf91dhodzdoc9is0j8ht9lgmxg9edn581u33xtplpft75v2seh60kvj50ce9u";
static_assert(sizeof(kPassPhrase) - 1 == 77, "the pass phrase is hashed as 77 bytes");

const char kProvider[] = "Microsoft Enhanced Cryptographic Provider v1.0";
// Key length 128 bits in the upper word, no salt.
const DWORD kKeyFlags = 0x00800000;
const size_t kChunk = 1000;
const size_t kHeadLimit = 2000;

// The RC4 key of the data files on its own provider context. A verify-only context needs no
// key container, so there is nothing to create and no race between two first users.
class CDataFileKey
{
public:
    CDataFileKey()
    {
        if (!::CryptAcquireContextA(&m_provider, nullptr, kProvider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
            m_provider = 0;
            return;
        }
        HCRYPTHASH hash = 0;
        if (!::CryptCreateHash(m_provider, CALG_MD5, 0, 0, &hash))
            return;
        if (!::CryptHashData(hash, reinterpret_cast<const BYTE*>(kPassPhrase), sizeof(kPassPhrase) - 1, 0)
            || !::CryptDeriveKey(m_provider, CALG_RC4, hash, kKeyFlags, &m_key))
            m_key = 0;
        ::CryptDestroyHash(hash);
    }
    ~CDataFileKey()
    {
        if (m_key)
            ::CryptDestroyKey(m_key);
        if (m_provider)
            ::CryptReleaseContext(m_provider, 0);
    }
    CDataFileKey(const CDataFileKey&) = delete;
    CDataFileKey& operator=(const CDataFileKey&) = delete;

    HCRYPTKEY Get() const { return m_key; }

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTKEY m_key = 0;
};

class CStdioHandle
{
public:
    CStdioHandle(const char* path, const char* mode) : m_file(path ? std::fopen(path, mode) : nullptr) {}
    ~CStdioHandle() { Close(); }
    CStdioHandle(const CStdioHandle&) = delete;
    CStdioHandle& operator=(const CStdioHandle&) = delete;

    FILE* Get() const { return m_file; }
    explicit operator bool() const { return m_file != nullptr; }
    // False when buffered data could not be written.
    bool Close()
    {
        if (!m_file)
            return true;
        const bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        return ok;
    }

private:
    FILE* m_file;
};

enum class CipherDirection { Encipher, Decipher };

void ShowOpenFailure(const char* text)
{
    const DWORD error = ::GetLastError();
    AfxMessageBox(AfxFormatString("%s%lu", text, error), MB_OK);
}

// Runs input through the cipher into output in 1000-byte chunks. With a head limit the loop stops
// after the first chunk that brings the written total above it.
bool RunCipher(FILE* input, FILE* output, CipherDirection direction, size_t headLimit)
{
    CDataFileKey key;
    if (!key.Get())
        return false;
    BYTE buffer[kChunk + 8];
    size_t written = 0;
    for (;;) {
        const size_t read = std::fread(buffer, 1, kChunk, input);
        if (std::ferror(input))
            return false;
        const BOOL final = read < kChunk ? TRUE : FALSE;
        DWORD length = static_cast<DWORD>(read);
        const BOOL ciphered = direction == CipherDirection::Encipher
                                  ? ::CryptEncrypt(key.Get(), 0, final, 0, buffer, &length, sizeof(buffer))
                                  : ::CryptDecrypt(key.Get(), 0, final, 0, buffer, &length);
        if (!ciphered)
            return false;
        if (length && std::fwrite(buffer, 1, length, output) != length)
            return false;
        written += length;
        if (final || (headLimit && written > headLimit))
            return true;
    }
}

int DecryptInto(const char* source, const char* destination, size_t headLimit, bool speak)
{
    CTempDataFile temporary;
    if (!temporary.IsValid() || !destination)
        return 0;
    bool ciphered = false;
    {
        CStdioHandle input(source, "rb");
        if (!input) {
            if (speak)
                ShowOpenFailure("Unable to open file. 4: ");
            return 0;
        }
        CStdioHandle output(temporary.Path(), "wb");
        if (!output) {
            if (speak)
                ShowOpenFailure("Unable to open file.5");
            return 0;
        }
        ciphered = RunCipher(input.Get(), output.Get(), CipherDirection::Decipher, headLimit);
        ciphered = output.Close() && ciphered;
    }
    // The destination reflects what was deciphered even after a failure; the caller deletes it.
    const int copied = CopyDataFile(temporary.Path(), destination);
    return ciphered && copied ? 1 : 0;
}

} // namespace

int CopyDataFile(const char* source, const char* destination)
{
    CStdioHandle input(source, "rb");
    if (!input)
        return 0;
    CStdioHandle output(destination, "wb");
    if (!output)
        return 0;
    char buffer[16384];
    for (;;) {
        const size_t read = std::fread(buffer, 1, sizeof(buffer), input.Get());
        if (read && std::fwrite(buffer, 1, read, output.Get()) != read)
            return 0;
        if (read < sizeof(buffer))
            break;
    }
    if (std::ferror(input.Get()))
        return 0;
    return output.Close() ? 1 : 0;
}

int EncryptDataFile(const char* source, const char* destination)
{
    CTempDataFile temporary;
    if (!temporary.IsValid() || !CopyDataFile(source, temporary.Path()))
        return 0;
    CStdioHandle input(temporary.Path(), "rb");
    if (!input) {
        ShowOpenFailure("Unable to open file.2");
        return 0;
    }
    CStdioHandle output(destination, "wb");
    if (!output) {
        ShowOpenFailure("Unable to open file.3");
        return 0;
    }
    const bool ciphered = RunCipher(input.Get(), output.Get(), CipherDirection::Encipher, 0);
    return output.Close() && ciphered ? 1 : 0;
}

int DecryptDataFile(const char* source, const char* destination)
{
    return DecryptInto(source, destination, 0, true);
}

int DecryptDataFileHead(const char* source, const char* destination)
{
    return DecryptInto(source, destination, kHeadLimit, false);
}
