#include "StartupManager.h"

#include <algorithm>
#include <string>

#include "RegistryValues.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRegStore[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
const char kFolderStore[] = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";
// Our own values beside the system configuration tool's, so that an entry comes back exactly:
// the Run value's name, type and bytes, and for one string of a multi-string value its index
// and the bytes the value was left with.
const char kNameValue[] = "name";
const char kTypeValue[] = "type";
const char kDataValue[] = "data";
const char kIndexValue[] = "index";
const char kRemainingValue[] = "remaining";

// The index of the item's string in a list: where it was listed if it is still there, else its
// first occurrence; -1 when it is gone.
int FindString(const std::vector<CString>& strings, int listedIndex, const CString& text)
{
    if (listedIndex >= 0 && listedIndex < static_cast<int>(strings.size()) && strings[listedIndex] == text)
        return listedIndex;
    for (size_t i = 0; i < strings.size(); ++i) {
        if (strings[i] == text)
            return static_cast<int>(i);
    }
    return -1;
}

bool HasText(const std::vector<CString>& strings)
{
    for (const CString& text : strings) {
        if (!text.IsEmpty())
            return true;
    }
    return false;
}

BOOL DeleteStoreEntry(const char* store, const CString& subkey)
{
    if (subkey.IsEmpty())
        return FALSE;
    CRegKey64 key;
    return key.Open(HKEY_LOCAL_MACHINE, store, KEY_ALL_ACCESS) && DeleteRegSubkey64(key, subkey);
}

BOOL SubkeyExists(HKEY parent, const CString& name)
{
    CRegKey64 key;
    return key.Open(parent, name, KEY_READ);
}

// A subkey name of the startupreg store for a Run value: its name where that is free and a plain
// key name, else a free variant of it, so that entries of the same name in both roots or in one
// multi-string value never share a subkey.
CString FreeStoreKeyName(HKEY store, const CString& valueName)
{
    CString base = valueName;
    base.Replace('\\', '^');
    if (base.IsEmpty())
        base = "(Default)";
    if (!SubkeyExists(store, base))
        return base;
    for (int number = 2;; ++number) {
        CString candidate;
        candidate.Format("%s (%d)", static_cast<const char*>(base), number);
        if (!SubkeyExists(store, candidate))
            return candidate;
    }
}

HKEY RootOf(const StartupRegItem& item)
{
    return item.localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool FileExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return !path.IsEmpty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL DeleteFileForced(const CString& path)
{
    if (::DeleteFileA(path))
        return TRUE;
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return FALSE;
    ::SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileA(path);
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash);
}

CString SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return CString(path);
}

// The Run value's strings as the list shows them: index of each string that has text.
struct RUN_STRING
{
    int index;
    CString text;
};

std::vector<RUN_STRING> RunStringsOf(const REG_VALUE_DATA& value)
{
    std::vector<RUN_STRING> strings;
    if (value.type != REG_MULTI_SZ) {
        strings.push_back({ -1, RegValueText(value.data) });
        return strings;
    }
    const std::vector<CString> all = SplitMultiString(value.data);
    for (size_t index = 0; index < all.size(); ++index) {
        if (!all[index].IsEmpty())
            strings.push_back({ static_cast<int>(index), all[index] });
    }
    return strings;
}

} // namespace

STARTUP_FOLDERS STARTUP_FOLDERS::FromSystem()
{
    STARTUP_FOLDERS folders;
    folders.user = SpecialFolder(CSIDL_STARTUP);
    folders.common = SpecialFolder(CSIDL_COMMON_STARTUP);
    char windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(windows, sizeof(windows));
    if (length > 0 && length < sizeof(windows))
        folders.backup = CString(windows) + "\\pss\\";
    return folders;
}

CStartupManager::CStartupManager(const STARTUP_FOLDERS& folders) : m_folders(folders)
{
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, m_shellLink.ReceiveVoid());
}

CStartupManager::~CStartupManager() = default;

