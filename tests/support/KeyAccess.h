// Locks a key against everyone for the length of a test, and unlocks it again.
#pragma once

#include <windows.h>
#include <sddl.h>
#include <string>

// `rights` in SDDL form, e.g. "KA" for all access.
inline bool SetKeyDenied(HKEY root, const char* key, const char* rights, bool denied)
{
    const std::string sddl = std::string(denied ? "D:(D;;" : "D:(A;;") + rights + ";;;WD)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    HKEY handle = nullptr;
    LONG result = ::RegOpenKeyExA(root, key, 0, WRITE_DAC, &handle);
    if (result == ERROR_SUCCESS) {
        result = ::RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor);
        ::RegCloseKey(handle);
    }
    ::LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

// Denies the rights while it lives.
class CDeniedKey
{
public:
    CDeniedKey(HKEY root, const char* key, const char* rights) : m_root(root), m_key(key)
    {
        m_active = SetKeyDenied(root, key, rights, true);
    }
    ~CDeniedKey()
    {
        if (m_active)
            SetKeyDenied(m_root, m_key.c_str(), "KA", false);
    }
    bool IsActive() const { return m_active; }

private:
    HKEY m_root;
    std::string m_key;
    bool m_active;
};
