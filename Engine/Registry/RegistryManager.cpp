// Registry access by text path: opening, listing, text forms of value data, setting and
// deleting. The backup file half of the class lives in RegistryBackup.cpp.
#include "RegistryManager.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "BackupText.h"
#include "RegistryKey.h"
#include "RegistryNames.h"
#include "RegistryPath.h"

namespace {

const char kDefaultName[] = "(Default)";
const char kValueNotSet[] = "(value not set)";
const char kHexDigits[] = "0123456789abcdef";

// Longest value name the registry allows, plus its terminator.
const DWORD kMaxValueNameChars = 16384;
// A value that keeps growing between two reads is given up after this many tries.
const int kEnumValueTries = 16;

// A value as the registry answered for it: its name, type and bytes.
_REGISTRY_RAW_VALUE RawValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data, DWORD size)
{
    _REGISTRY_RAW_VALUE value;
    value.Unnamed = nameLength == 0;
    value.WideName.assign(name, nameLength);
    std::string ansiName;
    value.NameLost = !WideToAnsiExact(name, static_cast<int>(nameLength), &ansiName);
    value.Name = CString(ansiName);
    value.Type = type;
    value.Data.assign(data, data + size);
    return value;
}

// One value by its name, into `data` (grown while the value grows); its size in *size.
LONG QueryValueByName(HKEY key, const std::wstring& name, DWORD* type, std::vector<BYTE>* data, DWORD* size)
{
    LONG result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < kEnumValueTries && result == ERROR_MORE_DATA; ++attempt) {
        *size = static_cast<DWORD>(data->size());
        result = ::RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), size);
        if (result == ERROR_MORE_DATA)
            data->resize(std::max<size_t>(data->size() * 2, size_t(*size) * 2 + 1));
    }
    return result;
}

// The values by index, up to the `count` the key reported: ERROR_SUCCESS, or the error that
// ended the reading (ERROR_NO_MORE_ITEMS when there were fewer, ERROR_KEY_DELETED when the key
// went). A value that cannot be read is counted in *unreadable and passed over.
LONG ReadValuesByIndex(HKEY key, DWORD count, DWORD longestName, DWORD longestData,
                       std::vector<_REGISTRY_RAW_VALUE>* values, int* unreadable)
{
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = 0, dataSize = 0, type = REG_NONE;
        LONG result = ERROR_MORE_DATA;
        for (int attempt = 0; attempt < kEnumValueTries && result == ERROR_MORE_DATA; ++attempt) {
            nameLength = static_cast<DWORD>(name.size());
            dataSize = static_cast<DWORD>(data.size());
            result = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
            if (result == ERROR_MORE_DATA) {
                // The value grew since the key was queried; the failed call told its size.
                // Room for twice that, so a value that keeps growing is still caught.
                name.resize(kMaxValueNameChars);
                data.resize(std::max<size_t>(data.size() * 2, size_t(dataSize) * 2 + 1));
            }
        }
        // The end, or the key was deleted meanwhile: nothing of it is left to read.
        if (result == ERROR_NO_MORE_ITEMS || result == ERROR_KEY_DELETED)
            return result;
        if (result != ERROR_SUCCESS) {
            ++*unreadable;
            continue;
        }
        values->push_back(RawValue(name.data(), nameLength, type, data.data(), dataSize));
    }
    return ERROR_SUCCESS;
}

// The values again, each read by its name after all the names were read: deletions meanwhile
// cannot move one that stays out of the list. A value deleted after its name was read is gone,
// not unreadable; so are all of a key deleted meanwhile.
void ReadValuesByName(HKEY key, std::vector<_REGISTRY_RAW_VALUE>* values, int* unreadable)
{
    values->clear();
    *unreadable = 0;
    CRegistryNames listing(key, CRegistryNames::VALUES);
    std::vector<std::wstring> names;
    const CRegistryNames::Ending ending = listing.Read(&names);
    if (ending == CRegistryNames::KEY_GONE)
        return;
    if (ending == CRegistryNames::CUT_SHORT)
        ++*unreadable;
    std::vector<BYTE> data(256);
    for (const std::wstring& name : names) {
        // A name with a zero inside cannot be asked for: the part before the zero names another.
        if (name.find(L'\0') != std::wstring::npos) {
            ++*unreadable;
            continue;
        }
        DWORD type = REG_NONE, size = 0;
        const LONG result = QueryValueByName(key, name, &type, &data, &size);
        if (result == ERROR_KEY_DELETED)
            return;
        if (result == ERROR_FILE_NOT_FOUND)
            continue;
        if (result != ERROR_SUCCESS) {
            ++*unreadable;
            continue;
        }
        values->push_back(RawValue(name.c_str(), static_cast<DWORD>(name.size()), type, data.data(), size));
    }
}

