// CQuillonDlg: the program's one main window. A skinned, shaped dialog with the navigation
// buttons, the page caption and wizard step labels, and one visible page at a time. It owns the
// tool pages (the wizard's pages belong to the application object), starts the scans that the
// command line or a second instance ask for, and guards its closing while an engine job runs.
#pragma once

#include "AdvanceOptions.h"
#include "AdvanceSettingsDlg.h"
#include "Defrag.h"
#include "Label.h"
#include "MonitorDlg.h"
#include "ScheduledJobsReader.h"
#include "SettingDlg.h"
#include "SliceScheduler.h"
#include "StatusDlg.h"
#include "VexaEngine.h"
#include "xSkinButton.h"

// The pages that ShowPage knows.
enum MAIN_PAGE {
    PAGE_STATISTICS = 1,
    PAGE_WIZARD = 2,
    PAGE_STARTUP = 3,
    PAGE_SETTINGS = 4,
    PAGE_IGNORE_LIST = 5,
    PAGE_BACKUP = 6,
    PAGE_DEFRAG = 12,
};

class CQuillonDlg : public CBitmapDialog, public CAbstractStatus
{
public:
    CQuillonDlg();
    ~CQuillonDlg() override;

    BOOL OnInitDialog() override;
    // The close guard: refuses while an engine job runs. Every way of closing comes here.
    void OnOK() override;
    // The close guard; TRUE when the window ends.
    BOOL TryClose();
    void OnCancel() override;

    // Shows the page and reads afresh what it shows.
    void ShowPage(int page);
    // Shows the page as it is, for a caller that has just brought it up to date; false for the
    // wizard or a page ShowPage does not know. Both put the keyboard focus on the page's first
    // control (its default button where it has one) while the program is in front.
    bool ShowPageWindow(int page, bool moveFocus = true);
    // The page on show (a tool page or the wizard's current step); null before any is.
    CSkinPage* GetShownPage() const;
    void EnableNavButtons();
    void StartScanRequest(int scanMode, const CString& path);
    // Writes the page caption and the step label; a null text leaves that label as it is.
    void SetCaptions(const char* caption, const char* step);
    CString GetCaption() const;
    CString GetStepText() const;
    // Whether the start's read of the Task Scheduler's jobs is going on (its result not yet shown).
    bool AreScheduledJobsPending() const { return m_jobsReader.IsPending(); }
    // Whether every step of the start has run and the jobs it read are shown.
    bool IsStartDone() const;

    // CAbstractStatus: the main window never hands itself to the engine.
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char*, int, int, INT_PTR) override {}
    int OperationFinished(int) override { return 1; }
    int ReportResult(int) override { return 0; }

    CStatusDlg m_statisticsPage;
    CMonitorDlg m_startupPage;
    CAdvanceOptions m_backupPage;
    CDefrag m_defragPage;
    CSettingDlg m_settingsPage;
    CAdvanceSettingsDlg m_ignoreListPage;

protected:
    LRESULT OnScanPathRequest(WPARAM, LPARAM);
    LRESULT OnScheduledScanRequest(WPARAM wParam, LPARAM);
    LRESULT OnAutoUpdateCheck(WPARAM, LPARAM);
    LRESULT OnActivate(WPARAM state, LPARAM);
    // The rest of the start, once the window is on the screen: one step per message.
    LRESULT OnDeferredStart(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);
    // The start's read of the Task Scheduler's jobs has ended: the settings page shows them.
    LRESULT OnScheduledJobsRead(WPARAM, LPARAM);
    void OnNavStatistics() { ShowPage(PAGE_STATISTICS); }
    void OnNavScan() { ShowPage(PAGE_WIZARD); }
    void OnNavStartup() { ShowPage(PAGE_STARTUP); }
    void OnNavBackup() { ShowPage(PAGE_BACKUP); }
    void OnNavDefrag() { ShowPage(PAGE_DEFRAG); }
    void OnSettingsButton() { ShowPage(PAGE_SETTINGS); }
    void OnMinimize();
    void OnCloseButton() { OnOK(); }
    void OnUpdateButton();
    void OnHelpButton();
    void OnWebButton();
    void OnTrayRestore();
    void OnTrayMinimize();
    void OnTrayExit() { OnOK(); }
    void OnPaint();
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(m_hIcon); }
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    // The pages other than the scan wizard's, and the tray icon: once, after the first paint
    // (one of them per step) or all at once when something needs them sooner.
    void CreateToolPages();
    // Makes the next of them; false when all are made.
    bool CreateNextToolPart();
    // One step of the rest of the start; false when none is left.
    bool RunStartStep();
    // Reads the jobs on a thread of their own: the scheduler's service may have to start first.
    void StartJobsRead();
    void CentreOnWorkArea();
    // Puts the focus on the shown page's first control, or on the first control of the window
    // when the page has none (the statistics).
    void FocusShownPage();
    // Whether the focus is on a control the user can see and use.
    bool IsFocusUsable() const;
    void SetHeaderFonts();
    // Runs the program-update dialog; an installer it downloaded runs when the program has
    // ended through the close guard, and not at all when the guard keeps it open.
    void RunUpdateDialog(CWnd* parent, BOOL automatic);
    void DispatchCommandLine();
    // What a tool page reads again each time it is shown.
    void RefreshToolPage(int page);
    bool IsJobRunning() const;
    // Whether a scan asked for by a second instance may start now.
    bool CanStartForwardedScan() const;

    CxSkinButton m_navStatistics;
    CxSkinButton m_navScan;
    CxSkinButton m_navStartup;
    CxSkinButton m_navBackup;
    CxSkinButton m_navDefrag;
    CxSkinButton m_settingsButton;
    CxSkinButton m_helpButton;
    CxSkinButton m_updateButton;
    CxSkinButton m_minimizeButton;
    CxSkinButton m_closeButton;
    CxSkinButton m_webButton;
    CxSkinButton m_badge;
    CLabel m_caption;
    CLabel m_step;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    int m_nToolPartsMade = 0;
    int m_nStartStep = 0;
    CSliceScheduler m_startSteps;
    CScheduledJobsReader m_jobsReader;
};

// The application's main window, when it is one (null before it exists and in tests without one).
CQuillonDlg* QuillonMainWindow();

// The maker's web site, which the help and web buttons open.
extern const char kMakerSite[];