CString CStartupManager::ExtractProgramName(const CString& command)
{
    CString trimmed = command;
    trimmed.Trim();
    CString lower = trimmed;
    lower.MakeLower();
    const int exe = lower.Find(".exe");
    if (exe < 0)
        return CString();
    const int slash = lower.Left(exe + 4).ReverseFind('\\');
    if (slash < 0)
        return CString();
    const CString tail = trimmed.Mid(slash + 1);
    int end = tail.Find(".exe");
    if (end < 0)
        end = tail.Find(".EXE");
    return end < 0 ? tail : tail.Left(end);
}

// ---- Reading ----------------------------------------------------------------------------------------

void CStartupManager::Refresh()
{
    m_regItems.clear();
    m_folderItems.clear();
    EnumRunValues();
    ReadDisabledRegItems();
    EnumStartupFolders();
    ReadDisabledFolderItems();
}

void CStartupManager::EnumRunValues()
{
    for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
        CRegKey64 run;
        if (!run.Open(root, kRunKey, KEY_READ))
            continue;
        DWORD longestName = 0;
        DWORD longestData = 0;
        if (::RegQueryInfoKeyA(run, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                               &longestData, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        std::vector<char> name(longestName + 2);
        std::vector<BYTE> data(std::min(longestData, kMaxRegValueBytes) + 1);
        // Any failure ends the walk: some keys never answer "no more items".
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            REG_VALUE_DATA value;
            const LONG result = ::RegEnumValueA(run, index, name.data(), &nameLength, nullptr, &value.type, data.data(), &size);
            if (result == ERROR_MORE_DATA) {
                // Grown since the key was asked: read it by name, as large as it is now.
                nameLength = static_cast<DWORD>(name.size());
                if (::RegEnumValueA(run, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
                        ERROR_SUCCESS ||
                    !ReadRegValue(run, CString(std::string(name.data(), nameLength)), &value))
                    continue;
            } else if (result != ERROR_SUCCESS) {
                break;
            } else {
                value.data.assign(data.begin(), data.begin() + size);
            }
            if (value.data.empty())
                continue;
            const CString valueName(std::string(name.data(), nameLength));
            for (const RUN_STRING& text : RunStringsOf(value)) {
                StartupRegItem item;
                item.name = valueName;
                item.command = text.text;
                item.localMachine = root == HKEY_LOCAL_MACHINE;
                item.stringIndex = text.index;
                m_regItems.push_back(item);
            }
        }
    }
}

void CStartupManager::ReadDisabledRegItems()
{
    CRegKey64 store;
    if (!store.Open(HKEY_LOCAL_MACHINE, kRegStore, KEY_READ))
        return;
    char subkey[256] = {};
    for (DWORD index = 0; ::RegEnumKeyA(store, index, subkey, sizeof(subkey)) == ERROR_SUCCESS; ++index) {
        CRegKey64 entry;
        if (!entry.Open(store, subkey, KEY_READ))
            break;
        StartupRegItem item;
        item.storeKey = subkey;
        item.name = ReadRegText(entry, kNameValue);
        if (item.name.IsEmpty())
            item.name = subkey;
        item.command = ReadRegText(entry, "command");
        item.disabled = 1;
        item.localMachine = ReadRegText(entry, "hkey") == "HKLM";
        if (!item.command.IsEmpty())
            m_regItems.push_back(item);
    }
}

void CStartupManager::EnumStartupFolders()
{
    EnumStartupFolder(m_folders.user, false);
    EnumStartupFolder(m_folders.common, true);
}

void CStartupManager::EnumStartupFolder(const CString& folder, bool common)
{
    if (folder.IsEmpty())
        return;
    CFileFind find;
    BOOL more = find.FindFile(folder + "\\*.*");
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots() || find.IsDirectory() || find.IsHidden())
            continue;
        StartupFolderItem item;
        const CString fileName = find.GetFileName();
        item.path = find.GetFilePath();
        item.command = item.path;
        const int dot = fileName.ReverseFind('.');
        CString target;
        if (dot >= 0 && fileName.Mid(dot).CompareNoCase(".lnk") == 0 && ResolveShortcut(item.path, &target))
            item.command = target;
        item.name = dot >= 0 ? fileName.Left(dot) : fileName;
        item.location = common ? "Common Startup" : "Startup";
        item.backupPath = m_folders.backup + fileName + item.location;
        item.storeKey = item.path;
        item.storeKey.Replace('\\', '^');
        item.common = common ? 1 : 0;
        m_folderItems.push_back(item);
    }
}

