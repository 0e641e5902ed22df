// Registry backup files (".rbk"): export of the five roots or of a repair's items, and restore.
//
// Every value keeps its exact type and bytes. A value whose text form reads back to the same
// bytes is written in that form (`value`, and `type` unless it is REG_SZ); any other value,
// such as a string with an embedded zero or a type without a text form, is written as its hex
// bytes with its exact type name and encoding="hex". A value really named "(Default)" carries
// literal="1", so it stays apart from the unnamed value. Names the system code page cannot hold
// are left out and counted, never written under a substitute name.
#include "RegistryManager.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "BackupText.h"
#include "RegistryKey.h"
#include "RegistryPath.h"
#include "Xml/XmlReader.h"
#include "Xml/XmlWriter.h"

namespace {

const char kDefaultName[] = "(Default)";
const char kHexEncoding[] = "hex";
const char* const kExportedRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                      "HKEY_CURRENT_CONFIG"};
// A restore reports one progress step per this many nodes read.
const int kNodesPerProgressStep = 1500;
const REGSAM kRestoreAccess = KEY_CREATE_SUB_KEY | KEY_SET_VALUE;

struct ExactTypeName {
    DWORD type;
    const char* name;
};

// The names of the hex form: every type code its own name.
const ExactTypeName kExactTypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};

CString ExactTypeToName(DWORD type)
{
    for (const ExactTypeName& entry : kExactTypeNames)
        if (entry.type == type)
            return entry.name;
    CString code;
    code.Format("0x%08lx", static_cast<unsigned long>(type));
    return code;
}

bool ExactNameToType(const CString& name, DWORD* type)
{
    for (const ExactTypeName& entry : kExactTypeNames) {
        if (name.CompareNoCase(entry.name) == 0) {
            *type = entry.type;
            return true;
        }
    }
    if (name.GetLength() < 3 || name.GetLength() > 10 || name[0] != '0' || (name[1] != 'x' && name[1] != 'X'))
        return false;
    DWORD value = 0;
    for (int i = 2; i < name.GetLength(); ++i) {
        BYTE digit;
        if (!CRegistryManager::HexToByte('0', name[i], &digit))
            return false;
        value = value * 16 + digit;
    }
    *type = value;
    return true;
}

CString HexText(const std::vector<BYTE>& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(data.size() * 3);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i)
            text += ' ';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return CString(text);
}

// "0a 1b ff" to bytes; the empty text is zero bytes.
bool ParseHexText(const CString& text, std::vector<BYTE>* data)
{
    data->clear();
    const int length = text.GetLength();
    if (length == 0)
        return true;
    if ((length + 1) % 3 != 0)
        return false;
    data->resize(static_cast<size_t>((length + 1) / 3));
    for (size_t i = 0; i < data->size(); ++i) {
        const int at = static_cast<int>(i) * 3;
        if ((i && text[at - 1] != ' ') || !CRegistryManager::HexToByte(text[at], text[at + 1], &(*data)[i]))
            return false;
    }
    return true;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The text form of a value when it reads back to exactly the stored bytes; false when only
// the hex form keeps it.
bool ExactTextForm(const _REGISTRY_RAW_VALUE& value, CString* text)
{
    // Types whose name reads back as another type have no text form.
    const CString typeName = CRegistryManager::TypeToName(value.Type);
    if (typeName.IsEmpty() || CRegistryManager::NameToType(typeName) != value.Type)
        return false;
    std::string bytes;
    if (IsStringType(value.Type)) {
        if (value.Data.size() % 2 != 0)
            return false;
        if (!WideToAnsiExact(reinterpret_cast<const wchar_t*>(value.Data.data()),
                             static_cast<int>(value.Data.size() / 2), &bytes))
            return false;
    } else {
        bytes.assign(value.Data.begin(), value.Data.end());
    }
    *text = CRegistryManager::FormatValueData(reinterpret_cast<const BYTE*>(bytes.data()), value.Type,
                                              static_cast<DWORD>(bytes.size()));
    std::vector<BYTE> parsed;
    if (!CRegistryManager::ParseValueData(value.Type, *text, &parsed))
        return false;
    return parsed.size() == bytes.size() && std::memcmp(parsed.data(), bytes.data(), bytes.size()) == 0;
}

// A text of the code page as it stands in the file.
CString ForFile(const CString& text)
{
    return AnsiToUtf8(EscapeXml(text));
}

// A text of the file in the code page; false when the code page cannot hold it.
bool FromFile(const CString& text, CString* result)
{
    CString ansi;
    if (!Utf8ToAnsiExact(text, &ansi))
        return false;
    *result = UnescapeXml(ansi);
    return true;
}

bool IsElement(const CString& name, const char* element)
{
    return name.CompareNoCase(element) == 0;
}

// A key being restored: the open key (null when it could not be made) and whether it is ours
// to close.
struct RestoreEntry {
    HKEY key = nullptr;
    bool owned = false;
    bool named = false;
};

// A value being read from its attributes.
struct PendingValue {
    void Clear() { *this = PendingValue(); }
    bool named = false;
    bool readable = true;  // every text could be held in the code page
    CString name;
    CString data;
    CString typeName;
    bool hex = false;
    bool literal = false;
};

LONG WriteRestoredValue(HKEY key, const PendingValue& value)
{
    const bool unnamed = !value.literal && value.name.CompareNoCase(kDefaultName) == 0;
    if (value.hex) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        if (!ExactNameToType(value.typeName, &type) || !ParseHexText(value.data, &data))
            return ERROR_INVALID_DATA;
        const std::wstring name = AnsiToWide(value.name);
        return ::RegSetValueExW(key, unnamed ? nullptr : name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                                static_cast<DWORD>(data.size()));
    }
    const DWORD type = CRegistryManager::NameToType(value.typeName);
    std::vector<BYTE> data;
    if (!CRegistryManager::ParseValueData(type, value.data, &data) || data.empty())
        return ERROR_INVALID_DATA;
    return ::RegSetValueExA(key, unnamed ? nullptr : value.name.GetString(), 0, type, data.data(),
                            static_cast<DWORD>(data.size()));
}

} // namespace

