#include "RecordingStatus.h"

CRecordingStatus::CRecordingStatus() : m_finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CRecordingStatus::~CRecordingStatus()
{
    ::CloseHandle(m_finished);
}

void CRecordingStatus::Add(StatusEvent event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(std::move(event));
}

void CRecordingStatus::SetActivity(const char* text, const char* area)
{
    Add({StatusEvent::Activity, text ? text : "(null)", area ? area : "(null)"});
    if (onActivity)
        onActivity(text, area);
}

void CRecordingStatus::SetProgress(int phase)
{
    Add({StatusEvent::Progress, "", "", phase});
    if (onProgress)
        onProgress(phase);
}

void CRecordingStatus::ReportItem(const char* item, int category, int value, INT_PTR extra)
{
    Add({StatusEvent::Item, item ? item : "(null)", "", category, value, extra});
    if (onItem)
        onItem(item, category);
}

int CRecordingStatus::OperationFinished(int result)
{
    Add({StatusEvent::Finished, "", "", result});
    if (onFinished)
        onFinished(result);
    ::SetEvent(m_finished);
    return 0;
}

int CRecordingStatus::ReportResult(int code)
{
    Add({StatusEvent::Result, "", "", code});
    return 0;
}

bool CRecordingStatus::WaitFinished(DWORD timeout)
{
    return ::WaitForSingleObject(m_finished, timeout) == WAIT_OBJECT_0;
}

std::vector<StatusEvent> CRecordingStatus::Events() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<StatusEvent> CRecordingStatus::EventsOf(StatusEvent::Kind kind) const
{
    std::vector<StatusEvent> selected;
    for (const StatusEvent& event : Events())
        if (event.kind == kind)
            selected.push_back(event);
    return selected;
}

std::vector<std::string> CRecordingStatus::Items() const
{
    std::vector<std::string> items;
    for (const StatusEvent& event : EventsOf(StatusEvent::Item))
        items.push_back(event.text);
    return items;
}

int CRecordingStatus::CountProgress(int phase) const
{
    int count = 0;
    for (const StatusEvent& event : EventsOf(StatusEvent::Progress))
        count += event.number == phase;
    return count;
}

int CRecordingStatus::FinishedResult() const
{
    const auto finished = EventsOf(StatusEvent::Finished);
    return finished.empty() ? -999 : finished.front().number;
}

std::vector<int> CRecordingStatus::Results() const
{
    std::vector<int> results;
    for (const StatusEvent& event : EventsOf(StatusEvent::Result))
        results.push_back(event.number);
    return results;
}
