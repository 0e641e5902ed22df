#include "Task.h"

#include <string>

#include "ComPointer.h"

namespace {

void SleepBetweenAttempts()
{
    ::Sleep(50);
}

CTask::BetweenAttempts g_waitBetweenAttempts = &SleepBetweenAttempts;

// Runs `step` again while the job's file is held by the scheduler's service.
template <typename Step>
HRESULT RetryWhileFileIsShared(Step step)
{
    HRESULT result = step();
    for (int attempt = 1; attempt < CTask::kSharedFileAttempts && result == HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
         ++attempt) {
        g_waitBetweenAttempts();
        result = step();
    }
    return result;
}

std::wstring ToWide(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

// FALSE when the text does not convert; `out` then keeps its value.
BOOL ToAnsi(const wchar_t* text, CString* out)
{
    if (!text)
        return FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return FALSE;
    std::string ansi(static_cast<size_t>(length), '\0');
    if (!::WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], length, nullptr, nullptr))
        return FALSE;
    *out = ansi.c_str();
    return TRUE;
}

// A text the scheduler allocated, freed when the object goes.
class CTaskText
{
public:
    ~CTaskText() { ::CoTaskMemFree(m_text); }
    LPWSTR* Receive() { return &m_text; }
    const wchar_t* Get() const { return m_text; }

private:
    LPWSTR m_text = nullptr;
};

const char* const kDayNames[7] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };

} // namespace

CTask::CTask()
{
    // The high bit of the version is clear on the NT family.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    m_bNT = (::GetVersion() & 0x80000000u) == 0;
#pragma GCC diagnostic pop
}

CTask::~CTask() = default;

int CTask::DayOfWeekFromMask(int mask)
{
    for (int day = 0; day < 7; ++day) {
        if (mask == (1 << day))
            return day;
    }
    return 0;
}

CString CTask::DescribeTrigger(const TASK_TRIGGER& trigger)
{
    CString when;
    when.Format("At %02u:%02u", trigger.wStartHour, trigger.wStartMinute);
    CString since;
    since.Format(", starting %u/%u/%u", trigger.wBeginMonth, trigger.wBeginDay, trigger.wBeginYear);
    switch (trigger.TriggerType) {
    case TASK_TIME_TRIGGER_DAILY:
        return when + " every day" + since;
    case TASK_TIME_TRIGGER_WEEKLY: {
        CString days;
        for (int day = 0; day < 7; ++day) {
            if (!(trigger.Type.Weekly.rgfDaysOfTheWeek & (1 << day)))
                continue;
            if (!days.IsEmpty())
                days += ", ";
            days += kDayNames[day];
        }
        return when + " every " + days + " of every week" + since;
    }
    case TASK_EVENT_TRIGGER_AT_LOGON:
        return "At logon";
    default:
        return CString();
    }
}

TASK_TRIGGER CTask::MakeTrigger() const
{
    TASK_TRIGGER trigger = {};
    trigger.cbTriggerSize = sizeof(trigger);
    trigger.wBeginYear = m_start.wYear;
    trigger.wBeginMonth = m_start.wMonth;
    trigger.wBeginDay = m_start.wDay;
    trigger.wStartHour = m_start.wHour;
    trigger.wStartMinute = m_start.wMinute;
    if (m_nScheduleType == SCHEDULE_DAILY) {
        trigger.TriggerType = TASK_TIME_TRIGGER_DAILY;
        trigger.Type.Daily.DaysInterval = 1;
    } else if (m_nScheduleType == SCHEDULE_WEEKLY) {
        trigger.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
        trigger.Type.Weekly.WeeksInterval = 1;
        trigger.Type.Weekly.rgfDaysOfTheWeek = static_cast<WORD>(1 << (m_start.wDayOfWeek % 7));
    } else {
        trigger.TriggerType = TASK_EVENT_TRIGGER_AT_LOGON;
    }
    return trigger;
}

HRESULT CTask::CreateScheduler(ITaskScheduler** scheduler)
{
    return ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                              reinterpret_cast<void**>(scheduler));
}

HRESULT CTask::Save(const char* name)
{
    if (m_start.wYear == 0 || !name || !*name || m_strApplication.IsEmpty())
        return E_FAIL;
    CComPointer<ITaskScheduler> scheduler;
    HRESULT result = CreateScheduler(scheduler.Receive());
    if (FAILED(result))
        return result;
    const std::wstring wideName = ToWide(name);
    {
        // The system keeps a job's file open while anything holds the job: it is let go
        // before the job is deleted.
        CComPointer<IUnknown> existing;
        if (SUCCEEDED(scheduler->Activate(wideName.c_str(), IID_ITask, existing.Receive()))) {
            existing.Release();
            result = Delete(name);
            if (FAILED(result))
                return result;
        }
    }
    CComPointer<IUnknown> item;
    result = scheduler->NewWorkItem(wideName.c_str(), CLSID_CTask, IID_ITask, item.Receive());
    if (FAILED(result))
        return result;
    CComPointer<ITask> task;
    result = item->QueryInterface(IID_ITask, task.ReceiveVoid());
    if (FAILED(result))
        return result;
    result = FillNewTask(task.Get());
    if (FAILED(result))
        return result;
    CComPointer<IPersistFile> file;
    result = task->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    if (FAILED(result))
        return result;
    return RetryWhileFileIsShared([&] { return file->Save(nullptr, FALSE); });
}

