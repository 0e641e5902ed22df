#include "SiteWorker.h"

#include <shlobj.h>

#include <atomic>

namespace {

// The folder of WinINet's cache, with a trailing backslash; empty when unknown.
CString InternetCacheFolder()
{
    char folder[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, folder)) || !folder[0])
        return CString();
    CString path(folder);
    if (path.Right(1) != "\\")
        path += "\\";
    return path;
}

} // namespace

CString CSiteWorker::CacheFileOf(HINTERNET file)
{
    char name[MAX_PATH * 2] = {};
    DWORD size = sizeof(name);
    if (!::InternetQueryOptionA(file, INTERNET_OPTION_DATAFILE_NAME, name, &size) || !name[0])
        return CString();
    const CString path(name);
    const CString cache = InternetCacheFolder();
    // Only ever a file of WinINet's own cache is deleted.
    if (cache.IsEmpty() || path.GetLength() <= cache.GetLength() || path.Left(cache.GetLength()).CompareNoCase(cache) != 0
        || path.Find("..") >= 0)
        return CString();
    return path;
}

struct CSiteWorker::_STATE {
    HANDLE WorkEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);  // a call, or the end
    HANDLE DoneEvent = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);  // the call has returned
    SiteCall Work;
    std::atomic<bool> Ending{false};
    _SITE_DATA Data;
    // The module this code lives in, held until the thread has ended.
    HMODULE Module = nullptr;

    ~_STATE()
    {
        if (WorkEvent)
            ::CloseHandle(WorkEvent);
        if (DoneEvent)
            ::CloseHandle(DoneEvent);
    }
};

CSiteWorker::CSiteWorker() = default;

CSiteWorker::~CSiteWorker()
{
    if (!m_thread)
        return;
    if (!m_abandoned) {
        // An idle worker closes its handles and ends; an FTP file whose transfer the server
        // never finished may keep it a while, which only the worker waits for.
        m_state->Ending = true;
        ::SetEvent(m_state->WorkEvent);
        ::WaitForSingleObject(m_thread, kEndWaitMs);
    }
    ::CloseHandle(m_thread);
}

bool CSiteWorker::Start()
{
    if (m_thread)
        return true;
    std::shared_ptr<_STATE> state = std::make_shared<_STATE>();
    if (!state->WorkEvent || !state->DoneEvent)
        return false;
    // The thread keeps this module loaded for as long as it runs: an abandoned call may outlive
    // the engine's release.
    if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                              reinterpret_cast<LPCSTR>(&CSiteWorker::ThreadProc), &state->Module))
        return false;
    auto* reference = new std::shared_ptr<_STATE>(state);
    m_thread = ::CreateThread(nullptr, 0, &CSiteWorker::ThreadProc, reference, 0, nullptr);
    if (!m_thread) {
        ::FreeLibrary(state->Module);
        delete reference;
        return false;
    }
    m_state = state;
    return true;
}

DWORD WINAPI CSiteWorker::ThreadProc(LPVOID parameter)
{
    std::shared_ptr<_STATE>* reference = static_cast<std::shared_ptr<_STATE>*>(parameter);
    _STATE& state = **reference;
    const HMODULE module = state.Module;
    // Idle until the next call or the end, which the owner always asks for (its destructor).
    while (::WaitForSingleObject(state.WorkEvent, INFINITE) == WAIT_OBJECT_0 && !state.Ending) {
        SiteCall work;
        work.swap(state.Work);
        if (work)
            work(state.Data);
        ::SetEvent(state.DoneEvent);
    }
    CloseAll(state.Data);
    delete reference;
    ::FreeLibraryAndExitThread(module, 0);
    return 0;
}

SITE_WAIT_RESULT CSiteWorker::Run(SiteCall call, const _SITE_WAIT& wait)
{
    if (m_abandoned || !Start())
        return SITE_WAIT_NO_WORKER;
    ::ResetEvent(m_state->DoneEvent);
    m_state->Work = std::move(call);
    ::SetEvent(m_state->WorkEvent);
    HANDLE events[2] = {m_state->DoneEvent, wait.CancelEvent};
    const DWORD eventCount = wait.CancelEvent ? 2 : 1;
    for (;;) {
        const LONG left = static_cast<LONG>(wait.Deadline - ::GetTickCount());
        if (left <= 0) {
            Abandon();
            return SITE_WAIT_TOO_LONG;
        }
        const DWORD slice = static_cast<DWORD>(left) < kSliceMs ? static_cast<DWORD>(left) : kSliceMs;
        const DWORD result = ::WaitForMultipleObjects(eventCount, events, FALSE, slice);
        if (result == WAIT_OBJECT_0)
            return SITE_WAIT_DONE;
        if (result != WAIT_TIMEOUT || (wait.KeepGoing && !wait.KeepGoing())) {
            Abandon();
            return SITE_WAIT_CANCELLED;
        }
    }
}

const _SITE_DATA& CSiteWorker::Data() const
{
    static const _SITE_DATA none;
    return m_state ? m_state->Data : none;
}

void CSiteWorker::Abandon()
{
    m_abandoned = true;
    // The worker ends as soon as its call returns; the caller never touches its data again.
    m_state->Ending = true;
    ::SetEvent(m_state->WorkEvent);
    m_state.reset();
}

void CSiteWorker::CloseFile(_SITE_DATA& data)
{
    if (data.File)
        ::InternetCloseHandle(data.File);
    data.File = nullptr;
    if (!data.CacheFile.IsEmpty())
        ::DeleteFileA(data.CacheFile);
    data.CacheFile.Empty();
}

void CSiteWorker::CloseAll(_SITE_DATA& data)
{
    CloseFile(data);
    if (data.Connection)
        ::InternetCloseHandle(data.Connection);
    data.Connection = nullptr;
    if (data.Internet)
        ::InternetCloseHandle(data.Internet);
    data.Internet = nullptr;
}
