// Whole-registry backup and restore jobs, and the backup file that a repair writes first.
#include <new>
#include <vector>

#include "EngineProcess.h"
#include "Registry/RegistryManager.h"
#include "Registry/RegistryPath.h"

namespace {

const char kBackupFolderName[] = "Backup";
const char kFullSuffix[] = "_FULL_REGBACKUP";
const char kPartialSuffix[] = "_REGBACKUP";
// Backups of one second beyond this many are refused rather than searched for a name forever.
const int kMaxNamesPerSecond = 1000;

bool IsFolder(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether an item that is not excluded names a registry key.
bool NamesRegistryKey(CAbstractScanItemsInfo* items)
{
    if (!items->MoveFirst())
        return false;
    do {
        if (!items->IsCurrentItemIgnored() && ItemKeyText(items->GetCurrentItem(), nullptr))
            return true;
    } while (items->MoveNext());
    return false;
}

bool IsFile(const char* path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

int CVexaEngineProcess::StartBackup(const char* path, CAbstractStatus* status)
{
    if (!path)
        return -1;
    return StartJob(JOB_BACKUP, status, [&] {
        m_backupArgument = path;
        return true;
    });
}

int CVexaEngineProcess::StartRestore(const char* backupFile, CAbstractStatus* status)
{
    if (!backupFile || !*backupFile)
        return -1;
    return StartJob(JOB_RESTORE, status, [&] {
        m_backupFile = backupFile;
        return true;
    });
}

int CVexaEngineProcess::RestoreBackupNow(CAbstractStatus* status, CString backupFile)
{
    CRegistryManager* manager = new (std::nothrow) CRegistryManager(status);
    if (!manager)
        return 0;
    const int result = manager->ImportFile(backupFile);
    delete manager;
    return result;
}

int CVexaEngineProcess::RunBackupJob()
{
    const int result = WriteBackup(false);
    // A failed backup must not read as a finished one.
    if (result != 1) {
        m_running = 0;
        return result;
    }
    // A backup that left keys or values out is no plain success: the page tells how many.
    const CRegistryManager* manager = m_jobRegistryManager.get();
    if (manager && m_status && manager->GetSkippedCount() > 0)
        m_status->ReportItem(ITEM_BACKUP_SKIPPED, 0, manager->GetSkippedKeyCount(), manager->GetSkippedValueCount());
    return result;
}

int CVexaEngineProcess::RunRestoreJob()
{
    int result = -1;
    CRegistryManager* manager = new (std::nothrow) CRegistryManager(m_status);
    if (manager) {
        // A missing file is read all the same, so that the status hears why nothing happened.
        const bool exists = IsFile(m_backupFile);
        m_jobRegistryManager.reset(manager);
        m_activeRegistryManager = manager;
        result = manager->ImportFile(m_backupFile);
        m_activeRegistryManager = nullptr;
        if (!exists)
            result = -1;
    }
    // Tell the page that the registry was not (wholly) restored, so it keeps the file.
    if (result != 1)
        m_running = 0;
    return result;
}

CString CVexaEngineProcess::MakeBackupFileName(const SYSTEMTIME& localTime, bool partial, int sequence)
{
    CString name;
    name.Format("%02d%02d%04d_%02d%02d%02d", localTime.wDay, localTime.wMonth, localTime.wYear, localTime.wHour,
                localTime.wMinute, localTime.wSecond);
    if (sequence > 1)
        name.AppendFormat("_%d", sequence);
    name += partial ? kPartialSuffix : kFullSuffix;
    name += ".rbk";
    return name;
}

CString CVexaEngineProcess::CreateBackupFile(const CString& folder, const SYSTEMTIME& localTime, bool partial)
{
    for (int sequence = 1; sequence <= kMaxNamesPerSecond; ++sequence) {
        const CString path = folder + "\\" + MakeBackupFileName(localTime, partial, sequence);
        // Created only when new: a backup never replaces another one.
        const HANDLE file =
            ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return path;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return CString();
    }
    return CString();
}

CString CVexaEngineProcess::GetBackupFolder()
{
    std::vector<char> path(32768);
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return CString();
    CString folder(path.data(), static_cast<int>(length));
    const int slash = folder.ReverseFind('\\');
    if (slash < 0)
        return CString();
    return folder.Left(slash + 1) + kBackupFolderName;
}

int CVexaEngineProcess::WriteBackup(bool partial, CString* file)
{
    if (partial && !m_resultItems)
        return 0;
    CRegistryManager* manager = new (std::nothrow) CRegistryManager(m_status);
    if (!manager)
        return 0;
    m_jobRegistryManager.reset(manager);
    // Items that name no registry key (files, the junk categories) need no backup: none is
    // written, and the repair does not depend on the program's folder being writable.
    if (partial && !NamesRegistryKey(m_resultItems))
        return 1;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const CString folder = GetBackupFolder();
    if (folder.IsEmpty() || (!IsFolder(folder) && !::CreateDirectoryA(folder, nullptr)))
        return 0;
    const CString path = CreateBackupFile(folder, now, partial);
    if (path.IsEmpty())
        return 0;

    m_activeRegistryManager = manager;
    int result = partial ? manager->ExportItems(path, m_resultItems) : manager->ExportRegistry(path);
    m_activeRegistryManager = nullptr;
    // A Stop that came before the export began is seen here.
    if (!m_running)
        result = 0;
    if (result != 1) {
        ::DeleteFileA(path);
        return 0;
    }
    // A partial backup that holds no key (the items name files, or keys that are gone) has
    // nothing to give back: it is not kept, so the backup list shows only real backups.
    if (partial && manager->GetExportedKeyCount() == 0) {
        ::DeleteFileA(path);
        return 1;
    }
    if (file)
        *file = path;
    return 1;
}
