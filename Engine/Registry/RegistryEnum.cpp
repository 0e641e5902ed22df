#include "RegistryEnum.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Key and value names are at most 255 characters on every supported Windows; the fallback
// covers keys whose information cannot be queried.
const DWORD kDefaultNameLength = 260;
// Reads of a value that keeps changing size give up after this many attempts.
const int kReadAttempts = 4;
// Zero bytes kept past the data, enough to end a text or a double-zero-ended text list.
const DWORD kTerminatorBytes = 2;

DWORD LongestNameLength(HKEY key, bool values)
{
    DWORD subkeyName = 0, valueName = 0;
    const LONG result = values ? ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, &valueName, nullptr, nullptr, nullptr)
                               : ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &subkeyName, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr);
    const DWORD longest = values ? valueName : subkeyName;
    if (result != ERROR_SUCCESS || longest < kDefaultNameLength)
        return kDefaultNameLength;
    return longest + 1;
}

} // namespace

CRegistrySubkeyEnum::CRegistrySubkeyEnum(HKEY key) : m_key(key)
{
    m_name.assign(key ? LongestNameLength(key, false) + 1 : 1, '\0');
}

BOOL CRegistrySubkeyEnum::Next(CString* name)
{
    if (m_ended || !m_key)
        return FALSE;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD length = static_cast<DWORD>(m_name.size() - 1);
        m_name.assign(m_name.size(), '\0');
        const LONG result = ::RegEnumKeyExA(m_key, m_index, m_name.data(), &length, nullptr, nullptr, nullptr,
                                            nullptr);
        if (result == ERROR_SUCCESS) {
            ++m_index;
            if (name)
                *name = CString(m_name.data(), static_cast<int>(length < m_name.size() ? length : 0));
            return TRUE;
        }
        if (result != ERROR_MORE_DATA)
            break;
        // A subkey with a longer name was added meanwhile.
        m_name.assign(m_name.size() * 2, '\0');
    }
    m_ended = true;
    return FALSE;
}

CRegistryValueEnum::CRegistryValueEnum(HKEY key) : m_key(key)
{
    m_name.assign(key ? LongestNameLength(key, true) + 1 : 1, '\0');
}

BOOL CRegistryValueEnum::Next(CRegistryValue* value)
{
    if (m_ended || !m_key || !value)
        return FALSE;
    for (;;) {
        LONG error = ERROR_SUCCESS;
        const DWORD index = m_index++;
        if (ReadAt(index, value, &error))
            return TRUE;
        if (error != ERROR_MORE_DATA) {
            m_ended = true;
            return FALSE;
        }
        // Still growing after several reads: pass it over.
    }
}

BOOL CRegistryValueEnum::ReadAt(DWORD index, CRegistryValue* value, LONG* error)
{
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        // First the name, type and size only.
        DWORD nameLength = static_cast<DWORD>(m_name.size() - 1);
        DWORD type = REG_NONE, size = 0;
        m_name.assign(m_name.size(), '\0');
        LONG result = ::RegEnumValueA(m_key, index, m_name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (result == ERROR_MORE_DATA) {
            // Without a data buffer only the name can be too long: a value was renamed meanwhile.
            m_name.assign(m_name.size() * 2, '\0');
            *error = ERROR_MORE_DATA;
            continue;
        }
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) {
            *error = result;
            return FALSE;
        }
        // Then the data into a buffer of that size and a zeroed terminator.
        value->Data.assign(static_cast<size_t>(size) + kTerminatorBytes, 0);
        nameLength = static_cast<DWORD>(m_name.size() - 1);
        DWORD length = size;
        m_name.assign(m_name.size(), '\0');
        result = ::RegEnumValueA(m_key, index, m_name.data(), &nameLength, nullptr, &type,
                                 size ? value->Data.data() : nullptr, &length);
        if (result == ERROR_SUCCESS && length <= size) {
            value->Name = CString(m_name.data(), static_cast<int>(nameLength < m_name.size() ? nameLength : 0));
            value->Type = type;
            value->Length = length;
            // Whatever lies past the returned length is zero again.
            std::fill(value->Data.begin() + length, value->Data.end(), BYTE(0));
            *error = ERROR_SUCCESS;
            return TRUE;
        }
        *error = result == ERROR_SUCCESS ? ERROR_MORE_DATA : result;
        if (*error != ERROR_MORE_DATA)
            return FALSE;
        // The value grew between the two calls: start over.
    }
    return FALSE;
}

