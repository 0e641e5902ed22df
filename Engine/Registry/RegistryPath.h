// Registry item texts: a full root name ("HKEY_LOCAL_MACHINE"), a backslash and the key path;
// a value item adds the byte 0xAC and the value name. These helpers are the one place that maps
// root names and splits item texts.
#pragma once

#include <windows.h>

#include "AfxString.h"

// The predefined key of a root name, matched without regard to ASCII case; null for any other
// text. The five names are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS
// and HKEY_CURRENT_CONFIG.
HKEY RegistryRootFromName(const char* rootName);
// The full root name of a predefined key; empty for any other key.
const char* RegistryRootName(HKEY root);

// Splits "ROOT\sub\key" into its predefined root and the key path after the first backslash.
// False when the text has no known root before a backslash, or when the key path is empty
// ("HKEY_CURRENT_USER\" names a root, never a key to work on).
bool SplitRegistryKeyText(const char* keyText, HKEY* root, CString* subKey);

// Splits a value item at its separator byte 0xAC into the key text and the value name. The
// separator is found stepping over double-byte characters, so a trail byte of a key name is never
// taken for it; a value name holding 0xAC itself keeps the rest. False when there is no separator
// or it stands first.
bool SplitValueItem(const char* itemText, CString* keyText, CString* valueName);

// The key a found item names: a value item's key, or the item itself. False when that is no key
// below a root (a file, a size text, a bare root name): nothing a repair deletes from the registry.
bool ItemKeyText(const char* itemText, CString* keyText);

// The registry entry a found item names: its root, the key path below the root and, for a value
// item, the value name.
struct _REGISTRY_ITEM {
    HKEY Root = nullptr;
    CString KeyPath;
    bool IsValue = false;
    CString ValueName;
};
// False when the item names no key below a root (a file, a size text, a bare root name).
bool SplitRegistryItem(const char* itemText, _REGISTRY_ITEM* item);

// The name of the key directly below parentPath that keyPath names ("A\B\c" below "a\b" is
// "c"), the paths compared without regard to case. False for any other key path.
bool ChildKeyName(const CString& keyPath, const char* parentPath, CString* name);
// The name of the key that a key item (not a value item) names directly below root\parentPath;
// false for any other item.
bool ChildKeyOfItem(const char* itemText, HKEY root, const char* parentPath, CString* name);

// The item text of a key or a value, as the scanners report them.
CString MakeKeyItem(HKEY root, const char* subKey);
CString MakeValueItem(HKEY root, const char* subKey, const char* valueName);