HRESULT CTask::FillNewTask(ITask* task)
{
    HRESULT result = task->SetApplicationName(ToWide(m_strApplication).c_str());
    if (FAILED(result))
        return result;
    if (!m_strParameters.IsEmpty()) {
        result = task->SetParameters(ToWide(m_strParameters).c_str());
        if (FAILED(result))
            return result;
    }
    if (!m_strWorkingDirectory.IsEmpty()) {
        result = task->SetWorkingDirectory(ToWide(m_strWorkingDirectory).c_str());
        if (FAILED(result))
            return result;
    }
    if (!m_strScheduleText.IsEmpty())
        task->SetComment(ToWide(m_strScheduleText).c_str());
    result = task->SetFlags(TASK_FLAG_DONT_START_IF_ON_BATTERIES | TASK_FLAG_RUN_ONLY_IF_LOGGED_ON |
                            (m_bNT ? TASK_FLAG_INTERACTIVE : 0));
    if (FAILED(result))
        return result;
    if (m_bNT && !m_strAccount.IsEmpty()) {
        result = task->SetAccountInformation(ToWide(m_strAccount).c_str(), nullptr);
        if (FAILED(result))
            return result;
    }
    WORD index = 0;
    CComPointer<ITaskTrigger> trigger;
    result = task->CreateTrigger(&index, trigger.Receive());
    if (FAILED(result))
        return result;
    TASK_TRIGGER settings = MakeTrigger();
    return trigger->SetTrigger(&settings);
}

HRESULT CTask::Load(const char* name)
{
    if (!name || !*name)
        return E_FAIL;
    CComPointer<ITaskScheduler> scheduler;
    HRESULT result = CreateScheduler(scheduler.Receive());
    if (FAILED(result))
        return result;
    CComPointer<IUnknown> item;
    result = scheduler->Activate(ToWide(name).c_str(), IID_ITask, item.Receive());
    if (FAILED(result))
        return result;
    CComPointer<ITask> task;
    result = item->QueryInterface(IID_ITask, task.ReceiveVoid());
    if (FAILED(result))
        return result;
    {
        CTaskText application;
        result = task->GetApplicationName(application.Receive());
        if (FAILED(result))
            return result;
        ToAnsi(application.Get(), &m_strApplication);
    }
    {
        CTaskText parameters;
        result = task->GetParameters(parameters.Receive());
        if (FAILED(result))
            return result;
        ToAnsi(parameters.Get(), &m_strParameters);
    }
    CComPointer<ITaskTrigger> trigger;
    result = task->GetTrigger(0, trigger.Receive());
    if (FAILED(result))
        return result;
    ReadTrigger(trigger.Get());
    return S_OK;
}

void CTask::ReadTrigger(ITaskTrigger* trigger)
{
    TASK_TRIGGER settings = {};
    settings.cbTriggerSize = sizeof(settings);
    const bool haveSettings = SUCCEEDED(trigger->GetTrigger(&settings));
    if (haveSettings) {
        m_start.wYear = settings.wBeginYear;
        m_start.wMonth = settings.wBeginMonth;
        m_start.wDay = settings.wBeginDay;
        const int mask = settings.TriggerType == TASK_TIME_TRIGGER_WEEKLY ? settings.Type.Weekly.rgfDaysOfTheWeek : 0;
        m_start.wDayOfWeek = static_cast<WORD>(mask >= 1 && mask <= 64 ? DayOfWeekFromMask(mask) : 0);
        m_start.wHour = settings.wStartHour;
        m_start.wMinute = settings.wStartMinute;
        m_nLoadedType = settings.TriggerType == TASK_TIME_TRIGGER_DAILY    ? SCHEDULE_DAILY
                        : settings.TriggerType == TASK_TIME_TRIGGER_WEEKLY ? SCHEDULE_WEEKLY
                                                                            : SCHEDULE_AT_LOGON;
    }
    // Not every system can word a trigger (some answer E_NOTIMPL): the job is still read back,
    // with our own wording of its trigger.
    CTaskText text;
    if (SUCCEEDED(trigger->GetTriggerString(text.Receive())) && ToAnsi(text.Get(), &m_strScheduleText))
        return;
    m_strScheduleText = haveSettings ? DescribeTrigger(settings) : CString();
}

HRESULT CTask::Delete(const char* name)
{
    if (!name || !*name)
        return E_FAIL;
    CComPointer<ITaskScheduler> scheduler;
    const HRESULT result = CreateScheduler(scheduler.Receive());
    if (FAILED(result))
        return result;
    const std::wstring wideName = ToWide(name);
    return RetryWhileFileIsShared([&] { return scheduler->Delete(wideName.c_str()); });
}

CTask::BetweenAttempts CTask::SetWaitBetweenAttempts(BetweenAttempts wait)
{
    const BetweenAttempts previous = g_waitBetweenAttempts;
    g_waitBetweenAttempts = wait ? wait : &SleepBetweenAttempts;
    return previous;
}
