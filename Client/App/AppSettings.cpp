#include "AppSettings.h"

#include "ContextMenu.h"
#include "SettingsKey.h"

namespace {

// Reads one numeric option: on only when stored as exactly 1; a missing or unreadable value is
// written as 0 and the field keeps its default. TRUE when the value was read.
BOOL LoadOption(CSettingsKey& key, const char* name, DWORD& field)
{
    DWORD stored = 0;
    if (!key.ReadDword(name, stored)) {
        key.WriteDword(name, 0);
        return FALSE;
    }
    if (stored == 1)
        field = 1;
    return TRUE;
}

} // namespace

void AppSettings::Load(const CString& programPath)
{
    CSettingsKey key;
    if (!key.Open())
        return;
    LoadOption(key, "LogScanSummary", m_bLogScanSummary);

    DWORD firstRun = 0;
    if (key.ReadDword("FirstRun", firstRun)) {
        m_bFirstRun = 0;
        if (firstRun != 0)
            key.WriteDword("FirstRun", 0);
    } else {
        key.WriteDword("FirstRun", 0);
    }

    LoadOption(key, "RestorePoint", m_bRestorePoint);
    LoadOption(key, "AutoRepair", m_bAutoRepair);
    LoadOption(key, "SoftwareUpdate", m_bSoftwareUpdate);

    DWORD contextMenu = 0;
    if (key.ReadDword("ContextMenu", contextMenu)) {
        if (contextMenu == 1) {
            m_bContextMenu = 1;
            RegisterContextMenu(programPath);
        } else {
            UnregisterContextMenu();
        }
    } else {
        key.WriteDword("ContextMenu", 0);
    }

    CString lastScan;
    if (key.ReadString("LastScan", lastScan)) {
        lastScan.Trim();
        m_strLastScan = lastScan.IsEmpty() ? CString("Never") : lastScan;
    } else if (key.WriteString("LastScan", "Never")) {
        m_strLastScan = "Never";
    }

    LoadOption(key, "AutoShutdown", m_bAutoShutdown);
}

void AppSettings::Save(const CString& programPath)
{
    CSettingsKey key;
    if (!key.Open())
        return;
    key.WriteDword("LogScanSummary", m_bLogScanSummary);
    key.WriteDword("FirstRun", 0);
    key.WriteDword("RestorePoint", m_bRestorePoint);
    key.WriteDword("AutoRepair", m_bAutoRepair);
    key.WriteDword("SoftwareUpdate", m_bSoftwareUpdate);
    if (key.WriteDword("ContextMenu", m_bContextMenu)) {
        if (m_bContextMenu == 1)
            RegisterContextMenu(programPath);
        else
            UnregisterContextMenu();
    }
    key.WriteDword("AutoShutdown", m_bAutoShutdown);
}

BOOL AppSettings::SaveLastScan(const CString& text)
{
    CString trimmed = text;
    trimmed.Trim();
    if (trimmed.IsEmpty())
        return FALSE;
    CSettingsKey key;
    if (!key.Open() || !key.WriteString("LastScan", trimmed))
        return FALSE;
    m_strLastScan = trimmed;
    return TRUE;
}
