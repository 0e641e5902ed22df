#include "EngineProcess.h"

#include <shlobj.h>

#include "Database/MD5.h"
#include "Registry/RegistryManager.h"
#include "Wow64.h"

namespace {

// How long a start waits for a job that has sent its final reports but whose thread has not
// quite ended (a start from the end-of-job handling, such as an automatic repair after a scan).
const DWORD kEndingJobWait = 5000;

const char kAreaNoCategory[] = "Scanning";

// The hive compactor's lock spins a while before it sleeps and has its event made up front.
const DWORD kDefragLockSpinCount = 0x80000400;

} // namespace

CVexaEngineProcess::CVexaEngineProcess(bool loadDatabase)
{
    m_priority = THREAD_PRIORITY_HIGHEST;
    m_eventCount = 1;
    m_resumeEvent = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (loadDatabase) {
        m_scanMode = 0;
        LoadSignatureDatabase();
    }
    InitSystemFolders();
    ::InitializeCriticalSectionAndSpinCount(m_defrag.GetLock(), kDefragLockSpinCount);
}

CVexaEngineProcess::~CVexaEngineProcess()
{
    // Releasing the object (or unloading the library) must never leave its thread running
    // code that is about to be freed: a job that was never resumed is abandoned, a running
    // one is stopped, and in both cases the thread is waited for. A stopped job ends at its
    // next test of the stop; an update job tests it every moment it waits for a site, and
    // leaves the call it waited for to its updater's worker, which needs nothing of this object.
    AbandonSuspendedThread();
    if (GetHandle())
        Stop(1);
    WaitForThreadExit(INFINITE);
    if (m_resumeEvent)
        ::CloseHandle(m_resumeEvent);
    ::DeleteCriticalSection(m_defrag.GetLock());
}

void CVexaEngineProcess::InitSystemFolders()
{
    m_wow64 = CWow64::IsWow64();
    char folder[MAX_PATH + 1] = {};
    if (::GetSystemDirectoryA(folder, MAX_PATH))
        m_systemFolder = CString(folder).MakeLower();
    char programFiles[MAX_PATH + 1] = {};
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles)))
        m_programFilesFolder = CString(programFiles).MakeLower();
}

int CVexaEngineProcess::Stop(int stop)
{
    if (!stop)
        return 1;
    if (CRegistryManager* manager = m_activeRegistryManager.load())
        manager->Cancel();
    RequestStop();
    // A paused job must wake up to notice the stop.
    ::SetEvent(m_resumeEvent);
    return 1;
}

void CVexaEngineProcess::RequestStop()
{
    // The request is written before the flag: Run sets the flag and then reads the request, so
    // whichever order the two threads take, the flag ends up clear.
    m_stopRequested = true;
    m_running = 0;
}

int CVexaEngineProcess::WaitOrSignal(int wait)
{
    if (GetEventCount() < 1)
        return 0;
    if (wait)
        return WaitEvent() ? 1 : 0;
    return SetEvent() ? 1 : 0;
}

int CVexaEngineProcess::Resume()
{
    if (!GetHandle())
        return 0;
    ::SetEvent(m_resumeEvent);
    m_pauseRequested = false;
    // The first Resume after a start starts the thread that was created suspended.
    if (!IsThreadResumed())
        return CSmartThread::Resume() ? 1 : 0;
    return 1;
}

int CVexaEngineProcess::Suspend()
{
    // The job pauses at its own next test of KeepRunning, never inside a heap or loader call.
    if (!GetHandle())
        return 0;
    m_pauseRequested = true;
    return ::ResetEvent(m_resumeEvent) ? 1 : 0;
}

bool CVexaEngineProcess::KeepRunning()
{
    // The event is asked only after a Suspend: the test runs per registry value, and a wait
    // call costs a round trip to the system each time.
    if (m_running && m_pauseRequested && ::WaitForSingleObject(m_resumeEvent, 0) == WAIT_TIMEOUT)
        ::WaitForSingleObject(m_resumeEvent, INFINITE);
    return m_running != 0;
}

bool CVexaEngineProcess::WaitForEndingJob()
{
    if (!m_jobEnding || ::GetCurrentThreadId() == CSmartThread::GetThreadId())
        return false;
    return WaitForThreadExit(kEndingJobWait) && !GetHandle();
}

void CVexaEngineProcess::ReportActivity(const char* text, const char* area)
{
    if (m_status)
        m_status->SetActivity(text, area);
}

void CVexaEngineProcess::ReportProgress(int phase)
{
    if (m_status)
        m_status->SetProgress(phase);
}

DWORD CVexaEngineProcess::Run()
{
    const int jobType = m_jobType;
    m_running = 1;
    // A Stop that came between the start and this moment stands: the job is not begun at all.
    if (m_stopRequested)
        m_running = 0;
    const bool stoppedBeforeRun = m_running == 0;
    ReportProgress(PROGRESS_BEGIN);

    bool redirectionOff = false;
    if (!stoppedBeforeRun && (jobType == JOB_SCAN || jobType == JOB_REPAIR) && CWow64::IsWow64())
        redirectionOff = CWow64::DisableRedirection(&m_redirectionCookie) != FALSE;

    const int result = stoppedBeforeRun ? DropJob(jobType) : RunJob(jobType);

    if (redirectionOff)
        CWow64::RevertRedirection(m_redirectionCookie);
    if (jobType != JOB_UPDATE)
        ReportProgress(PROGRESS_END);
    ReportActivity("", kAreaNoCategory);

    // The job's state is released before the last report, so that a start made in answer to
    // it finds the object free and its own status untouched.
    CAbstractStatus* status = m_status;
    const int finished = jobType == JOB_FTP_UPDATE ? result : m_running.load();
    m_status = nullptr;
    m_running = 0;
    m_jobEnding = true;
    if (status)
        status->OperationFinished(finished);
    return static_cast<DWORD>(result);
}

int CVexaEngineProcess::DropJob(int jobType)
{
    // What a job was given that only its body would let go of.
    if (jobType == JOB_UPDATE || jobType == JOB_FTP_UPDATE)
        m_updater.Reset();
    return 0;
}

int CVexaEngineProcess::RunJob(int jobType)
{
    switch (jobType) {
    case JOB_BACKUP: return RunBackupJob();
    case JOB_RESTORE: return RunRestoreJob();
    case JOB_SCAN: return RunScanJob();
    case JOB_REPAIR: return RunRepairJob();
    case JOB_FTP_UPDATE: return RunFtpUpdateJob();
    case JOB_UPDATE: return RunUpdateJob();
    case JOB_RELOAD_DATABASE: return RunReloadDatabaseJob();
    case JOB_DEFRAG: return RunDefragJob();
    default: return 0;
    }
}

int CVexaEngineProcess::GetStringMD5(CString* text, CString* digest)
{
    if (!text || text->IsEmpty() || !digest)
        return 0;
    // The running flag marks the service as busy only when no job owns it: a job in progress
    // must not see itself stopped by a digest asked for meanwhile.
    const bool ownsFlag = !GetHandle();
    if (ownsFlag)
        m_running = 1;
    const int result = GetStringMD5Copy(*text, digest);
    if (ownsFlag)
        m_running = 0;
    return result;
}

int CVexaEngineProcess::GetStringMD5Copy(CString text, CString* digest)
{
    if (text.IsEmpty() || !digest)
        return 0;
    CMD5 md5;
    *digest = CMD5::ToText(md5.DigestBuffer(reinterpret_cast<const unsigned char*>(text.GetString()),
                                            static_cast<unsigned>(text.GetLength())));
    return 1;
}
