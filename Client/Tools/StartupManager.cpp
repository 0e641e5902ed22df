#include "StartupManager.h"

#include <algorithm>
#include <map>

#include "RegistryValues.h"
#include "WideFileSearch.h"

namespace {

const wchar_t kFolderStore[] = L"Software\\Microsoft\\Shared Tools\\MSConfig\\startupfolder";

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL DeleteFileForced(const std::wstring& path)
{
    if (::DeleteFileW(path.c_str()))
        return TRUE;
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return FALSE;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str());
}

std::wstring WithoutTrailingSlashes(std::wstring path)
{
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

// A name the file system takes as a file of the folder it is given in, and as nothing else.
bool IsPlainFileName(const std::wstring& name)
{
    if (name.empty() || name.size() >= MAX_PATH || name.back() == L'.' || name.back() == L' ')
        return false;
    for (wchar_t ch : name) {
        if (ch < 32 || std::wstring(L"\\/:*?\"<>|").find(ch) != std::wstring::npos)
            return false;
    }
    // Device names answer in every folder, whatever their extension.
    std::wstring device = UpperText(name.substr(0, name.find(L'.')));
    device.erase(device.find_last_not_of(L' ') + 1);
    static const wchar_t* const kDevices[] = { L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$" };
    for (const wchar_t* reserved : kDevices) {
        if (device == reserved)
            return false;
    }
    const bool numbered = device.size() == 4 && (device.compare(0, 3, L"COM") == 0 || device.compare(0, 3, L"LPT") == 0);
    return !(numbered && device[3] >= L'0' && device[3] <= L'9');
}

void Note(STARTUP_OUTCOME* outcome, const CString& name, STARTUP_RESULT result)
{
    if (result == STARTUP_DONE)
        return;
    if (!outcome->failed++) {
        outcome->first = result;
        outcome->firstName = name;
    }
}

} // namespace

STARTUP_FOLDERS STARTUP_FOLDERS::FromSystem()
{
    STARTUP_FOLDERS folders;
    folders.user = SpecialFolder(CSIDL_STARTUP);
    folders.common = SpecialFolder(CSIDL_COMMON_STARTUP);
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        folders.backup = std::wstring(windows) + L"\\pss\\";
    return folders;
}

CStartupManager::CStartupManager(const STARTUP_FOLDERS& folders) : m_folders(folders)
{
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, m_shellLink.ReceiveVoid());
}

CStartupManager::~CStartupManager() = default;

CString CStartupManager::ExtractProgramName(const CString& command)
{
    return CodePageText(CStartupRunValues::ProgramName(WideText(command)));
}

CString CStartupManager::FailureText(const char* verb, const STARTUP_OUTCOME& outcome)
{
    static const char* const kReasons[] = {
        "",
        "it is no longer as the list showed it.",
        "the registry could not be changed.",
        "its value is of a type that is not written back into a Run key.",
        "a disabled copy of it is already kept. Enable or remove that entry first.",
        "its file could not be moved.",
        "its record names a file outside the Startup folders and the backup folder.",
        "its file could not be deleted.",
    };
    const size_t reason = static_cast<size_t>(outcome.first);
    const char* why = reason < sizeof(kReasons) / sizeof(kReasons[0]) ? kReasons[reason] : "";
    CString text;
    if (outcome.failed == 1)
        text.Format("\"%s\" could not be %s: %s", outcome.firstName.GetString(), verb, why);
    else
        text.Format("%d entries could not be %s. The first, \"%s\": %s", outcome.failed, verb,
                    outcome.firstName.GetString(), why);
    return text;
}

