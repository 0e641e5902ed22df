// Stale startup data (SUI): Run-key values whose program is missing, and entries of the Start
// menu's sort order (MenuOrder) whose folder or shortcut exists nowhere any more.
#include "EngineProcess.h"

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "Registry/RegistrySubkeyList.h"
#include "Scanners/CommandLine.h"

namespace {

const struct {
    HKEY root;
    const char* path;
} kRunKeys[] = {
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
};

const char* const kMenuOrderStores[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs",
};

// The folders in which a Start menu entry may live, in the order they are tried, the two
// program folders first; the user's own Start menu programs come last.
const char* const kMenuFolders[] = {
    "%ProgramFiles%", "%CommonProgramFiles%", "%CommonPrograms%", "%CommonStartMenu%",
    "%CommonStartup%", "%StartMenu%",         "%Startup%",
};

// The program of a Run value: quotes, apostrophes and trailing backslashes around it removed.
// Leading backslashes stay, so a network path ("\\server\share\x.exe") is not taken for a
// name relative to the Windows folder.
CString RunValueText(const CString& data)
{
    CString text(data);
    text.Trim('"');
    text.Trim('\'');
    text.TrimRight('\\');
    return text.MakeLower();
}

} // namespace

void CVexaEngineProcess::ScanStartupItems()
{
    m_runKeys.clear();
    for (const auto& runKey : kRunKeys) {
        _REGISTRY_KEY_ENTRY entry;
        entry.Root = runKey.root;
        entry.KeyPath = runKey.path;
        entry.Unused = 0;
        m_runKeys.push_back(entry);
    }
    for (const _REGISTRY_KEY_ENTRY& entry : m_runKeys) {
        if (!KeepRunning())
            return;
        CheckRunValues(entry.Root, entry.KeyPath);
    }
    for (const char* store : kMenuOrderStores) {
        if (!KeepRunning())
            return;
        CheckMenuOrderStore(store);
    }
}

void CVexaEngineProcess::CheckRunValues(HKEY root, const CString& keyPath)
{
    if (!root || keyPath.IsEmpty())
        return;
    CRegistryKey runKey;
    if (runKey.Open(root, keyPath, KEY_READ) != ERROR_SUCCESS)
        return;
    CRegistryValueEnum values(runKey);
    CRegistryValue value;
    while (KeepRunning() && values.Next(&value))
        CheckRunValue(root, keyPath, value);
}

void CVexaEngineProcess::CheckRunValue(HKEY root, const CString& keyPath, const CRegistryValue& value)
{
    if (!value.HasData())
        return;
    const CString text = RunValueText(value.Text());
    bool broken = text.IsEmpty();
    if (!broken) {
        const CString program = ProgramPathBeforeExe(text);
        broken = !program.IsEmpty() && JudgeFileReference(program) == FILE_STATE_MISSING;
    }
    if (broken)
        ReportRegistryFinding(root == HKEY_CURRENT_USER ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, keyPath, value.Name,
                              SCAN_SUI);
    ReportActivity(keyPath, "SUI");
}

bool CVexaEngineProcess::GetMenuOrderFolders(std::vector<CString>* folders)
{
    folders->clear();
    for (const char* variable : kMenuFolders) {
        CString folder(variable);
        if (ExpandPathVariables(folder))
            folders->push_back(folder);
    }
    CString startMenu("%StartMenu%");
    if (ExpandPathVariables(startMenu))
        folders->push_back(startMenu + "\\Programs");
    return folders->size() == sizeof(kMenuFolders) / sizeof(kMenuFolders[0]) + 1;
}

void CVexaEngineProcess::CheckMenuOrderStore(const char* storePath)
{
    CRegistryKey store;
    if (store.Open(HKEY_CURRENT_USER, storePath, KEY_READ) != ERROR_SUCCESS)
        return;
    std::vector<CString> entries;
    ReadSubkeyNames(store, &entries);
    store.Close();

    // Without every folder an entry may live in, none can be said to be missing.
    std::vector<CString> folders;
    if (!GetMenuOrderFolders(&folders))
        return;
    for (const CString& entry : entries) {
        if (!KeepRunning())
            return;
        CheckMenuOrderEntry(storePath, entry, folders);
    }
}

void CVexaEngineProcess::CheckMenuOrderEntry(const char* storePath, const CString& entry,
                                             const std::vector<CString>& folders)
{
    ReportActivity(CString(storePath) + "\\" + entry, "SUI");
    bool present = false, unsure = false;
    for (const CString& folder : folders) {
        const FILE_STATE state = m_fileReferences.ProbePath(folder + "\\" + entry);
        present = state == FILE_STATE_PRESENT;
        unsure = unsure || state == FILE_STATE_UNKNOWN;
        if (present)
            break;
    }
    // Under WOW64 the program folders (the first two) have a second, 32-bit location.
    present = present || FileExists(folders[0] + "\\" + entry) || FileExists(folders[1] + "\\" + entry);
    if (!present && !unsure)
        ReportRegistryFinding(HKEY_CURRENT_USER, CString(storePath) + "\\" + entry, nullptr, SCAN_SUI);
}

void CVexaEngineProcess::CheckStartupItem(const CString& item)
{
    _REGISTRY_ITEM entry;
    if (!SplitRegistryItem(item, &entry))
        return;
    if (entry.IsValue) {
        for (const auto& runKey : kRunKeys) {
            if (entry.Root != runKey.root || entry.KeyPath.CompareNoCase(runKey.path) != 0)
                continue;
            CRegistryKey key;
            CRegistryValue value;
            if (key.Open(entry.Root, runKey.path, KEY_READ) == ERROR_SUCCESS &&
                ReadRegistryValue(key, entry.ValueName, &value) == ERROR_SUCCESS)
                CheckRunValue(entry.Root, runKey.path, value);
        }
        return;
    }
    CString name;
    std::vector<CString> folders;
    for (const char* store : kMenuOrderStores)
        if (entry.Root == HKEY_CURRENT_USER && ChildKeyName(entry.KeyPath, store, &name) && GetMenuOrderFolders(&folders))
            CheckMenuOrderEntry(store, name, folders);
}
