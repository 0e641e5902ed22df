// Safe enumeration of a registry key's subkeys and values, and safe reads of one value.
// Every scanner reads the registry through these: lengths are reset before each call, buffers
// are sized from the key's own information with a zeroed terminator, any error other than
// "more data" ends the loop (some keys answer every enumeration with an error and never with
// "no more items"), and a value that grows between the size query and the read is read again.
#pragma once

#include <windows.h>
#include <vector>

#include "AfxString.h"

// One value as read from the registry. The data always carries two zero bytes past its length,
// so Text() is terminated even when the stored text is not.
struct CRegistryValue {
    CString Name;
    DWORD Type = REG_NONE;
    DWORD Length = 0;          // data bytes as stored
    std::vector<BYTE> Data;    // Length bytes, then at least two zero bytes

    bool HasData() const { return Length != 0; }
    // The data read as a zero-terminated text (whatever its type).
    CString Text() const { return Data.empty() ? CString() : CString(reinterpret_cast<const char*>(Data.data())); }
};

// The subkey names of an open key (opened with KEY_ENUMERATE_SUB_KEYS), in enumeration order.
class CRegistrySubkeyEnum
{
public:
    explicit CRegistrySubkeyEnum(HKEY key);
    // Moves to the next subkey; FALSE at the end or on any enumeration error.
    BOOL Next(CString* name);
    DWORD Index() const { return m_index; }

private:
    HKEY m_key;
    DWORD m_index = 0;
    std::vector<char> m_name;
    bool m_ended = false;
};

// The values of an open key (opened with KEY_QUERY_VALUE), in enumeration order.
class CRegistryValueEnum
{
public:
    explicit CRegistryValueEnum(HKEY key);
    // For a caller that has already queried the key's longest value name and data.
    CRegistryValueEnum(HKEY key, DWORD longestName, DWORD longestData);
    // Moves to the next value, read in one call into buffers sized from the key's information;
    // FALSE at the end or on any enumeration error. A value that grew since then is read again
    // with larger buffers, and passed over when it keeps growing.
    BOOL Next(CRegistryValue* value);
    DWORD Index() const { return m_index; }

private:
    BOOL ReadAt(DWORD index, CRegistryValue* value, LONG* error);
    bool QueryLengths();
    void SizeBuffers(DWORD longestName, DWORD longestData);
    HKEY m_key;
    DWORD m_index = 0;
    std::vector<char> m_name;
    std::vector<BYTE> m_data;
    bool m_ended = false;
};

// Reads one named value ("" or null for the unnamed one) of an open key. Win32 error code;
// on success value->Data holds the data and two zero bytes.
LONG ReadRegistryValue(HKEY key, const char* name, CRegistryValue* value);
// Reads a text value (REG_SZ or REG_EXPAND_SZ, unexpanded); FALSE when missing or of another type.
BOOL ReadRegistryString(HKEY key, const char* name, CString* text);
BOOL ReadRegistryDword(HKEY key, const char* name, DWORD* number);

// One text for a value of any type, as the reference walk compares them: REG_SZ data as it is,
// REG_DWORD as "dword:%08x\n", REG_BINARY as "hexvalueinreg--:" and REG_EXPAND_SZ, REG_MULTI_SZ
// and the resource-list types as "hexvalueinreg--(<type>):", each followed by the bytes as
// "%02x," with a backslash and line feed after every 21st byte past the first and a final line
// feed; any other type gives the empty text.
void FormatRegistryValueText(DWORD type, const BYTE* data, DWORD length, CString* text);
