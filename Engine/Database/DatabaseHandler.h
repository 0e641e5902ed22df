// CDatabaseHandler: the signature database of known spyware, parsed from the deciphered XML of
// "engine.dat" into a record set and three lookup tables.
//
// Document: a root element (any name) with the sections "UpdateInfo" (attribute "Version"),
// "Spywares" (one element per spyware: "ID", "Name", "Details", "Type"; its first child element
// holds the items, each with "Value" and "Type") and "Signatures" (one element per signature:
// "Type", "Value", "SpywareID"). Names match without regard to ASCII case.
//
// A signature's type is a bit set that picks its table:
//   bit 1 set                  exact table, the value as stored (case kept)
//   bit 1 clear, bit 4 set     file-hash table, lower-cased; a type of exactly 4 with 20 or more
//                              characters is first cut to its characters 2 to 20 (for an MD5 text:
//                              the 19 digits after the first one)
//   neither                    text table, lower-cased (class identifiers and names)
// Every table, and the record set, keeps the first entry for a key.
#pragma once

#include <map>

#include "AfxString.h"
#include "VexaEngine.h"

// Signature type bits, and the query flags that name the tables to consult.
const int SIGNATURE_EXACT = 1;
const int SIGNATURE_FILE_HASH = 4;

// The argument of a lookup.
struct _SIGNATURE_QUERY {
    CString Value;  // for the exact table
    CString Text;   // for the text table (lower-cased by the lookup)
    CString Hash;   // 32 lower-case hexadecimal digits for the file-hash table
    int Flags = 0;  // SIGNATURE_EXACT, SIGNATURE_FILE_HASH, both, or neither (text table)
};

class CSpyware;

class CDatabaseHandler
{
public:
    // fileName: the deciphered document to parse.
    explicit CDatabaseHandler(const CString& fileName);
    virtual ~CDatabaseHandler();
    CDatabaseHandler(const CDatabaseHandler&) = delete;
    CDatabaseHandler& operator=(const CDatabaseHandler&) = delete;

    // Deciphers an enciphered database file into a temporary file, parses it and deletes the
    // temporary file. Returns a loaded handler (the caller owns it), or null on any failure.
    static CDatabaseHandler* LoadFromDataFile(const char* dataFile);

    // Parses the file once; 1 when the document and its "Signatures" section were read. A loaded
    // handler answers 1 at once and never changes again.
    int LoadDatabase();
    bool IsLoaded() const { return m_loaded != 0; }

    // 1 and the spyware ID of the matching signature, or 0 with *spywareId left unchanged.
    //   exact and file-hash: Value as given in the exact table, then characters 2 to 20 of Hash
    //                        in the file-hash table
    //   exact only:          Value lower-cased in the exact table
    //   file-hash only:      characters 2 to 20 of Hash, as given, in the file-hash table
    //   neither:             Text lower-cased in the text table
    int FindSignature(_SIGNATURE_QUERY query, long* spywareId) const;
    // The record with that ID, owned by the handler and valid while it lives; null when none.
    const _SPYWARE_INFORMATION* FindSpyware(long id) const;
    // Copies the record with that ID into out: 1, or 0 when there is none (out unchanged).
    int GetSpywareInformation(long id, CSpyware* out) const;
    // The "Version" and "LastUpdateDate" of "UpdateInfo", empty when absent.
    CString GetVersion() const { return m_version; }
    CString GetLastUpdateDate() const { return m_lastUpdateDate; }

    size_t SpywareCount() const { return m_spywares.size(); }
    size_t SignatureCount() const { return m_exact.size() + m_text.size() + m_fileHash.size(); }

private:
    using CSignatureTable = std::map<CString, long>;

    int m_loaded = 0;
    CString m_fileName;
    CString m_version;
    CString m_lastUpdateDate;
    std::map<long, _SPYWARE_INFORMATION> m_spywares;
    CSignatureTable m_exact;
    CSignatureTable m_text;
    CSignatureTable m_fileHash;

    friend class CDatabaseReader;
};
