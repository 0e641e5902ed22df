// The engine library's public boundary: the two exports, the shared types and the abstract
// interfaces that the program and "engine.dll" both compile against. Objects created by the
// library are released through the library; objects passed in stay the caller's.
#pragma once

#include <windows.h>
#include <map>
#include <set>
#include <vector>

#include "AfxString.h"

// Category bits of a scan; the bit is also the type of every found item. Listed in the order
// in which a scan visits them.
enum SCAN_CATEGORY : DWORD {
    SCAN_AXO = 0x4000,    // ActiveX Objects
    SCAN_UIE = 0x100000,  // Uninstall Entries
    SCAN_FNT = 0x2000,    // Windows Fonts
    SCAN_SHD = 0x80000,   // Shared DLLs
    SCAN_APP = 0x40000,   // Application Paths
    SCAN_HLP = 0x200000,  // Help Files Information
    SCAN_SUI = 0x400,     // Windows Startup Items
    SCAN_FPR = 0x400000,  // File/Path References
    SCAN_SRC = 0x8000,    // Program Shortcuts
    SCAN_ERK = 0x800000,  // Empty Registry Keys
    SCAN_FAS = 0x1000,    // File Associations
    SCAN_ITL = 0x1,       // Invalid Typelib
    SCAN_SRV = 0x10000,   // Windows Services
    SCAN_SAE = 0x2,       // Sound & App Events
    SCAN_RCB = 0x4,       // Recycle Bin
    SCAN_TPF = 0x8,       // Temp Files
    SCAN_ALL = 0x00FDF40F,
};

enum SCAN_MODE {
    SCAN_MODE_NORMAL = 0,
    SCAN_MODE_SCHEDULED = 1,
    SCAN_MODE_PATH = 4,
};

enum ENGINE_JOB {
    JOB_BACKUP = 1,
    JOB_RESTORE = 2,
    JOB_SCAN = 3,
    JOB_REPAIR = 4,
    JOB_FTP_UPDATE = 5,
    JOB_UPDATE = 6,
    JOB_RELOAD_DATABASE = 7,
    JOB_DEFRAG = 8,
};

enum PROGRESS_PHASE {
    PROGRESS_BEGIN = 0,
    PROGRESS_STEP = 1,
    PROGRESS_END = 2,
    PROGRESS_APPLY_BEGIN = 3,
    PROGRESS_PATCH_APPLIED = 4,
    PROGRESS_UPDATE_DONE = 5,
};

enum DEFRAG_RESULT {
    DEFRAG_HIVE_LIST_UNREADABLE = 1,
    DEFRAG_NOTHING_SAVED = 2,
    DEFRAG_REPLACE_FAILED = 3,
    DEFRAG_ANALYSIS_DONE = 6,
    DEFRAG_RESTART_NEEDED = 7,
    DEFRAG_ALREADY_COMPACT = 8,
};

// The separator between a key path and a value name in an item text.
const char ITEM_VALUE_SEPARATOR = '\xAC';
// The item text of a size total of the junk categories.
const char ITEM_SIZE_TOTAL[] = "-1";
// The value of a ReportItem for something a job left undone: a repair item that was not
// deleted (with the item's own category, and why in `extra`: NOT_DONE_REASON), a key that a
// restore could not write (category 0).
const int ITEM_NOT_DONE = -2;
// Why a repair left an item alone: the `extra` of its ITEM_NOT_DONE report.
enum NOT_DONE_REASON {
    // The partial backup could not hold the item's key whole.
    NOT_DONE_BACKUP_INCOMPLETE = 0,
    // Looked at again just before its deletion, the entry was no longer an error.
    NOT_DONE_NO_LONGER_BROKEN = 1,
    // The entry lies inside a key the user kept, or is a key that holds an entry the user kept.
    NOT_DONE_HOLDS_KEPT = 2,
};
// What CAbstractScanItemsInfo::IsCurrentItemIgnored answers beyond FALSE (repair the item).
// The user unticked or ignored the item itself: it is passed over without a word.
const BOOL ITEM_KEPT = 1;
// The item lies inside a key the user kept, or holds an entry the user kept: it is left alone
// and reported as not done (NOT_DONE_HOLDS_KEPT).
const BOOL ITEM_NEXT_TO_KEPT = 2;
// The item text of a whole backup's report of what it had to leave out, sent once before the
// job ends when it left anything out: category 0, value = the keys that could not be read (each
// with everything below it), extra = the values that could not be read.
const char ITEM_BACKUP_SKIPPED[] = "-3";
// The area of a restore's SetActivity texts: why a backup file was refused before anything was
// written ("Parse error in line %d : (%s)", or that it cannot be read), then what was restored,
// what failed and what was skipped.
const char ACTIVITY_RESTORE[] = "Restore";

// One item of a spyware record: its kind and its text (several entries joined by ';').
struct _SPYWARE_ITEM {
    int Type = 0;
    CString Value;
};

// A spyware record of the signature database; the same layout on both sides of the boundary.
struct _SPYWARE_INFORMATION {
    long ID = 0;
    long Type = 0;
    CString Name;
    CString Details;
    CString ExtraText;
    long ExtraValue = 0;
    std::vector<_SPYWARE_ITEM> Items;
};

