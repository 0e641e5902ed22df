// What the spyware removal may reach. A record of the signature database names registry keys,
// modules, files and folders to remove; these rules keep a wrong or hostile record from taking
// the system with it: keys that hold the system's shared structure are never deleted whole, and
// only plain paths on local fixed drives are deleted or loaded.
#pragma once

#include "AfxString.h"

// Whether a registry key ("HKEY_LOCAL_MACHINE\SOFTWARE\...") must never be deleted with all its
// subkeys: a root, a key one level below a root (for HKEY_USERS, one below a user's hive), the
// shared stores of the system (such as SOFTWARE\Microsoft, SOFTWARE\Classes, the Run keys,
// CLSID, the file types) and every key above them, and anything in SYSTEM but a service's own
// key. Also true for a text that names no key below a known root.
bool IsProtectedRegistryKey(const CString& keyText);

// Judges a path after its variables were expanded: true when it is a full path on a local fixed
// drive ("C:\..."), below the drive's root, without ".." or other dot-only parts, without
// network, device or stream names; *fullPath then gets its normalised full form.
bool JudgeRemovablePath(const CString& path, CString* fullPath);
