// CRegistryNames: the names of a key's subkeys, or of its values, read before any of them is
// opened, so that a walk opens each subkey (or reads each value) by its name. Reading by index
// while other programs delete subkeys or values would leave some out: every deletion below the
// index moves the ones after it down by one. The names are read with the wide calls, so every
// name opens again, whatever the code page.
#pragma once

#include <windows.h>
#include <set>
#include <string>
#include <vector>

class CRegistryNames
{
public:
    enum Kind {
        SUBKEYS,
        VALUES,
    };
    enum Ending {
        WHOLE,      // every name the key held
        KEY_GONE,   // the key itself was deleted meanwhile (what it held with it)
        CUT_SHORT,  // an enumeration failed: the names before it
    };

    // The key must be open with KEY_ENUMERATE_SUB_KEYS and KEY_QUERY_VALUE.
    CRegistryNames(HKEY key, Kind kind) : m_key(key), m_kind(kind) {}
    // For a caller that has already queried the key (RegQueryInfoKey): its count of subkeys (or
    // values) and last write time then stand for the key as it was before the reading.
    CRegistryNames(HKEY key, Kind kind, DWORD count, const FILETIME& written)
        : m_key(key), m_kind(kind), m_queried(true)
    {
        m_before.count = count;
        m_before.written = written;
    }
    virtual ~CRegistryNames() {}
    CRegistryNames(const CRegistryNames&) = delete;
    CRegistryNames& operator=(const CRegistryNames&) = delete;

    // Reads the names in enumeration order, each once. Names deleted while it reads never
    // make it leave out one that stays; one created meanwhile may be missing. Any enumeration
    // error ends the reading (some keys fail every call with an error other than "no more").
    Ending Read(std::vector<std::wstring>* names);

protected:
    // One enumeration call: the name at an index, as RegEnumKeyExW (or RegEnumValueW) answers.
    virtual LONG NameAt(DWORD index, std::wstring* name);

private:
    // The key's count of subkeys (or values) and last write time: one created or deleted
    // changes them.
    struct Stamp {
        DWORD count = 0;
        FILETIME written = {};
        bool operator==(const Stamp& other) const;
    };
    LONG ReadStamp(Stamp* stamp) const;
    // Up the indexes until a call fails; the failure, or ERROR_MORE_DATA when the key holds
    // more than the `count` names it reported (it keeps growing: the reading is bounded).
    LONG ReadByIndex(DWORD count, std::vector<std::wstring>* names);
    // The reading while the key changes: see the .cpp.
    Ending ReadCarefully(size_t expected, std::vector<std::wstring>* names);
    // After the names below the next index moved: the index after the highest name already
    // taken that still stands, found downwards from the next index. An error code on failure.
    LONG StepBack(const std::set<std::wstring>& taken, DWORD* index, std::wstring* previous, size_t* budget);

    HKEY m_key;
    Kind m_kind;
    bool m_queried = false;
    Stamp m_before;
    // Room for the longest value name, taken at the first value read.
    std::vector<wchar_t> m_valueName;
};
