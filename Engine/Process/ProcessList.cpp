#define PSAPI_VERSION 1
#include "ProcessList.h"

#include <psapi.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A Toolhelp snapshot handle that closes itself.
class CSnapshot
{
public:
    CSnapshot(DWORD flags, DWORD processId) : m_handle(::CreateToolhelp32Snapshot(flags, processId)) {}
    ~CSnapshot()
    {
        if (IsValid())
            ::CloseHandle(m_handle);
    }
    CSnapshot(const CSnapshot&) = delete;
    CSnapshot& operator=(const CSnapshot&) = delete;
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

class CHandle
{
public:
    explicit CHandle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~CHandle()
    {
        if (m_handle)
            ::CloseHandle(m_handle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

void CopyBounded(char* destination, size_t size, const char* source)
{
    ::lstrcpynA(destination, source, static_cast<int>(size));
}

} // namespace

_PROCESS_INFORMATION_EX::_PROCESS_INFORMATION_EX() : Owner(nullptr)
{
    std::memset(&Entry, 0, sizeof(Entry));
    std::memset(ImagePath, 0, sizeof(ImagePath));
}

_PROCESS_INFORMATION_EX::_PROCESS_INFORMATION_EX(const _PROCESS_INFORMATION_EX& other) : Owner(nullptr)
{
    Entry = other.Entry;
    std::memcpy(ImagePath, other.ImagePath, sizeof(ImagePath));
    SetOwner(other.Owner);
}

_PROCESS_INFORMATION_EX& _PROCESS_INFORMATION_EX::operator=(const _PROCESS_INFORMATION_EX& other)
{
    if (this != &other) {
        Entry = other.Entry;
        std::memcpy(ImagePath, other.ImagePath, sizeof(ImagePath));
        SetOwner(other.Owner);
    }
    return *this;
}

_PROCESS_INFORMATION_EX::~_PROCESS_INFORMATION_EX()
{
    std::free(Owner);
}

bool _PROCESS_INFORMATION_EX::SetOwner(PSID sid)
{
    // Copy first: the given SID may be this record's own.
    PSID copy = nullptr;
    if (sid && ::IsValidSid(sid)) {
        const DWORD length = ::GetLengthSid(sid);
        copy = std::malloc(length);
        if (copy && !::CopySid(length, copy, sid)) {
            std::free(copy);
            copy = nullptr;
        }
    }
    std::free(Owner);
    Owner = copy;
    return copy != nullptr || sid == nullptr;
}

CProcessList::CProcessList()
{
    Snapshot();
}

CProcessList::~CProcessList()
{
    RemoveAll();
}

BOOL CProcessList::Snapshot()
{
    CSnapshot snapshot(TH32CS_SNAPPROCESS, 0);
    if (!snapshot.IsValid())
        return FALSE;
    RemoveAll();
    _PROCESS_INFORMATION_EX process;
    process.Entry.dwSize = sizeof(process.Entry);
    const BOOL first = ::Process32First(snapshot.Get(), &process.Entry);
    for (BOOL more = first; more;) {
        CHandle handle(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process.Entry.th32ProcessID));
        ReadImagePath(&process, handle.Get());
        ReadOwner(&process, handle.Get());
        Add(process);
        process = _PROCESS_INFORMATION_EX();
        process.Entry.dwSize = sizeof(process.Entry);
        more = ::Process32Next(snapshot.Get(), &process.Entry);
    }
    return first;
}

void CProcessList::ReadImagePath(_PROCESS_INFORMATION_EX* process, HANDLE handle)
{
    MODULEENTRY32 module;
    if (FindModuleByName(process->Entry.szExeFile, &module, process->Entry.th32ProcessID)) {
        CopyBounded(process->ImagePath, sizeof(process->ImagePath), module.szExePath);
        return;
    }
    // The device form ("\Device\HarddiskVolume1\...") is all the system gives here.
    if (handle && !::GetProcessImageFileNameA(handle, process->ImagePath, sizeof(process->ImagePath) - 1))
        process->ImagePath[0] = '\0';
    process->ImagePath[sizeof(process->ImagePath) - 1] = '\0';
}

void CProcessList::ReadOwner(_PROCESS_INFORMATION_EX* process, HANDLE handle)
{
    HANDLE rawToken = nullptr;
    if (!handle || !::OpenProcessToken(handle, TOKEN_QUERY | TOKEN_QUERY_SOURCE, &rawToken))
        return;
    CHandle token(rawToken);
    DWORD size = 0;
    if (::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(TOKEN_USER))
        return;
    std::vector<BYTE> buffer(size);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return;
    process->SetOwner(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

_PROCESS_INFORMATION_EX* CProcessList::FindProcess(DWORD processId)
{
    for (_PROCESS_INFORMATION_EX& process : m_processes)
        if (process.Entry.th32ProcessID == processId)
            return &process;
    return nullptr;
}

_PROCESS_INFORMATION_EX* CProcessList::FindProcessByText(const char* text)
{
    if (!text)
        return nullptr;
    for (_PROCESS_INFORMATION_EX& process : m_processes)
        if (std::strstr(process.Entry.szExeFile, text) || std::strstr(process.ImagePath, text))
            return &process;
    return nullptr;
}

BOOL CProcessList::FindModuleByName(const char* name, MODULEENTRY32* module, DWORD processId)
{
    if (!name || !*name || !module)
        return FALSE;
    CSnapshot snapshot(TH32CS_SNAPMODULE, processId);
    if (!snapshot.IsValid())
        return FALSE;
    const size_t length = std::strlen(name);
    MODULEENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Module32First(snapshot.Get(), &entry); more; more = ::Module32Next(snapshot.Get(), &entry)) {
        if (::_strnicmp(entry.szModule, name, length) == 0) {
            *module = entry;
            return TRUE;
        }
        entry.dwSize = sizeof(entry);
    }
    return FALSE;
}

_PROCESS_INFORMATION_EX* CProcessList::GetAt(INT_PTR index)
{
    if (index < 0 || index >= m_processes.GetSize())
        return nullptr;
    return &m_processes.ElementAt(index);
}

CModuleList::CModuleList(DWORD processId)
{
    Snapshot(processId);
}

CModuleList::~CModuleList()
{
}

BOOL CModuleList::Snapshot(DWORD processId)
{
    CSnapshot snapshot(TH32CS_SNAPMODULE, processId);
    if (!snapshot.IsValid())
        return FALSE;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Module32First(snapshot.Get(), &entry); more; more = ::Module32Next(snapshot.Get(), &entry)) {
        Add(entry);
        entry.dwSize = sizeof(entry);
    }
    return TRUE;
}

_THREAD_INFORMATION_EX::_THREAD_INFORMATION_EX()
{
    std::memset(&Entry, 0, sizeof(Entry));
    std::memset(&Context, 0, sizeof(Context));
}

CThreadList::~CThreadList()
{
}

BOOL CThreadList::Snapshot(DWORD processId, BOOL withContext)
{
    const DWORD callingThread = ::GetCurrentThreadId();
    CSnapshot snapshot(TH32CS_SNAPTHREAD, 0);
    if (!snapshot.IsValid())
        return FALSE;
    _THREAD_INFORMATION_EX thread;
    thread.Entry.dwSize = sizeof(thread.Entry);
    if (!::Thread32First(snapshot.Get(), &thread.Entry))
        return FALSE;
    do {
        if (thread.Entry.th32OwnerProcessID == processId) {
            // Suspending the calling thread would never come back.
            if (withContext && thread.Entry.th32ThreadID != callingThread) {
                CHandle handle(::OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION,
                                            FALSE, thread.Entry.th32ThreadID));
                if (handle.Get() && ::SuspendThread(handle.Get()) != static_cast<DWORD>(-1)) {
                    thread.Context.ContextFlags = CONTEXT_FULL;
                    if (!::GetThreadContext(handle.Get(), &thread.Context))
                        std::memset(&thread.Context, 0, sizeof(thread.Context));
                    ::ResumeThread(handle.Get());
                }
            }
            Add(thread);
        }
        thread = _THREAD_INFORMATION_EX();
        thread.Entry.dwSize = sizeof(thread.Entry);
    } while (::Thread32Next(snapshot.Get(), &thread.Entry));
    return TRUE;
}