// Progress sink of a job, implemented by the program's pages. Called on the thread that runs
// the job (the engine's job thread, or the caller's for RestoreBackupNow).
class CAbstractStatus
{
public:
    virtual ~CAbstractStatus() {}
    virtual void SetActivity(const char* text, const char* area) = 0;
    virtual void SetProgress(int phase) = 0;
    // `extra` is wide enough for a pointer: database findings pass their record through it.
    virtual void ReportItem(const char* item, int category, int value, INT_PTR extra) = 0;
    virtual int OperationFinished(int result) = 0;
    virtual int ReportResult(int code) = 0;
};

// The program's container of found items, as the engine sees it during a repair.
class CAbstractScanItemsInfo
{
public:
    virtual ~CAbstractScanItemsInfo() {}
    virtual void Clear() = 0;
    virtual int AddItem(CString item, int category, int value, INT_PTR extra) = 0;
    virtual BOOL HasCategory(int category) = 0;
    virtual int GetSpywareId(const char* name) = 0;
    virtual int CountCategory(int category) = 0;
    virtual DWORD GetFoundCategories() = 0;
    virtual BOOL GetItems(std::vector<const char*>* items, int category) = 0;
    virtual BOOL MoveFirst() = 0;
    virtual BOOL MoveNext() = 0;
    virtual const char* GetCurrentItem() = 0;
    virtual int GetCurrentCategory() = 0;
    virtual void SetIgnore(const char* key, int category, int value) = 0;
    virtual void SetSaveIgnored(int on) = 0;
    virtual int LoadIgnoreList() = 0;
    virtual int AppendIgnoredToFile() = 0;
    virtual int Reserved() = 0;
    virtual void GetSpywareInfo(int id, _SPYWARE_INFORMATION* info) = 0;
    virtual BOOL IsCurrentItemIgnored() = 0;
    virtual int GetIgnoreList(std::map<CString, int>* list) = 0;
    virtual int LoadIgnoreListForDisplay() = 0;
    virtual int SaveIgnoreList(const std::map<CString, int>* entries) = 0;
    virtual int WriteScanLog() = 0;
    virtual BOOL IsSpywareIgnored(CString item, int category, const _SPYWARE_INFORMATION* record) = 0;
    virtual int AddToIgnoreList(CString item, CString categoryLabel, int unused1, int unused2) = 0;
    virtual int GetIgnoreRecycleBin() = 0;
    virtual int GetIgnoreTempFiles() = 0;
};

// The engine's XML configuration store (defined with its implementation).
class CAbstractConfigHandler;

// The engine process object: starts jobs and offers a few synchronous services.
class CAbstractProcess
{
public:
    virtual ~CAbstractProcess() {}
    virtual int IsRunning() = 0;
    virtual int Stop(int stop) = 0;
    virtual int CancelUpdate() = 0;
    virtual int WaitOrSignal(int wait) = 0;
    virtual int Resume() = 0;
    virtual int Suspend() = 0;
    virtual HANDLE GetThreadHandle() = 0;
    virtual DWORD GetThreadId() = 0;
    virtual int GetJobType() = 0;
    virtual int Reserved(int unused) = 0;
    virtual int StartBackup(const char* path, CAbstractStatus* status) = 0;
    virtual int StartRestore(const char* backupFile, CAbstractStatus* status) = 0;
    virtual int StartScan(const std::set<CString>* folders, DWORD categories, CAbstractStatus* status,
                          int scanMode) = 0;
    virtual int StartRepair(CAbstractScanItemsInfo* items, CAbstractStatus* status) = 0;
    virtual int StartUpdate(const char* updateAddress, const char* text2, const char* text3,
                            const char* ftpFileName, const char* databasePath, CAbstractStatus* status) = 0;
    virtual int StartDefrag(int mode, CAbstractStatus* status) = 0;
    virtual int GetStringMD5(CString* text, CString* digest) = 0;
    virtual int GetStringMD5Copy(CString text, CString* digest) = 0;
    virtual BOOL CheckFileInDatabase(CString filePath, _SPYWARE_INFORMATION* info) = 0;
    virtual void GetDatabaseVersion(CString* version) = 0;
    virtual int StartReloadDatabase(CAbstractStatus* status) = 0;
    virtual int RestoreBackupNow(CAbstractStatus* status, CString backupFile) = 0;
};

// The factory object returned by CreateVexaEngineInterface.
class CAbstractVexaEngineInterface
{
public:
    virtual ~CAbstractVexaEngineInterface() {}
    virtual CAbstractProcess* CreateEngineProcess() = 0;
    virtual void ReleaseEngineProcess(CAbstractProcess* process) = 0;
    virtual CAbstractConfigHandler* CreateConfigHandler() = 0;
    virtual void ReleaseConfigHandler(CAbstractConfigHandler* handler) = 0;
    virtual CAbstractProcess* CreateEngineProcessNoDatabase() = 0;
};

#ifdef KELVARA_BUILDING_ENGINE
#define VEXA_ENGINE_API extern "C" __declspec(dllexport)
#else
#define VEXA_ENGINE_API extern "C" __declspec(dllimport)
#endif

VEXA_ENGINE_API CAbstractVexaEngineInterface* CreateVexaEngineInterface();
VEXA_ENGINE_API void ReleaseVexaEngineInterface(CAbstractVexaEngineInterface* engineInterface);

// The types of the exports, for binding them with GetProcAddress.
typedef CAbstractVexaEngineInterface* (*PFN_CREATE_VEXA_ENGINE_INTERFACE)();
typedef void (*PFN_RELEASE_VEXA_ENGINE_INTERFACE)(CAbstractVexaEngineInterface*);
