// Snapshots of what runs on the computer: every process with its image path and owner, the
// modules of one process and the threads of one process.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "AfxColl.h"

// One process of a snapshot. The owner SID belongs to the record: copying makes a fresh copy,
// and each copy frees its own.
struct _PROCESS_INFORMATION_EX {
    PROCESSENTRY32 Entry;
    PSID Owner;
    char ImagePath[256];

    _PROCESS_INFORMATION_EX();
    _PROCESS_INFORMATION_EX(const _PROCESS_INFORMATION_EX& other);
    _PROCESS_INFORMATION_EX& operator=(const _PROCESS_INFORMATION_EX& other);
    ~_PROCESS_INFORMATION_EX();

    // Takes a copy of the SID (null clears the owner); false when the copy could not be made.
    bool SetOwner(PSID sid);
};

class CProcessList
{
public:
    // Takes the snapshot.
    CProcessList();
    virtual ~CProcessList();

    // Empties the list and fills it with every running process; FALSE when no snapshot could
    // be taken or it held no process.
    BOOL Snapshot();

    _PROCESS_INFORMATION_EX* FindProcess(DWORD processId);
    // The first process whose executable name or image path contains the text (case kept).
    _PROCESS_INFORMATION_EX* FindProcessByText(const char* text);
    // The first module of the process whose name begins with the given name, compared without
    // regard to case.
    static BOOL FindModuleByName(const char* name, MODULEENTRY32* module, DWORD processId);

    INT_PTR Add(const _PROCESS_INFORMATION_EX& process) { return m_processes.Add(process); }
    void RemoveFirst() { m_processes.RemoveAt(0); }
    // Null for an index outside the list.
    _PROCESS_INFORMATION_EX* GetAt(INT_PTR index);
    INT_PTR GetSize() const { return m_processes.GetSize(); }
    void RemoveAll() { m_processes.RemoveAll(); }

private:
    static void ReadImagePath(_PROCESS_INFORMATION_EX* process, HANDLE handle);
    static void ReadOwner(_PROCESS_INFORMATION_EX* process, HANDLE handle);

    CArray<_PROCESS_INFORMATION_EX> m_processes;
};

class CModuleList : public CArray<MODULEENTRY32>
{
public:
    explicit CModuleList(DWORD processId);
    virtual ~CModuleList();

    // Appends every module of the process; FALSE when no snapshot could be taken.
    BOOL Snapshot(DWORD processId);
};

// One thread of a snapshot and, when asked for, its register context.
struct _THREAD_INFORMATION_EX {
    THREADENTRY32 Entry;
    CONTEXT Context;

    _THREAD_INFORMATION_EX();
};

class CThreadList : public CArray<_THREAD_INFORMATION_EX>
{
public:
    CThreadList() = default;
    virtual ~CThreadList();

    // Appends the threads of the process. With context, every thread but the calling one is
    // suspended for the moment its registers are read.
    BOOL Snapshot(DWORD processId, BOOL withContext);
};
