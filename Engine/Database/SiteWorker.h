// CSiteWorker: the thread on which the engine makes its blocking Internet calls, so that the job
// that asked for one can always stop waiting for it.
//
// Under Wine a call to a site that stalls may never return (FTP calls heed no time-out, a read
// of a dripping reply waits for its buffer to fill, closing an FTP file waits for the server's
// answer), and closing a handle from another thread does not end a call that waits. So every
// call runs on this thread, on handles and a buffer that this thread owns (_SITE_DATA), and the
// caller waits for it in short slices: it stops waiting when the call has returned, when the
// cancel event is set, when its own test says stop, or when the deadline has passed. A worker
// that the caller stopped waiting for is abandoned: it finishes its call whenever the site lets
// it, closes its handles and ends by itself; until then it keeps its own data and a reference
// to the module it runs in, so nothing it touches is freed under it.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <memory>
#include <vector>

#include "AfxString.h"

// What the worker owns: the handles of one site session and the results of the last call.
struct _SITE_DATA {
    HINTERNET Internet = nullptr;
    HINTERNET Connection = nullptr;  // the HTTP connection or the FTP session
    HINTERNET File = nullptr;        // the HTTP request or the open FTP file
    // The cache copy WinINet made of the open FTP file (Wine makes one whatever the flags say);
    // deleted when the file is closed.
    CString CacheFile;

    // The results of the last call: whether it succeeded, the bytes it read into Buffer, and
    // what a sent HTTP request was answered (status, redirect target, announced length).
    BOOL Succeeded = FALSE;
    DWORD Count = 0;
    std::vector<char> Buffer;
    DWORD Status = 0;
    CString Location;
    bool HasLength = false;
    ULONGLONG Length = 0;
};

// The calls made on the worker: they may use only the data they are handed and what they
// captured by value, never the caller's objects, which may be gone when an abandoned call ends.
using SiteCall = std::function<void(_SITE_DATA&)>;

// When a caller stops waiting for a call.
struct _SITE_WAIT {
    HANDLE CancelEvent = nullptr;           // set: stop now
    std::function<bool()> KeepGoing;        // false: stop now (asked between slices)
    DWORD Deadline = 0;                     // tick count at which the wait gives up
};

enum SITE_WAIT_RESULT {
    SITE_WAIT_DONE,
    SITE_WAIT_CANCELLED,  // the cancel event, or KeepGoing said stop
    SITE_WAIT_TOO_LONG,   // the deadline passed
    SITE_WAIT_NO_WORKER,  // the worker could not start, or was abandoned before
};

class CSiteWorker
{
public:
    CSiteWorker();
    // Closes the worker's handles on the worker and lets it go: it waits at most kEndWaitMs for
    // that (a call that was abandoned is not waited for at all).
    ~CSiteWorker();
    CSiteWorker(const CSiteWorker&) = delete;
    CSiteWorker& operator=(const CSiteWorker&) = delete;

    // Runs call on the worker and waits as `wait` allows. After any result but DONE the worker
    // is abandoned and every later call gives NO_WORKER. On DONE, Data() holds the results.
    SITE_WAIT_RESULT Run(SiteCall call, const _SITE_WAIT& wait);
    // The worker's data, for the caller to read between calls only.
    const _SITE_DATA& Data() const;
    bool IsAbandoned() const { return m_abandoned; }

    // How long one wait sleeps before it asks KeepGoing again.
    static const DWORD kSliceMs = 50;
    // How long the destructor lets the worker close its handles before it lets it go.
    static const DWORD kEndWaitMs = 500;

    // Closes the data's open file and deletes its cache copy; CloseAll closes every handle.
    static void CloseFile(_SITE_DATA& data);
    static void CloseAll(_SITE_DATA& data);
    // The cache copy that WinINet made of an open FTP file, when it lies in WinINet's cache.
    static CString CacheFileOf(HINTERNET file);

private:
    struct _STATE;
    bool Start();
    void Abandon();
    static DWORD WINAPI ThreadProc(LPVOID parameter);

    std::shared_ptr<_STATE> m_state;
    HANDLE m_thread = nullptr;
    bool m_abandoned = false;
};
