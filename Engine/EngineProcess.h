// CVexaEngineProcess: the one object through which the program drives the engine. Every long
// operation runs as a job on the object's own thread and reports through a CAbstractStatus.
#pragma once

#include <atomic>
#include <memory>
#include <set>
#include <vector>

#include "Database/DatabaseHandler.h"
#include "Database/UpdaterSlot.h"
#include "Process/ProcessTerminator.h"
#include "Registry/RegistryDefrag.h"
#include "Scanners/FileReference.h"
#include "Scanners/FolderFiles.h"
#include "Scanners/PathVariables.h"
#include "Scanners/ShortcutReader.h"
#include "SmartThread.h"
#include "VexaEngine.h"

class CRegistryManager;
struct _FTP_SITE;
class CFileFind;
struct CRegistryValue;

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

    // The FTP variant of the database update (job JOB_FTP_UPDATE), which no page offers: the
    // job connects to the site, compares the date in its "/Update.txt" with the database's at
    // databasePath and, when the site's is later, downloads ftpFileName from the site's root in
    // place of that database and reloads the database beside the program. OperationFinished
    // carries the job's update code (0 when the database was replaced); the start rule and its
    // -1 are those of every start operation.
    int StartFtpUpdate(const _FTP_SITE& site, const char* ftpFileName, const char* databasePath,
                       CAbstractStatus* status);

    // CSmartThread
    DWORD Run() override;

    // The test that every scanner and the repair loop make between items: waits while the job
    // is paused, then tells whether it should go on.
    bool KeepRunning();

