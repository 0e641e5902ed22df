// CRegistryDefrag: compaction of the registry hives. Analysis saves a fresh copy of every
// loaded hive into the work folder (a saved hive holds no free space) and sums the sizes;
// compaction asks the system to swap each hive for a compacted copy at the next start.
#pragma once

#include <windows.h>
#include <utility>
#include <vector>

#include "VexaEngine.h"

// One loaded hive of the system's hive list.
struct _HIVE_INFORMATION {
    CString KeyName;        // the hive's key under its root, as the hive list spells it
    CString BackupFile;     // where the system puts the old hive at replacement
    CString CompactedFile;  // the saved copy
    HKEY Root = nullptr;    // HKEY_LOCAL_MACHINE or HKEY_USERS; null for a hive under neither
};

// A drive ("C:") and the device name it stands for ("\Device\HarddiskVolume1").
typedef std::pair<CString, CString> DriveDevice;

class CRegistryDefrag
{
public:
    // Touches no file.
    CRegistryDefrag();
    virtual ~CRegistryDefrag();
    CRegistryDefrag(const CRegistryDefrag&) = delete;
    CRegistryDefrag& operator=(const CRegistryDefrag&) = delete;

    // The lock that serialises the per-hive work belongs to the owner of the compactor, which
    // initialises it before the first use and deletes it at the end.
    CRITICAL_SECTION* GetLock() { return &m_lock; }

    void SetStatus(CAbstractStatus* status) { m_status = status; }

    // Empties the work folder and its "Backup" subfolder of files (an analysis starts afresh),
    // then reads the loaded hives from the hive list; 0 when the list cannot be read.
    int ReadHiveList();
    // Saves every listed hive into the work folder; 1 when at least one was saved.
    int CompactHives();
    // Asks for every saved hive to be replaced at the next start by a copy saved just now;
    // 1 when at least one replacement was accepted. 0 at once when the analysis found nothing
    // to gain (or none ran).
    int ReplaceHives();

    const std::vector<_HIVE_INFORMATION>& GetHives() const { return m_hives; }
    DWORD GetHiveSize() const { return m_hiveSize; }
    DWORD GetCompactedSize() const { return m_compactedSize; }

    // The work folder ("RegistryDefrag" beside the program, or under a folder of its own at the
    // root of the Windows drive) and its "Backup" subfolder, created when missing.
    int PrepareWorkFolder(CString* workFolder);
    // Puts the work folder into the given folder instead (for a caller, such as a test, that
    // must not share the program's work folder); an empty text restores the normal choice.
    void SetWorkFolderParent(const CString& folder) { m_workFolderParent = folder; }
    // Where the work folder goes, from the program's folder and the Windows folder.
    static CString ChooseWorkFolderParent(const CString& programFolder, const CString& windowsFolder);
    // Deletes every file directly in the folder; subfolders stay.
    static void DeleteFolderFiles(const CString& folder);
    // Replaces a leading device name of the path by its drive; false when no drive matches.
    static bool DeviceToDosPath(CString* path);
    // The same against a given device map; a device name matches only up to a path boundary,
    // and a result longer than MAX_PATH - 1 characters is refused.
    static bool DeviceToDosPath(CString* path, const std::vector<DriveDevice>& devices);
    // The drives of the system with the device name of each.
    static std::vector<DriveDevice> ReadDeviceMap();
    // The file's size; 0 when it does not exist.
    static DWORD GetFileSize(const char* path);
    // Enables or disables one privilege of the process token.
    virtual BOOL EnablePrivilege(BOOL enable, const char* privilege);

protected:
    // The system's request to swap a hive at the next start (a seam for tests).
    virtual LONG RequestReplacement(HKEY root, const char* keyName, const char* newFile, const char* oldFile);

private:
    // Flushes the hive and saves it to its compacted file, under the lock; the copy's size,
    // or -1 when the hive could not be opened or saved.
    LONGLONG SaveHive(const _HIVE_INFORMATION& hive);
    void AddHive(const CString& valueName, const CString& hiveFile, const CString& workFolder);
    void StepProgress();

    CAbstractStatus* m_status = nullptr;
    CString m_workFolderParent;
    CRITICAL_SECTION m_lock;
    std::vector<_HIVE_INFORMATION> m_hives;
    DWORD m_hiveSize = 0;
    DWORD m_compactedSize = 0;
};
