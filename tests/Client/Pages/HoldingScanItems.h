// The found-item container of the page tests, with a hold: while armed, every finding that the
// scan's job thread files waits inside the container until the test lets it go. So a test acts
// while the job surely runs, at a known point, however busy the machine is.
#pragma once

#include <atomic>

#include "ScanItemsInfo.h"

class CHoldingScanItems : public CScanItemsInfo
{
public:
    explicit CHoldingScanItems(const char* programFolder)
        : CScanItemsInfo(programFolder), m_arrived(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
          m_go(::CreateEventA(nullptr, FALSE, FALSE, nullptr))
    {
    }
    ~CHoldingScanItems() override
    {
        ::CloseHandle(m_arrived);
        ::CloseHandle(m_go);
    }

    // Job thread: waits first while armed (for at most a minute, so that a test that forgets
    // its hold cannot keep the job for good).
    int AddFinding(const CString& item, int category, DWORD* rowsBefore, std::string* identity) override
    {
        if (m_armed) {
            ++m_arrivals;
            ::SetEvent(m_arrived);
            ::WaitForSingleObject(m_go, kLongestHoldMs);
        }
        const int added = CScanItemsInfo::AddFinding(item, category, rowsBefore, identity);
        ++m_filed;
        return added;
    }

    // The next findings wait; the counts start again.
    void Arm()
    {
        ::ResetEvent(m_go);
        ::ResetEvent(m_arrived);
        m_arrivals = 0;
        m_filed = 0;
        m_armed = true;
    }
    // No finding waits from now on; one that waits goes on.
    void Disarm()
    {
        m_armed = false;
        ::SetEvent(m_go);
    }
    // Waits until a finding waits; false on time-out.
    bool WaitHeld(DWORD timeoutMs = 30000) { return ::WaitForSingleObject(m_arrived, timeoutMs) == WAIT_OBJECT_0; }
    // Lets the waiting finding go; the hold stays armed for the next.
    void ReleaseOne() { ::SetEvent(m_go); }
    // Findings that came to the hold, and findings filed, since the last Arm.
    int Arrivals() const { return m_arrivals; }
    int Filed() const { return m_filed; }

private:
    static const DWORD kLongestHoldMs = 60000;

    std::atomic<bool> m_armed{false};
    std::atomic<int> m_arrivals{0};
    std::atomic<int> m_filed{0};
    HANDLE m_arrived;  // auto-reset: one signal per arrival
    HANDLE m_go;       // auto-reset: one waiting finding goes
};