struct TypeName {
    DWORD type;
    const char* name;
};

// The names written for each type code; types not listed have no name of their own.
const TypeName kTypeNames[] = {
    {REG_NONE, "REG_SZ"},
    {REG_SZ, "REG_SZ"},
    {REG_LINK, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

// The names read, in the order they are compared.
const TypeName kNameTypes[] = {
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
};

void AppendHexByte(std::string* text, BYTE byte)
{
    *text += kHexDigits[byte >> 4];
    *text += kHexDigits[byte & 0x0F];
}

CString HexBytes(const BYTE* data, DWORD size)
{
    std::string text;
    text.reserve(size * 3);
    for (DWORD i = 0; i < size; ++i) {
        if (i)
            text += ' ';
        AppendHexByte(&text, data[i]);
    }
    return CString(text);
}

// Reads `count` hex pairs starting at text position `first` into bytes, last pair first.
bool ParseReversedHex(const CString& text, int first, int count, std::vector<BYTE>* data)
{
    if (text.GetLength() < first + 2 * count)
        return false;
    data->assign(static_cast<size_t>(count), 0);
    for (int i = 0; i < count; ++i) {
        BYTE byte;
        if (!CRegistryManager::HexToByte(text[first + 2 * i], text[first + 2 * i + 1], &byte))
            return false;
        (*data)[static_cast<size_t>(count - 1 - i)] = byte;
    }
    return true;
}

// Splits "ROOT\rest" at its first backslash; a text without one is a root alone.
void SplitRootText(const CString& text, CString* rootName, CString* rest)
{
    const int slash = text.Find('\\');
    *rootName = slash < 0 ? text : text.Left(slash);
    *rest = slash < 0 ? CString() : text.Mid(slash + 1);
}

// String types are listed as text in the system code page.
bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

int DeleteKeyTreeAt(HKEY parent, const wchar_t* subKey, int depth)
{
    if (::RegDeleteKeyW(parent, subKey) == ERROR_SUCCESS)
        return 1;
    HKEY opened = nullptr;
    const LONG openResult = ::RegOpenKeyExW(parent, subKey, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &opened);
    if (openResult == ERROR_FILE_NOT_FOUND)
        return 1;
    if (openResult != ERROR_SUCCESS || depth >= CRegistryManager::kMaxKeyDepth) {
        if (opened)
            ::RegCloseKey(opened);
        return 0;
    }
    CRegistryKey key(opened);
    // Every round removes the first child; a child that comes back under the same name could
    // not be removed, and trying it again would never end.
    std::wstring previous;
    bool first = true;
    for (;;) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring child(name, length);
        if (!first && child == previous)
            return 0;
        first = false;
        previous = child;
        if (!DeleteKeyTreeAt(key, child.c_str(), depth + 1))
            return 0;
    }
    key.Close();
    return ::RegDeleteKeyW(parent, subKey) == ERROR_SUCCESS ? 1 : 0;
}

// The value's bytes in the system code page when it is a string type, else as stored.
std::string ListedBytes(const _REGISTRY_RAW_VALUE& value)
{
    if (!IsStringType(value.Type))
        return std::string(value.Data.begin(), value.Data.end());
    std::string ansi;
    WideToAnsiExact(reinterpret_cast<const wchar_t*>(value.Data.data()), static_cast<int>(value.Data.size() / 2),
                    &ansi);
    return ansi;
}

} // namespace

LONG CRegistryManager::OpenKey(const char* subKey, const char* rootName, REGSAM access, HKEY* key)
{
    *key = nullptr;
    const HKEY root = RegistryRootFromName(rootName);
    if (!root)
        return ERROR_INVALID_HANDLE;
    return ::RegOpenKeyExA(root, subKey ? subKey : "", 0, access, key);
}

