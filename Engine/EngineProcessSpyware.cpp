// Removal of a known spyware's entries, and the freeing of files that are in use.
#include "EngineProcess.h"

#include "Registry/RegistryManager.h"
#include "Spyware.h"

namespace {

// The spyware record's item kinds that the removal interprets.
const int ITEM_MODULE = 2;
const int ITEM_REGISTRY = 5;
const int ITEM_FOLDER = 7;
const int ITEM_FILE = 8;

// How long a terminated process may take to let go of its file.
const DWORD kReleaseWait = 1500;

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

} // namespace

int CVexaEngineProcess::RemoveSpyware(CString itemText, long spywareId)
{
    if (!m_database)
        return 0;
    if (itemText.Left(4) == "HKEY") {
        CRegistryManager manager(m_status);
        manager.DeleteKey(itemText);
    } else {
        DeleteLockedFile(itemText, TRUE);
    }
    const _SPYWARE_INFORMATION* record = m_database->FindSpyware(spywareId);
    if (!record)
        return 1;
    const CSpyware spyware(*record);
    std::vector<CString> entries;
    if (spyware.GetItemValues(ITEM_REGISTRY, &entries))
        RemoveSpywareRegistry(entries);
    if (spyware.GetItemValues(ITEM_MODULE, &entries))
        RemoveSpywareModules(entries);
    if (spyware.GetItemValues(ITEM_FILE, &entries))
        RemoveSpywareFiles(entries);
    if (spyware.GetItemValues(ITEM_FOLDER, &entries))
        RemoveSpywareFolders(entries);
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
    if (mayTerminate) {
        if (!m_terminator.IsLoaded())
            m_terminator.Load();
        if (m_terminator.TerminateByImagePath(file)) {
            if (DeleteDone(file, &error))
                return 1;
            ::Sleep(kReleaseWait);
            if (DeleteDone(file, &error))
                return 1;
        }
    }
    // Still in use: the system deletes it at the next start. Reported only once that is sure.
    if (!ScheduleDeleteAtRestart(file))
        return 0;
    if (m_status)
        m_status->ReportResult(1);
    return 1;
}

int CVexaEngineProcess::RemoveSpywareRegistry(const std::vector<CString>& entries)
{
    CRegistryManager manager(m_status);
    for (const CString& entry : entries) {
        // The manager never deletes a root, nor a value of one named by "ROOT\", whatever the
        // entry says.
        if (manager.KeyExists(entry))
            manager.DeleteKey(entry);
        else
            manager.DeleteValue(entry);
    }
    return 1;
}

int CVexaEngineProcess::UnregisterModule(CString modulePath)
{
    if (modulePath.IsEmpty())
        return 0;
    HMODULE module = ::LoadLibraryA(modulePath);
    if (!module)
        return 0;
    typedef HRESULT(STDAPICALLTYPE * PFN_UNREGISTER)();
    PFN_UNREGISTER unregister =
        reinterpret_cast<PFN_UNREGISTER>(reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    if (unregister)
        unregister();
    ::FreeLibrary(module);
    return 0;
}

int CVexaEngineProcess::RemoveSpywareModules(const std::vector<CString>& modules)
{
    for (CString module : modules) {
        if (!ExpandSpywarePath(module))
            continue;
        UnregisterModule(module);
        DeleteLockedFile(module, FALSE);
    }
    return 1;
}

int CVexaEngineProcess::RemoveSpywareFiles(const std::vector<CString>& files)
{
    for (CString file : files) {
        if (ExpandSpywarePath(file))
            DeleteLockedFile(file, TRUE);
    }
    return 1;
}

int CVexaEngineProcess::RemoveSpywareFolders(const std::vector<CString>& folders)
{
    int result = 1;
    for (CString folder : folders) {
        if (ExpandSpywarePath(folder))
            result = ::RemoveDirectoryA(folder) ? 1 : 0;
    }
    return result;
}
