// A CAbstractStatus that records every call of a job, in order, for assertions; optional hooks
// let a test act from inside a callback (stop the job, start another).
#pragma once

#include <windows.h>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "VexaEngine.h"

struct StatusEvent {
    enum Kind { Activity, Progress, Item, Finished, Result } kind;
    std::string text;   // activity text or item text
    std::string area;   // activity area
    int number = 0;     // phase, category, finished result or result code
    int value = 0;      // item value
    INT_PTR extra = 0;  // item extra
};

class CRecordingStatus : public CAbstractStatus
{
public:
    CRecordingStatus();
    ~CRecordingStatus() override;

    void SetActivity(const char* text, const char* area) override;
    void SetProgress(int phase) override;
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override;
    int OperationFinished(int result) override;
    int ReportResult(int code) override;

    // Waits for the first OperationFinished; false on time-out.
    bool WaitFinished(DWORD timeout = 30000);

    std::vector<StatusEvent> Events() const;
    std::vector<StatusEvent> EventsOf(StatusEvent::Kind kind) const;
    std::vector<std::string> Items() const;
    int CountProgress(int phase) const;
    int FinishedResult() const;  // -999 when never called
    std::vector<int> Results() const;

    std::function<void(const char* text, const char* area)> onActivity;
    std::function<void(int phase)> onProgress;
    std::function<void(const char* item, int category)> onItem;
    std::function<void(int result)> onFinished;

private:
    void Add(StatusEvent event);
    mutable std::mutex m_mutex;
    std::vector<StatusEvent> m_events;
    HANDLE m_finished;
};