bool CStartupManager::PlainFileIn(const std::wstring& path, const std::vector<std::wstring>& folders, std::wstring* file)
{
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || !IsPlainFileName(path.substr(slash + 1)))
        return false;
    const std::wstring folder = UpperText(path.substr(0, slash));
    for (const std::wstring& candidate : folders) {
        const std::wstring known = WithoutTrailingSlashes(candidate);
        if (!known.empty() && UpperText(known) == folder) {
            *file = known + L"\\" + path.substr(slash + 1);
            return true;
        }
    }
    return false;
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
        if (!run.Open(root, CStartupRunValues::kRunKey, KEY_READ))
            continue;
        // Room for the longest name a value can have.
        std::vector<wchar_t> name(16384);
        // Any failure ends the walk: some keys never answer "no more items".
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            const LONG result = ::RegEnumValueW(run, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
            if (result != ERROR_SUCCESS)
                break;
            const std::wstring valueName(name.data(), nameLength);
            REG_VALUE_DATA value;
            if (!ReadRegValue(run, valueName.c_str(), &value) || value.data.empty())
                continue;
            StartupRegItem item;
            item.valueName = valueName;
            item.name = CodePageText(valueName);
            item.localMachine = root == HKEY_LOCAL_MACHINE;
            if (value.type != REG_MULTI_SZ) {
                item.text = CStartupRunValues::TextOf(value);
                item.command = CodePageText(item.text);
                m_regItems.push_back(item);
                continue;
            }
            // Each string of a list is a row of its own; empty strings are none.
            const std::vector<std::wstring> strings = SplitMultiString(value.data);
            for (size_t at = 0; at < strings.size(); ++at) {
                if (strings[at].empty())
                    continue;
                item.text = strings[at];
                item.command = CodePageText(item.text);
                item.stringIndex = static_cast<int>(at);
                m_regItems.push_back(item);
            }
        }
    }
}

// Every record with a command, and every one of ours: an entry whose value was empty is listed
// too, so that what was disabled can be enabled.
void CStartupManager::ReadDisabledRegItems()
{
    CStartupRunValues values;
    values.Load();
    for (const RUN_RECORD& record : values.Records()) {
        if (record.command.empty() && !record.exact)
            continue;
        StartupRegItem item;
        item.valueName = record.valueName;
        item.name = CodePageText(record.exact ? record.valueName : record.storeKey);
        item.text = record.command;
        item.command = CodePageText(record.command);
        item.disabled = 1;
        item.localMachine = record.localMachine;
        item.storeKey = record.storeKey;
        m_regItems.push_back(item);
    }
}

void CStartupManager::EnumStartupFolders()
{
    EnumStartupFolder(m_folders.user, false);
    EnumStartupFolder(m_folders.common, true);
}

void CStartupManager::EnumStartupFolder(const std::wstring& folder, bool common)
{
    if (folder.empty())
        return;
    const std::wstring base = WithoutTrailingSlashes(folder);
    CWideFileSearch find(base + L"\\*");
    for (bool more = find.Found(); more; more = find.Next()) {
        const WIN32_FIND_DATAW& data = find.Data();
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN))
            continue;
        const std::wstring fileName = data.cFileName;
        StartupFolderItem item;
        item.path = base + L"\\" + fileName;
        item.target = item.path;
        const size_t dot = fileName.rfind(L'.');
        std::wstring target;
        if (dot != std::wstring::npos && UpperText(fileName.substr(dot)) == L".LNK" && ResolveShortcut(item.path, &target))
            item.target = target;
        item.itemName = dot != std::wstring::npos ? fileName.substr(0, dot) : fileName;
        item.location = common ? "Common Startup" : "Startup";
        item.backupPath = m_folders.backup + fileName + WideText(item.location);
        item.storeKey = item.path;
        std::replace(item.storeKey.begin(), item.storeKey.end(), L'\\', L'^');
        item.common = common ? 1 : 0;
        item.name = CodePageText(item.itemName);
        item.command = CodePageText(item.target);
        m_folderItems.push_back(item);
    }
}

BOOL CStartupManager::ResolveShortcut(const std::wstring& path, std::wstring* target)
{
    if (!m_shellLink)
        return FALSE;
    CComPointer<IPersistFile> file;
    if (FAILED(m_shellLink->QueryInterface(IID_IPersistFile, file.ReceiveVoid())) ||
        FAILED(file->Load(path.c_str(), STGM_READ)))
        return FALSE;
    wchar_t resolved[MAX_PATH] = {};
    if (FAILED(m_shellLink->GetPath(resolved, MAX_PATH, nullptr, SLGP_UNCPRIORITY)) || !resolved[0])
        return FALSE;
    *target = resolved;
    return TRUE;
}

