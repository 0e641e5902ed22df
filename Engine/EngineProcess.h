// CVexaEngineProcess: the one object through which the program drives the engine. Every long
// operation runs as a job on the object's own thread and reports through a CAbstractStatus.
#pragma once

#include <atomic>
#include <set>
#include <vector>

#include "Scanners/FileReference.h"
#include "Scanners/PathVariables.h"
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

    // How the registry walk treats each key below its start key.
    enum WALK_MODE {
        WALK_FILE_REFERENCES = 1,   // every value is tested for a missing file (FPR)
        WALK_EMPTY_KEYS = 2,        // the key is tested for being empty (ERK)
        WALK_CLASS_REFERENCES = 3,  // "CLSID" subkeys are looked up in m_registeredClasses (AXO)
    };

    // Activity thresholds: a scanner shows its current item once per this many examined items.
    static const int kActivityThreshold = 3000;
    static const int kEmptyKeyActivityThreshold = 1000;
    static const int kSharedDllActivityThreshold = 100;

    // Category scanners, run by the scan job in its fixed order when selected. A scanner tests
    // KeepRunning() before each item, reports each finding with ReportFinding and shows its
    // progress with ReportScanActivity.
    void ScanActiveX();
    void ScanUninstallEntries(const char* keyPath);
    void ScanDefaultUninstallEntries();
    void ScanFonts();
    void ScanSharedDlls();
    void ScanAppPaths();
    void ScanHelpFiles();
    void ScanStartupItems();
    void ScanFileReferences();
    // Shortcut mode (non-zero): broken program shortcuts; junk mode (0): temporary files. Always 1.
    int ScanFolder(const char* folder, int shortcutMode);
    void ScanEmptyKeys();
    void ScanFileAssociations();
    void ScanTypeLibraries();
    void ScanServices();
    void ScanSoundEvents();
    void ScanRecycleBin();

    // Reporting shared by all scanners.
    // Adds 1 to the activity counter; when it was above threshold, first shows text with the
    // category code and restarts the counter.
    void ReportScanActivity(const char* text, const char* code, int threshold = kActivityThreshold);
    // Tells whether the next call of ReportScanActivity would show its text, so that a scanner
    // can skip building a text that would not be shown.
    bool IsActivityDue(int threshold = kActivityThreshold) const { return m_activityCounter > threshold; }
    // One finding: the item text (file, key or value item), the category bit, 0, 0.
    void ReportFinding(const CString& item, DWORD category);
    // Scheduled scans only: a program folder that a scanner examined and found in order. Kept
    // apart from the folders the program asked to be searched for temporary files, so it is
    // never walked as junk. Does nothing in the other scan modes.
    void AddScanFolder(const CString& folder);
    const std::set<CString>& ScheduledScanFolders() const { return m_scheduledScanFolders; }

    // Path variables and file tests (per-scan caches, reset when a scan starts).
    // Lower-cases text and replaces the first path token it holds ("%WinDir%", ...).
    BOOL ExpandPathVariables(CString& text);
    // Strips quotes, expands tokens and looks the file up as it is, in the Windows folder, its
    // "System" subfolder and the system folder, and without "file:///"; TRUE when found (text
    // then holds the path found).
    BOOL ExtractFilePath(CString& text);
    // Under WOW64 only: the file at the 32-bit location of a system or program path.
    BOOL FileExists(CString path);
    // Under WOW64 only: the file at the 64-bit location of a 32-bit system or program path.
    BOOL FileExistsRedirected(CString path);
    // The three-answer judgement of a text naming one file; report only FILE_STATE_MISSING.
    FILE_STATE JudgeFileReference(const CString& text, CString* resolved = nullptr);
    bool IsFileReferenceMissing(const CString& text) { return JudgeFileReference(text) == FILE_STATE_MISSING; }

    // Registry walking and reference checking.
    // Walks every key below rootName\startKeyPath (the start key itself is not checked).
    void WalkRegistry(CString rootName, CString startKeyPath, int walkMode);
    void CheckKeyReferences(HKEY parent, CString keyName, CString keyPath, int walkMode);
    // The same check on a key the caller has open with KEY_QUERY_VALUE.
    void CheckOpenedKeyReferences(HKEY key, const CString& keyName, const CString& keyPath, int walkMode);
    // 1 when the text names no file or an existing one, 0 when it names a missing file.
    int CheckValueReferences(CString text);
    static void FormatValueText(DWORD type, const BYTE* data, DWORD length, CString* text);
    // FALSE only when opening the key for setting values is refused (access denied).
    BOOL CanWriteRegistryKey(CString rootName, CString keyPath);
    static BOOL ResolveShellPath(CString path, CString* resolved);

    // The size text of a kilobyte total: "%.2fGB" above 1048576 KB, "%.0fMB" above 1024 KB,
    // else "%.0fKB".
    static CString FormatSizeText(double kilobytes);

    // Per-scan state of the scanners.
    CPathVariables m_pathVariables;
    CFileReferenceJudge m_fileReferences{m_pathVariables};
    std::set<CString> m_scheduledScanFolders;
    // Set by Suspend, cleared by Resume: KeepRunning looks at the resume event only while set.
    std::atomic<bool> m_pauseRequested{false};
    // Keys that the last walk left out because they lay too deep.
    unsigned m_walkSkippedTooDeep = 0;

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