BOOL CStartupManager::ResolveShortcut(const CString& path, CString* target)
{
    if (!m_shellLink)
        return FALSE;
    CComPointer<IPersistFile> file;
    if (FAILED(m_shellLink->QueryInterface(IID_IPersistFile, file.ReceiveVoid())))
        return FALSE;
    wchar_t widePath[MAX_PATH] = {};
    if (!::MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH))
        return FALSE;
    if (FAILED(file->Load(widePath, STGM_READ)))
        return FALSE;
    char resolved[MAX_PATH] = {};
    if (FAILED(m_shellLink->GetPath(resolved, sizeof(resolved), nullptr, SLGP_UNCPRIORITY)) || !resolved[0])
        return FALSE;
    *target = resolved;
    return TRUE;
}

void CStartupManager::ReadDisabledFolderItems()
{
    CRegKey64 store;
    if (!store.Open(HKEY_LOCAL_MACHINE, kFolderStore, KEY_READ))
        return;
    char subkey[MAX_PATH + 1] = {};
    for (DWORD index = 0; ::RegEnumKeyA(store, index, subkey, sizeof(subkey)) == ERROR_SUCCESS; ++index) {
        CRegKey64 entry;
        if (!entry.Open(store, subkey, KEY_READ))
            break;
        StartupFolderItem item;
        item.name = ReadRegText(entry, "item");
        item.command = ReadRegText(entry, "command");
        item.path = ReadRegText(entry, "path");
        item.backupPath = ReadRegText(entry, "backup");
        item.location = ReadRegText(entry, "location");
        item.common = item.location.CompareNoCase("common startup") == 0;
        item.storeKey = subkey;
        item.disabled = 1;
        if (!item.path.IsEmpty())
            m_folderItems.push_back(item);
    }
}

// ---- Run values -------------------------------------------------------------------------------------

BOOL CStartupManager::Disable(const StartupRegItem& item)
{
    if (item.disabled)
        return FALSE;
    CRegKey64 run;
    REG_VALUE_DATA value;
    if (!run.Open(RootOf(item), kRunKey, KEY_ALL_ACCESS) || !ReadRegValue(run, item.name, &value))
        return FALSE;

    // One string of a multi-string value goes; the others stay where they are.
    const bool part = value.type == REG_MULTI_SZ;
    std::vector<CString> remaining;
    int index = -1;
    if (part) {
        remaining = SplitMultiString(value.data);
        index = FindString(remaining, item.stringIndex, item.command);
        if (index < 0)
            return FALSE;
        remaining.erase(remaining.begin() + index);
    } else if (RegValueText(value.data) != item.command) {
        return FALSE;  // the value changed since it was listed
    }
    const bool valueStays = part && HasText(remaining);

    CRegKey64 store;
    if (!store.Create(HKEY_LOCAL_MACHINE, kRegStore))
        return FALSE;
    const CString subkey = FreeStoreKeyName(store, item.name);
    CRegKey64 entry;
    if (!entry.Create(store, subkey))
        return FALSE;
    CString programName = ExtractProgramName(item.command);
    if (programName.IsEmpty())
        programName = item.name;
    BOOL written = WriteRegText(entry, "item", programName) && WriteRegText(entry, "command", item.command) &&
                   WriteRegText(entry, "key", kRunKey) && WriteRegText(entry, "hkey", item.localMachine ? "HKLM" : "HKCU") &&
                   WriteRegText(entry, "inimapping", "0") && WriteRegText(entry, kNameValue, item.name) &&
                   WriteRegDword(entry, kTypeValue, value.type) && WriteRegBytes(entry, kDataValue, REG_BINARY, value.data);
    if (written && part)
        written = WriteRegDword(entry, kIndexValue, static_cast<DWORD>(index));
    const std::vector<BYTE> remainingData = JoinMultiString(remaining);
    if (written && valueStays)
        written = WriteRegBytes(entry, kRemainingValue, REG_BINARY, remainingData);
    entry.Close();

    // Only a fully recorded entry leaves the Run key.
    BOOL moved = FALSE;
    if (written)
        moved = valueStays ? WriteRegBytes(run, item.name, REG_MULTI_SZ, remainingData)
                           : ::RegDeleteValueA(run, item.name) == ERROR_SUCCESS;
    if (!moved)
        DeleteRegSubkey64(store, subkey);
    return moved;
}

