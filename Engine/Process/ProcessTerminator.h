// CProcessTerminator: ends the processes that run a given image file, so that the file can be
// deleted. Its entry points are bound at run time: where the Toolhelp functions are missing it
// walks the native process list instead.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "AfxString.h"

class CProcessTerminator
{
public:
    typedef HANDLE(WINAPI* PFN_CREATE_SNAPSHOT)(DWORD, DWORD);
    typedef BOOL(WINAPI* PFN_PROCESS_WALK)(HANDLE, PROCESSENTRY32*);
    typedef LONG(WINAPI* PFN_QUERY_SYSTEM_INFORMATION)(ULONG, PVOID, ULONG, PULONG);
    typedef HANDLE(WINAPI* PFN_GET_PROCESS_HEAP)();
    typedef LPVOID(WINAPI* PFN_HEAP_ALLOC)(HANDLE, DWORD, SIZE_T);
    typedef BOOL(WINAPI* PFN_HEAP_FREE)(HANDLE, DWORD, LPVOID);

    CProcessTerminator() = default;
    virtual ~CProcessTerminator() { Unload(); }
    CProcessTerminator(const CProcessTerminator&) = delete;
    CProcessTerminator& operator=(const CProcessTerminator&) = delete;

    // Binds the Toolhelp entry points, or the native process list where they are missing.
    void Load();
    // Frees kernel32, then ntdll, when loaded.
    void Unload();
    bool IsLoaded() const { return m_kernel32 != nullptr; }

    // Ends every process whose image is the file (compared without regard to case), except
    // this process itself and the processes the system cannot do without (IsProtectedProcess).
    // True when at least one was ended; *protectedImage tells whether such a protected process
    // runs the file.
    bool TerminateByImagePath(const char* file, bool* protectedImage = nullptr);
    // Whether a protected process runs the file; nothing is ended.
    bool IsImageOfProtectedProcess(const char* file);

    // The processes never ended: the system's session, logon, service-control and security
    // processes and the shell (by name, and the process of the shell's window), and every
    // process whose image lies in the Windows folder or is named the system's own way.
    bool IsProtectedProcess(DWORD processId, const CString& image) const;

    // Terminates through an open handle and closes it; the termination's result.
    static BOOL TerminateAndClose(HANDLE process);
    // EnumWindows step: asks a top-level window of the process (its id in lParam) to close.
    static BOOL CALLBACK CloseProcessWindow(HWND window, LPARAM processId);

protected:
    // Looks up one entry point (a seam for tests that take some away).
    virtual FARPROC Lookup(HMODULE module, const char* name) { return ::GetProcAddress(module, name); }
    // The Windows folder without a closing backslash, and the process of the shell's window
    // (seams for tests, which use stand-ins and never a real system process).
    virtual CString WindowsFolder() const;
    virtual DWORD ShellProcessId() const;

    // Visits every process whose image is the file: ends it when `terminate` is set and it is
    // not protected. True when one was ended; *protectedImage as for TerminateByImagePath.
    bool VisitImage(const char* file, bool terminate, bool* protectedImage);

    // The ids of all running processes; false when no list could be had.
    bool CollectProcessIds(std::vector<DWORD>* ids);
    bool CollectFromSnapshot(std::vector<DWORD>* ids);
    bool CollectFromNativeList(std::vector<DWORD>* ids);
    bool HasToolhelp() const { return m_createSnapshot && m_process32First && m_process32Next; }
    bool HasNativeList() const { return m_querySystemInformation && m_getProcessHeap && m_heapAlloc && m_heapFree; }

    HMODULE m_ntdll = nullptr;
    HMODULE m_kernel32 = nullptr;
    PFN_CREATE_SNAPSHOT m_createSnapshot = nullptr;
    PFN_PROCESS_WALK m_process32First = nullptr;
    PFN_PROCESS_WALK m_process32Next = nullptr;
    PFN_QUERY_SYSTEM_INFORMATION m_querySystemInformation = nullptr;
    PFN_GET_PROCESS_HEAP m_getProcessHeap = nullptr;
    PFN_HEAP_ALLOC m_heapAlloc = nullptr;
    PFN_HEAP_FREE m_heapFree = nullptr;
};
