#include "LinkKey.h"

CLinkKey::CLinkKey(HKEY root, const std::string& path, const std::string& target) : m_root(root), m_path(path)
{
    HKEY link = nullptr;
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                          KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
        return;
    m_made = true;
    const std::wstring wideTarget(target.begin(), target.end());
    m_created = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                 reinterpret_cast<const BYTE*>(wideTarget.c_str()),
                                 static_cast<DWORD>(wideTarget.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    ::RegCloseKey(link);
}

CLinkKey::~CLinkKey()
{
    typedef LONG(NTAPI * DELETE_KEY)(HANDLE);
    const auto deleteKey = reinterpret_cast<DELETE_KEY>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY opened = nullptr;
    if (m_made && deleteKey &&
        ::RegOpenKeyExA(m_root, m_path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &opened) == ERROR_SUCCESS) {
        deleteKey(opened);
        ::RegCloseKey(opened);
    }
}
