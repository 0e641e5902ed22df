#include "RegistryEnum.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Key and value names are at most 255 characters on every supported Windows; longer ones (or
// keys whose information cannot be queried) grow the buffer when the system asks for more.
const DWORD kDefaultNameLength = 260;
// Reads of a value that keeps changing size give up after this many attempts.
const int kReadAttempts = 4;
// Zero bytes kept past the data, enough to end a text or a double-zero-ended text list.
const DWORD kTerminatorBytes = 2;

} // namespace

CRegistrySubkeyEnum::CRegistrySubkeyEnum(HKEY key) : m_key(key)
{
    m_name.assign(kDefaultNameLength + 1, '\0');
}

BOOL CRegistrySubkeyEnum::Next(CString* name)
{
    if (m_ended || !m_key)
        return FALSE;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD length = static_cast<DWORD>(m_name.size() - 1);
        m_name[0] = '\0';
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
        m_name.assign(m_name.size() * 2, '\0');
    }
    m_ended = true;
    return FALSE;
}

CRegistryValueEnum::CRegistryValueEnum(HKEY key) : m_key(key)
{
    if (key)
        QueryLengths();
}

CRegistryValueEnum::CRegistryValueEnum(HKEY key, DWORD longestName, DWORD longestData) : m_key(key)
{
    SizeBuffers(longestName, longestData);
}

void CRegistryValueEnum::SizeBuffers(DWORD longestName, DWORD longestData)
{
    const size_t nameSize = (longestName < kDefaultNameLength ? kDefaultNameLength : longestName) + 1;
    if (m_name.size() < nameSize)
        m_name.assign(nameSize, '\0');
    const size_t dataSize = static_cast<size_t>(longestData) + kTerminatorBytes;
    if (m_data.size() < dataSize)
        m_data.assign(dataSize, 0);
}

bool CRegistryValueEnum::QueryLengths()
{
    DWORD longestName = 0, longestData = 0;
    const bool known = ::RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          &longestName, &longestData, nullptr, nullptr) == ERROR_SUCCESS;
    SizeBuffers(known ? longestName : 0, known ? longestData : 0);
    return known;
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
        // Both lengths are reset before every call; the data buffer keeps room for the
        // terminator that the read itself never writes.
        DWORD nameLength = static_cast<DWORD>(m_name.size() - 1);
        DWORD length = static_cast<DWORD>(m_data.size() - kTerminatorBytes);
        DWORD type = REG_NONE;
        m_name[0] = '\0';
        const LONG result =
            ::RegEnumValueA(m_key, index, m_name.data(), &nameLength, nullptr, &type, m_data.data(), &length);
        if (result == ERROR_SUCCESS && length <= m_data.size() - kTerminatorBytes) {
            value->Name = CString(m_name.data(), static_cast<int>(nameLength < m_name.size() ? nameLength : 0));
            value->Type = type;
            value->Length = length;
            value->Data.assign(m_data.begin(), m_data.begin() + length);
            value->Data.resize(static_cast<size_t>(length) + kTerminatorBytes, 0);
            *error = ERROR_SUCCESS;
            return TRUE;
        }
        *error = result == ERROR_SUCCESS ? ERROR_MORE_DATA : result;
        if (*error != ERROR_MORE_DATA)
            return FALSE;
        // The value (or its name) grew after the key's lengths were read: size again.
        if (!QueryLengths() || attempt > 0) {
            m_name.assign(m_name.size() * 2, '\0');
            m_data.assign(m_data.size() * 2, 0);
        }
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
