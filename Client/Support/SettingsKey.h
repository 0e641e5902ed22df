// CSettingsKey: one open key of the program's settings, closed when the object goes.
#pragma once

#include "Afx.h"

// The key under HKEY_LOCAL_MACHINE that holds every setting and statistic of the program.
extern const char kSettingsKey[];

class CSettingsKey
{
public:
    CSettingsKey() = default;
    ~CSettingsKey() { Close(); }
    CSettingsKey(const CSettingsKey&) = delete;
    CSettingsKey& operator=(const CSettingsKey&) = delete;

    // Opens the key with all access, creating it when missing.
    BOOL Open(const char* subKey = kSettingsKey, HKEY root = HKEY_LOCAL_MACHINE);
    void Close();
    BOOL IsOpen() const { return m_hKey != nullptr; }

    // REG_SZ of the text's length without its terminating NUL.
    BOOL WriteString(const char* name, const CString& text);
    // A text value of at most 256 bytes, up to its first NUL; any type is read as text.
    BOOL ReadString(const char* name, CString& text);
    BOOL WriteDword(const char* name, DWORD value);
    // A value of at most 4 bytes into a buffer preset to 0; FALSE when missing or longer.
    BOOL ReadDword(const char* name, DWORD& value);

    HKEY m_hKey = nullptr;
};

// Closes the handle held in `key` and sets it to null.
void CloseRegKey(HKEY& key);
