// CScheduledJobsReader with reads of the test's own (the real read is covered by the pages'
// start): the result reaches the window's thread once, after the notice, from a thread with COM
// of its own; a reader that goes before its read ends leaves the read nothing to touch.
#include <gtest/gtest.h>

#include <objbase.h>

#include <memory>

#include "ScheduledJobsReader.h"

namespace {

const UINT kReadMessage = WM_APP + 7;

class ScheduledJobsReaderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_window);
        m_release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(nullptr, m_release);
    }
    void TearDown() override
    {
        ::SetEvent(m_release);
        ::DestroyWindow(m_window);
        ::CloseHandle(m_release);
    }
    // Waits (at most a minute) for `done`, taking the window's notices from the queue meanwhile.
    template <class F>
    bool WaitFor(F done)
    {
        const DWORD start = ::GetTickCount();
        while (!done()) {
            if (::GetTickCount() - start > 60000)
                return false;
            MSG msg;
            if (::PeekMessageA(&msg, m_window, kReadMessage, kReadMessage, PM_REMOVE))
                ++m_notices;
            else
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLPOSTMESSAGE);
        }
        return true;
    }

    HWND m_window = nullptr;
    HANDLE m_release = nullptr;
    int m_notices = 0;
};

} // namespace

TEST_F(ScheduledJobsReaderTest, TheResultIsTakenOnceAfterTheNoticeFromAThreadWithComOfItsOwn)
{
    CScheduledJobsReader reader;
    DWORD readThread = 0;
    HRESULT comOnReadThread = E_FAIL;
    ASSERT_TRUE(reader.Start(
        [&] {
            readThread = ::GetCurrentThreadId();
            // S_FALSE: COM was initialised on this thread already.
            comOnReadThread = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(comOnReadThread))
                ::CoUninitialize();
            SCHEDULED_JOBS jobs;
            jobs.logonIsOurs = TRUE;
            jobs.scan.found = TRUE;
            jobs.scan.text = "At 03:00 every Sunday";
            jobs.scan.loadedType = 2;
            return jobs;
        },
        m_window, kReadMessage));
    EXPECT_TRUE(reader.IsPending());
    ASSERT_TRUE(WaitFor([&] { return m_notices > 0; }));
    SCHEDULED_JOBS jobs;
    ASSERT_TRUE(reader.TakeResult(&jobs));
    EXPECT_FALSE(reader.IsPending());
    EXPECT_NE(::GetCurrentThreadId(), readThread);
    EXPECT_EQ(S_FALSE, comOnReadThread);
    EXPECT_TRUE(jobs.logonIsOurs);
    EXPECT_TRUE(jobs.scan.found);
    EXPECT_EQ(CString("At 03:00 every Sunday"), jobs.scan.text);
    EXPECT_EQ(2, jobs.scan.loadedType);
    EXPECT_FALSE(reader.TakeResult(&jobs));
    EXPECT_TRUE(reader.Finish(60000));
    EXPECT_EQ(1, m_notices);
}

TEST_F(ScheduledJobsReaderTest, AReaderThatGoesBeforeItsReadEndsLeavesTheReadNothingToTouch)
{
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> readStillHeld = token;
    {
        CScheduledJobsReader reader;
        HANDLE release = m_release;
        ASSERT_TRUE(reader.Start(
            [release, token] {
                ::WaitForSingleObject(release, 60000);
                return SCHEDULED_JOBS();
            },
            m_window, kReadMessage));
        token.reset();
        // The read is held: the bounded wait gives up, and the reader goes.
        EXPECT_FALSE(reader.Finish(50));
        SCHEDULED_JOBS jobs;
        EXPECT_FALSE(reader.TakeResult(&jobs));
    }
    ::SetEvent(m_release);
    // The read ends on its own and its state goes with its thread; no notice was posted.
    ASSERT_TRUE(WaitFor([&] { return readStillHeld.expired(); }));
    MSG msg;
    EXPECT_FALSE(::PeekMessageA(&msg, m_window, kReadMessage, kReadMessage, PM_REMOVE));
    EXPECT_EQ(0, m_notices);
}
