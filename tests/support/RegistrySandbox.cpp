#include "RegistrySandbox.h"

#include <shlwapi.h>
#include <atomic>
#include <cstdio>
#include <cstring>

const HKEY CRegistrySandbox::kRoots[4] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};

namespace {

const char* RootLabel(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT) return "HKCR";
    if (root == HKEY_CURRENT_USER) return "HKCU";
    if (root == HKEY_LOCAL_MACHINE) return "HKLM";
    return "HKU";
}

std::atomic<int> g_sandboxCounter{0};

} // namespace

CRegistrySandbox::CRegistrySandbox()
{
    // The process id alone does not do: Wine hands ids out again soon, and a sandbox that held a
    // link key cannot be deleted, so a later process could find it in its way.
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    char base[128];
    std::snprintf(base, sizeof(base), "Software\\KelvaraTests\\%lu_%d_%llx", ::GetCurrentProcessId(),
                  g_sandboxCounter.fetch_add(1), static_cast<unsigned long long>(now.QuadPart));
    m_base = base;
    for (int i = 0; i < 4; ++i) {
        if (!CreateScratchKey(m_base + "\\" + RootLabel(kRoots[i]), &m_overrides[i]))
            return;
    }
    // HKEY_CURRENT_USER last: the other sandboxes were opened through the real one.
    for (int i : {0, 2, 3, 1}) {
        if (::RegOverridePredefKey(kRoots[i], m_overrides[i]) != ERROR_SUCCESS)
            return;
    }
    m_active = true;
}

CRegistrySandbox::~CRegistrySandbox()
{
    for (HKEY root : kRoots)
        ::RegOverridePredefKey(root, nullptr);
    for (HKEY& key : m_overrides) {
        if (key)
            ::RegCloseKey(key);
        key = nullptr;
    }
    DeleteScratchKey(m_base);
}

bool CreateScratchKey(const std::string& path, HKEY* key)
{
    // Wine creates a path's missing keys one at a time, so another test program's
    // DeleteScratchKey can take the common parent away between two of them: the creation then
    // fails on a deleted key and goes again.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key,
                              nullptr) == ERROR_SUCCESS)
            return true;
    }
    *key = nullptr;
    return false;
}

void DeleteScratchKey(const std::string& path)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    // The common parent goes with the last scratch key (a key that still has one is not deleted).
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path.substr(0, path.rfind('\\')).c_str());
}

std::string CRegistrySandbox::RealPathOf(HKEY root) const
{
    return m_base + "\\" + RootLabel(root);
}

bool WriteRegBinary(HKEY root, const char* key, const char* name, const void* data, DWORD size, DWORD type)
{
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG result = ::RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool WriteRegString(HKEY root, const char* key, const char* name, const char* value, DWORD type)
{
    return WriteRegBinary(root, key, name, value, static_cast<DWORD>(std::strlen(value) + 1), type);
}

bool WriteRegDword(HKEY root, const char* key, const char* name, DWORD value)
{
    return WriteRegBinary(root, key, name, &value, sizeof(value), REG_DWORD);
}

bool CreateRegKey(HKEY root, const char* key)
{
    HKEY handle = nullptr;
    if (::RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_READ, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

bool RegKeyExists(HKEY root, const char* key)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

bool RegValueExists(HKEY root, const char* key, const char* name)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    const LONG result = ::RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}
