// CTask over the Task Scheduler of the test prefix: jobs created, read back, replaced and
// deleted under names of this test program's own, removed again at the end of every test.
#include <gtest/gtest.h>

#include <mstask.h>

#include <string>

#include "ComPointer.h"
#include "Task.h"
#include "TempFolder.h"

namespace {

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

class TaskTest : public testing::Test
{
protected:
    void SetUp() override
    {
        char name[96];
        snprintf(name, sizeof(name), "KelvaraTaskTest %lu %s", ::GetCurrentProcessId(),
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        m_name = name;
    }
    void TearDown() override { CTask().Delete(m_name.c_str()); }

    CTask WeeklyTask(WORD day) const
    {
        CTask task;
        task.m_strApplication = "C:\\Program Files\\Kelvara\\Kelvara.exe";
        task.m_strParameters = "SCHEDULE";
        task.m_strWorkingDirectory = "C:\\Program Files\\Kelvara\\";
        task.m_strScheduleText = "Schedule Scan";
        task.m_nScheduleType = CTask::SCHEDULE_WEEKLY;
        task.m_start.wYear = 2026;
        task.m_start.wMonth = 12;
        task.m_start.wDay = 6;
        task.m_start.wDayOfWeek = day;
        task.m_start.wHour = 3;
        return task;
    }

    // The job as the scheduler holds it.
    bool Open(CComPointer<ITask>& task)
    {
        CComPointer<ITaskScheduler> scheduler;
        if (FAILED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                      scheduler.ReceiveVoid())))
            return false;
        CComPointer<IUnknown> item;
        if (FAILED(scheduler->Activate(Wide(m_name).c_str(), IID_ITask, item.Receive())))
            return false;
        return SUCCEEDED(item->QueryInterface(IID_ITask, task.ReceiveVoid()));
    }

    std::string m_name;
};

// A text property of a job, read by `get`.
template <class F>
std::string Text(F get)
{
    LPWSTR text = nullptr;
    if (FAILED(get(&text)) || !text)
        return "<none>";
    std::string ansi;
    for (const wchar_t* p = text; *p; ++p)
        ansi += static_cast<char>(*p);
    ::CoTaskMemFree(text);
    return ansi;
}

} // namespace

TEST_F(TaskTest, AWeeklyJobIsSavedAndReadBack)
{
    CTask saved = WeeklyTask(3);
    ASSERT_EQ(S_OK, saved.Save(m_name.c_str()));

    CComPointer<ITask> job;
    ASSERT_TRUE(Open(job));
    EXPECT_EQ("SCHEDULE", Text([&](LPWSTR* text) { return job->GetParameters(text); }));
    EXPECT_EQ("C:\\Program Files\\Kelvara\\", Text([&](LPWSTR* text) { return job->GetWorkingDirectory(text); }));
    EXPECT_EQ("Schedule Scan", Text([&](LPWSTR* text) { return job->GetComment(text); }));
    DWORD flags = 0;
    job->GetFlags(&flags);
    EXPECT_EQ(static_cast<DWORD>(TASK_FLAG_DONT_START_IF_ON_BATTERIES | TASK_FLAG_RUN_ONLY_IF_LOGGED_ON | TASK_FLAG_INTERACTIVE),
              flags);
    WORD triggers = 0;
    job->GetTriggerCount(&triggers);
    EXPECT_EQ(1, triggers);
    CComPointer<ITaskTrigger> trigger;
    ASSERT_EQ(S_OK, job->GetTrigger(0, trigger.Receive()));
    TASK_TRIGGER settings = {};
    settings.cbTriggerSize = sizeof(settings);
    trigger->GetTrigger(&settings);
    EXPECT_EQ(8, settings.Type.Weekly.rgfDaysOfTheWeek);  // Wednesday
    trigger.Release();
    job.Release();

    // Read back even where the system cannot word the trigger.
    CTask loaded;
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ("C:\\Program Files\\Kelvara\\Kelvara.exe", std::string(loaded.GetApplicationName()));
    EXPECT_EQ("SCHEDULE", std::string(loaded.GetParameters()));
    EXPECT_EQ(CTask::SCHEDULE_WEEKLY, loaded.m_nLoadedType);
    EXPECT_EQ(3, loaded.m_start.wDayOfWeek);
    EXPECT_EQ(3, loaded.m_start.wHour);
    EXPECT_EQ(0, loaded.m_start.wMinute);
    EXPECT_EQ(2026, loaded.m_start.wYear);
    EXPECT_EQ(12, loaded.m_start.wMonth);
    EXPECT_EQ(6, loaded.m_start.wDay);
    EXPECT_FALSE(loaded.GetScheduleText().IsEmpty());
}

TEST_F(TaskTest, SavingOverAJobReplacesIt)
{
    CTask weekly = WeeklyTask(5);
    ASSERT_EQ(S_OK, weekly.Save(m_name.c_str()));
    CTask daily = WeeklyTask(0);
    daily.m_nScheduleType = CTask::SCHEDULE_DAILY;
    daily.m_start.wHour = 21;
    daily.m_strParameters.Empty();
    // The job of that name is let go before it is deleted, or its file could not go.
    ASSERT_EQ(S_OK, daily.Save(m_name.c_str()));

    CTask loaded;
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ(CTask::SCHEDULE_DAILY, loaded.m_nLoadedType);
    EXPECT_EQ(21, loaded.m_start.wHour);
    EXPECT_EQ("", std::string(loaded.GetParameters()));

    EXPECT_EQ(S_OK, CTask().Delete(m_name.c_str()));
    CTask gone;
    EXPECT_TRUE(FAILED(gone.Load(m_name.c_str())));
    EXPECT_TRUE(FAILED(CTask().Delete(m_name.c_str())));
}

