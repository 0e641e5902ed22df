#include <gtest/gtest.h>

#include <atomic>

#include "SmartThread.h"

namespace {

class CCountingThread : public CSmartThread
{
public:
    ~CCountingThread() override { WaitForThreadExit(INFINITE); }
    BOOL OnStart() override { return startAllowed; }
    DWORD Run() override
    {
        ++runs;
        return 42;
    }
    HANDLE CreateEventHandle() override
    {
        return failEvents ? nullptr : CSmartThread::CreateEventHandle();
    }
    void WaitUntilIdle()
    {
        while (GetHandle())
            ::Sleep(1);
        WaitForThreadExit(INFINITE);
    }
    using CSmartThread::m_eventCount;

    std::atomic<int> runs{0};
    BOOL startAllowed = TRUE;
    bool failEvents = false;
};

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

} // namespace

TEST(CSmartThread, OneThreadAtATimeAndFinishedHandlesAreRecycled)
{
    CCountingThread thread;
    EXPECT_FALSE(thread.SetPriority(THREAD_PRIORITY_LOWEST));  // no thread yet: only stored
    EXPECT_EQ(thread.GetPriority(), THREAD_PRIORITY_LOWEST);

    ASSERT_EQ(thread.Start(), 1);
    HANDLE first = thread.GetHandle();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(thread.Start(), -1);  // a thread exists: nothing is created
    EXPECT_EQ(thread.GetHandle(), first);
    EXPECT_EQ(::GetThreadPriority(first), THREAD_PRIORITY_NORMAL);
    ASSERT_TRUE(thread.Resume());
    thread.WaitUntilIdle();
    EXPECT_EQ(thread.runs, 1);
    EXPECT_EQ(thread.GetHandle(), nullptr);
    EXPECT_EQ(thread.GetFinishedHandle(), first);
    DWORD exitCode = 0;
    ASSERT_TRUE(::GetExitCodeThread(first, &exitCode));
    EXPECT_EQ(exitCode, 42u);

    ASSERT_EQ(thread.Start(), 1);
    ASSERT_TRUE(thread.Resume());
    thread.WaitUntilIdle();
    EXPECT_EQ(thread.runs, 2);
    EXPECT_NE(thread.GetFinishedHandle(), first);
    EXPECT_FALSE(IsOpenHandle(first));  // the second finished thread closed the first handle
}

TEST(CSmartThread, EventList)
{
    CCountingThread thread;
    thread.m_eventCount = 3;
    ASSERT_TRUE(thread.CreateEvents());
    ASSERT_TRUE(thread.CreateEvents());
    EXPECT_EQ(thread.GetEventCount(), 3);
    EXPECT_EQ(thread.WaitEvents({3}, FALSE, 0), -1);
    EXPECT_EQ(thread.WaitEvents({}, FALSE, 0), -1);
    EXPECT_EQ(thread.WaitEvents({0, 2}, FALSE, 0), -1);  // time-out
    ASSERT_TRUE(thread.SetEvent());
    EXPECT_EQ(thread.WaitEvents({2, 0}, FALSE, 0), 1);
    EXPECT_FALSE(thread.ResetEvent(3));
    EXPECT_TRUE(thread.ResetEvent(2));
}

TEST(CSmartThread, FailedEventCreationLeavesNoSuspendedThread)
{
    CCountingThread thread;
    thread.failEvents = true;
    EXPECT_EQ(thread.Start(), 0);
    EXPECT_EQ(thread.GetHandle(), nullptr);
    EXPECT_EQ(thread.runs, 0);
    HANDLE abandoned = thread.GetFinishedHandle();
    ASSERT_NE(abandoned, nullptr);
    EXPECT_EQ(::WaitForSingleObject(abandoned, 0), WAIT_OBJECT_0);  // it has ended

    thread.failEvents = false;
    ASSERT_EQ(thread.Start(), 1);  // and a later start works
    thread.Resume();
    thread.WaitUntilIdle();
    EXPECT_EQ(thread.runs, 1);
}

TEST(CSmartThread, RefusedOnStartLeavesNoStaleHandle)
{
    CCountingThread thread;
    thread.startAllowed = FALSE;
    ASSERT_EQ(thread.Start(), 1);
    thread.Resume();
    thread.WaitUntilIdle();
    EXPECT_EQ(thread.runs, 0);
    EXPECT_EQ(thread.GetHandle(), nullptr);
    thread.startAllowed = TRUE;
    EXPECT_EQ(thread.Start(), 1);
    thread.Resume();
    thread.WaitUntilIdle();
    EXPECT_EQ(thread.runs, 1);
}
