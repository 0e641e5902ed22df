#define PSAPI_VERSION 1
#include "ProcessTerminator.h"

#include <psapi.h>
#include <winternl.h>

namespace {

const ULONG kSystemProcessInformation = 5;

// The session manager, the client/server runtime, logon, service control, security and the
// shell.
const char* const kSystemProcessNames[] = {"smss.exe",    "csrss.exe", "wininit.exe", "winlogon.exe",
                                           "services.exe", "lsass.exe", "lsm.exe",     "explorer.exe"};
const LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
const ULONG kFirstListSize = 0x8000;
// Far above any real process list: a query that keeps asking for more is given up.
const ULONG kLargestListSize = 0x4000000;
// How long a terminated process is given to end and let go of its image.
const DWORD kTerminationWait = 2000;

template <class Function>
Function Cast(FARPROC entry)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(entry));
}

HANDLE OpenForQuery(DWORD processId)
{
    HANDLE process = ::OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (!process)
        process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_WRITE, TRUE,
                                processId);
    return process;
}

// The image path of an open process; empty when it cannot be read.
CString ImagePathOf(HANDLE process)
{
    char image[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameExA(process, nullptr, image, MAX_PATH);
    return length > 0 && length < MAX_PATH ? CString(image, static_cast<int>(length)) : CString();
}

bool IsDrivePath(const CString& path)
{
    return path.GetLength() > 3 && path[1] == ':' && path[2] == '\\'
           && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
}

} // namespace

void CProcessTerminator::Load()
{
    Unload();
    m_kernel32 = ::LoadLibraryA("Kernel32");
    if (!m_kernel32)
        return;
    m_createSnapshot = Cast<PFN_CREATE_SNAPSHOT>(Lookup(m_kernel32, "CreateToolhelp32Snapshot"));
    m_process32First = Cast<PFN_PROCESS_WALK>(Lookup(m_kernel32, "Process32First"));
    m_process32Next = Cast<PFN_PROCESS_WALK>(Lookup(m_kernel32, "Process32Next"));
    if (HasToolhelp())
        return;
    m_ntdll = ::LoadLibraryA("ntdll.dll");
    if (!m_ntdll)
        return;
    m_querySystemInformation = Cast<PFN_QUERY_SYSTEM_INFORMATION>(Lookup(m_ntdll, "ZwQuerySystemInformation"));
    m_getProcessHeap = Cast<PFN_GET_PROCESS_HEAP>(Lookup(m_kernel32, "GetProcessHeap"));
    m_heapAlloc = Cast<PFN_HEAP_ALLOC>(Lookup(m_kernel32, "HeapAlloc"));
    m_heapFree = Cast<PFN_HEAP_FREE>(Lookup(m_kernel32, "HeapFree"));
}

void CProcessTerminator::Unload()
{
    if (m_kernel32)
        ::FreeLibrary(m_kernel32);
    if (m_ntdll)
        ::FreeLibrary(m_ntdll);
    m_kernel32 = nullptr;
    m_ntdll = nullptr;
    m_createSnapshot = nullptr;
    m_process32First = nullptr;
    m_process32Next = nullptr;
    m_querySystemInformation = nullptr;
    m_getProcessHeap = nullptr;
    m_heapAlloc = nullptr;
    m_heapFree = nullptr;
}

bool CProcessTerminator::CollectProcessIds(std::vector<DWORD>* ids)
{
    if (!m_kernel32)
        return false;
    if (HasToolhelp())
        return CollectFromSnapshot(ids);
    if (HasNativeList())
        return CollectFromNativeList(ids);
    return false;
}

bool CProcessTerminator::CollectFromSnapshot(std::vector<DWORD>* ids)
{
    HANDLE snapshot = m_createSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE || !snapshot)
        return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = m_process32First(snapshot, &entry); more; more = m_process32Next(snapshot, &entry)) {
        ids->push_back(entry.th32ProcessID);
        entry.dwSize = sizeof(entry);
    }
    ::CloseHandle(snapshot);
    return true;
}

