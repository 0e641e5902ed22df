// Looking into another running process of the program from the test, as a debugger would: where
// its modules lie, the data its instances share, and a thread held where it stands.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <utility>

#include "SharedInstance.h"
#include "TempFolder.h"

// Where a module of a running process begins and ends; {0, 0} when it has no such module.
inline std::pair<ULONG_PTR, ULONG_PTR> ModuleRange(DWORD processId, const char* name)
{
    std::pair<ULONG_PTR, ULONG_PTR> range(0, 0);
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return range;
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    for (BOOL more = ::Module32First(snapshot, &module); more; more = ::Module32Next(snapshot, &module)) {
        if (name ? lstrcmpiA(module.szModule, name) == 0 : range.first == 0) {
            range.first = reinterpret_cast<ULONG_PTR>(module.modBaseAddr);
            range.second = range.first + module.modBaseSize;
        }
    }
    ::CloseHandle(snapshot);
    return range;
}

// The text that the program's instances share as the forwarded path, read from the memory of
// one running instance: the ".SHARED" section of its image, where the file puts it.
inline std::string SharedPathOf(HANDLE process, DWORD processId, const std::string& exe)
{
    const std::string image = ReadWholeFile(exe);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    const ULONG_PTR base = ModuleRange(processId, nullptr).first;
    for (WORD i = 0; base && i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (strncmp(reinterpret_cast<const char*>(section->Name), ".SHARED", 8) != 0)
            continue;
        SHARED_INSTANCE_DATA shared = {};
        SIZE_T read = 0;
        if (!::ReadProcessMemory(process, reinterpret_cast<LPCVOID>(base + section->VirtualAddress), &shared,
                                 sizeof(shared), &read))
            return "(unreadable)";
        return std::string(shared.m_szPath, strnlen(shared.m_szPath, sizeof(shared.m_szPath)));
    }
    return "(no shared section)";
}

// Holds the thread that a module of another process started (the engine's job thread) where it
// stands, as a debugger would, until released.
class CHeldThread
{
public:
    CHeldThread(DWORD processId, const char* module)
    {
        typedef LONG(NTAPI * QUERY_THREAD)(HANDLE, int, PVOID, ULONG, PULONG);
        const auto query = reinterpret_cast<QUERY_THREAD>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
        const std::pair<ULONG_PTR, ULONG_PTR> range = ModuleRange(processId, module);
        HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (!query || !range.first || snapshot == INVALID_HANDLE_VALUE)
            return;
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Thread32First(snapshot, &entry); more && !m_thread; more = ::Thread32Next(snapshot, &entry)) {
            if (entry.th32OwnerProcessID != processId)
                continue;
            HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
            ULONG_PTR start = 0;
            const int kStartAddress = 9;  // ThreadQuerySetWin32StartAddress
            if (thread && query(thread, kStartAddress, &start, sizeof(start), nullptr) == 0 && start >= range.first &&
                start < range.second && ::SuspendThread(thread) != static_cast<DWORD>(-1)) {
                m_thread = thread;
                continue;
            }
            if (thread)
                ::CloseHandle(thread);
        }
        ::CloseHandle(snapshot);
    }
    ~CHeldThread() { Release(); }
    bool IsHeld() const { return m_thread != nullptr; }
    void Release()
    {
        if (!m_thread)
            return;
        ::ResumeThread(m_thread);
        ::CloseHandle(m_thread);
        m_thread = nullptr;
    }

private:
    HANDLE m_thread = nullptr;
};