void CStartupManager::ReadDisabledFolderItems()
{
    CRegKey64 store;
    if (!store.Open(HKEY_LOCAL_MACHINE, kFolderStore, KEY_READ))
        return;
    for (const std::wstring& subkey : RegSubkeyNames(store)) {
        CRegKey64 entry;
        if (!entry.Open(store, subkey.c_str(), KEY_READ))
            continue;
        StartupFolderItem item;
        item.itemName = ReadRegText(entry, L"item");
        item.target = ReadRegText(entry, L"command");
        item.path = ReadRegText(entry, L"path");
        item.backupPath = ReadRegText(entry, L"backup");
        item.location = CodePageText(ReadRegText(entry, L"location"));
        item.common = item.location.CompareNoCase("common startup") == 0;
        item.storeKey = subkey;
        item.disabled = 1;
        item.name = CodePageText(item.itemName);
        item.command = CodePageText(item.target);
        if (!item.path.empty())
            m_folderItems.push_back(item);
    }
}

// ---- Run values -------------------------------------------------------------------------------------

STARTUP_RESULT CStartupManager::Disable(const StartupRegItem& item)
{
    if (item.disabled)
        return STARTUP_CHANGED;
    CStartupRunValues values;
    values.Load();
    std::vector<STARTUP_RESULT> results;
    values.Disable({ &item }, &results);
    return results[0];
}

STARTUP_RESULT CStartupManager::Enable(const StartupRegItem& item)
{
    if (!item.disabled)
        return STARTUP_CHANGED;
    CStartupRunValues values;
    values.Load();
    std::vector<STARTUP_RESULT> results;
    values.Enable({ item.storeKey }, &results);
    return results[0];
}

STARTUP_RESULT CStartupManager::Remove(const StartupRegItem& item)
{
    CStartupRunValues values;
    values.Load();
    return values.Remove(item);
}

// ---- Shortcuts ----------------------------------------------------------------------------------------

STARTUP_RESULT CStartupManager::Disable(const StartupFolderItem& item)
{
    if (item.disabled)
        return STARTUP_CHANGED;
    std::wstring file;
    std::wstring backup;
    if (!PlainFileIn(item.path, StartupFolders(), &file) || !PlainFileIn(item.backupPath, BackupFolder(), &backup))
        return STARTUP_OUTSIDE_FOLDERS;
    if (!FileExists(file))
        return STARTUP_CHANGED;
    CRegKey64 store;
    if (!store.Create(HKEY_LOCAL_MACHINE, kFolderStore))
        return STARTUP_REGISTRY_FAILED;
    // A record or a copy kept from an earlier disabling stays as it is: it may be all that is left
    // of another shortcut.
    CRegKey64 earlier;
    if (earlier.Open(store, item.storeKey.c_str(), KEY_READ) || Exists(backup))
        return STARTUP_COPY_KEPT;
    const std::wstring backupFolder = FolderOf(backup);
    if (!Exists(backupFolder))
        ::CreateDirectoryW(backupFolder.c_str(), nullptr);
    if (!::MoveFileW(file.c_str(), backup.c_str()))
        return STARTUP_MOVE_FAILED;

    CRegKey64 entry;
    const BOOL written = entry.Create(store, item.storeKey.c_str()) && WriteRegText(entry, L"item", item.itemName) &&
                         WriteRegText(entry, L"command", item.target) && WriteRegText(entry, L"backup", backup) &&
                         WriteRegText(entry, L"location", WideText(item.location)) && WriteRegText(entry, L"path", file);
    entry.Close();
    if (written)
        return STARTUP_DONE;
    // Unrecorded, the file would be lost to the list: it goes back.
    DeleteRegSubkey64(store, item.storeKey.c_str());
    ::MoveFileW(backup.c_str(), file.c_str());
    return STARTUP_REGISTRY_FAILED;
}

STARTUP_RESULT CStartupManager::Enable(const StartupFolderItem& item)
{
    if (!item.disabled)
        return STARTUP_CHANGED;
    CRegKey64 store;
    CRegKey64 entry;
    if (!store.Open(HKEY_LOCAL_MACHINE, kFolderStore, KEY_ALL_ACCESS) || !entry.Open(store, item.storeKey.c_str(), KEY_READ))
        return STARTUP_CHANGED;
    const std::wstring backupText = ReadRegText(entry, L"backup");
    const std::wstring pathText = ReadRegText(entry, L"path");
    entry.Close();
    std::wstring backup;
    if (!backupText.empty() && !PlainFileIn(backupText, BackupFolder(), &backup))
        return STARTUP_OUTSIDE_FOLDERS;
    if (FileExists(backup)) {
        // The only copy of the shortcut: it is moved back or stays where it is, never deleted.
        std::wstring file;
        if (!PlainFileIn(pathText, StartupFolders(), &file))
            return STARTUP_OUTSIDE_FOLDERS;
        const std::wstring folder = FolderOf(file);
        if (!Exists(folder))
            ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (!::MoveFileW(backup.c_str(), file.c_str()))
            return STARTUP_MOVE_FAILED;
    }
    return DeleteRegSubkey64(store, item.storeKey.c_str()) ? STARTUP_DONE : STARTUP_REGISTRY_FAILED;
}

