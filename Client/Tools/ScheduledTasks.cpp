#include "ScheduledTasks.h"

#include <vector>

#include "Product.h"

namespace {

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash + 1);
}

// Asks a path function for its result, growing the buffer as it says; empty on failure.
template <class F>
CString CallWithBuffer(F call)
{
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CString();
        if (length < buffer.size())
            return CString(buffer.data(), static_cast<int>(length));
        buffer.resize(length + 1);
    }
    return CString();
}

} // namespace

BOOL GetJobUserName(CString* user)
{
    char name[1024] = {};
    DWORD size = sizeof(name);
    if (!::GetUserNameA(name, &size))
        return FALSE;
    *user = name;
    return TRUE;
}

CString ScheduledScanJobName(const CString& user)
{
    CString name;
    name.Format("%s Scheduled Scan - %s", ProductName(), static_cast<const char*>(user));
    return name;
}

CString LogonJobName(const CString& user)
{
    CString name;
    name.Format("%s on user logon - %s", ProductName(), static_cast<const char*>(user));
    return name;
}

CString NormalizeProgramPath(const CString& path)
{
    CString text = path;
    text.Trim();
    while (text.GetLength() >= 1 && text.GetAt(0) == '"')
        text = text.Mid(1);
    while (text.GetLength() >= 1 && text.GetAt(text.GetLength() - 1) == '"')
        text = text.Left(text.GetLength() - 1);
    text.Trim();
    if (text.IsEmpty())
        return text;
    const CString source = text;
    const CString full = CallWithBuffer([&](char* buffer, DWORD size) {
        return ::GetFullPathNameA(source, size, buffer, nullptr);
    });
    if (!full.IsEmpty())
        text = full;
    const CString shortOrFull = text;
    const CString longForm = CallWithBuffer([&](char* buffer, DWORD size) {
        return ::GetLongPathNameA(shortOrFull, buffer, size);
    });
    if (!longForm.IsEmpty())
        text = longForm;
    text.MakeLower();
    return text;
}

BOOL IsSameProgramPath(const CString& a, const CString& b)
{
    const CString left = NormalizeProgramPath(a);
    return !left.IsEmpty() && left == NormalizeProgramPath(b);
}

namespace {

void FillCommon(CTask& task, const CString& programPath, const CString& user, const CString& comment)
{
    task.m_strApplication = programPath;
    task.m_strWorkingDirectory = FolderOf(programPath);
    task.m_strAccount = user;
    task.m_strScheduleText = comment;
}

} // namespace

void FillScheduledScanJob(CTask& task, const CString& programPath, const CString& user, const SYSTEMTIME& today,
                          const SCHEDULE_CHOICE& choice, const CString& comment)
{
    FillCommon(task, programPath, user, comment);
    task.m_strParameters = "SCHEDULE";
    task.m_start = SYSTEMTIME();
    task.m_start.wYear = today.wYear;
    task.m_start.wMonth = today.wMonth;
    task.m_start.wDay = today.wDay;
    if (choice.defaultTask) {
        task.m_start.wDayOfWeek = 0;
        task.m_start.wHour = 3;
        task.m_start.wMinute = 0;
        task.m_nScheduleType = CTask::SCHEDULE_WEEKLY;
        return;
    }
    const bool knownDay = choice.daySelection >= 0 && choice.daySelection <= 6;
    task.m_start.wDayOfWeek = static_cast<WORD>(knownDay ? choice.daySelection : 0);
    task.m_start.wHour = choice.time.wHour;
    task.m_start.wMinute = choice.time.wMinute;
    task.m_nScheduleType = choice.typeSelection == 0 ? CTask::SCHEDULE_DAILY : CTask::SCHEDULE_WEEKLY;
}

void FillLogonJob(CTask& task, const CString& programPath, const CString& user, const SYSTEMTIME& now,
                  const CString& comment)
{
    FillCommon(task, programPath, user, comment);
    task.m_strParameters.Empty();
    task.m_start = now;
    task.m_start.wSecond = 0;
    task.m_start.wMilliseconds = 0;
    task.m_nScheduleType = CTask::SCHEDULE_AT_LOGON;
}

BOOL SaveScheduledScanJob(const CString& programPath, const CString& user, const SYSTEMTIME& today,
                          const SCHEDULE_CHOICE& choice, const CString& comment)
{
    CTask task;
    FillScheduledScanJob(task, programPath, user, today, choice, comment);
    return task.Save(ScheduledScanJobName(user)) == S_OK;
}

SCHEDULED_SCAN_STATE ReadScheduledScan(const CString& user, const CString& programPath)
{
    SCHEDULED_SCAN_STATE state;
    CTask task;
    if (FAILED(task.Load(ScheduledScanJobName(user))) || !IsSameProgramPath(task.GetApplicationName(), programPath))
        return state;
    state.found = TRUE;
    state.text = task.GetScheduleText();
    state.start = task.m_start;
    state.loadedType = task.m_nLoadedType;
    return state;
}

BOOL ReadLogonJob(const CString& user, const CString& programPath)
{
    const CString name = LogonJobName(user);
    BOOL ours = FALSE;
    {
        CTask task;
        ours = SUCCEEDED(task.Load(name)) && IsSameProgramPath(task.GetApplicationName(), programPath);
    }
    if (!ours)
        CTask().Delete(name);
    return ours;
}

SCHEDULED_JOBS ReadScheduledJobs(const CString& programPath, BOOL makeDefaultScan, const CString& comment,
                                 const SYSTEMTIME& today)
{
    SCHEDULED_JOBS jobs;
    CString user;
    if (!GetJobUserName(&user))
        return jobs;
    jobs.logonIsOurs = ReadLogonJob(user, programPath);
    jobs.scan = ReadScheduledScan(user, programPath);
    if (jobs.scan.found || !makeDefaultScan)
        return jobs;
    SCHEDULE_CHOICE choice;
    choice.defaultTask = TRUE;
    if (SaveScheduledScanJob(programPath, user, today, choice, comment))
        jobs.scan = ReadScheduledScan(user, programPath);
    return jobs;
}
