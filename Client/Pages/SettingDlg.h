// CSettingDlg: the settings page. Three tabs: the general options, the schedule of the scheduled
// scan, and a way to the ignore-list page. It copies the options between its boxes and the
// application's settings, and keeps two Task Scheduler jobs in step with its controls: the
// scheduled scan and the start of the program at logon. On the very first run it creates a
// default scheduled scan (weekly, Sunday, 03:00).
#pragma once

#include <functional>

#include "Label.h"
#include "ScheduledTasks.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

class CSettingDlg : public CSkinPage
{
public:
    enum { VIEW_GENERAL = 1, VIEW_GENERAL_MORE = 2, VIEW_SCHEDULE = 3, VIEW_IGNORE_LIST = 4 };

    CSettingDlg();
    ~CSettingDlg() override;

    BOOL OnInitDialog() override;

    // Back to the general view, with the boxes and both jobs read again.
    void InitPage();
    // Both jobs read into the page's controls, without showing it: a job of ours left by a copy
    // in another folder goes, and the first run makes the default scheduled scan. Nothing while
    // the start's own read of them goes on: its result comes to ShowJobs.
    void LoadJobs();
    // The jobs are being read elsewhere: their controls wait, disabled, for ShowJobs.
    void BeginJobsRead();
    // Shows both jobs as read and lets the user change them; the first run's default scan is
    // not made again afterwards.
    void ShowJobs(const SCHEDULED_JOBS& jobs);
    // The read of both jobs as LoadJobs does it, holding plain values only, for any thread
    // with COM initialised.
    std::function<SCHEDULED_JOBS()> MakeJobsRead() const;
    void SetView(int view);
    // The first control of the view on show.
    HWND GetFocusOnArrival() const override;
    int GetView() const { return m_nView; }

    BOOL LoadScheduleTask();
    void ShowScheduleTask(const SCHEDULED_SCAN_STATE& scan);
    BOOL SaveScheduleTask(BOOL defaultTask);
    BOOL DeleteScheduleTask();
    BOOL CreateLogonTask();
    BOOL DeleteLogonTask();
    void LoadOptions();
    void SaveOptions();

    // Control handlers (public so that tests can drive them as the controls would).
    void OnApply();
    void OnOptionBox();
    void OnStartOnStartup();
    void OnDisableSchedule();
    void OnTypeChanged();
    void OnDayChanged();
    void OnTypeListOpened();
    void OnDayListOpened();
    void OnTypeListCancelled();
    void OnDayListCancelled();
    void OnScheduleListClosed();
    void OnScheduleControlLeft();
    void OnGeneralTab() { SetView(VIEW_GENERAL); }
    void OnScheduleTab() { SetView(VIEW_SCHEDULE); }
    void OnIgnoreListTab();
    void OnUpdateButton();

    SYSTEMTIME m_time = {};  // start time of the scheduled scan, as the time picker shows it

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnShowWindow(BOOL show, UINT status);
    void OnDestroy();
    void OnPickerLeft(NMHDR*, LRESULT* result);
    LRESULT OnScheduleChosen(WPARAM, LPARAM);
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    void InitSkin();
    void FillCombos();
    void HideAllViews();
    template <size_t N>
    void ShowControls(const int (&ids)[N], int command)
    {
        for (int id : ids) {
            if (CWnd* control = GetDlgItem(id))
                control->ShowWindow(command);
        }
    }
    // The job controls as the checkboxes allow, all disabled while the jobs are being read.
    void EnableScheduleControls();
    // Writes the schedule the controls show to its job and shows the job as read back.
    void SaveShownSchedule();
    void StoreOptionsAndShowSaved();
    void ShowSaved(bool show);
    BOOL IsChecked(int id) const { return IsDlgButtonChecked(id) == BST_CHECKED; }
    void Check(int id, BOOL check) { CheckDlgButton(id, check ? BST_CHECKED : BST_UNCHECKED); }

    int m_nView = VIEW_GENERAL;
    HBRUSH m_hWhiteBrush;
    BOOL m_bDefaultTaskPending = TRUE;
    bool m_bJobsPending = false;
    BOOL m_bInitialised = FALSE;
    CComboBox m_type;
    int m_nTypeBeforeList = -1;  // the items the lists showed when they opened
    int m_nDayBeforeList = -1;
    CComboBox m_day;
    CDateTimeCtrl m_timePicker;
    CLabel m_saved;
    CxSkinButton m_generalTab;
    CxSkinButton m_scheduleTab;
    CxSkinButton m_ignoreTab;
    CLabel m_scheduleText;
    CxSkinButton m_updateButton;
};
