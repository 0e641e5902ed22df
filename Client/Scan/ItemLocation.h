// CItemLocation: which registry entry (or file) an item text names, as one text that compares.
//
// The scanners report one entry under different texts: the file-reference scan walks
// HKEY_USERS\<SID> where the startup scan reads HKEY_CURRENT_USER, one writes "SOFTWARE" where
// another writes "Software", and HKEY_CLASSES_ROOT is the merged view of the machine's and the
// user's "Software\Classes". A repair's exclusions, the ignore list, the results tree and every
// count go by this identity, not by the text: otherwise an entry the user kept under one text is
// deleted through its other text.
//
// The identity of a registry item: its canonical root, then its key path and value name in lower
// case, the value separator (0xAC) left where it stands, so a value never equals a key spelt the
// same. HKEY_USERS\<the current user's SID> is HKEY_CURRENT_USER; HKEY_CLASSES_ROOT, the
// machine's and the current user's "Software\Classes" and HKEY_USERS\<SID>_Classes are one
// classes root. That merges a little more than Windows does (a class present in both stores is
// one entry here), so keeping one keeps both: the error falls on the side of the user's choice.
// The file-reference scan names a key's unnamed value "(Default)": for its items that name is
// the unnamed value. Items that are not registry texts are their own identity; file paths
// compare without letter case, as the file system does.
#pragma once

#include <string>

#include "AfxString.h"

class CItemLocation
{
public:
    // The current user is the one whose token runs this process.
    CItemLocation();
    explicit CItemLocation(const CString& currentUserSid);

    // The identity of an item of a scan category (a SCAN_CATEGORY bit, 0 when unknown).
    std::string IdentityOf(const char* itemText, int category) const;
    // Whether the text names a registry key or value (it starts with a root's name).
    static bool IsRegistryText(const char* itemText);
    // The user SID of this process's token ("S-1-5-21-..."); empty when it cannot be read.
    static CString CurrentUserSid();

private:
    std::string RegistryIdentity(const std::string& root, std::string rest, int category) const;

    std::string m_userSid;   // lower case, empty when unknown
};
