// An engine job run for a page: the refusal while another job holds the engine, the page's own
// steps around the start in their order, the progress timer on the page's window, the end message
// posted to it, the wait for the job's thread, and where a stepped progress bar stands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageBoxRecorder.h"
#include "PageJob.h"
#include "SteppedProgress.h"
#include "WindowCapture.h"

namespace {

const UINT WM_TEST_JOB_END = WM_APP + 17;
const UINT WM_TEST_LET_THREAD_GO = WM_APP + 18;
const char kBusy[] = "Please stop other active operation before starting the test job.";

// An engine process that takes or refuses a job and records what it is asked; its job's thread is
// whatever thread the test gives it.
class CFakeProcess : public CAbstractProcess
{
public:
    explicit CFakeProcess(std::vector<std::string>& log) : m_log(log) {}

    int IsRunning() override { return m_bRunning ? 1 : 0; }
    int Resume() override
    {
        m_log.push_back("resume");
        return 1;
    }
    HANDLE GetThreadHandle() override { return m_hThread; }

    int Stop(int) override { return 0; }
    int CancelUpdate() override { return 0; }
    int WaitOrSignal(int) override { return 0; }
    int Suspend() override { return 0; }
    DWORD GetThreadId() override { return 0; }
    int GetJobType() override { return 0; }
    int Reserved(int) override { return 0; }
    int StartBackup(const char*, CAbstractStatus*) override { return 0; }
    int StartRestore(const char*, CAbstractStatus*) override { return 0; }
    int StartScan(const std::set<CString>*, DWORD, CAbstractStatus*, int) override { return 0; }
    int StartRepair(CAbstractScanItemsInfo*, CAbstractStatus*) override { return 0; }
    int StartUpdate(const char*, const char*, const char*, const char*, const char*, CAbstractStatus*) override
    {
        return 0;
    }
    int StartDefrag(int, CAbstractStatus*) override { return 0; }
    int GetStringMD5(CString*, CString*) override { return 0; }
    int GetStringMD5Copy(CString, CString*) override { return 0; }
    BOOL CheckFileInDatabase(CString, _SPYWARE_INFORMATION*) override { return FALSE; }
    void GetDatabaseVersion(CString*) override {}
    int StartReloadDatabase(CAbstractStatus*) override { return 0; }
    int RestoreBackupNow(CAbstractStatus*, CString) override { return 0; }

    bool m_bRunning = false;
    HANDLE m_hThread = nullptr;

private:
    std::vector<std::string>& m_log;
};

// A page as the program's pages use the helper: its timer and end message go to the job.
class CJobPage : public CWnd, public CAbstractPageJobOwner
{
public:
    CJobPage(UINT progressIntervalMs, int engineAnswer, std::vector<std::string>& log)
        : m_job(*this, *this, WM_TEST_JOB_END, progressIntervalMs), m_nEngineAnswer(engineAnswer), m_log(log)
    {
        CreateEx(0, nullptr, "", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0);
    }
    ~CJobPage() override { DestroyWindow(); }

    int StartEngineJob(CAbstractProcess*) override
    {
        m_log.push_back("start");
        return m_nEngineAnswer;
    }
    void OnEngineJobRefused() override { m_log.push_back("refused"); }
    void OnEngineJobTaken() override { m_log.push_back("taken"); }
    void DrawJobProgress() override { ++m_nTicks; }

    CPageJob m_job;
    int m_nTicks = 0;
    WPARAM m_ended = 0;
    HANDLE m_hLetThreadGo = nullptr;

protected:
    void OnTimer(UINT_PTR id) { m_job.OnTimer(id); }
    LRESULT OnJobEnd(WPARAM wParam, LPARAM)
    {
        m_ended = wParam;
        return 0;
    }
    LRESULT OnLetThreadGo(WPARAM, LPARAM)
    {
        ::SetEvent(m_hLetThreadGo);
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    const int m_nEngineAnswer;
    std::vector<std::string>& m_log;
};

BEGIN_MESSAGE_MAP(CJobPage, CWnd)
    ON_WM_TIMER()
    ON_MESSAGE(WM_TEST_JOB_END, OnJobEnd)
    ON_MESSAGE(WM_TEST_LET_THREAD_GO, OnLetThreadGo)
END_MESSAGE_MAP()

// Ends when the event is set, or by itself after a while, so that a wait that lets no message
// through fails the test instead of hanging it.
DWORD WINAPI JobThread(void* letGo)
{
    ::WaitForSingleObject(static_cast<HANDLE>(letGo), 10000);
    return 0;
}

bool TimerRuns(CWnd& page)
{
    // Killing the timer says whether it was there; the caller is done with it.
    return ::KillTimer(page.m_hWnd, 1) != FALSE;
}

TEST(PageJobTest, ATakenJobRunsWithItsTimerAndTheEndWaitsForItsThread)
{
    CMessageBoxRecorder boxes;
    std::vector<std::string> log;
    CFakeProcess process(log);
    CJobPage page(20, 1, log);
    ASSERT_TRUE(page.m_hWnd);

    ASSERT_TRUE(page.m_job.Start(&process, kBusy));
    // The page's own steps come before the job runs.
    EXPECT_EQ((std::vector<std::string>{ "start", "taken", "resume" }), log);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    EXPECT_TRUE(PumpMessagesUntil([&] { return page.m_nTicks >= 2; }, 10000)) << "the progress is drawn on a timer";

    // The job's thread posts the end to the page.
    page.m_job.PostEnd(7);
    EXPECT_TRUE(PumpMessagesUntil([&] { return page.m_ended == 7; }, 10000));

    // Finish returns once the thread has ended, letting the window's messages through meanwhile.
    page.m_hLetThreadGo = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    process.m_hThread = ::CreateThread(nullptr, 0, &JobThread, page.m_hLetThreadGo, 0, nullptr);
    ASSERT_TRUE(page.m_hLetThreadGo && process.m_hThread);
    ::PostMessageA(page.m_hWnd, WM_TEST_LET_THREAD_GO, 0, 0);
    page.m_job.Finish(&process);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(page.m_hLetThreadGo, 0)) << "the wait let no message through";
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.m_hThread, 0));
    EXPECT_FALSE(TimerRuns(page));
    ::CloseHandle(process.m_hThread);
    ::CloseHandle(page.m_hLetThreadGo);
}

