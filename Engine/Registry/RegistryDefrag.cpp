#include "RegistryDefrag.h"

#include <shlobj.h>

#include "RegistryKey.h"

namespace {

const char kHiveListKey[] = "SYSTEM\\CurrentControlSet\\Control\\hivelist";
const char kWorkFolderName[] = "RegistryDefrag";
const char kBackupFolderName[] = "Backup";
const char kFallbackFolderName[] = "Bellwort Registry Reriraz";
const char kBackupPrivilege[] = "SeBackupPrivilege";
const char kRestorePrivilege[] = "SeRestorePrivilege";

CString FolderOfProgram()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    CString folder(path);
    const int slash = folder.ReverseFind('\\');
    return slash >= 0 ? folder.Left(slash) : CString();
}

bool FolderExists(const CString& folder)
{
    const DWORD attributes = ::GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EnsureFolder(const CString& folder)
{
    if (FolderExists(folder))
        return true;
    return ::CreateDirectoryA(folder, nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool FileExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The device name of a drive ("C:"): the first string QueryDosDevice gives.
CString DeviceOfDrive(const CString& drive)
{
    char device[512] = {};
    if (!::QueryDosDeviceA(drive, device, sizeof(device) - 1))
        return CString();
    return CString(device);
}

// RAII for the enabled state of a privilege of the compactor.
class CPrivilegeScope
{
public:
    CPrivilegeScope(CRegistryDefrag& owner, const char* privilege) : m_owner(owner), m_privilege(privilege)
    {
        m_owner.EnablePrivilege(TRUE, m_privilege);
    }
    ~CPrivilegeScope() { m_owner.EnablePrivilege(FALSE, m_privilege); }
    CPrivilegeScope(const CPrivilegeScope&) = delete;
    CPrivilegeScope& operator=(const CPrivilegeScope&) = delete;

private:
    CRegistryDefrag& m_owner;
    const char* m_privilege;
};

class CLockScope
{
public:
    explicit CLockScope(CRITICAL_SECTION* lock) : m_lock(lock) { ::EnterCriticalSection(m_lock); }
    ~CLockScope() { ::LeaveCriticalSection(m_lock); }
    CLockScope(const CLockScope&) = delete;
    CLockScope& operator=(const CLockScope&) = delete;

private:
    CRITICAL_SECTION* m_lock;
};

DWORD AddClamped(DWORD total, ULONGLONG size)
{
    const ULONGLONG sum = static_cast<ULONGLONG>(total) + size;
    return sum > MAXDWORD ? MAXDWORD : static_cast<DWORD>(sum);
}

} // namespace

// Creating the compactor touches no file: the work folder is emptied only by the analysis that
// fills it (ReadHiveList), so a compacted hive waiting for its restart outlives every other use of
// the engine.
CRegistryDefrag::CRegistryDefrag()
{
}

CRegistryDefrag::~CRegistryDefrag()
{
}

CString CRegistryDefrag::ChooseWorkFolderParent(const CString& programFolder, const CString& windowsFolder)
{
    CString folder(programFolder);
    CString drive(windowsFolder.Left(2));
    folder.MakeLower();
    drive.MakeLower();
    // The work folder must lie on the Windows drive, where the system swaps the hives.
    if (drive.GetLength() == 2 && folder.Left(2) != drive)
        folder = drive + "\\" + kFallbackFolderName;
    return folder;
}

int CRegistryDefrag::PrepareWorkFolder(CString* workFolder)
{
    CString parent = m_workFolderParent;
    if (parent.IsEmpty()) {
        char windows[MAX_PATH + 1] = {};
        if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_WINDOWS, nullptr, SHGFP_TYPE_CURRENT, windows)))
            windows[0] = '\0';
        parent = ChooseWorkFolderParent(FolderOfProgram(), windows);
    }
    if (parent.IsEmpty() || !EnsureFolder(parent))
        return 0;
    const CString folder = parent + "\\" + kWorkFolderName;
    if (workFolder)
        *workFolder = folder;
    if (!EnsureFolder(folder))
        return 0;
    return EnsureFolder(folder + "\\" + kBackupFolderName) ? 1 : 0;
}

