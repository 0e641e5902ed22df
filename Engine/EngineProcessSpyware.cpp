// Removal of a known spyware's entries, and the freeing of files that are in use.
#include "EngineProcess.h"

#include "Registry/RegistryManager.h"
#include "Registry/RegistryPath.h"
#include "Spyware.h"
#include "SpywareRemovalRules.h"

namespace {

// The spyware record's item kinds that the removal interprets.
const int ITEM_MODULE = 2;
const int ITEM_REGISTRY = 5;
const int ITEM_FOLDER = 7;
const int ITEM_FILE = 8;

// How long a terminated process may take to let go of its file.
const DWORD kReleaseWait = 1500;

// Separates the key and the value name in a value item.
const char kValueSeparator = '\xAC';

// Errors that mean another process holds the file.
bool IsInUse(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// Deletes the file; true when it is gone or can never be deleted here (a missing file, a bad
// path), false while it is held. `error` is the deletion's error.
bool DeleteDone(const char* file, DWORD* error)
{
    if (::DeleteFileA(file)) {
        *error = ERROR_SUCCESS;
        return true;
    }
    *error = ::GetLastError();
    return !IsInUse(*error);
}

// Whether a key text names a key below a root (not the root itself, however it is spelt).
bool NamesKeyBelowRoot(const CString& keyText)
{
    CString subKey;
    return SplitRegistryKeyText(keyText, nullptr, &subKey) && !subKey.Trim('\\').IsEmpty();
}

// The items of a removal's registry entries as the partial backup reads them: key items, and
// value items (key, 0xAC, value name); none is excluded.
class CRemovalBackupItems : public CAbstractScanItemsInfo
{
public:
    explicit CRemovalBackupItems(std::vector<CString> items) : m_items(std::move(items)) {}

    BOOL MoveFirst() override
    {
        m_current = 0;
        return !m_items.empty();
    }
    BOOL MoveNext() override { return ++m_current < m_items.size(); }
    const char* GetCurrentItem() override { return m_current < m_items.size() ? m_items[m_current].GetString() : ""; }
    int GetCurrentCategory() override { return 0; }
    BOOL IsCurrentItemIgnored() override { return FALSE; }

    void Clear() override {}
    int AddItem(CString, int, int, INT_PTR) override { return 0; }
    BOOL HasCategory(int) override { return FALSE; }
    int GetSpywareId(const char*) override { return 0; }
    int CountCategory(int) override { return 0; }
    DWORD GetFoundCategories() override { return 0; }
    BOOL GetItems(std::vector<const char*>*, int) override { return FALSE; }
    void SetIgnore(const char*, int, int) override {}
    void SetSaveIgnored(int) override {}
    int LoadIgnoreList() override { return 0; }
    int AppendIgnoredToFile() override { return 0; }
    int Reserved() override { return 0; }
    void GetSpywareInfo(int, _SPYWARE_INFORMATION*) override {}
    int GetIgnoreList(std::map<CString, int>*) override { return 0; }
    int LoadIgnoreListForDisplay() override { return 0; }
    int SaveIgnoreList(const std::map<CString, int>*) override { return 0; }
    int WriteScanLog() override { return 0; }
    BOOL IsSpywareIgnored(CString, int, const _SPYWARE_INFORMATION*) override { return FALSE; }
    int AddToIgnoreList(CString, CString, int, int) override { return 0; }
    int GetIgnoreRecycleBin() override { return 0; }
    int GetIgnoreTempFiles() override { return 0; }

private:
    std::vector<CString> m_items;
    size_t m_current = 0;
};

} // namespace

int CVexaEngineProcess::RemoveSpyware(CString itemText, long spywareId)
{
    if (!m_database)
        return 0;
    std::vector<CString> registry, modules, files, folders;
    if (const _SPYWARE_INFORMATION* record = m_database->FindSpyware(spywareId)) {
        const CSpyware spyware(*record);
        spyware.GetItemValues(ITEM_REGISTRY, &registry);
        spyware.GetItemValues(ITEM_MODULE, &modules);
        spyware.GetItemValues(ITEM_FILE, &files);
        spyware.GetItemValues(ITEM_FOLDER, &folders);
    }
    if (itemText.Left(4) == "HKEY") {
        std::vector<_REGISTRY_REMOVAL> removals = PlanRegistryRemoval(registry);
        if (!IsProtectedRegistryKey(itemText))
            removals.insert(removals.begin(), _REGISTRY_REMOVAL{itemText, true});
        RemoveRegistryEntries(removals);
    } else {
        // The found file is judged like the record's files.
        CString found;
        if (JudgeRemovablePath(itemText, &found))
            DeleteLockedFile(found, TRUE);
        RemoveSpywareRegistry(registry);
    }
    RemoveSpywareModules(modules);
    RemoveSpywareFiles(files);
    RemoveSpywareFolders(folders);
    return 1;
}

BOOL CVexaEngineProcess::ExpandSpywarePath(CString& text)
{
    return ExpandPathVariables(text);
}

BOOL CVexaEngineProcess::ScheduleDeleteAtRestart(const char* file)
{
    return ::MoveFileExA(file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

int CVexaEngineProcess::DeleteLockedFile(const char* file, int mayTerminate)
{
    if (!file || !*file)
        return 1;
    DWORD error = ERROR_SUCCESS;
    if (DeleteDone(file, &error) || ::GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
        return 1;
    // A read-only file refuses deletion with "access denied" too.
    if (error == ERROR_ACCESS_DENIED) {
        ::SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
        if (DeleteDone(file, &error))
            return 1;
    }
    if (!m_terminator.IsLoaded())
        m_terminator.Load();
    bool systemImage = false;
    if (mayTerminate) {
        if (m_terminator.TerminateByImagePath(file, &systemImage)) {
            if (DeleteDone(file, &error))
                return 1;
            ::Sleep(kReleaseWait);
            if (DeleteDone(file, &error))
                return 1;
        }
    } else {
        systemImage = m_terminator.IsImageOfProtectedProcess(file);
    }
    // The program of a process the system cannot do without stays, now and at the next start.
    if (systemImage)
        return 0;
    // Still in use: the system deletes it at the next start. Reported only once that is sure.
    if (!ScheduleDeleteAtRestart(file))
        return 0;
    if (m_status)
        m_status->ReportResult(1);
    return 1;
}

std::vector<CVexaEngineProcess::_REGISTRY_REMOVAL>
CVexaEngineProcess::PlanRegistryRemoval(const std::vector<CString>& entries)
{
    std::vector<_REGISTRY_REMOVAL> removals;
    CRegistryManager manager(m_status);
    for (const CString& entry : entries) {
        if (manager.KeyExists(entry)) {
            // A key that holds the system's shared structure is never deleted whole.
            if (!IsProtectedRegistryKey(entry))
                removals.push_back({entry, true});
            continue;
        }
        // A value: the key before the last backslash must be a key below a root, so that the
        // backup holds it.
        const int slash = entry.ReverseFind('\\');
        if (slash > 0 && slash + 1 < entry.GetLength() && NamesKeyBelowRoot(entry.Left(slash)))
            removals.push_back({entry, false});
    }
    return removals;
}

int CVexaEngineProcess::RemoveRegistryEntries(const std::vector<_REGISTRY_REMOVAL>& removals)
{
    if (removals.empty())
        return 1;
    // Nothing is deleted that the partial backup could not give back.
    std::vector<CString> backupItems;
    for (const _REGISTRY_REMOVAL& removal : removals) {
        if (removal.IsKey) {
            backupItems.push_back(removal.Text);
        } else {
            const int slash = removal.Text.ReverseFind('\\');
            backupItems.push_back(removal.Text.Left(slash) + kValueSeparator + removal.Text.Mid(slash + 1));
        }
    }
    CRemovalBackupItems items(std::move(backupItems));
    CAbstractScanItemsInfo* const lent = m_resultItems;
    m_resultItems = &items;
    const int backedUp = WriteBackup(true);
    m_resultItems = lent;
    if (!backedUp)
        return 0;

    CRegistryManager manager(m_status);
    for (const _REGISTRY_REMOVAL& removal : removals) {
        if (removal.IsKey)
            manager.DeleteKey(removal.Text);
        else
            manager.DeleteValue(removal.Text);
    }
    return 1;
}

int CVexaEngineProcess::RemoveSpywareRegistry(const std::vector<CString>& entries)
{
    return RemoveRegistryEntries(PlanRegistryRemoval(entries));
}

int CVexaEngineProcess::UnregisterModule(CString modulePath)
{
    // Loading a module runs its code: only from a plain local path, and only a file.
    CString module;
    if (modulePath.IsEmpty() || !JudgeRemovablePath(modulePath, &module))
        return 0;
    const DWORD attributes = ::GetFileAttributesA(module);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    HMODULE loaded = ::LoadLibraryA(module);
    if (!loaded)
        return 0;
    typedef HRESULT(STDAPICALLTYPE * PFN_UNREGISTER)();
    PFN_UNREGISTER unregister =
        reinterpret_cast<PFN_UNREGISTER>(reinterpret_cast<void*>(::GetProcAddress(loaded, "DllUnregisterServer")));
    if (unregister)
        unregister();
    ::FreeLibrary(loaded);
    return 0;
}

bool CVexaEngineProcess::ExpandRemovalPath(CString entry, CString* fullPath)
{
    return ExpandSpywarePath(entry) && JudgeRemovablePath(entry, fullPath);
}

int CVexaEngineProcess::RemoveSpywareModules(const std::vector<CString>& modules)
{
    for (const CString& entry : modules) {
        CString module;
        if (!ExpandRemovalPath(entry, &module))
            continue;
        UnregisterModule(module);
        DeleteLockedFile(module, FALSE);
    }
    return 1;
}

int CVexaEngineProcess::RemoveSpywareFiles(const std::vector<CString>& files)
{
    for (const CString& entry : files) {
        CString file;
        if (ExpandRemovalPath(entry, &file))
            DeleteLockedFile(file, TRUE);
    }
    return 1;
}

int CVexaEngineProcess::RemoveSpywareFolders(const std::vector<CString>& folders)
{
    int result = 1;
    for (const CString& entry : folders) {
        CString folder;
        if (ExpandRemovalPath(entry, &folder))
            result = ::RemoveDirectoryA(folder) ? 1 : 0;
    }
    return result;
}
