#include "SettingsKey.h"

#include <cstring>

const char kSettingsKey[] = "Software\\Bellwort\\Kelvara";

void CloseRegKey(HKEY& key)
{
    if (key)
        ::RegCloseKey(key);
    key = nullptr;
}

BOOL CSettingsKey::Open(const char* subKey, HKEY root)
{
    Close();
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return FALSE;
    m_hKey = key;
    return TRUE;
}

void CSettingsKey::Close()
{
    CloseRegKey(m_hKey);
}

BOOL CSettingsKey::WriteString(const char* name, const CString& text)
{
    if (!m_hKey)
        return FALSE;
    return ::RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(static_cast<const char*>(text)),
                            static_cast<DWORD>(text.GetLength())) == ERROR_SUCCESS;
}

BOOL CSettingsKey::ReadString(const char* name, CString& text)
{
    text.Empty();
    if (!m_hKey)
        return FALSE;
    char buffer[256] = {};
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExA(m_hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return FALSE;
    // The text ends at its first NUL, and never beyond the bytes read.
    text = CString(std::string(buffer, strnlen(buffer, size)));
    return TRUE;
}

BOOL CSettingsKey::WriteDword(const char* name, DWORD value)
{
    if (!m_hKey)
        return FALSE;
    return ::RegSetValueExA(m_hKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

BOOL CSettingsKey::ReadDword(const char* name, DWORD& value)
{
    value = 0;
    if (!m_hKey)
        return FALSE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (::RegQueryValueExA(m_hKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return FALSE;
    value = data;
    return TRUE;
}
