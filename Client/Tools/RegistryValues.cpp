#include "RegistryValues.h"

#include <cstring>

namespace {

const REGSAM kView = KEY_WOW64_64KEY;

} // namespace

BOOL CRegKey64::Open(HKEY root, const wchar_t* path, REGSAM access)
{
    Close();
    if (::RegOpenKeyExW(root, path, 0, access | kView, &m_key) != ERROR_SUCCESS)
        m_key = nullptr;
    return m_key != nullptr;
}

BOOL CRegKey64::Create(HKEY root, const wchar_t* path)
{
    Close();
    if (::RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &m_key, nullptr) != ERROR_SUCCESS)
        m_key = nullptr;
    return m_key != nullptr;
}

void CRegKey64::Close()
{
    if (m_key)
        ::RegCloseKey(m_key);
    m_key = nullptr;
}

BOOL ReadRegValue(HKEY key, const wchar_t* name, REG_VALUE_DATA* value)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size > kMaxRegValueBytes)
            return FALSE;
        std::vector<BYTE> data(size);
        DWORD read = size;
        const LONG result = ::RegQueryValueExW(key, name, nullptr, &type, size ? data.data() : nullptr, &read);
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

std::wstring RegValueText(const std::vector<BYTE>& data)
{
    std::wstring text;
    for (size_t at = 0; at + 1 < data.size(); at += 2) {
        const wchar_t ch = static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
        if (!ch)
            break;
        text += ch;
    }
    return text;
}

std::wstring ReadRegText(HKEY key, const wchar_t* name)
{
    REG_VALUE_DATA value;
    return ReadRegValue(key, name, &value) ? RegValueText(value.data) : std::wstring();
}

BOOL ReadRegDword(HKEY key, const wchar_t* name, DWORD* number)
{
    REG_VALUE_DATA value;
    if (!ReadRegValue(key, name, &value) || value.type != REG_DWORD || value.data.size() != sizeof(DWORD))
        return FALSE;
    std::memcpy(number, value.data.data(), sizeof(DWORD));
    return TRUE;
}

std::vector<std::wstring> SplitMultiString(const std::vector<BYTE>& data)
{
    // Whole characters only: an odd last byte belongs to no string.
    std::wstring all;
    for (size_t at = 0; at + 1 < data.size(); at += 2)
        all += static_cast<wchar_t>(data[at] | (data[at + 1] << 8));
    std::vector<std::wstring> strings;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos)
            end = all.size();
        if (end == start && end + 1 >= all.size())
            break;  // the final terminator
        strings.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

std::vector<BYTE> JoinMultiString(const std::vector<std::wstring>& strings)
{
    std::vector<BYTE> data;
    auto append = [&data](wchar_t ch) {
        data.push_back(static_cast<BYTE>(ch & 0xFF));
        data.push_back(static_cast<BYTE>((ch >> 8) & 0xFF));
    };
    for (const std::wstring& text : strings) {
        for (wchar_t ch : text)
            append(ch);
        append(L'\0');
    }
    append(L'\0');
    return data;
}

BOOL WriteRegBytes(HKEY key, const wchar_t* name, DWORD type, const std::vector<BYTE>& data)
{
    return ::RegSetValueExW(key, name, 0, type, data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

BOOL WriteRegText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

BOOL WriteRegDword(HKEY key, const wchar_t* name, DWORD number)
{
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)) ==
           ERROR_SUCCESS;
}

BOOL DeleteRegSubkey64(HKEY parent, const wchar_t* subkey)
{
    typedef LONG(WINAPI * DELETE_KEY_EX)(HKEY, LPCWSTR, REGSAM, DWORD);
    static const DELETE_KEY_EX deleteKeyEx = reinterpret_cast<DELETE_KEY_EX>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExW")));
    const LONG result = deleteKeyEx ? deleteKeyEx(parent, subkey, kView, 0) : ::RegDeleteKeyW(parent, subkey);
    return result == ERROR_SUCCESS;
}

std::vector<std::wstring> RegSubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    wchar_t name[256];
    // Any failure ends the walk: some keys never answer "no more items".
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name) / sizeof(name[0]);
        if (::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(std::wstring(name, length));
    }
    return names;
}

CString CodePageText(const std::wstring& text)
{
    if (text.empty())
        return CString();
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                             nullptr);
    std::string narrow(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return CString(std::move(narrow));
}

std::wstring WideText(const CString& text)
{
    if (text.IsEmpty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), &wide[0], length);
    return wide;
}

std::wstring UpperText(std::wstring text)
{
    if (!text.empty())
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}