int CRegistryManager::ExportRegistry(const char* file)
{
    m_continue = 1;
    m_skipped = m_failed = 0;
    CXmlWriter writer;
    writer.SetFileName(file);
    const CXmlElement registry("registry");
    registry.WriteStartTag(&writer);
    for (const char* root : kExportedRoots) {
        ExportKey(root, &writer);
        if (m_status)
            m_status->SetProgress(PROGRESS_STEP);
    }
    writer.WriteEndTag(registry);
    const int complete = writer.Close();
    const int result = complete && m_continue ? 1 : 0;
    m_continue = 0;
    return result;
}

int CRegistryManager::ExportItems(const char* file, CAbstractScanItemsInfo* items)
{
    m_continue = 1;
    m_skipped = m_failed = 0;
    CXmlWriter writer;
    writer.SetFileName(file);
    const CXmlElement registry("registry");
    registry.WriteStartTag(&writer);
    if (items && items->MoveFirst()) {
        do {
            if (!m_continue || writer.HasFailed())
                break;
            if (items->IsCurrentItemIgnored())
                continue;
            const char* item = items->GetCurrentItem();
            // A value item names its key before the separator.
            CString keyText;
            if (!SplitValueItem(item, &keyText, nullptr))
                keyText = item;
            // Only a text that names a key below a root is something the repair may delete; a
            // bare root name would otherwise put the whole root into a partial backup.
            if (SplitRegistryKeyText(keyText, nullptr, nullptr))
                ExportKey(keyText, &writer);
        } while (items->MoveNext());
    }
    writer.WriteEndTag(registry);
    const int complete = writer.Close();
    const int result = complete && m_continue ? 1 : 0;
    m_continue = 0;
    return result;
}

int CRegistryManager::ExportKey(const CString& keyText, CXmlWriter* writer)
{
    if (keyText.IsEmpty())
        return 0;
    const int slash = keyText.Find('\\');
    const HKEY root = RegistryRootFromName(slash < 0 ? keyText : keyText.Left(slash));
    if (!root)
        return 0;
    const std::wstring subKey = AnsiToWide(slash < 0 ? CString() : keyText.Mid(slash + 1));
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    CRegistryKey key(opened);

    std::vector<CXmlElement> chain;
    int start = 0;
    while (start <= keyText.GetLength()) {
        int end = keyText.Find('\\', start);
        if (end < 0)
            end = keyText.GetLength();
        if (end > start) {
            chain.emplace_back("k");
            chain.back().SetAttribute("name", ForFile(keyText.Mid(start, end - start)));
        }
        start = end + 1;
    }
    for (const CXmlElement& element : chain)
        element.WriteStartTag(writer);
    const int result = WriteKey(writer, CString(), key);
    // The chain is closed even after a stop, so the file ends with its tags in order.
    for (auto element = chain.rbegin(); element != chain.rend(); ++element)
        writer->WriteEndTag(*element);
    return result;
}

