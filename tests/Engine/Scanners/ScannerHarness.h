// A process object whose scanners a test calls directly on its own thread, with a recording
// status and the running flag set, as the scan job would have them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "RecordingStatus.h"

class CScannerHarness : public CVexaEngineProcess
{
public:
    CScannerHarness() : CVexaEngineProcess(false)
    {
        m_status = &status;
        m_running = 1;
    }
    ~CScannerHarness() override { m_status = nullptr; }

    using CVexaEngineProcess::IsShortcutValid;
    using CVexaEngineProcess::ScanFolder;
    using CVexaEngineProcess::ScanRecycleBin;

    void SetRunning(bool running) { m_running = running ? 1 : 0; }
    void SetActivityCounter(int counter) { m_activityCounter = counter; }
    void SetScanMode(int mode) { m_scanMode = mode; }
    void SetWow64(BOOL wow64) { m_wow64 = wow64; }
    double JunkKilobytes() const { return m_junkKilobytes; }
    double RecycleBinKilobytes() const { return m_recycleBinKilobytes; }
    const std::set<CString>& ScanFolders() const { return m_scanFolders; }

    // Findings (value 0) of the given category, in report order.
    std::vector<std::string> Findings(int category) const
    {
        std::vector<std::string> found;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Item))
            if (event.number == category && event.value == 0)
                found.push_back(event.text);
        return found;
    }
    std::vector<std::string> SortedFindings(int category) const
    {
        std::vector<std::string> found = Findings(category);
        std::sort(found.begin(), found.end());
        return found;
    }

    CRecordingStatus status;
};