TEST(PageJobTest, ABusyOrRefusingEngineStartsNothingAndSaysSo)
{
    CMessageBoxRecorder boxes;
    std::vector<std::string> log;
    CFakeProcess process(log);

    EXPECT_TRUE(CPageJob::IsEngineFree(&process, kBusy));
    EXPECT_TRUE(CPageJob::IsEngineFree(nullptr, kBusy));
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    process.m_bRunning = true;
    EXPECT_FALSE(CPageJob::IsEngineFree(&process, kBusy));
    EXPECT_EQ(std::vector<std::string>{ kBusy }, CMessageBoxRecorder::Texts());

    // Refused by the engine, or no engine at all: the page puts itself back and the user is told.
    for (CAbstractProcess* engine : { static_cast<CAbstractProcess*>(&process), static_cast<CAbstractProcess*>(nullptr) }) {
        CMessageBoxRecorder::ClearTexts();
        log.clear();
        CJobPage page(20, 0, log);
        EXPECT_FALSE(page.m_job.Start(engine, kBusy));
        const std::vector<std::string> expected =
            engine ? std::vector<std::string>{ "start", "refused" } : std::vector<std::string>{ "refused" };
        EXPECT_EQ(expected, log);
        EXPECT_EQ(std::vector<std::string>{ kBusy }, CMessageBoxRecorder::Texts());
        EXPECT_FALSE(TimerRuns(page));
    }

    // A page that draws no progress on a timer has none.
    log.clear();
    process.m_bRunning = false;
    CJobPage quiet(0, 1, log);
    EXPECT_TRUE(quiet.m_job.Start(&process, kBusy));
    EXPECT_FALSE(TimerRuns(quiet));
}

TEST(SteppedProgressTest, TheBarStepsWrapsAndEndsFull)
{
    const struct
    {
        const char* name;
        std::vector<int> phases;
        int start;
        int step;
        int position;
    } cases[] = {
        { "nothing yet", {}, 5, 19, 0 },
        { "begun", { PROGRESS_BEGIN }, 5, 19, 5 },
        { "stepped", { PROGRESS_BEGIN, PROGRESS_STEP, PROGRESS_STEP }, 5, 19, 43 },
        { "to its end exactly", { PROGRESS_BEGIN, PROGRESS_STEP, PROGRESS_STEP, PROGRESS_STEP, PROGRESS_STEP,
                                  PROGRESS_STEP }, 5, 19, 100 },
        { "past its end", { PROGRESS_BEGIN, PROGRESS_STEP, PROGRESS_STEP, PROGRESS_STEP, PROGRESS_STEP, PROGRESS_STEP,
                            PROGRESS_STEP }, 5, 19, 19 },
        { "stepped before it began", { PROGRESS_STEP, PROGRESS_STEP }, 0, 1, 6 },
        { "ended", { PROGRESS_BEGIN, PROGRESS_STEP, PROGRESS_END }, 0, 1, 100 },
        { "other phases", { PROGRESS_BEGIN, PROGRESS_APPLY_BEGIN, PROGRESS_UPDATE_DONE }, 0, 1, 0 },
    };
    for (const auto& c : cases) {
        CSteppedProgress progress(3);
        for (int phase : c.phases)
            progress.OnPhase(phase, c.start, c.step);
        EXPECT_EQ(c.position, progress.GetPosition()) << c.name;
        progress.Reset();
        EXPECT_EQ(0, progress.GetPosition()) << c.name;
    }
}

} // namespace
