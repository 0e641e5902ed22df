// CVexaEngineProcess: the one object through which the program drives the engine. Every long
// operation runs as a job on the object's own thread and reports through a CAbstractStatus.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <vector>

#include "SmartThread.h"
#include "VexaEngine.h"

class CRegistryManager;
struct IShellLinkA;

// A key of the Run-key list that the startup-item scanner fills and reads.
struct _REGISTRY_KEY_ENTRY {
    CString KeyPath;
    int Unused = 3;
    HKEY Root = nullptr;
};

class CVexaEngineProcess : public CAbstractProcess, public CSmartThread
{
public:
    // With loadDatabase the signature database beside the program is loaded and the scan mode
    // starts at 0; without it no database is loaded and the scan mode is left unset.
    explicit CVexaEngineProcess(bool loadDatabase = true);
    ~CVexaEngineProcess() override;

    // CAbstractProcess
    int IsRunning() override { return m_running; }
    int Stop(int stop) override;
    int CancelUpdate() override;
    int WaitOrSignal(int wait) override;
    int Resume() override;
    int Suspend() override;
    HANDLE GetThreadHandle() override { return GetHandle(); }
    DWORD GetThreadId() override { return CSmartThread::GetThreadId(); }
    int GetJobType() override { return m_jobType; }
    int Reserved(int) override { return 0; }
    int StartBackup(const char* path, CAbstractStatus* status) override;
    int StartRestore(const char* backupFile, CAbstractStatus* status) override;
    int StartScan(const std::set<CString>* folders, DWORD categories, CAbstractStatus* status, int scanMode) override;
    int StartRepair(CAbstractScanItemsInfo* items, CAbstractStatus* status) override;
    int StartUpdate(const char* updateAddress, const char* text2, const char* text3, const char* ftpFileName,
                    const char* databasePath, CAbstractStatus* status) override;
    int StartDefrag(int mode, CAbstractStatus* status) override;
    int GetStringMD5(CString* text, CString* digest) override;
    int GetStringMD5Copy(CString text, CString* digest) override;
    BOOL CheckFileInDatabase(CString filePath, _SPYWARE_INFORMATION* info) override;
    void GetDatabaseVersion(CString* version) override;
    int StartReloadDatabase(CAbstractStatus* status) override;
    int RestoreBackupNow(CAbstractStatus* status, CString backupFile) override;

    // CSmartThread
    DWORD Run() override;

    // The test that every scanner and the repair loop make between items: waits while the job
    // is paused, then tells whether it should go on.
    bool KeepRunning();

protected:
    // The body of one job; the result becomes the thread's exit code.
    virtual int RunJob(int jobType);

    // The common start rule: refuses while another job owns the thread (after waiting a little
    // for one that is only ending), then lets storeArguments keep the job's arguments, and
    // creates the thread suspended. storeArguments may refuse with false.
    template <class StoreArguments>
    int StartJob(int jobType, CAbstractStatus* status, StoreArguments storeArguments);

    // Job bodies, one file each.
    int RunScanJob();
    int RunRepairJob();
    int RunBackupJob();
    int RunRestoreJob();
    int RunUpdateJob();
    int RunFtpUpdateJob();
    int RunReloadDatabaseJob();
    int RunDefragJob();

    void ReportActivity(const char* text, const char* area);
    void ReportProgress(int phase);

    // ---- Scan job and category scanners ----

    // ---- Repair job ----

    // ---- Backup and restore ----

    // Writes a backup file into the "Backup" folder beside the program: the whole registry, or
    // with `partial` the keys of the repair's items (m_resultItems, excluded items skipped).
    // While it runs its registry manager is the active one, so Stop ends it. 1 when the file is
    // complete (its path in *file when given); 0 when the folder or the file could not be made,
    // the export failed or it was stopped: then no file is left behind.
    int WriteBackup(bool partial, CString* file = nullptr);
    // "ddmmyyyy_hhmmss_FULL_REGBACKUP.rbk", or "..._REGBACKUP.rbk" for a partial backup.
    static CString MakeBackupFileName(const SYSTEMTIME& localTime, bool partial);
    // The "Backup" folder beside the running program, without a trailing backslash.
    static CString GetBackupFolder();
    // The manager of the last backup or restore job. It outlives its job, so a Stop that has
    // just read the active pointer never reaches a deleted object.
    std::unique_ptr<CRegistryManager> m_jobRegistryManager;

    // ---- Signature database and live update ----

    // ---- Hive compaction, spyware removal and process termination ----

    // ---- (end of job-specific members) ----

    // Scan state.
    int m_scanMode = 0;
    BOOL m_wow64 = FALSE;
    double m_recycleBinKilobytes = 0;
    double m_junkKilobytes = 0;
    CString m_systemFolder;
    CString m_programFilesFolder;
    std::atomic<int> m_running{0};
    std::atomic<int> m_jobType{0};
    CAbstractStatus* m_status = nullptr;
    CAbstractScanItemsInfo* m_resultItems = nullptr;
    CString m_backupArgument;
    std::atomic<CRegistryManager*> m_activeRegistryManager{nullptr};
    int m_defragMode = 0;
    CString m_backupFile;
    DWORD m_categories = 0;
    std::set<CString> m_scanFolders;
    IShellLinkA* m_shellLink = nullptr;
    std::vector<_REGISTRY_KEY_ENTRY> m_runKeys;
    PVOID m_redirectionCookie = nullptr;
    int m_activityCounter = 0;
    std::set<CString> m_registeredClasses;

private:
    bool WaitForEndingJob();
    void InitSystemFolders();

    // Signalled while the job may run; reset by Suspend so the job pauses at its next test.
    HANDLE m_resumeEvent = nullptr;
    // Set once the job has sent its final reports: a new start may wait for the thread to end.
    std::atomic<bool> m_jobEnding{false};
};

template <class StoreArguments>
int CVexaEngineProcess::StartJob(int jobType, CAbstractStatus* status, StoreArguments storeArguments)
{
    if (!status)
        return -1;
    if (GetHandle() && !WaitForEndingJob())
        return -1;
    if (!storeArguments())
        return -1;
    m_status = status;
    m_jobType = jobType;
    m_jobEnding = false;
    ::SetEvent(m_resumeEvent);
    return Start() == 1 ? 1 : -1;
}