bool CProcessTerminator::CollectFromNativeList(std::vector<DWORD>* ids)
{
    HANDLE heap = m_getProcessHeap();
    for (ULONG size = kFirstListSize; size <= kLargestListSize; size *= 2) {
        BYTE* buffer = static_cast<BYTE*>(m_heapAlloc(heap, 0, size));
        if (!buffer) {
            ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        ULONG returned = 0;
        const LONG status = m_querySystemInformation(kSystemProcessInformation, buffer, size, &returned);
        if (status == kStatusInfoLengthMismatch) {
            m_heapFree(heap, 0, buffer);
            continue;
        }
        if (status < 0) {
            m_heapFree(heap, 0, buffer);
            ::SetLastError(static_cast<DWORD>(status));
            return false;
        }
        // Every entry must lie whole inside the buffer, whatever its offsets say.
        for (ULONG offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= size;) {
            const SYSTEM_PROCESS_INFORMATION* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer + offset);
            ids->push_back(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId)));
            if (entry->NextEntryOffset == 0 || entry->NextEntryOffset > size - offset)
                break;
            offset += entry->NextEntryOffset;
        }
        m_heapFree(heap, 0, buffer);
        return true;
    }
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

CString CProcessTerminator::WindowsFolder() const
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    CString windows(folder);
    windows.TrimRight('\\');
    return windows;
}

DWORD CProcessTerminator::ShellProcessId() const
{
    DWORD shell = 0;
    if (HWND window = ::GetShellWindow())
        ::GetWindowThreadProcessId(window, &shell);
    return shell;
}

bool CProcessTerminator::IsProtectedProcess(DWORD processId, const CString& image) const
{
    if (processId == 0 || processId == ShellProcessId())
        return true;
    const CString name = image.Mid(image.ReverseFind('\\') + 1);
    for (const char* system : kSystemProcessNames)
        if (name.CompareNoCase(system) == 0)
            return true;
    // "\SystemRoot\..." or "\??\C:\...": only the system starts processes that way.
    if (!IsDrivePath(image))
        return true;
    const CString windows = WindowsFolder();
    return !windows.IsEmpty() && image.GetLength() > windows.GetLength()
           && image.Left(windows.GetLength()).CompareNoCase(windows) == 0 && image[windows.GetLength()] == '\\';
}

bool CProcessTerminator::TerminateByImagePath(const char* file, bool* protectedImage)
{
    return VisitImage(file, true, protectedImage);
}

bool CProcessTerminator::IsImageOfProtectedProcess(const char* file)
{
    bool protectedImage = false;
    VisitImage(file, false, &protectedImage);
    return protectedImage;
}

bool CProcessTerminator::VisitImage(const char* file, bool terminate, bool* protectedImage)
{
    if (protectedImage)
        *protectedImage = false;
    std::vector<DWORD> ids;
    if (!file || !*file || !CollectProcessIds(&ids))
        return false;
    const DWORD self = ::GetCurrentProcessId();
    bool terminated = false;
    for (DWORD id : ids) {
        // The engine never ends the process it runs in, even when asked to free its own image.
        if (id == self || id == 0)
            continue;
        // Held open until the end: while it is, the id cannot pass to a process started since.
        HANDLE process = OpenForQuery(id);
        if (!process)
            continue;
        const CString image = ImagePathOf(process);
        if (!image.IsEmpty() && ::lstrcmpiA(image, file) == 0) {
            if (IsProtectedProcess(id, image)) {
                if (protectedImage)
                    *protectedImage = true;
            } else if (terminate) {
                HANDLE victim = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
                if (victim && ::TerminateProcess(victim, 0)) {
                    terminated = true;
                    ::WaitForSingleObject(victim, kTerminationWait);
                }
                if (victim)
                    ::CloseHandle(victim);
            }
        }
        ::CloseHandle(process);
    }
    return terminated;
}

BOOL CProcessTerminator::TerminateAndClose(HANDLE process)
{
    if (!process)
        return FALSE;
    const BOOL result = ::TerminateProcess(process, 0);
    ::CloseHandle(process);
    return result;
}

BOOL CALLBACK CProcessTerminator::CloseProcessWindow(HWND window, LPARAM processId)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId))
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}
