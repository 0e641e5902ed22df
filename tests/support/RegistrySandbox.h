// Redirects the predefined registry roots to fresh keys for the life of the object, so a test
// sees only its own fixtures and never touches the real registry of the prefix.
#pragma once

#include <windows.h>
#include <string>

class CRegistrySandbox
{
public:
    CRegistrySandbox();
    ~CRegistrySandbox();
    CRegistrySandbox(const CRegistrySandbox&) = delete;
    CRegistrySandbox& operator=(const CRegistrySandbox&) = delete;

    bool IsActive() const { return m_active; }
    // Where the sandboxed root lives, as a path under the real HKEY_CURRENT_USER.
    std::string RealPathOf(HKEY root) const;

private:
    static const HKEY kRoots[4];
    std::string m_base;
    HKEY m_overrides[4] = {};
    bool m_active = false;
};

// A key of the test's own under the real HKEY_CURRENT_USER\Software\KelvaraTests (path
// "Software\\KelvaraTests\\<name>"), made whole even while other test programs remove their
// own; and its removal, with the common parent once no test program has a key there.
bool CreateScratchKey(const std::string& path, HKEY* key);
void DeleteScratchKey(const std::string& path);

// Test fixture helpers on whatever registry is current (sandboxed or not).
bool WriteRegString(HKEY root, const char* key, const char* name, const char* value, DWORD type = REG_SZ);
bool WriteRegDword(HKEY root, const char* key, const char* name, DWORD value);
bool WriteRegBinary(HKEY root, const char* key, const char* name, const void* data, DWORD size, DWORD type = REG_BINARY);
bool CreateRegKey(HKEY root, const char* key);
bool RegKeyExists(HKEY root, const char* key);
bool RegValueExists(HKEY root, const char* key, const char* name);
