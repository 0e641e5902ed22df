#include "RegistryValues.h"

#include <cstring>
#include <string>

namespace {

const REGSAM kView = KEY_WOW64_64KEY;

} // namespace

BOOL CRegKey64::Open(HKEY root, const char* path, REGSAM access)
{
    Close();
    if (::RegOpenKeyExA(root, path, 0, access | kView, &m_key) != ERROR_SUCCESS)
        m_key = nullptr;
    return m_key != nullptr;
}

BOOL CRegKey64::Create(HKEY root, const char* path)
{
    Close();
    if (::RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &m_key, nullptr) != ERROR_SUCCESS)
        m_key = nullptr;
    return m_key != nullptr;
}

void CRegKey64::Close()
{
    if (m_key)
        ::RegCloseKey(m_key);
    m_key = nullptr;
}

BOOL ReadRegValue(HKEY key, const char* name, REG_VALUE_DATA* value)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size > kMaxRegValueBytes)
            return FALSE;
        std::vector<BYTE> data(size);
        DWORD read = size;
        const LONG result = ::RegQueryValueExA(key, name, nullptr, &type, size ? data.data() : nullptr, &read);
        if (result == ERROR_MORE_DATA)
            continue;  // it grew meanwhile
        if (result != ERROR_SUCCESS)
            return FALSE;
        data.resize(read);
        value->type = type;
        value->data = data;
        return TRUE;
    }
    return FALSE;
}

// The bytes as text, up to their first NUL (registry text need not be terminated).
CString RegValueText(const std::vector<BYTE>& data)
{
    size_t length = 0;
    while (length < data.size() && data[length])
        ++length;
    return CString(std::string(reinterpret_cast<const char*>(data.data()), length));
}

CString ReadRegText(HKEY key, const char* name)
{
    REG_VALUE_DATA value;
    return ReadRegValue(key, name, &value) ? RegValueText(value.data) : CString();
}

BOOL ReadRegDword(HKEY key, const char* name, DWORD* number)
{
    REG_VALUE_DATA value;
    if (!ReadRegValue(key, name, &value) || value.type != REG_DWORD || value.data.size() != sizeof(DWORD))
        return FALSE;
    std::memcpy(number, value.data.data(), sizeof(DWORD));
    return TRUE;
}

std::vector<CString> SplitMultiString(const std::vector<BYTE>& data)
{
    std::vector<CString> strings;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = start;
        while (end < data.size() && data[end])
            ++end;
        if (end == start && (end + 1 >= data.size()))
            break;  // the final terminator
        strings.push_back(CString(std::string(reinterpret_cast<const char*>(data.data()) + start, end - start)));
        start = end + 1;
    }
    return strings;
}

std::vector<BYTE> JoinMultiString(const std::vector<CString>& strings)
{
    std::vector<BYTE> data;
    for (const CString& text : strings) {
        data.insert(data.end(), text.GetString(), text.GetString() + text.GetLength());
        data.push_back(0);
    }
    data.push_back(0);
    return data;
}

BOOL WriteRegBytes(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& data)
{
    return ::RegSetValueExA(key, name, 0, type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

BOOL WriteRegText(HKEY key, const char* name, const CString& text)
{
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.GetString()),
                            static_cast<DWORD>(text.GetLength() + 1)) == ERROR_SUCCESS;
}

BOOL WriteRegDword(HKEY key, const char* name, DWORD number)
{
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)) ==
           ERROR_SUCCESS;
}


BOOL DeleteRegSubkey64(HKEY parent, const char* subkey)
{
    typedef LONG(WINAPI * DELETE_KEY_EX)(HKEY, LPCSTR, REGSAM, DWORD);
    static const DELETE_KEY_EX deleteKeyEx = reinterpret_cast<DELETE_KEY_EX>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
    const LONG result = deleteKeyEx ? deleteKeyEx(parent, subkey, kView, 0) : ::RegDeleteKeyA(parent, subkey);
    return result == ERROR_SUCCESS;
}
