// A registry tree that a backup must give back byte for byte: every value type, sizes that
// have no text form, line breaks and blank lines in texts, empty strings inside multi-strings,
// names beyond any code page, and a value really named "(Default)" beside the unnamed value.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct BackupFixtureValue {
    std::wstring key;    // below the tree's top; empty for the top itself
    const wchar_t* name;  // null: the unnamed value
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<BackupFixtureValue> BackupFixtureValues();
// Writes the tree below root\top (and one key without values); false when the registry refused.
bool WriteBackupFixture(HKEY root, const std::wstring& top);