// The scheduler's service holds a job's file for a moment after each change (read, share-read
// only): a replacement or deletion that meets such a hold waits for it instead of failing. The
// test holds the file the same way and lets it go at the first wait; the wait then goes on as
// the program's own, since the service may hold the file again after the test's hold.
HANDLE g_heldJobFile = INVALID_HANDLE_VALUE;
CTask::BetweenAttempts g_programsWait = nullptr;

void LetTheJobFileGo()
{
    if (g_heldJobFile != INVALID_HANDLE_VALUE)
        ::CloseHandle(g_heldJobFile);
    g_heldJobFile = INVALID_HANDLE_VALUE;
    if (g_programsWait)
        g_programsWait();
}

TEST_F(TaskTest, AJobFileHeldByTheSchedulerIsReplacedAndDeletedOnceLetGo)
{
    char windows[MAX_PATH];
    ASSERT_NE(0u, ::GetWindowsDirectoryA(windows, MAX_PATH));
    const std::string file = std::string(windows) + "\\Tasks\\" + m_name + ".job";
    const auto hold = [&] {
        g_heldJobFile = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        return g_heldJobFile != INVALID_HANDLE_VALUE;
    };
    struct CWaitHook
    {
        CWaitHook() { g_programsWait = CTask::SetWaitBetweenAttempts(&LetTheJobFileGo); }
        ~CWaitHook()
        {
            CTask::SetWaitBetweenAttempts(g_programsWait);
            g_programsWait = nullptr;
            LetTheJobFileGo();
        }
    } hook;
    CTask weekly = WeeklyTask(5);
    ASSERT_EQ(S_OK, weekly.Save(m_name.c_str()));
    ASSERT_TRUE(hold());
    CTask daily = WeeklyTask(0);
    daily.m_nScheduleType = CTask::SCHEDULE_DAILY;
    EXPECT_EQ(S_OK, daily.Save(m_name.c_str()));
    // The save met the hold: it was let go by a wait between attempts.
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_heldJobFile);
    CTask loaded;
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ(CTask::SCHEDULE_DAILY, loaded.m_nLoadedType);

    ASSERT_TRUE(hold());
    EXPECT_EQ(S_OK, CTask().Delete(m_name.c_str()));
    EXPECT_EQ(INVALID_HANDLE_VALUE, g_heldJobFile);
    EXPECT_FALSE(FileExists(file));
}

TEST_F(TaskTest, AnEmptyWorkingFolderAndCommentStayUnset)
{
    CTask task = WeeklyTask(1);
    task.m_strWorkingDirectory.Empty();
    task.m_strScheduleText.Empty();
    ASSERT_EQ(S_OK, task.Save(m_name.c_str()));
    CComPointer<ITask> job;
    ASSERT_TRUE(Open(job));
    const std::string folder = Text([&](LPWSTR* text) { return job->GetWorkingDirectory(text); });
    EXPECT_TRUE(folder == "" || folder == "<none>") << folder;
    const std::string comment = Text([&](LPWSTR* text) { return job->GetComment(text); });
    EXPECT_TRUE(comment == "" || comment == "<none>") << comment;
}

TEST_F(TaskTest, ATriggerOfTwoDaysReadsAsSunday)
{
    ASSERT_EQ(S_OK, WeeklyTask(2).Save(m_name.c_str()));
    {
        CComPointer<ITask> job;
        ASSERT_TRUE(Open(job));
        CComPointer<ITaskTrigger> trigger;
        ASSERT_EQ(S_OK, job->GetTrigger(0, trigger.Receive()));
        TASK_TRIGGER settings = {};
        settings.cbTriggerSize = sizeof(settings);
        trigger->GetTrigger(&settings);
        settings.Type.Weekly.rgfDaysOfTheWeek = 4 | 16;
        ASSERT_EQ(S_OK, trigger->SetTrigger(&settings));
        CComPointer<IPersistFile> file;
        ASSERT_EQ(S_OK, job->QueryInterface(IID_IPersistFile, file.ReceiveVoid()));
        ASSERT_EQ(S_OK, file->Save(nullptr, FALSE));
    }
    CTask loaded;
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ(CTask::SCHEDULE_WEEKLY, loaded.m_nLoadedType);
    EXPECT_EQ(0, loaded.m_start.wDayOfWeek);
}

TEST_F(TaskTest, ALogonJobAndTheRefusals)
{
    CTask logon = WeeklyTask(0);
    logon.m_nScheduleType = CTask::SCHEDULE_AT_LOGON;
    logon.m_strParameters.Empty();
    ASSERT_EQ(S_OK, logon.Save(m_name.c_str()));
    CTask loaded;
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ(CTask::SCHEDULE_AT_LOGON, loaded.m_nLoadedType);

    CTask noYear = WeeklyTask(0);
    noYear.m_start.wYear = 0;
    EXPECT_EQ(E_FAIL, noYear.Save(m_name.c_str()));
    CTask noProgram = WeeklyTask(0);
    noProgram.m_strApplication.Empty();
    EXPECT_EQ(E_FAIL, noProgram.Save(m_name.c_str()));
    EXPECT_EQ(E_FAIL, WeeklyTask(0).Save(""));
    EXPECT_EQ(E_FAIL, WeeklyTask(0).Save(nullptr));
    EXPECT_EQ(E_FAIL, CTask().Delete(""));
    // The refusals left the job as it was.
    ASSERT_EQ(S_OK, loaded.Load(m_name.c_str()));
    EXPECT_EQ(CTask::SCHEDULE_AT_LOGON, loaded.m_nLoadedType);
}
