// CRegistryKey: an open registry key that closes itself.
#pragma once

#include <windows.h>

class CRegistryKey
{
public:
    CRegistryKey() = default;
    explicit CRegistryKey(HKEY key) : m_key(key) {}
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    CRegistryKey(CRegistryKey&& other) noexcept : m_key(other.Detach()) {}
    CRegistryKey& operator=(CRegistryKey&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_key = other.Detach();
        }
        return *this;
    }

    // Win32 error codes, as RegOpenKeyEx and RegCreateKeyEx give them.
    LONG Open(HKEY parent, const char* subKey, REGSAM access)
    {
        Close();
        return ::RegOpenKeyExA(parent, subKey, 0, access, &m_key);
    }
    LONG Create(HKEY parent, const char* subKey, REGSAM access, DWORD* disposition = nullptr)
    {
        Close();
        return ::RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &m_key,
                                 disposition);
    }
    void Close()
    {
        if (m_key) {
            ::RegCloseKey(m_key);
            m_key = nullptr;
        }
    }
    HKEY Detach()
    {
        HKEY key = m_key;
        m_key = nullptr;
        return key;
    }

    bool IsOpen() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};
