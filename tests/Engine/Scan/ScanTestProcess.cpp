#include "ScanTestProcess.h"

#include "Wow64.h"

void CScanTestProcess::BeginDirectScan(CAbstractStatus* status, int scanMode)
{
    m_status = status;
    m_scanMode = scanMode;
    m_running = 1;
    m_activityCounter = 3001;
    m_wow64 = CWow64::IsWow64();
    m_pathVariables.Reset();
    m_fileReferences.Reset();
}

std::vector<std::string> FindingsOf(const CRecordingStatus& status, int category)
{
    std::vector<std::string> items;
    for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
        if (event.number == category && event.value == 0)
            items.push_back(event.text);
    return items;
}

std::string ValueItem(const std::string& key, const std::string& name)
{
    return key + ITEM_VALUE_SEPARATOR + name;
}