STARTUP_RESULT CStartupManager::Remove(const StartupFolderItem& item)
{
    if (!item.disabled) {
        std::wstring file;
        if (!PlainFileIn(item.path, StartupFolders(), &file))
            return STARTUP_OUTSIDE_FOLDERS;
        if (!FileExists(file))
            return STARTUP_CHANGED;
        return DeleteFileForced(file) ? STARTUP_DONE : STARTUP_DELETE_FAILED;
    }
    CRegKey64 store;
    CRegKey64 entry;
    if (!store.Open(HKEY_LOCAL_MACHINE, kFolderStore, KEY_ALL_ACCESS) || !entry.Open(store, item.storeKey.c_str(), KEY_READ))
        return STARTUP_CHANGED;
    const std::wstring backupText = ReadRegText(entry, L"backup");
    entry.Close();
    if (!DeleteRegSubkey64(store, item.storeKey.c_str()))
        return STARTUP_REGISTRY_FAILED;
    // The kept file goes with its record; not one outside the backup folder, nor one that another
    // record names too.
    std::wstring backup;
    if (!PlainFileIn(backupText, BackupFolder(), &backup) || !FileExists(backup) ||
        BackupNamedByAnother(store, item.storeKey, backup))
        return STARTUP_DONE;
    return DeleteFileForced(backup) ? STARTUP_DONE : STARTUP_DELETE_FAILED;
}

bool CStartupManager::BackupNamedByAnother(HKEY store, const std::wstring& storeKey, const std::wstring& backup) const
{
    const std::wstring upperBackup = UpperText(backup);
    for (const std::wstring& subkey : RegSubkeyNames(store)) {
        CRegKey64 entry;
        std::wstring other;
        if (UpperText(subkey) != UpperText(storeKey) && entry.Open(store, subkey.c_str(), KEY_READ) &&
            PlainFileIn(ReadRegText(entry, L"backup"), BackupFolder(), &other) && UpperText(other) == upperBackup)
            return true;
    }
    return false;
}

// ---- Everything at once ---------------------------------------------------------------------------

STARTUP_OUTCOME CStartupManager::DisableAll()
{
    STARTUP_OUTCOME outcome;
    // The strings of one value together, so that the value is written once.
    std::vector<std::vector<const StartupRegItem*>> values;
    std::map<std::wstring, size_t> valueOf;
    for (const StartupRegItem& item : m_regItems) {
        if (item.disabled)
            continue;
        const std::wstring key = (item.localMachine ? L"HKLM|" : L"HKCU|") + UpperText(item.valueName);
        const auto found = valueOf.emplace(key, values.size());
        if (found.second)
            values.emplace_back();
        values[found.first->second].push_back(&item);
    }
    CStartupRunValues store;
    store.Load();
    std::vector<STARTUP_RESULT> results;
    for (const std::vector<const StartupRegItem*>& value : values) {
        store.Disable(value, &results);
        for (size_t i = 0; i < value.size(); ++i)
            Note(&outcome, value[i]->name, results[i]);
    }
    for (const StartupFolderItem& item : m_folderItems) {
        if (!item.disabled)
            Note(&outcome, item.name, Disable(item));
    }
    return outcome;
}

STARTUP_OUTCOME CStartupManager::EnableAll()
{
    STARTUP_OUTCOME outcome;
    std::vector<const StartupRegItem*> disabled;
    std::vector<std::wstring> storeKeys;
    for (const StartupRegItem& item : m_regItems) {
        if (item.disabled) {
            disabled.push_back(&item);
            storeKeys.push_back(item.storeKey);
        }
    }
    CStartupRunValues store;
    store.Load();
    std::vector<STARTUP_RESULT> results;
    store.Enable(storeKeys, &results);
    for (size_t i = 0; i < disabled.size(); ++i)
        Note(&outcome, disabled[i]->name, results[i]);
    for (const StartupFolderItem& item : m_folderItems) {
        if (item.disabled)
            Note(&outcome, item.name, Enable(item));
    }
    return outcome;
}
