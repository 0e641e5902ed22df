// CRegistrySubkeyNames: the names of a key's subkeys, read before any of them is opened, so that
// a walk opens each subkey by its name. Opening by index while other programs delete subkeys
// would leave keys out: every deletion below the index moves the keys after it down by one.
// The names are read with the wide calls, so every name opens again, whatever the code page.
#pragma once

#include <windows.h>
#include <set>
#include <string>
#include <vector>

class CRegistrySubkeyNames
{
public:
    enum Ending {
        WHOLE,      // every subkey the key held
        KEY_GONE,   // the key itself was deleted meanwhile (its subkeys with it)
        CUT_SHORT,  // an enumeration failed: the names before it
    };

    // The key must be open with KEY_ENUMERATE_SUB_KEYS and KEY_QUERY_VALUE.
    explicit CRegistrySubkeyNames(HKEY key) : m_key(key) {}
    // For a caller that has already queried the key (RegQueryInfoKey): its subkey count and
    // last write time then stand for the key as it was before the reading.
    CRegistrySubkeyNames(HKEY key, DWORD subkeys, const FILETIME& written) : m_key(key), m_queried(true)
    {
        m_before.subkeys = subkeys;
        m_before.written = written;
    }
    virtual ~CRegistrySubkeyNames() {}
    CRegistrySubkeyNames(const CRegistrySubkeyNames&) = delete;
    CRegistrySubkeyNames& operator=(const CRegistrySubkeyNames&) = delete;

    // Reads the names in enumeration order, each once. Subkeys deleted while it reads never
    // make it leave out one that stays; one created meanwhile may be missing. Any enumeration
    // error ends the reading (some keys fail every call with an error other than "no more").
    Ending Read(std::vector<std::wstring>* names);

protected:
    // One enumeration call: the name at an index, as RegEnumKeyExW answers.
    virtual LONG NameAt(DWORD index, std::wstring* name);

private:
    // The key's subkey count and last write time: a subkey created or deleted changes them.
    struct Stamp {
        DWORD subkeys = 0;
        FILETIME written = {};
        bool operator==(const Stamp& other) const;
    };
    LONG ReadStamp(Stamp* stamp) const;
    // Up the indexes until a call fails; the failure, or ERROR_MORE_DATA when the key holds
    // more than the `count` subkeys it reported (it keeps growing: the reading is bounded).
    LONG ReadByIndex(DWORD count, std::vector<std::wstring>* names);
    // The reading while the key changes: see the .cpp.
    Ending ReadCarefully(size_t expected, std::vector<std::wstring>* names);
    // After the names below the next index moved: the index after the highest name already
    // taken that still stands, found downwards from the next index. An error code on failure.
    LONG StepBack(const std::set<std::wstring>& taken, DWORD* index, std::wstring* previous, size_t* budget);

    HKEY m_key;
    bool m_queried = false;
    Stamp m_before;
};
