// A process object whose scan members a test can call directly on its own thread, with a
// recording status attached as during a scan.
#pragma once

#include <string>
#include <vector>

#include "EngineProcess.h"
#include "RecordingStatus.h"

class CScanTestProcess : public CVexaEngineProcess
{
public:
    CScanTestProcess() : CVexaEngineProcess(false) {}
    ~CScanTestProcess() override { m_status = nullptr; }

    // Makes the members behave as on the job thread of a scan reporting to status.
    void BeginDirectScan(CAbstractStatus* status, int scanMode = SCAN_MODE_NORMAL);
    void StopDirectScan() { m_running = 0; }

    using CVexaEngineProcess::AddScanFolder;
    using CVexaEngineProcess::CanWriteRegistryKey;
    using CVexaEngineProcess::CheckValueReferences;
    using CVexaEngineProcess::ExpandPathVariables;
    using CVexaEngineProcess::ExtractFilePath;
    using CVexaEngineProcess::FileExists;
    using CVexaEngineProcess::FileExistsRedirected;
    using CVexaEngineProcess::FormatSizeText;
    using CVexaEngineProcess::FormatValueText;
    using CVexaEngineProcess::JudgeFileReference;
    using CVexaEngineProcess::ReportScanActivity;
    using CVexaEngineProcess::ResolveShellPath;
    using CVexaEngineProcess::ScanEmptyKeys;
    using CVexaEngineProcess::ScanFileReferences;
    using CVexaEngineProcess::ScanSoundEvents;
    using CVexaEngineProcess::ScheduledScanFolders;
    using CVexaEngineProcess::WalkRegistry;
    using CVexaEngineProcess::WALK_CLASS_REFERENCES;
    using CVexaEngineProcess::WALK_EMPTY_KEYS;
    using CVexaEngineProcess::WALK_FILE_REFERENCES;

    std::set<CString>& RegisteredClasses() { return m_registeredClasses; }
    unsigned SkippedTooDeep() const { return m_walkSkippedTooDeep; }
};

// The item texts of a status's findings, in order.
std::vector<std::string> FindingsOf(const CRecordingStatus& status, int category);
// A value item: key text, the separator byte and the value name.
std::string ValueItem(const std::string& key, const std::string& name);
