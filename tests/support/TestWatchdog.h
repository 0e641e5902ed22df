// Ends a test program that stops moving, and says where: a thread of its own watches how long
// the current test (or the program's start or end) has run, and past the limit prints that
// test's name and where each thread of the process stands, then ends the process. So a hang
// names itself long before CTest's own limit, and the next program gets its turn.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

class CTestWatchdog : public testing::EmptyTestEventListener
{
public:
    // The limit for one test, in seconds: KELVARA_TEST_TIMEOUT when set to a number above 0,
    // else `defaultSeconds`.
    explicit CTestWatchdog(DWORD defaultSeconds);
    ~CTestWatchdog() override;
    CTestWatchdog(const CTestWatchdog&) = delete;
    CTestWatchdog& operator=(const CTestWatchdog&) = delete;

    // What the program is doing now; the limit counts from here.
    void Enter(const std::string& phase);
    DWORD LimitSeconds() const { return m_limitMs / 1000; }

    void OnTestStart(const testing::TestInfo& test) override;
    void OnTestEnd(const testing::TestInfo& test) override;
    void OnEnvironmentsSetUpStart(const testing::UnitTest&) override { Enter("(global set-up)"); }
    void OnEnvironmentsTearDownStart(const testing::UnitTest&) override { Enter("(global tear-down)"); }

private:
    static DWORD WINAPI Watch(LPVOID self);
    // Prints the phase and every thread's place, then ends the process.
    void Expire(const std::string& phase, DWORD elapsedMs);

    DWORD m_limitMs;
    CRITICAL_SECTION m_lock;
    std::string m_phase;
    DWORD m_since;
    DWORD m_mainThreadId;
    HANDLE m_stop;
    HANDLE m_thread;
};