int CRegistryManager::WriteKey(CXmlWriter* writer, const CString& name, HKEY key)
{
    if (!m_continue || writer->HasFailed())
        return 0;
    DWORD subKeyCount = 0, valueCount = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeyCount, nullptr, nullptr, &valueCount, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        // Left out whole, before any of its tags is written: the keys after it stay where
        // they belong.
        ++m_skipped;
        return 1;
    }
    CXmlElement element("k");
    if (!name.IsEmpty()) {
        element.SetAttribute("name", ForFile(name));
        if (subKeyCount == 0 && valueCount == 0) {
            element.WriteEmptyTag(writer);
            return 1;
        }
        element.WriteStartTag(writer);
    }

    std::vector<_REGISTRY_RAW_VALUE> values;
    EnumRawValues(key, &values);
    for (const _REGISTRY_RAW_VALUE& value : values)
        WriteValue(writer, value);

    for (DWORD index = 0;; ++index) {
        wchar_t subKeyName[256];
        DWORD length = 256;
        // Any failure ends the list: some keys fail every enumeration with an error other
        // than "no more items".
        if (::RegEnumKeyExW(key, index, subKeyName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (length == 0)
            continue;
        std::string ansiName;
        HKEY opened = nullptr;
        if (!WideToAnsiExact(subKeyName, static_cast<int>(length), &ansiName) ||
            ::RegOpenKeyExW(key, subKeyName, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
            ++m_skipped;
            continue;
        }
        CRegistryKey subKey(opened);
        if (!WriteKey(writer, CString(ansiName), subKey))
            return 0;
    }

    if (!name.IsEmpty())
        writer->WriteEndTag(element);
    return 1;
}

void CRegistryManager::WriteValue(CXmlWriter* writer, const _REGISTRY_RAW_VALUE& value)
{
    if (value.NameLost) {
        ++m_skipped;
        return;
    }
    CXmlElement element("v");
    element.SetAttribute("name", ForFile(value.Unnamed ? CString(kDefaultName) : value.Name));
    CString text;
    if (ExactTextForm(value, &text)) {
        element.SetAttribute("value", ForFile(text));
        if (value.Type != REG_SZ)
            element.SetAttribute("type", TypeToName(value.Type));
    } else {
        element.SetAttribute("value", HexText(value.Data));
        element.SetAttribute("type", ExactTypeToName(value.Type));
        element.SetAttribute("encoding", kHexEncoding);
    }
    if (!value.Unnamed && value.Name.CompareNoCase(kDefaultName) == 0)
        element.SetAttribute("literal", "1");
    element.WriteEmptyTag(writer);
}

int CRegistryManager::ImportFile(const char* file)
{
    m_continue = 1;
    m_skipped = m_failed = 0;
    CXmlReader reader;
    reader.SetFileName(file);
    const int result = ImportXml(&reader);
    m_continue = 0;
    return result;
}

int CRegistryManager::ImportXml(CXmlReader* reader)
{
    reader->SetShowErrors(1);
    std::vector<RestoreEntry> keys;
    PendingValue value;
    bool complete = false;
    int nodes = 0;
    while (reader->Read()) {
        if (++nodes == kNodesPerProgressStep) {
            nodes = 0;
            if (m_status)
                m_status->SetProgress(PROGRESS_STEP);
        }
        const CString& element = reader->GetName();
        switch (reader->GetNodeType()) {
        case CXmlReader::NODE_START_TAG:
            if (IsElement(element, "k"))
                keys.push_back(RestoreEntry());
            else if (IsElement(element, "v"))
                value.Clear();
            else if (IsElement(element, "registry"))
                complete = false;
            break;
        case CXmlReader::NODE_ATTRIBUTE: {
            CString attribute, raw, text;
            reader->GetAttribute(&attribute, &raw);
            const bool readable = FromFile(raw, &text);
            if (IsElement(element, "k") && IsElement(attribute, "name") && !keys.empty() && !keys.back().named) {
                RestoreEntry& entry = keys.back();
                entry.named = true;
                if (keys.size() == 1) {
                    entry.key = readable ? RegistryRootFromName(text) : nullptr;
                } else {
                    const HKEY parent = keys[keys.size() - 2].key;
                    if (parent && readable && ::RegCreateKeyExA(parent, text, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                                kRestoreAccess, nullptr, &entry.key,
                                                                nullptr) == ERROR_SUCCESS)
                        entry.owned = true;
                    else
                        entry.key = nullptr;
                }
                if (!entry.key)
                    ++m_failed;
            } else if (IsElement(element, "v")) {
                if (IsElement(attribute, "name")) {
                    value.Clear();
                    value.named = true;
                    value.readable = readable;
                    value.name = text;
                } else if (IsElement(attribute, "value")) {
                    value.data = text;
                    value.readable = value.readable && readable;
                    value.typeName.Empty();
                    value.hex = false;
                } else if (IsElement(attribute, "type")) {
                    value.typeName = text;
                } else if (IsElement(attribute, "encoding")) {
                    value.hex = text.CompareNoCase(kHexEncoding) == 0;
                } else if (IsElement(attribute, "literal")) {
                    value.literal = text == "1";
                }
            }
            break;
        }
        case CXmlReader::NODE_END_TAG:
            if (IsElement(element, "k") && !keys.empty()) {
                if (keys.back().owned)
                    ::RegCloseKey(keys.back().key);
                keys.pop_back();
            } else if (IsElement(element, "v") && !keys.empty() && value.named) {
                // A key that could not be made was counted already; its values go with it.
                if (keys.back().key &&
                    (!value.readable || WriteRestoredValue(keys.back().key, value) != ERROR_SUCCESS))
                    ++m_failed;
                value.Clear();
            } else if (IsElement(element, "registry")) {
                complete = keys.empty();
            }
            break;
        default:
            break;
        }
    }
    // A file cut short (a copy that ended early, a backup that was stopped) is not a backup
    // restored.
    if (reader->HasFailed() || !complete)
        ++m_failed;
    for (auto entry = keys.rbegin(); entry != keys.rend(); ++entry)
        if (entry->owned)
            ::RegCloseKey(entry->key);
    reader->Close();
    return m_failed ? 0 : 1;
}