BOOL CStartupManager::Enable(const StartupRegItem& item)
{
    if (!item.disabled)
        return FALSE;
    CRegKey64 store;
    CRegKey64 entry;
    if (!store.Open(HKEY_LOCAL_MACHINE, kRegStore, KEY_ALL_ACCESS) || !entry.Open(store, item.storeKey, KEY_READ))
        return FALSE;
    const CString command = ReadRegText(entry, "command");
    CString name = ReadRegText(entry, kNameValue);
    if (name.IsEmpty())
        name = item.storeKey;
    DWORD type = REG_SZ;
    REG_VALUE_DATA original;
    const bool exact = ReadRegDword(entry, kTypeValue, &type) && ReadRegValue(entry, kDataValue, &original);
    DWORD index = 0;
    const bool part = exact && type == REG_MULTI_SZ && ReadRegDword(entry, kIndexValue, &index);
    REG_VALUE_DATA remaining;
    const bool leftOthers = part && ReadRegValue(entry, kRemainingValue, &remaining);
    entry.Close();

    CRegKey64 run;
    if (!run.Create(RootOf(item), kRunKey))
        return FALSE;
    BOOL written = FALSE;
    if (!exact) {
        // An entry the system configuration tool disabled: its text, as a plain value.
        written = WriteRegText(run, name, command);
    } else if (!part) {
        written = WriteRegBytes(run, name, type, original.data);
    } else {
        REG_VALUE_DATA current;
        const bool present = ReadRegValue(run, name, &current);
        if ((!present && !leftOthers) || (present && leftOthers && current.data == remaining.data)) {
            // The value is as this entry's disabling left it: it comes back byte for byte.
            written = WriteRegBytes(run, name, REG_MULTI_SZ, original.data);
        } else if (!present) {
            written = WriteRegBytes(run, name, REG_MULTI_SZ, JoinMultiString({ command }));
        } else if (current.type == REG_MULTI_SZ) {
            std::vector<CString> strings = SplitMultiString(current.data);
            strings.insert(strings.begin() + std::min<size_t>(index, strings.size()), command);
            written = WriteRegBytes(run, name, REG_MULTI_SZ, JoinMultiString(strings));
        }
        // A value of that name that is no longer a list is left alone, and the entry stays disabled.
    }
    return written && DeleteRegSubkey64(store, item.storeKey);
}

BOOL CStartupManager::RestoresExactly(const StartupRegItem& item)
{
    CRegKey64 entry;
    CString path = CString(kRegStore) + "\\" + item.storeKey;
    if (!entry.Open(HKEY_LOCAL_MACHINE, path, KEY_READ))
        return FALSE;
    DWORD type = REG_SZ;
    DWORD index = 0;
    if (!ReadRegDword(entry, kTypeValue, &type) || type != REG_MULTI_SZ || !ReadRegDword(entry, kIndexValue, &index))
        return TRUE;
    REG_VALUE_DATA remaining;
    const bool leftOthers = ReadRegValue(entry, kRemainingValue, &remaining);
    CString name = ReadRegText(entry, kNameValue);
    if (name.IsEmpty())
        name = item.storeKey;
    CRegKey64 run;
    REG_VALUE_DATA current;
    const bool present = run.Open(RootOf(item), kRunKey, KEY_READ) && ReadRegValue(run, name, &current);
    return (!present && !leftOthers) || (present && leftOthers && current.data == remaining.data);
}

