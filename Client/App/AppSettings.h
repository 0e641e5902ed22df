// AppSettings: the program's options as the settings key holds them, with their loading (missing
// values are written with their defaults), saving and the date of the last scan. A numeric option
// counts as on only when its stored value is exactly 1.
#pragma once

#include "Afx.h"

struct AppSettings
{
    CString m_strLastScan;         // "LastScan": date text of the last scan, "Never" before it
    DWORD m_bFirstRun = 1;         // "FirstRun": 1 only during the start that created the value
    DWORD m_bSoftwareUpdate = 0;   // "SoftwareUpdate": check for a program update at start-up
    DWORD m_bRestorePoint = 0;     // "RestorePoint": System Restore point before a repair
    DWORD m_bAutoRepair = 0;       // "AutoRepair": repair at once when a scan ends
    DWORD m_bLogScanSummary = 0;   // "LogScanSummary": scan log before a repair
    DWORD m_bContextMenu = 0;      // "ContextMenu": the Explorer verb is registered
    DWORD m_bAutoShutdown = 0;     // "AutoShutdown": close the program after a repair

    // Reads every option; `programPath` is what the Explorer verb runs when the option is on.
    void Load(const CString& programPath);
    // Writes every option (FirstRun as 0) and makes the Explorer verb follow its option.
    void Save(const CString& programPath);
    // Stores the trimmed text as "LastScan"; TRUE (and the field changed) only when written.
    BOOL SaveLastScan(const CString& text);
};
