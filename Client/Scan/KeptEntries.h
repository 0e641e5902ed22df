// CKeptEntries: the entries the user kept (left unticked, or put on the ignore list), by their
// identities (CItemLocation), with the one question a deletion must ask of them: does the entry
// about to go lie inside a kept key, or hold a kept entry inside it?
//
// A registry key holds its values and its subkeys, and they theirs: deleting a key deletes all
// of them, so keeping any of them keeps the key, and keeping the key keeps all of them. An
// identity is "<root>\<key path>", then for a value the separator (0xAC) and the value's name;
// the name may hold backslashes and separators of its own, so only the key path before the first
// separator is split into levels. The identities are kept in order, so that the entries below a
// key are one range of the set, found by its first element.
#pragma once

#include <set>
#include <string>

class CKeptEntries
{
public:
    void Add(const std::string& identity) { m_identities.insert(identity); }
    void Clear() { m_identities.clear(); }
    void Swap(CKeptEntries& other) { m_identities.swap(other.m_identities); }
    bool IsEmpty() const { return m_identities.empty(); }

    // The entry itself was kept.
    bool Contains(const std::string& identity) const { return m_identities.count(identity) != 0; }
    // A key above the entry was kept (for a value: its own key, or one above that).
    bool HasKeptAbove(const std::string& identity) const;
    // The entry is a key and a value or a subkey below it, at any depth, was kept.
    bool HasKeptBelow(const std::string& identity) const;

private:
    bool HasEntryStartingWith(const std::string& prefix) const;

    std::set<std::string> m_identities;
};