void CRegistryDefrag::DeleteFolderFiles(const CString& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(folder + "\\*.*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ::DeleteFileA(folder + "\\" + found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

std::vector<DriveDevice> CRegistryDefrag::ReadDeviceMap()
{
    std::vector<DriveDevice> devices;
    char drives[512] = {};
    const DWORD length = ::GetLogicalDriveStringsA(sizeof(drives) - 1, drives);
    if (length == 0 || length >= sizeof(drives) - 1)
        return devices;
    for (const char* root = drives; *root; root += ::lstrlenA(root) + 1) {
        const CString drive = CString(root).Left(2);
        const CString device = DeviceOfDrive(drive);
        if (!device.IsEmpty())
            devices.push_back(DriveDevice(drive, device));
    }
    return devices;
}

bool CRegistryDefrag::DeviceToDosPath(CString* path)
{
    return DeviceToDosPath(path, ReadDeviceMap());
}

bool CRegistryDefrag::DeviceToDosPath(CString* path, const std::vector<DriveDevice>& devices)
{
    if (!path)
        return false;
    for (const DriveDevice& entry : devices) {
        const CString& device = entry.second;
        const int length = device.GetLength();
        if (length == 0 || length >= MAX_PATH || path->GetLength() < length)
            continue;
        if (path->Left(length).CompareNoCase(device) != 0)
            continue;
        // "\Device\HarddiskVolume1" names only that volume, never "...Volume10".
        if (path->GetLength() > length && path->GetAt(length) != '\\')
            continue;
        const CString converted = entry.first + path->Mid(length);
        if (converted.GetLength() >= MAX_PATH)
            return false;
        *path = converted;
        return true;
    }
    return false;
}

DWORD CRegistryDefrag::GetFileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return 0;
    return data.nFileSizeHigh ? MAXDWORD : data.nFileSizeLow;
}

BOOL CRegistryDefrag::EnablePrivilege(BOOL enable, const char* privilege)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return FALSE;
    TOKEN_PRIVILEGES privileges = {};
    BOOL result = FALSE;
    if (::LookupPrivilegeValueA(nullptr, privilege, &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        ::SetLastError(ERROR_SUCCESS);
        // AdjustTokenPrivileges succeeds even when it could not assign the privilege; only the
        // last error tells.
        result = ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 ::GetLastError() == ERROR_SUCCESS;
    }
    ::CloseHandle(token);
    return result;
}

LONG CRegistryDefrag::RequestReplacement(HKEY root, const char* keyName, const char* newFile, const char* oldFile)
{
    return ::RegReplaceKeyA(root, keyName, newFile, oldFile);
}

void CRegistryDefrag::StepProgress()
{
    if (m_status)
        m_status->SetProgress(PROGRESS_STEP);
}

int CRegistryDefrag::ReadHiveList()
{
    m_hives.clear();
    m_hiveSize = 0;
    m_compactedSize = 0;
    CString workFolder;
    if (PrepareWorkFolder(&workFolder)) {
        DeleteFolderFiles(workFolder);
        DeleteFolderFiles(workFolder + "\\" + kBackupFolderName);
    }

    CRegistryKey hiveList;
    if (hiveList.Open(HKEY_LOCAL_MACHINE, kHiveListKey, KEY_READ) != ERROR_SUCCESS)
        return 0;
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH + 1] = {};
        DWORD nameLength = MAX_PATH;
        DWORD type = 0;
        DWORD dataSize = 0;
        const LONG enumerated = ::RegEnumValueA(hiveList, index, name, &nameLength, nullptr, &type, nullptr, &dataSize);
        if (enumerated == ERROR_NO_MORE_ITEMS)
            return 1;
        if (enumerated == ERROR_MORE_DATA)
            continue;  // a name longer than any hive's: not a hive of ours
        if (enumerated != ERROR_SUCCESS)
            return 0;
        if (dataSize == 0)
            return 1;
        std::vector<char> data(dataSize + 1, '\0');
        DWORD readSize = dataSize;
        if (::RegQueryValueExA(hiveList, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &readSize) !=
            ERROR_SUCCESS)
            return 0;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        CString hiveFile(data.data());
        hiveFile.MakeLower();
        if (hiveFile.IsEmpty())
            continue;
        if (!FileExists(hiveFile))
            DeviceToDosPath(&hiveFile);
        if (!FileExists(hiveFile))
            continue;
        AddHive(name, hiveFile, workFolder);
    }
}

