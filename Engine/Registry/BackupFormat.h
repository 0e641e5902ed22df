// How one value stands in a registry backup file (".rbk"), in both directions.
//
// A value whose text form reads back to exactly its bytes is written in that form: "value" holds
// the text and "type" the type name (none for REG_SZ). Strings are written from the registry's
// UTF-16 text, so every character comes back. Any other value (a string with an embedded zero or
// without its terminator, a number of another size, a type without a text form) is written as
// its bytes in hex with its exact type name and encoding="hex".
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#include "AfxString.h"

// The attributes that carry a value's data.
struct _BACKUP_VALUE_TEXT {
    std::string value;  // the "value" attribute as it stands in the file (escaped UTF-8)
    CString typeName;   // the "type" attribute; empty: none is written
    bool hex = false;   // encoding="hex"
};

void FormatBackupValue(DWORD type, const BYTE* data, size_t size, _BACKUP_VALUE_TEXT* text);

// The type and bytes that the attributes stand for. `value` is the "value" attribute as it stands
// in the file; `typeName` is null when the value has no "type" attribute. False, with nothing
// to write, for a type name that the form does not know or a text that is not well formed for
// its type: a DWORD must read "0x" and eight hex digits, with its decimal (when given) equal to
// them; a QWORD "0x" and sixteen; bytes pairs of hex digits parted by single spaces.
bool ParseBackupValue(const std::string& value, const CString* typeName, bool hex, DWORD* type,
                      std::vector<BYTE>* data);
