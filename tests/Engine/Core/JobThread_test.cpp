// The job thread of the process object, driven through a job type that exists only here.
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "EngineProcess.h"
#include "FakeScanItems.h"
#include "RecordingStatus.h"
#include "RegistrySandbox.h"

namespace {

const int kTestJob = 99;

// The job thread may be held at its very start, before Run, where the system may leave a
// newly resumed thread for a while.
template <class Base>
class CHeldAtStart : public Base
{
public:
    CHeldAtStart()
        : m_atStart(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_release(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
    }
    ~CHeldAtStart() override
    {
        Release();
        this->AbandonSuspendedThread();
        this->WaitForThreadExit(INFINITE);
        ::CloseHandle(m_atStart);
        ::CloseHandle(m_release);
    }
    bool WaitAtStart() { return ::WaitForSingleObject(m_atStart, 10000) == WAIT_OBJECT_0; }
    void Release() { ::SetEvent(m_release); }

    BOOL OnStart() override
    {
        ::SetEvent(m_atStart);
        ::WaitForSingleObject(m_release, 10000);
        return TRUE;
    }

private:
    HANDLE m_atStart;
    HANDLE m_release;
};

class CPlainProcess : public CVexaEngineProcess
{
public:
    CPlainProcess() : CVexaEngineProcess(false) {}
};

class CTestJobProcess : public CVexaEngineProcess
{
public:
    CTestJobProcess() : CVexaEngineProcess(false) {}

    int StartTestJob(CAbstractStatus* status, int steps)
    {
        return StartJob(kTestJob, status, [&] {
            m_steps = steps;
            return true;
        });
    }

    std::atomic<int> stepsDone{0};
    std::atomic<int> gate{0};  // while 1, every step spins until released

protected:
    int RunJob(int jobType) override
    {
        if (jobType != kTestJob)
            return CVexaEngineProcess::RunJob(jobType);
        for (int i = 0; i < m_steps; ++i) {
            if (!KeepRunning())
                break;
            ReportProgress(PROGRESS_STEP);
            ++stepsDone;
            while (gate && m_running)
                ::Sleep(1);
        }
        return 7;
    }

private:
    int m_steps = 0;
};

void WaitForSteps(const CTestJobProcess& process, int count)
{
    const DWORD start = ::GetTickCount();
    while (process.stepsDone < count && ::GetTickCount() - start < 30000)
        ::Sleep(1);
}

} // namespace

TEST(JobThread, ReportsBeginStepsEndActivityAndFinishInOrder)
{
    CTestJobProcess process;
    CRecordingStatus status;
    ASSERT_EQ(process.StartTestJob(&status, 3), 1);
    EXPECT_EQ(process.IsRunning(), 0);  // prepared, not running
    ASSERT_EQ(process.Resume(), 1);
    ASSERT_TRUE(status.WaitFinished());

    const auto events = status.Events();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].number, PROGRESS_BEGIN);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(events[i].number, PROGRESS_STEP);
    EXPECT_EQ(events[4].number, PROGRESS_END);
    EXPECT_EQ(events[5].kind, StatusEvent::Activity);
    EXPECT_EQ(events[5].text, "");
    EXPECT_EQ(events[5].area, "Scanning");
    EXPECT_EQ(events[6].kind, StatusEvent::Finished);
    EXPECT_EQ(events[6].number, 1);
    EXPECT_EQ(process.GetJobType(), kTestJob);
}

TEST(JobThread, StartWhileAJobRunsChangesNothing)
{
    CTestJobProcess process;
    CRecordingStatus first, second;
    process.gate = 1;
    ASSERT_EQ(process.StartTestJob(&first, 5), 1);
    process.Resume();
    WaitForSteps(process, 1);
    ASSERT_EQ(process.IsRunning(), 1);

    std::set<CString> folders = {"D:"};
    EXPECT_EQ(process.StartScan(&folders, SCAN_ALL, &second, SCAN_MODE_SCHEDULED), -1);
    EXPECT_EQ(process.StartBackup("x", &second), -1);
    EXPECT_EQ(process.StartDefrag(0, &second), -1);
    EXPECT_EQ(process.GetJobType(), kTestJob);

    process.gate = 0;
    ASSERT_TRUE(first.WaitFinished());
    EXPECT_EQ(first.CountProgress(PROGRESS_STEP), 5);
    EXPECT_TRUE(second.Events().empty());
}

TEST(JobThread, SuspendPausesAtTheJobsOwnTestAndStopWakesIt)
{
    CTestJobProcess process;
    CRecordingStatus status;
    process.gate = 1;
    ASSERT_EQ(process.StartTestJob(&status, 1000), 1);
    process.Resume();
    WaitForSteps(process, 1);
    ASSERT_EQ(process.Suspend(), 1);
    process.gate = 0;
    ::Sleep(50);
    const int pausedAt = process.stepsDone;
    ::Sleep(100);
    EXPECT_EQ(process.stepsDone, pausedAt);  // paused, not running on
    EXPECT_EQ(process.IsRunning(), 1);

    EXPECT_EQ(process.Stop(0), 1);  // Stop(0) changes nothing
    EXPECT_EQ(process.IsRunning(), 1);
    EXPECT_EQ(process.Stop(1), 1);  // wakes the paused job, which then ends
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 0);
    EXPECT_EQ(status.CountProgress(PROGRESS_END), 1);
}