int CRegistryManager::DeleteKey(const char* keyText)
{
    HKEY root = nullptr;
    CString subKey;
    if (!SplitRegistryKeyText(keyText, &root, &subKey))
        return 0;
    // "HKEY_CURRENT_USER\\" would open the root itself: a key part of separators names no key.
    subKey.Trim('\\');
    if (subKey.IsEmpty())
        return 0;
    const std::wstring wide = AnsiToWide(subKey);
    return DeleteKeyTree(root, wide.c_str());
}

int CRegistryManager::DeleteKeyTree(HKEY parent, const wchar_t* subKey)
{
    if (!parent || !subKey || !*subKey)
        return 0;
    return DeleteKeyTreeAt(parent, subKey, 0);
}

int CRegistryManager::DeleteValue(const char* valueText)
{
    const CString text(valueText);
    const int slash = text.ReverseFind('\\');
    if (slash < 1 || slash + 1 >= text.GetLength())
        return 0;
    CString rootName, subKey;
    SplitRootText(text.Left(slash), &rootName, &subKey);
    HKEY opened = nullptr;
    if (OpenKey(subKey, rootName, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
        return 0;
    CRegistryKey key(opened);
    return ::RegDeleteValueA(key, text.Mid(slash + 1)) == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryManager::KeyExists(const char* keyText)
{
    CString rootName, subKey;
    SplitRootText(keyText, &rootName, &subKey);
    HKEY opened = nullptr;
    if (OpenKey(subKey, rootName, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    ::RegCloseKey(opened);
    return 1;
}

bool CRegistryManager::EnumRawValues(HKEY key, std::vector<_REGISTRY_RAW_VALUE>* values, int* unreadable)
{
    values->clear();
    int notRead = 0;
    DWORD count = 0, longestName = 0, longestData = 0;
    FILETIME written = {};
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                           &longestData, nullptr, &written) != ERROR_SUCCESS) {
        if (unreadable)
            *unreadable = 0;
        return false;
    }
    const LONG ended = ReadValuesByIndex(key, count, longestName, longestData, values, &notRead);
    // Values created or deleted while they were read by index: those after a deletion moved
    // down, and one that stays could have been passed over. They are read again, by name.
    DWORD countAfter = 0;
    FILETIME writtenAfter = {};
    if (ended != ERROR_KEY_DELETED &&
        (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &countAfter, nullptr, nullptr,
                            nullptr, &writtenAfter) != ERROR_SUCCESS ||
         countAfter != count || ::CompareFileTime(&written, &writtenAfter) != 0))
        ReadValuesByName(key, values, &notRead);
    if (unreadable)
        *unreadable = notRead;
    return true;
}

void CRegistryManager::EnumValues(HKEY key, std::vector<_REGISTRY_VALUE>* values)
{
    values->clear();
    std::vector<_REGISTRY_RAW_VALUE> raw;
    EnumRawValues(key, &raw);
    bool hasUnnamed = false;
    for (const _REGISTRY_RAW_VALUE& value : raw) {
        // A name the code page cannot carry would name some other value: leave it out.
        if (value.NameLost)
            continue;
        const std::string bytes = ListedBytes(value);
        CString text = FormatValueData(reinterpret_cast<const BYTE*>(bytes.data()), value.Type,
                                       static_cast<DWORD>(bytes.size()));
        _REGISTRY_VALUE record;
        if (value.Unnamed) {
            hasUnnamed = true;
            record.Set(kDefaultName, bytes.empty() && text.IsEmpty() ? CString(kValueNotSet) : text, value.Type);
        } else {
            record.Set(value.Name, text, value.Type);
        }
        values->push_back(record);
    }
    if (!hasUnnamed) {
        _REGISTRY_VALUE placeholder;
        placeholder.Set(kDefaultName, kValueNotSet, REG_SZ);
        values->insert(values->begin(), placeholder);
    }
}

CString CRegistryManager::FormatValueData(const BYTE* data, DWORD type, DWORD size)
{
    if (!data)
        size = 0;
    switch (type) {
    case REG_BINARY:
    case REG_RESOURCE_LIST:
    case REG_RESOURCE_REQUIREMENTS_LIST:
        return HexBytes(data, size);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN: {
        // Data of any other size has no number to show: its bytes are shown instead.
        if (size != 4)
            return HexBytes(data, size);
        const bool big = type == REG_DWORD_BIG_ENDIAN;
        std::string text = "0x";
        DWORD value = 0;
        for (int i = 0; i < 4; ++i) {
            const BYTE byte = data[big ? i : 3 - i];
            AppendHexByte(&text, byte);
            value = (value << 8) | byte;
        }
        char number[24];
        std::snprintf(number, sizeof(number), " (%ld)", static_cast<long>(static_cast<LONG>(value)));
        return CString(text + number);
    }
    case REG_QWORD: {
        if (size != 8)
            return HexBytes(data, size);
        std::string text = "0x";
        for (int i = 7; i >= 0; --i)
            AppendHexByte(&text, data[i]);
        return CString(text);
    }
    case REG_MULTI_SZ: {
        std::string text;
        const DWORD shown = size >= 2 ? size - 2 : 0;
        for (DWORD i = 0; i < shown; ++i) {
            if (data[i])
                text += static_cast<char>(data[i]);
            else
                text += "\r\n";
        }
        return CString(text);
    }
    case REG_LINK: {
        std::string ansi;
        const wchar_t* wide = reinterpret_cast<const wchar_t*>(data);
        int length = 0;
        while (length < static_cast<int>(size / 2) && wide[length])
            ++length;
        WideToAnsiExact(wide, length, &ansi);
        return CString(ansi);
    }
    default: {
        DWORD length = 0;
        while (length < size && data[length])
            ++length;
        return CString(reinterpret_cast<const char*>(data), static_cast<int>(length));
    }
    }
}

bool CRegistryManager::ParseValueData(DWORD type, const CString& text, std::vector<BYTE>* data)
{
    data->clear();
    const int length = text.GetLength();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        data->assign(text.GetString(), text.GetString() + length + 1);
        return true;
    case REG_BINARY:
    case REG_RESOURCE_LIST:
    case REG_RESOURCE_REQUIREMENTS_LIST: {
        if (length == 0) {
            data->assign(1, 0);
            return true;
        }
        const int count = (length + 1) / 3;
        if (count * 3 - 1 != length)
            return false;
        data->resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (i && text[3 * i - 1] != ' ')
                return false;
            if (!HexToByte(text[3 * i], text[3 * i + 1], &(*data)[static_cast<size_t>(i)]))
                return false;
        }
        return true;
    }
    case REG_DWORD:
        if (length == 0) {
            data->assign(4, 0);
            return true;
        }
        return ParseReversedHex(text, 2, 4, data);
    case REG_QWORD:
        if (length == 0) {
            data->assign(8, 0);
            return true;
        }
        return ParseReversedHex(text, 2, 8, data);
    case REG_MULTI_SZ:
        if (length == 0) {
            data->assign(1, 0);
            return true;
        }
        for (char ch : text.Str()) {
            if (ch == '\r')
                continue;
            data->push_back(ch == '\n' ? 0 : static_cast<BYTE>(ch));
        }
        data->push_back(0);
        data->push_back(0);
        return true;
    default:
        return false;
    }
}

