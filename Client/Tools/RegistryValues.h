// Whole registry values as the startup manager reads and writes them: keys opened in the 64-bit
// view, names and text through the wide calls (a name outside the code page is still the name it
// is), values read at whatever size they have (up to a bound) with their type and exact bytes,
// text taken only up to its first NUL (registry text need not be terminated), and multi-string
// lists split and joined so that every string, empty ones included, keeps its place.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Afx.h"

// No value is read beyond this, whatever its size claims.
const DWORD kMaxRegValueBytes = 1u << 20;

// One open key in the 64-bit registry view, closed when the object goes.
class CRegKey64
{
public:
    CRegKey64() = default;
    ~CRegKey64() { Close(); }
    CRegKey64(const CRegKey64&) = delete;
    CRegKey64& operator=(const CRegKey64&) = delete;

    BOOL Open(HKEY root, const wchar_t* path, REGSAM access);
    // Opens the key with all access, creating it when missing.
    BOOL Create(HKEY root, const wchar_t* path);
    void Close();
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

struct REG_VALUE_DATA
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// FALSE when the value cannot be read (or is larger than the bound).
BOOL ReadRegValue(HKEY key, const wchar_t* name, REG_VALUE_DATA* value);
// Text of UTF-16 bytes up to their first NUL.
std::wstring RegValueText(const std::vector<BYTE>& data);
// A text value, empty when it cannot be read.
std::wstring ReadRegText(HKEY key, const wchar_t* name);
BOOL ReadRegDword(HKEY key, const wchar_t* name, DWORD* number);

// Every string of a multi-string value, empty ones included, up to its terminating empty string
// (or the end of the data, for a value written without one).
std::vector<std::wstring> SplitMultiString(const std::vector<BYTE>& data);
// Each string with its NUL, then the terminating NUL.
std::vector<BYTE> JoinMultiString(const std::vector<std::wstring>& strings);

BOOL WriteRegBytes(HKEY key, const wchar_t* name, DWORD type, const std::vector<BYTE>& data);
// REG_SZ with its terminating NUL counted.
BOOL WriteRegText(HKEY key, const wchar_t* name, const std::wstring& text);
BOOL WriteRegDword(HKEY key, const wchar_t* name, DWORD number);
// Deletes a subkey (without subkeys of its own) of an open key in the 64-bit view; where the
// system has no call for that, in the only view there is.
BOOL DeleteRegSubkey64(HKEY parent, const wchar_t* subkey);
// The names of an open key's subkeys; the walk ends at the first failure.
std::vector<std::wstring> RegSubkeyNames(HKEY key);

// Text between the wide calls and the code page the program shows: a character the code page
// lacks shows as "?".
CString CodePageText(const std::wstring& text);
std::wstring WideText(const CString& text);
// Upper case as the registry and the file system compare names.
std::wstring UpperText(std::wstring text);