TEST(JobThread, ResumeAfterSuspendContinues)
{
    CTestJobProcess process;
    CRecordingStatus status;
    process.gate = 1;
    ASSERT_EQ(process.StartTestJob(&status, 20), 1);
    process.Resume();
    WaitForSteps(process, 1);
    process.Suspend();
    process.gate = 0;
    ::Sleep(50);
    EXPECT_LT(process.stepsDone, 20);
    ASSERT_EQ(process.Resume(), 1);
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(process.stepsDone, 20);
    EXPECT_EQ(status.FinishedResult(), 1);
}

TEST(JobThread, StopAfterTheStartIsHonouredBeforeTheThreadRuns)
{
    for (const bool resumedFirst : {false, true}) {
        SCOPED_TRACE(resumedFirst ? "held at the thread's start" : "before Resume");
        CHeldAtStart<CTestJobProcess> process;
        CRecordingStatus status;
        ASSERT_EQ(process.StartTestJob(&status, 3), 1);
        if (resumedFirst) {
            ASSERT_EQ(process.Resume(), 1);
            ASSERT_TRUE(process.WaitAtStart());
        }
        EXPECT_EQ(process.Stop(1), 1);
        process.Resume();
        process.Release();
        ASSERT_TRUE(status.WaitFinished());
        EXPECT_EQ(process.stepsDone, 0);
        EXPECT_EQ(status.FinishedResult(), 0);
        // The job still ends as every stopped job does.
        EXPECT_EQ(status.CountProgress(PROGRESS_BEGIN), 1);
        EXPECT_EQ(status.CountProgress(PROGRESS_END), 1);
        EXPECT_EQ(process.IsRunning(), 0);

        // The stop belonged to that job only.
        CRecordingStatus next;
        ASSERT_EQ(process.StartTestJob(&next, 2), 1);
        process.Resume();
        ASSERT_TRUE(next.WaitFinished());
        EXPECT_EQ(process.stepsDone, 2);
        EXPECT_EQ(next.FinishedResult(), 1);
    }
}

TEST(JobThread, RepairCancelledAtOnceDeletesNothing)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Broken", "v", "1"));
    CFakeScanItems items({{"HKEY_CURRENT_USER\\Software\\Broken", false}});
    CHeldAtStart<CPlainProcess> process;
    CRecordingStatus status;
    ASSERT_EQ(process.StartRepair(&items, &status), 1);
    ASSERT_EQ(process.Resume(), 1);
    ASSERT_TRUE(process.WaitAtStart());
    process.Stop(1);
    process.Release();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 0);
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Broken"));
}

TEST(JobThread, StartFromTheEndOfJobHandlingWaitsForTheEndingThread)
{
    // As the program does: the end-of-job report posts a message, and the user-interface
    // thread starts the next job at once (an automatic repair after a scan).
    CTestJobProcess process;
    CRecordingStatus first, second;
    HANDLE ended = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    first.onFinished = [&](int) {
        ::SetEvent(ended);
        ::Sleep(100);  // the job thread is still finishing when the next start comes
    };
    ASSERT_EQ(process.StartTestJob(&first, 1), 1);
    process.Resume();
    ASSERT_EQ(::WaitForSingleObject(ended, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(process.IsRunning(), 0);
    ASSERT_EQ(process.StartTestJob(&second, 2), 1);
    process.Resume();
    ASSERT_TRUE(second.WaitFinished());
    EXPECT_EQ(second.CountProgress(PROGRESS_STEP), 2);
    ::CloseHandle(ended);
}

TEST(JobThread, DigestServiceLeavesTheRunningFlagOfAJobAlone)
{
    CTestJobProcess process;
    CRecordingStatus status;
    process.gate = 1;
    ASSERT_EQ(process.StartTestJob(&status, 3), 1);
    process.Resume();
    WaitForSteps(process, 1);
    CString text("message digest"), digest;
    EXPECT_EQ(process.GetStringMD5(&text, &digest), 1);
    EXPECT_EQ(digest, "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(process.IsRunning(), 1);
    process.gate = 0;
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 1);

    // With no job, the flag is clear again afterwards; an empty text is refused untouched.
    EXPECT_EQ(process.GetStringMD5(&text, &digest), 1);
    EXPECT_EQ(process.IsRunning(), 0);
    CString empty, untouched("keep");
    EXPECT_EQ(process.GetStringMD5(&empty, &untouched), 0);
    EXPECT_EQ(untouched, "keep");
}

TEST(JobThread, RefusedStartsAndEventSignalling)
{
    CTestJobProcess process;
    std::set<CString> folders;
    EXPECT_EQ(process.StartScan(&folders, 0, nullptr, 0), -1);
    EXPECT_EQ(process.StartScan(nullptr, 0, nullptr, 0), -1);
    EXPECT_EQ(process.GetThreadHandle(), nullptr);
    EXPECT_EQ(process.Resume(), 0);
    EXPECT_EQ(process.Suspend(), 0);
    EXPECT_EQ(process.WaitOrSignal(0), 0);  // no events before the first start

    CRecordingStatus status;
    ASSERT_EQ(process.StartTestJob(&status, 0), 1);
    EXPECT_EQ(process.WaitOrSignal(0), 1);
    EXPECT_EQ(process.WaitOrSignal(1), 1);  // the signal just given
    process.Resume();
    ASSERT_TRUE(status.WaitFinished());
}