BOOL CStartupManager::Remove(const StartupRegItem& item)
{
    if (item.disabled)
        return DeleteStoreEntry(kRegStore, item.storeKey);
    CRegKey64 run;
    REG_VALUE_DATA value;
    if (!run.Open(RootOf(item), kRunKey, KEY_ALL_ACCESS) || !ReadRegValue(run, item.name, &value))
        return FALSE;
    if (value.type != REG_MULTI_SZ)
        return ::RegDeleteValueA(run, item.name) == ERROR_SUCCESS;
    // One string of a list goes; the others stay.
    std::vector<CString> strings = SplitMultiString(value.data);
    const int index = FindString(strings, item.stringIndex, item.command);
    if (index < 0)
        return FALSE;
    strings.erase(strings.begin() + index);
    if (!HasText(strings))
        return ::RegDeleteValueA(run, item.name) == ERROR_SUCCESS;
    return WriteRegBytes(run, item.name, REG_MULTI_SZ, JoinMultiString(strings));
}

// ---- Shortcuts ----------------------------------------------------------------------------------------

BOOL CStartupManager::Disable(const StartupFolderItem& item)
{
    if (item.disabled)
        return FALSE;
    const CString backupFolder = FolderOf(item.backupPath);
    if (!backupFolder.IsEmpty() && ::GetFileAttributesA(backupFolder) == INVALID_FILE_ATTRIBUTES)
        ::CreateDirectoryA(backupFolder, nullptr);
    BOOL moved = FALSE;
    if (FileExists(item.path))
        moved = ::MoveFileA(item.path, item.backupPath);

    CRegKey64 store;
    CRegKey64 entry;
    BOOL written = store.Create(HKEY_LOCAL_MACHINE, kFolderStore) && entry.Create(store, item.storeKey) &&
                   WriteRegText(entry, "item", item.name) && WriteRegText(entry, "command", item.command) &&
                   WriteRegText(entry, "backup", item.backupPath) && WriteRegText(entry, "location", item.location) &&
                   WriteRegText(entry, "path", item.path);
    entry.Close();
    if (!written && moved) {
        // Unrecorded, the file would be lost to the list: it goes back.
        if (store)
            DeleteRegSubkey64(store, item.storeKey);
        ::MoveFileA(item.backupPath, item.path);
        return FALSE;
    }
    return written;
}

BOOL CStartupManager::Enable(const StartupFolderItem& item)
{
    if (!item.disabled)
        return FALSE;
    if (FileExists(item.backupPath)) {
        // The only copy of the shortcut: it is moved back or stays where it is, never deleted.
        const CString folder = FolderOf(item.path);
        if (!folder.IsEmpty() && ::GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
            ::SHCreateDirectoryExA(nullptr, folder, nullptr);
        if (!::MoveFileA(item.backupPath, item.path))
            return FALSE;
    }
    return DeleteStoreEntry(kFolderStore, item.storeKey);
}

BOOL CStartupManager::Remove(const StartupFolderItem& item)
{
    if (!item.disabled)
        return DeleteFileForced(item.path);
    if (!DeleteStoreEntry(kFolderStore, item.storeKey))
        return FALSE;
    return item.backupPath.IsEmpty() || !FileExists(item.backupPath) || DeleteFileForced(item.backupPath);
}

// ---- Everything at once ---------------------------------------------------------------------------

void CStartupManager::DisableAll()
{
    for (const StartupRegItem& item : std::vector<StartupRegItem>(m_regItems)) {
        if (!item.disabled)
            Disable(item);
    }
    for (const StartupFolderItem& item : std::vector<StartupFolderItem>(m_folderItems)) {
        if (!item.disabled)
            Disable(item);
    }
}

void CStartupManager::EnableAll()
{
    std::vector<StartupRegItem> pending;
    for (const StartupRegItem& item : m_regItems) {
        if (item.disabled)
            pending.push_back(item);
    }
    // Strings of one value disabled one after the other come back in the opposite order, each
    // finding the value as its own disabling left it.
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (size_t i = 0; i < pending.size();) {
            if (RestoresExactly(pending[i]) && Enable(pending[i])) {
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(i));
                progress = true;
            } else {
                ++i;
            }
        }
    }
    for (const StartupRegItem& item : pending)
        Enable(item);
    for (const StartupFolderItem& item : std::vector<StartupFolderItem>(m_folderItems)) {
        if (item.disabled)
            Enable(item);
    }
}
