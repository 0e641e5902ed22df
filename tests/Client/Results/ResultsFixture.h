// The results page in the main window over the real engine: findings put straight into the
// container (or found by a scan), the tree driven by clicks and keys, repairs run to their end,
// the engine's backup folder beside this program looked at and broken, and System Restore
// replaced by a recorder that answers as told.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "PagesFixture.h"
#include "RegistrySnapshot.h"
#include "RestorePoint.h"

// One call of the System Restore function.
struct RESTORE_POINT_CALL
{
    DWORD eventType;
    DWORD restorePointType;
    INT64 sequenceNumber;
    std::string description;
};

// Everything below a key, with names, types and exact bytes.
RegistrySnapshot SnapshotOf(HKEY root, const wchar_t* key);

// The main window, watched: whether the repair's job thread had ended when it was asked to close.
class CWatchedMainWindow : public CQuillonDlg
{
public:
    void OnOK() override;

    int m_closeRequests = 0;
    bool m_jobThreadEndedAtClose = false;
};

class ResultsTest : public PagesTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    CQuillonDlg* MakeMainWindow() override { return new CWatchedMainWindow; }
    CWatchedMainWindow& Main() { return *static_cast<CWatchedMainWindow*>(m_main); }

    CScanResultDlg& Results() { return TestApp().m_resultsPage; }
    CCheckedTreeCtrl& Tree() { return TestApp().m_resultsPage.m_tree; }

    // The container holds exactly these findings; the results page shows them as after a scan
    // of their categories.
    void ShowResults(const std::vector<std::pair<DWORD, std::string>>& findings);
    // Clicks Fix Errors and runs the messages until the repair's end has been handled. False
    // on time-out.
    bool RepairAndWait();

    HTREEITEM CategoryRow(const char* name);
    HTREEITEM EntryRow(const std::string& text);
    // A click on the row's tick, as the mouse gives it.
    void ClickTick(HTREEITEM row);
    // The space key on the row, after selecting it.
    void PressSpace(HTREEITEM row);
    // A click on the row's text.
    void ClickText(HTREEITEM row);

    std::string BackupFolder() const;
    std::vector<std::string> PartialBackups() const;
    // A file where the backup folder belongs: no backup can be written.
    void BlockBackupFolder();
    void ClearBackupFolder();

    // System Restore answers Begin with `begun` and this sequence number.
    static void AnswerRestorePoints(BOOL begun, INT64 sequenceNumber);
    static std::vector<RESTORE_POINT_CALL> s_restorePointCalls;

private:
    static BOOL WINAPI RecordRestorePoint(PRESTOREPOINTINFOA request, PSTATEMGRSTATUS status);
    static BOOL s_begun;
    static INT64 s_sequenceNumber;
};
