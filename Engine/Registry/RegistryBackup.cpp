// Registry backup files (".rbk"): export of the five roots or of a repair's items. The restore
// lives in RegistryRestore.cpp, the form of each value in BackupFormat.cpp.
//
// Names and texts are read with the wide registry calls and written as UTF-8, so every name
// comes back, whatever the system code page holds. A value really named "(Default)" carries
// literal="1", so it stays apart from the unnamed value.
#include "RegistryManager.h"

#include <map>
#include <string>

#include "BackupFormat.h"
#include "BackupText.h"
#include "RegistryKey.h"
#include "RegistryPath.h"
#include "RegistryNames.h"
#include "Xml/XmlWriter.h"

namespace {

const char kDefaultName[] = "(Default)";
const char* const kExportedRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                      "HKEY_CURRENT_CONFIG"};

// The components of a key text ("ROOT\a\b"), empty ones left out.
std::vector<CString> KeyComponents(const CString& keyText)
{
    std::vector<CString> components;
    int start = 0;
    while (start <= keyText.GetLength()) {
        int end = keyText.Find('\\', start);
        if (end < 0)
            end = keyText.GetLength();
        if (end > start)
            components.push_back(keyText.Mid(start, end - start));
        start = end + 1;
    }
    return components;
}

// Whether a listed subkey that did not open was deleted since it was listed. A link key whose
// target is missing does not open either, yet it is still there and not backed up.
bool IsGoneSinceListed(HKEY parent, const std::wstring& name, LONG openResult)
{
    if (openResult != ERROR_FILE_NOT_FOUND && openResult != ERROR_KEY_DELETED)
        return false;
    HKEY itself = nullptr;
    const LONG result = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &itself);
    if (result == ERROR_SUCCESS)
        ::RegCloseKey(itself);
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_KEY_DELETED;
}

} // namespace

void CRegistryManager::BeginExport()
{
    m_continue = 1;
    m_skippedKeys = 0;
    m_skippedValues = 0;
    m_exportedKeys = 0;
    m_incompleteItems.clear();
}

int CRegistryManager::ExportRegistry(const char* file)
{
    BeginExport();
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
    BeginExport();
    CXmlWriter writer;
    writer.SetFileName(file);
    const CXmlElement registry("registry");
    registry.WriteStartTag(&writer);
    // Each key is written once, with everything below it, however many items name it (a key
    // with thousands of broken values); whether it was written whole holds for all of them.
    std::map<CString, bool> exported;
    if (items && items->MoveFirst()) {
        do {
            if (!m_continue || writer.HasFailed())
                break;
            if (items->IsCurrentItemIgnored())
                continue;
            const char* item = items->GetCurrentItem();
            // Only a text that names a key below a root is something the repair may delete; a
            // bare root name would otherwise put the whole root into a partial backup.
            CString keyText;
            if (!ItemKeyText(item, &keyText))
                continue;
            auto known = exported.find(keyText);
            if (known == exported.end()) {
                bool complete = false;
                ExportKey(keyText, &writer, &complete);
                known = exported.emplace(keyText, complete).first;
            }
            if (!known->second)
                m_incompleteItems.insert(CString(item));
        } while (items->MoveNext());
    }
    writer.WriteEndTag(registry);
    const int complete = writer.Close();
    const int result = complete && m_continue ? 1 : 0;
    m_continue = 0;
    return result;
}

int CRegistryManager::ExportKey(const CString& keyText, CXmlWriter* writer, bool* complete)
{
    if (complete)
        *complete = false;
    if (keyText.IsEmpty())
        return 0;
    const int slash = keyText.Find('\\');
    const HKEY root = RegistryRootFromName(slash < 0 ? keyText : keyText.Left(slash));
    if (!root)
        return 0;
    const std::vector<CString> chain = KeyComponents(keyText);
    const int depth = static_cast<int>(chain.size()) - 1;
    if (depth > kMaxKeyDepth) {
        ++m_skippedKeys;
        return 0;
    }
    const std::wstring subKey = AnsiToWide(slash < 0 ? CString() : keyText.Mid(slash + 1));
    HKEY opened = nullptr;
    const LONG openResult = ::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &opened);
    if (openResult != ERROR_SUCCESS) {
        // A key that is gone has nothing to lose; one that cannot be read is not backed up.
        if (complete)
            *complete = openResult == ERROR_FILE_NOT_FOUND;
        return 0;
    }
    CRegistryKey key(opened);
    ++m_exportedKeys;

    std::vector<CXmlElement> elements(chain.size(), CXmlElement("k"));
    for (size_t i = 0; i < chain.size(); ++i) {
        elements[i].SetAttribute("name", CString(WideToFileText(AnsiToWide(chain[i]))));
        elements[i].WriteStartTag(writer);
    }
    const int skippedBefore = GetSkippedCount();
    const int result = WriteKey(writer, std::wstring(), key, depth);
    // The chain is closed even after a stop, so the file ends with its tags in order.
    for (auto element = elements.rbegin(); element != elements.rend(); ++element)
        writer->WriteEndTag(*element);
    if (complete)
        *complete = result == 1 && GetSkippedCount() == skippedBefore && !writer->HasFailed();
    return result;
}

