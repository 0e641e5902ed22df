// A process object whose scanners a test calls directly on its own thread, with a recording
// status and the running flag set, as the scan job would have them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "RecordingStatus.h"
#include "Wow64.h"

class CScannerHarness : public CVexaEngineProcess
{
public:
    CScannerHarness() : CVexaEngineProcess(false)
    {
        m_status = &status;
        m_running = 1;
        PrepareScan();
    }
    ~CScannerHarness() override { m_status = nullptr; }

    using CVexaEngineProcess::CheckFileAssociation;
    using CVexaEngineProcess::CheckRunValues;
    using CVexaEngineProcess::IsShortcutValid;
    using CVexaEngineProcess::ScanActiveX;
    using CVexaEngineProcess::ScanAppPaths;
    using CVexaEngineProcess::ScanFileAssociations;
    using CVexaEngineProcess::ScanFileReferences;
    using CVexaEngineProcess::ScanFolder;
    using CVexaEngineProcess::ScanFonts;
    using CVexaEngineProcess::ScanHelpFiles;
    using CVexaEngineProcess::ScanRecycleBin;
    using CVexaEngineProcess::ScanServices;
    using CVexaEngineProcess::ScanSharedDlls;
    using CVexaEngineProcess::ScanStartupItems;
    using CVexaEngineProcess::ScanTypeLibraries;
    using CVexaEngineProcess::ScanUninstallEntries;

    // What the scan job does before its first category: the WOW64 state and fresh path caches.
    void PrepareScan()
    {
        m_wow64 = CWow64::IsWow64();
        m_pathVariables.Reset();
        m_fileReferences.Reset();
        m_scheduledScanFolders.clear();
    }

    void SetRunning(bool running) { m_running = running ? 1 : 0; }
    // Takes a drive for one of another type (such as removable) until the next PrepareScan.
    void AssumeDriveType(char drive, UINT driveType) { m_fileReferences.SetDriveType(drive, driveType); }
    void SetActivityCounter(int counter) { m_activityCounter = counter; }
    void SetScanMode(int mode) { m_scanMode = mode; }
    static CString SizeText(double kilobytes) { return FormatSizeText(kilobytes); }
    double JunkKilobytes() const { return m_junkKilobytes; }
    double RecycleBinKilobytes() const { return m_recycleBinKilobytes; }
    const std::set<CString>& AddedScanFolders() const { return m_scheduledScanFolders; }
    const std::vector<_REGISTRY_KEY_ENTRY>& RunKeys() const { return m_runKeys; }

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

// Forces the WOW64 state for the life of the object.
class CForcedWow64
{
public:
    explicit CForcedWow64(bool on) { CWow64::ForceState(on ? CWow64::ForceOn : CWow64::ForceOff); }
    ~CForcedWow64() { CWow64::ForceState(CWow64::NotForced); }
};

// The item text of a registry value finding.
inline std::string ValueItem(const std::string& key, const std::string& name)
{
    return key + '\xAC' + name;
}
