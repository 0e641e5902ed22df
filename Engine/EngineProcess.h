// CVexaEngineProcess: the one object through which the program drives the engine. Every long
// operation runs as a job on the object's own thread and reports through a CAbstractStatus.
#pragma once

#include <atomic>
#include <set>
#include <vector>

#include "SmartThread.h"
#include "VexaEngine.h"

class CRegistryManager;
class CFileFind;
class CShortcutReader;
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

    // File system: broken shortcuts (SRC), temporary files (TPF), the Recycle Bin (RCB).
    // ScanFolder walks a folder tree in shortcut mode (non-zero) or junk mode (0); always 1.
    int ScanFolder(const char* folder, int shortcutMode);
    // Non-zero when the shortcut is fine or could not be judged, 0 when its target is missing.
    int IsShortcutValid(const char* shortcutPath);
    void ScanRecycleBin();
    void WalkFolder(const CString& folder, CShortcutReader* shortcutReader);
    void ExamineShortcutEntry(const CFileFind& entry, const CString& path, CShortcutReader& reader);
    void ExamineJunkEntry(const CFileFind& entry, const CString& path);
    int JudgeShortcut(const char* shortcutPath, CShortcutReader& reader);
    BOOL FileExistsRedirected(CString path);  // placeholder

    // ---- Repair job ----

    // ---- Backup and restore ----

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