int CRegistryManager::WriteKey(CXmlWriter* writer, const std::wstring& name, HKEY key, int depth)
{
    if (!m_continue || writer->HasFailed())
        return 0;
    DWORD subKeyCount = 0, valueCount = 0;
    FILETIME written = {};
    const LONG queried = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeyCount, nullptr, nullptr,
                                           &valueCount, nullptr, nullptr, nullptr, &written);
    if (queried != ERROR_SUCCESS) {
        // Left out whole, before any of its tags is written: the keys after it stay where
        // they belong. A key deleted since it was opened has nothing left to lose.
        if (queried != ERROR_KEY_DELETED)
            ++m_skippedKeys;
        return 1;
    }
    CXmlElement element("k");
    if (!name.empty()) {
        element.SetAttribute("name", CString(WideToFileText(name)));
        if (subKeyCount == 0 && valueCount == 0) {
            element.WriteEmptyTag(writer);
            return 1;
        }
        element.WriteStartTag(writer);
    }

    std::vector<_REGISTRY_RAW_VALUE> values;
    int unreadable = 0;
    EnumRawValues(key, &values, &unreadable);
    m_skippedValues += unreadable;
    for (const _REGISTRY_RAW_VALUE& value : values)
        WriteValue(writer, value);
    values.clear();

    CRegistryNames subKeys(key, CRegistryNames::SUBKEYS, subKeyCount, written);
    if (!WriteSubkeys(writer, &subKeys, key, depth))
        return 0;
    if (!name.empty())
        writer->WriteEndTag(element);
    return 1;
}

int CRegistryManager::WriteSubkeys(CXmlWriter* writer, CRegistryNames* listing, HKEY key, int depth)
{
    // All names first, then each subkey by its name: subkeys that other programs delete
    // meanwhile cannot move one that stays out of the backup.
    std::vector<std::wstring> names;
    // Only a failed enumeration leaves subkeys unlisted (some keys fail every enumeration with
    // an error other than "no more items"): counted once, and the names before it are written.
    if (listing->Read(&names) == CRegistryNames::CUT_SHORT)
        ++m_skippedKeys;
    for (const std::wstring& name : names) {
        CRegistryKey subKey;
        if (OpenListedSubkey(key, name, depth + 1, &subKey) && !WriteKey(writer, name, subKey, depth + 1))
            return 0;
    }
    return 1;
}

bool CRegistryManager::OpenListedSubkey(HKEY parent, const std::wstring& name, int depth, CRegistryKey* subKey)
{
    // A name with a zero inside cannot be opened by name: the part before the zero would open
    // another key, or none.
    if (name.empty() || name.find(L'\0') != std::wstring::npos || depth > kMaxKeyDepth) {
        ++m_skippedKeys;
        return false;
    }
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &opened);
    if (result == ERROR_SUCCESS) {
        *subKey = CRegistryKey(opened);
        return true;
    }
    if (!IsGoneSinceListed(parent, name, result))
        ++m_skippedKeys;
    return false;
}

void CRegistryManager::WriteValue(CXmlWriter* writer, const _REGISTRY_RAW_VALUE& value)
{
    _BACKUP_VALUE_TEXT text;
    FormatBackupValue(value.Type, value.Data.data(), value.Data.size(), &text);
    const std::string name = value.Unnamed ? std::string(kDefaultName) : WideToFileText(value.WideName);
    // One line built in place: a value's text can be hundreds of megabytes.
    std::string line(static_cast<size_t>(writer->GetDepth() + 1), ' ');
    line.reserve(line.size() + name.size() + text.value.size() + text.typeName.GetLength() + 64);
    line += "<v name=\"";
    line += name;
    line += "\" value=\"";
    line += text.value;
    std::string().swap(text.value);
    line += '"';
    if (!text.typeName.IsEmpty()) {
        line += " type=\"";
        line += text.typeName.Str();
        line += '"';
    }
    if (text.hex)
        line += " encoding=\"hex\"";
    if (!value.Unnamed && EqualsNoCaseAscii(value.WideName, kDefaultName))
        line += " literal=\"1\"";
    line += "/>\r\n";
    writer->Write(CString(std::move(line)));
}