LONG ReadRegistryValue(HKEY key, const char* name, CRegistryValue* value)
{
    if (!key || !value)
        return ERROR_INVALID_PARAMETER;
    LONG result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kReadAttempts && result == ERROR_MORE_DATA; ++attempt) {
        DWORD type = REG_NONE, size = 0;
        result = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (result != ERROR_SUCCESS)
            return result;
        value->Data.assign(static_cast<size_t>(size) + kTerminatorBytes, 0);
        DWORD length = size;
        result = ::RegQueryValueExA(key, name, nullptr, &type, size ? value->Data.data() : nullptr, &length);
        if (result == ERROR_SUCCESS && length > size)
            result = ERROR_MORE_DATA;
        if (result == ERROR_SUCCESS) {
            value->Name = name ? name : "";
            value->Type = type;
            value->Length = length;
            std::fill(value->Data.begin() + length, value->Data.end(), BYTE(0));
        }
    }
    return result;
}

BOOL ReadRegistryString(HKEY key, const char* name, CString* text)
{
    CRegistryValue value;
    if (ReadRegistryValue(key, name, &value) != ERROR_SUCCESS)
        return FALSE;
    if (value.Type != REG_SZ && value.Type != REG_EXPAND_SZ)
        return FALSE;
    if (text)
        *text = value.Text();
    return TRUE;
}

BOOL ReadRegistryDword(HKEY key, const char* name, DWORD* number)
{
    CRegistryValue value;
    if (ReadRegistryValue(key, name, &value) != ERROR_SUCCESS || value.Type != REG_DWORD || value.Length < 4)
        return FALSE;
    if (number)
        std::memcpy(number, value.Data.data(), sizeof(DWORD));
    return TRUE;
}

namespace {

const DWORD kBytesPerLine = 21;

void AppendByteList(const BYTE* data, DWORD length, CString* text)
{
    static const char kHex[] = "0123456789abcdef";
    std::string list;
    list.reserve(static_cast<size_t>(length) * 3 + length / kBytesPerLine * 2 + 1);
    for (DWORD i = 0; i < length; ++i) {
        list += kHex[data[i] >> 4];
        list += kHex[data[i] & 0x0f];
        list += ',';
        if (i != 0 && i % kBytesPerLine == 0)
            list += "\\\n";
    }
    list += '\n';
    *text += list.c_str();
}

} // namespace

void FormatRegistryValueText(DWORD type, const BYTE* data, DWORD length, CString* text)
{
    if (!text)
        return;
    text->Empty();
    if (!data && length)
        return;
    switch (type) {
    case REG_SZ: {
        // The data up to its first zero, never past its length.
        DWORD end = 0;
        while (end < length && data[end])
            ++end;
        *text = CString(reinterpret_cast<const char*>(data), static_cast<int>(end));
        break;
    }
    case REG_DWORD: {
        DWORD number = 0;
        if (length >= sizeof(number))
            std::memcpy(&number, data, sizeof(number));
        text->Format("dword:%08x\n", static_cast<unsigned>(number));
        break;
    }
    case REG_BINARY:
        *text = "hexvalueinreg--:";
        AppendByteList(data, length, text);
        break;
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
    case REG_RESOURCE_LIST:
    case REG_FULL_RESOURCE_DESCRIPTOR:
    case REG_RESOURCE_REQUIREMENTS_LIST:
        text->Format("hexvalueinreg--(%d):", static_cast<int>(type));
        AppendByteList(data, length, text);
        break;
    default:
        break;
    }
}