CString CRegistryManager::TypeToName(DWORD type)
{
    for (const TypeName& entry : kTypeNames)
        if (entry.type == type)
            return entry.name;
    return CString();
}

DWORD CRegistryManager::NameToType(const char* name)
{
    const CString text(name);
    for (const TypeName& entry : kNameTypes)
        if (text.CompareNoCase(entry.name) == 0)
            return entry.type;
    return REG_SZ;
}

bool CRegistryManager::HexToByte(char high, char low, BYTE* byte)
{
    auto digit = [](char ch) -> int {
        if (ch >= '0' && ch <= '9')
            return ch - '0';
        if (ch >= 'a' && ch <= 'f')
            return ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F')
            return ch - 'A' + 10;
        return -1;
    };
    const int h = digit(high), l = digit(low);
    if (h < 0 || l < 0)
        return false;
    *byte = static_cast<BYTE>(h * 16 + l);
    return true;
}

LONG CRegistryManager::SetValue(const char* name, HKEY key, const CString& dataText, const char* typeName)
{
    if (!key)
        return ERROR_INVALID_HANDLE;
    const char* systemName = CString(name).CompareNoCase(kDefaultName) == 0 ? nullptr : name;
    const DWORD type = NameToType(typeName);
    std::vector<BYTE> data;
    if (!ParseValueData(type, dataText, &data) || data.empty())
        return ERROR_INVALID_DATA;
    return ::RegSetValueExA(key, systemName, 0, type, data.data(), static_cast<DWORD>(data.size()));
}