protected:
    // The body of one job; the result becomes the thread's exit code.
    virtual int RunJob(int jobType);
    // Instead of the body, for a job stopped before its thread began: releases what the job
    // was given and gives 0.
    int DropJob(int jobType);
    // Clears the running flag for good: also a job whose thread has not yet begun sees it.
    void RequestStop();

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
    // Not run by the scan job; for a caller that holds a list of class identifiers (subkeys of
    // root\keyPath): each entry whose class (HKEY_LOCAL_MACHINE "Software\Classes\CLSID") has
    // an in-process server library that is missing is reported as a key item of category.
    void ScanMachineClsids(HKEY root, const char* keyPath, DWORD category);
    // Not run by the scan job either: the browser helper objects (subkeys of HKEY_LOCAL_MACHINE
    // "...\Explorer\Browser Helper Objects") that the database knows, reported as their keys
    // when the spyware's category is among the selected ones. 0 without a loaded database, else 1.
    int ScanBrowserHelperObjects();
    // The record of the spyware whose signature is the class identifier; null when none.
    const _SPYWARE_INFORMATION* FindClassInDatabase(const CString& clsid) const;

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
    // The folders the last scan walked for temporary files, as it was given them.
    std::vector<CString> m_walkedJunkFolders;
    // Set by Suspend, cleared by Resume: KeepRunning looks at the resume event only while set.
    std::atomic<bool> m_pauseRequested{false};
    // Keys that the last walk left out because they lay too deep.
    unsigned m_walkSkippedTooDeep = 0;

    // Helpers of the category scanners (Scanners/*.cpp).
    // The folder walk of ScanFolder: shortcut mode with a shortcutReader, junk mode with the
    // junkFolder the walk began at.
    void WalkFolder(const CString& folder, CShortcutReader* shortcutReader, const CFolderFiles* junkFolder);
    void ExamineShortcutEntry(const CFileFind& entry, const CString& path, CShortcutReader& reader);
    void ExamineJunkEntry(const CFileFind& entry, const CString& path, const CFolderFiles& junkFolder);
    // Non-zero when the shortcut is fine or could not be judged, 0 when its target is missing.
    int IsShortcutValid(const char* shortcutPath);
    int JudgeShortcut(const char* shortcutPath, CShortcutReader& reader);
    // A key finding (valueName null) or value finding, reported only when the key may be changed.
    void ReportRegistryFinding(HKEY root, const CString& subKey, const char* valueName, DWORD category);
    void CheckUninstallString(const CString& entryPath, const CRegistryValue& value);
    void CheckClassServer(const CString& className);
    // Whether a value of an open InprocServer32 key names a ".dll" or ".ocx" file that is missing.
    bool HasMissingServerLibrary(HKEY server);
    // Whether a class named below keyPath is registered in the class set of keyPath's view
    // (the 32-bit set below HKEY_CLASSES_ROOT\Wow6432Node); true when that set is not complete.
    bool IsClassRegisteredFor(const CString& keyPath, const CString& lowerClassId) const;
    void CheckInterfaceTypeLibrary(const CString& interfaceName, const std::set<CString>& registered);
    // 0 when the extension's key cannot be opened, else 1.
    int CheckFileAssociation(const CString& extension);
    void CheckRunValues(HKEY root, const CString& keyPath);
    void CheckRunValue(HKEY root, const CString& keyPath, const CRegistryValue& value);
    void CheckMenuOrderStore(const char* storePath);
    // The folders a Start menu entry may live in; false when any of them is unknown.
    bool GetMenuOrderFolders(std::vector<CString>* folders);
    void CheckMenuOrderEntry(const char* storePath, const CString& entry, const std::vector<CString>& folders);
    void CheckHelpClass(const CString& className);
    void CheckHelpFileList(HKEY list, const char* listPath);
    void CheckHelpFile(const char* listPath, const CRegistryValue& value);
    void CheckServiceImage(const CString& serviceName, const CString& windowsFolder);
    void CheckAppPath(const CString& programName);
    void CheckFont(const CRegistryValue& value, const CString& fontsFolder);
    void CheckSharedDll(const CRegistryValue& value);
    void CheckUninstallEntry(const char* keyPath, const CString& entry);
    void CheckSoundLabel(const CString& label);
    void CheckFileReferenceValue(const CString& keyPath, const CRegistryValue& value);
    // Whether the file-reference walk reaches the key and judges its values.
    bool IsWalkedForFileReferences(const CString& keyPath) const;
    // Fill m_registeredClasses (and the 32-bit set beside it) from the class list; names
    // receives the list. False when the list cannot be opened.
    bool ReadRegisteredClasses(std::vector<CString>* names);
    // The registered type libraries; false when their list cannot be read whole.
    bool ReadRegisteredTypeLibraries(std::set<CString>* registered);

    // Each category's check of the one unit that holds a found item, reporting as the scan does:
    // the Run value or Start menu entry (SUI), the font or shared DLL value, the uninstall entry,
    // the class (AXO, by its server and by its "CLSID" subkey), the interface (ITL), the App
    // Paths entry, the service, the help class or help file value, the extension (FAS), the
    // value the file-reference walk reads (FPR), the key itself (ERK), the sound label (SAE), the
    // shortcut file (SRC). An item at a place its category never looks gets no finding.
    void CheckStartupItem(const CString& item);
    void CheckFontItem(const CString& item);
    void CheckSharedDllItem(const CString& item);
    void CheckUninstallItem(const CString& item);
    void CheckActiveXItem(const CString& item);
    void CheckTypeLibraryItem(const CString& item);
    void CheckAppPathItem(const CString& item);
    void CheckServiceItem(const CString& item);
    void CheckHelpItem(const CString& item);
    void CheckFileAssociationItem(const CString& item);
    void CheckFileReferenceItem(const CString& item);
    void CheckEmptyKeyItem(const CString& item);
    void CheckSoundEventItem(const CString& item);
    void CheckShortcutItem(const CString& item);

    // Beside m_registeredClasses: whether the ActiveX scan read the class list to its end, and
    // the 32-bit classes that a 64-bit process sees below HKEY_CLASSES_ROOT\Wow6432Node, which
    // are judged only when that list was read to its end.
    bool m_registeredClassesComplete = true;
    std::set<CString> m_registeredClasses32;
    bool m_registeredClasses32Complete = false;

    // ---- Repair job ----

    // What one repair has really done to the junk categories.
    struct _REPAIR_JUNK {
        bool tempFilesDeleted = false;
        double tempFileKilobytes = 0;
        bool recycleBinEmptied = false;
        double recycleBinKilobytes = 0;
    };
    // Acts on one item by its category; items of other categories are passed over.
    void RepairItem(CRegistryManager* manager, const CString& item, int category, _REPAIR_JUNK* junk);
    // Deletes an item after its second look, or tells why it stays (ITEM_NOT_DONE).
    void RepairFoundItem(CRegistryManager* manager, const CRegistryManager* backup, const CString& item, int category,
                         _REPAIR_JUNK* junk);
    void ReportNotDone(const CString& item, int category, NOT_DONE_REASON reason);
    void EmptyRecycleBin(_REPAIR_JUNK* junk);
    void DeleteTempFile(const CString& item, _REPAIR_JUNK* junk);
    // The walked junk folder that holds the item as a plain file of its own; null when none does.
    const CFolderFiles* JunkFolderHolding(const CString& item);

    // The second look at an item, just before its deletion.
    enum RECHECK_RESULT {
        RECHECK_GONE,              // nothing to delete
        RECHECK_STILL_BROKEN,      // its category finds it again
        RECHECK_NO_LONGER_BROKEN,  // it is there, but no longer an error
        RECHECK_STOPPED,           // the job was stopped while it was looked at
    };
    // Caches of file answers and lists are those of this repair, never the scan's.
    void BeginRecheck();
    void EndRecheck();
    RECHECK_RESULT RecheckItem(const CString& item, int category);
    // Runs a category's check of the item with its reports captured: whether it finds the item.
    bool IsFoundNow(const CString& item, int category, void (CVexaEngineProcess::*check)(const CString&));
    // Whether the registry entry or file an item names is there (the value the deletion would
    // take, for a value item). Texts that name nothing count as gone.
    static bool ItemEntryExists(const CString& item, int category);

    // What the second look reads once per repair.
    struct _RECHECK_LISTS {
        bool classesRead = false;
        bool typeLibrariesRead = false;
        bool typeLibrariesComplete = false;
        std::set<CString> typeLibraries;
        std::unique_ptr<CShortcutReader> shortcuts;
        std::vector<std::unique_ptr<CFolderFiles>> junkFolders;
    };
    _RECHECK_LISTS m_recheckLists;
    // Set while an item is looked at again: the scanners then add no scan folders, whatever
    // mode the last scan had.
    bool m_rechecking = false;
    // Deletes the value of a value item (key text, byte 0xAC, value name). 1 when the key could
    // be opened for setting values, whether or not the value was there; 0 for a text that names
    // no value below a key, or a key that cannot be opened. With defaultIsUnnamed, the name
    // "(Default)" (any case) stands for the unnamed value, which is emptied, and for a value so
    // named only in a key without an unnamed value.
    static int DeleteRegistryValue(const char* valueItem, bool defaultIsUnnamed = false);
    // Only a full path of a file on a drive or a share may reach DeleteFileA: never a size text,
    // a bare name or a relative path, which would name a file of the current folder.
    static bool IsDeletableFilePath(const CString& item);

    // ---- Backup and restore ----

    // Writes a backup file into the "Backup" folder beside the program: the whole registry, or
    // with `partial` the keys of the repair's items (m_resultItems, excluded items skipped).
    // While it runs its registry manager is the active one, so Stop ends it. 1 when the file is
    // complete (its path in *file when given); 0 when the folder or the file could not be made,
    // the export failed or it was stopped: then no file is left behind. A partial backup that
    // would hold no key (the items name none, or only keys that are gone) is not kept: 1, with
    // no file and *file left as it was.
    int WriteBackup(bool partial, CString* file = nullptr);
    // "ddmmyyyy_hhmmss_FULL_REGBACKUP.rbk", or "..._REGBACKUP.rbk" for a partial backup; from
    // the second backup of the same second on, "ddmmyyyy_hhmmss_2_..." and so on.
    static CString MakeBackupFileName(const SYSTEMTIME& localTime, bool partial, int sequence = 1);
    // Creates an empty backup file under the first name of the moment that no file has; an
    // existing file is never opened. The path, or empty when no file could be created.
    static CString CreateBackupFile(const CString& folder, const SYSTEMTIME& localTime, bool partial);
    // The "Backup" folder beside the running program, without a trailing backslash.
    static CString GetBackupFolder();
    // The manager of the last backup or restore job. It outlives its job, so a Stop that has
    // just read the active pointer never reaches a deleted object.
    std::unique_ptr<CRegistryManager> m_jobRegistryManager;

    // ---- Signature database and live update ----

    // "engine.dat" in the folder of the program's executable.
    static CString DatabaseFilePath();
    // Loads the database from DatabaseFilePath(). The database in use is replaced only by one
    // that loaded; a missing or damaged file keeps it.
    void LoadSignatureDatabase();
    void ReportUpdateResult(int code);
    // The spyware record whose file signature matches the file's contents; null without a
    // database or a match.
    const _SPYWARE_INFORMATION* FindFileInDatabase(const char* path) const;

    // The signature database; null when none is loaded.
    std::unique_ptr<CDatabaseHandler> m_database;
    // The live updater of the update job.
    CUpdaterSlot m_updater;
    // Makes updater the job's, its waits for the sites ended by a Stop; false when it is null.
    bool KeepUpdater(CAutoUpdater* updater);

    // ---- Hive compaction, spyware removal and process termination ----

    // The hive compactor; its lock is initialised and deleted by this object.
    CRegistryDefrag m_defrag;
    // The analysis' code from the summed sizes of the hives and of their saved copies.
    static int DefragAnalysisResult(DWORD hiveSize, DWORD compactedSize);

    // Removes the found item (a key when it begins with "HKEY", else a file) and every entry of
    // the spyware's record: keys and values, modules, files and folders. 0 without a database.
    // Runs inside a job: registry entries go only behind a partial backup (WriteBackup), keys
    // of the system's shared structure are never deleted whole, and modules, files and folders
    // only on plain local paths (SpywareRemovalRules.h).
    int RemoveSpyware(CString itemText, long spywareId);
    // Deletes a file, resetting its attributes, ending the processes that run it (when allowed)
    // or, while it stays in use, scheduling it for deletion at the next start (reported with
    // ReportResult 1). 0 when the file stays: the image of a process the terminator never ends
    // is neither deleted nor scheduled, and a failed scheduling is no success either.
    int DeleteLockedFile(const char* file, int mayTerminate);
    // Existing keys are deleted whole (unless protected), other entries as a value named after
    // the last backslash; 0 when no backup could be written, and then nothing is deleted.
    int RemoveSpywareRegistry(const std::vector<CString>& entries);
    int RemoveSpywareModules(const std::vector<CString>& modules);
    // Loads the module from a plain local file path and calls its "DllUnregisterServer". 0.
    int UnregisterModule(CString modulePath);
    int RemoveSpywareFiles(const std::vector<CString>& files);
    // The result of the last removal; 1 when none was tried.
    int RemoveSpywareFolders(const std::vector<CString>& folders);
    // Expands the path token of a record's entry; only entries with one are removed.
    virtual BOOL ExpandSpywarePath(CString& text);
    // Expands an entry and judges the result; true with its full path when it may be removed.
    bool ExpandRemovalPath(CString entry, CString* fullPath);

    // One registry deletion of a removal: a key with all its subkeys, or a value.
    struct _REGISTRY_REMOVAL {
        CString Text;
        bool IsKey;
    };
    std::vector<_REGISTRY_REMOVAL> PlanRegistryRemoval(const std::vector<CString>& entries);
    // Writes the partial backup of every entry, then deletes them; 0 (nothing deleted) when the
    // backup could not be written.
    int RemoveRegistryEntries(const std::vector<_REGISTRY_REMOVAL>& removals);
    // Asks the system to delete the file at the next start.
    virtual BOOL ScheduleDeleteAtRestart(const char* file);

    CProcessTerminator m_terminator;

    // Scans through the signature database, for any job that wants them; each reports through
    // the job's status and stops when the job is stopped. Findings carry the spyware's ID and a
    // pointer to its record, valid during the ReportItem call.
    int ScanTrackingCookies();
    int ScanProcessModules();
    int CheckFileSignature(CString path, BOOL quiet);
    int CheckClsidInDatabase(CString clsid);
    // Services whose driver image file is missing; a registry error when the services key
    // cannot be opened.
    LONG ScanDrivers();
    // TRUE when the text contains an entry of the white list beside the program.
    BOOL LoadWhiteList(CString text);
    BOOL CanOpenFile(CString path);
    void ReportSpywareFinding(const char* item, const _SPYWARE_INFORMATION& record);
    virtual CString WhiteListFilePath();
    // Resolves a driver's image path as the scanners resolve file references.
    virtual BOOL DriverImageExists(CString& path);

    // ---- (end of job-specific members) ----

    // Scan state.
    int m_scanMode = 0;
    BOOL m_wow64 = FALSE;
    double m_recycleBinKilobytes = 0;
    double m_junkKilobytes = 0;
    CString m_systemFolder;
    CString m_programFilesFolder;
    std::atomic<int> m_running{0};
    // Set by Stop, cleared by every start: a stop asked for before Run began.
    std::atomic<bool> m_stopRequested{false};
    std::atomic<int> m_jobType{0};
    CAbstractStatus* m_status = nullptr;
    CAbstractScanItemsInfo* m_resultItems = nullptr;
    CString m_backupArgument;
    std::atomic<CRegistryManager*> m_activeRegistryManager{nullptr};
    int m_defragMode = 0;
    CString m_backupFile;
    DWORD m_categories = 0;
    std::set<CString> m_scanFolders;
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
    m_stopRequested = false;
    m_pauseRequested = false;
    ::SetEvent(m_resumeEvent);
    return Start() == 1 ? 1 : -1;
}