void CRegistryDefrag::AddHive(const CString& valueName, const CString& hiveFile, const CString& workFolder)
{
    _HIVE_INFORMATION hive;
    hive.KeyName = valueName.Mid(valueName.ReverseFind('\\') + 1);
    CString lowerName(valueName);
    lowerName.MakeLower();
    CString fileName;
    if (lowerName.Find("\\registry\\machine") >= 0) {
        hive.Root = HKEY_LOCAL_MACHINE;
        fileName = "LM_" + hive.KeyName;
    } else if (lowerName.Find("\\registry\\user") >= 0) {
        hive.Root = HKEY_USERS;
        fileName = "USERS_" + hive.KeyName;
    } else {
        // Neither root: the record stays without one and its save is refused.
        fileName = hive.KeyName;
    }
    hive.CompactedFile = workFolder + "\\" + fileName;
    hive.BackupFile = workFolder + "\\" + kBackupFolderName + "\\" + fileName;
    ::DeleteFileA(hive.CompactedFile);
    ::DeleteFileA(hive.BackupFile);
    m_hives.push_back(hive);
    m_hiveSize = AddClamped(m_hiveSize, GetFileSize(hiveFile));
}

LONGLONG CRegistryDefrag::SaveHive(const _HIVE_INFORMATION& hive)
{
    CRegistryKey key;
    if (!hive.Root || hive.KeyName.IsEmpty() || key.Open(hive.Root, hive.KeyName, KEY_READ) != ERROR_SUCCESS)
        return -1;
    StepProgress();
    CLockScope lock(&m_lock);
    ::RegFlushKey(key);
    // RegSaveKey refuses to overwrite a file on Windows.
    ::DeleteFileA(hive.CompactedFile);
    if (::RegSaveKeyA(key, hive.CompactedFile, nullptr) != ERROR_SUCCESS) {
        ::DeleteFileA(hive.CompactedFile);
        return -1;
    }
    return GetFileSize(hive.CompactedFile);
}

int CRegistryDefrag::CompactHives()
{
    m_compactedSize = 0;
    int result = 0;
    CPrivilegeScope backup(*this, kBackupPrivilege);
    for (const _HIVE_INFORMATION& hive : m_hives) {
        const LONGLONG size = SaveHive(hive);
        if (size < 0)
            continue;
        m_compactedSize = AddClamped(m_compactedSize, static_cast<ULONGLONG>(size));
        result = 1;
    }
    return result;
}

int CRegistryDefrag::ReplaceHives()
{
    if (m_compactedSize >= m_hiveSize)
        return 0;
    int result = 0;
    // The copy from the analysis may be old: the hive is saved again right before its
    // replacement is asked for, so no change made since the analysis is lost.
    CPrivilegeScope backup(*this, kBackupPrivilege);
    CPrivilegeScope restore(*this, kRestorePrivilege);
    for (const _HIVE_INFORMATION& hive : m_hives) {
        StepProgress();
        if (!FileExists(hive.CompactedFile))
            continue;
        CRegistryKey key;
        if (!hive.Root || key.Open(hive.Root, hive.KeyName, KEY_READ) != ERROR_SUCCESS)
            continue;
        CLockScope lock(&m_lock);
        ::RegFlushKey(key);
        ::DeleteFileA(hive.CompactedFile);
        if (::RegSaveKeyA(key, hive.CompactedFile, nullptr) != ERROR_SUCCESS) {
            ::DeleteFileA(hive.CompactedFile);
            continue;
        }
        key.Close();
        ::DeleteFileA(hive.BackupFile);
        if (RequestReplacement(hive.Root, hive.KeyName, hive.CompactedFile, hive.BackupFile) == ERROR_SUCCESS)
            result = 1;
        else
            ::DeleteFileA(hive.BackupFile);
    }
    return result;
}
