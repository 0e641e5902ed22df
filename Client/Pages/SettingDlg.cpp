#include "SettingDlg.h"

#include <commctrl.h>

#include <iterator>

#include "Kelvara.h"
#include "Messages.h"
#include "QuillonDlg.h"

namespace {

const int kGeneralControls[] = { IDC_SETTINGS_START_ON_STARTUP, IDC_SETTINGS_RESTORE_POINT, IDC_SETTINGS_AUTO_REPAIR,
                                 IDC_SETTINGS_AUTO_SHUTDOWN, IDC_SETTINGS_SOFTWARE_UPDATE, IDC_SETTINGS_UPDATE };
const int kGeneralMoreControls[] = { IDC_SETTINGS_RESTORE_POINT, IDC_SETTINGS_AUTO_REPAIR, IDC_SETTINGS_LOG_SUMMARY,
                                     IDC_SETTINGS_CONTEXT_MENU };
const int kScheduleControls[] = { IDC_SETTINGS_DISABLE_SCHEDULE, IDC_SETTINGS_SCHEDULE_TEXT, IDC_SETTINGS_TYPE_LABEL,
                                  IDC_SETTINGS_TYPE, IDC_SETTINGS_DAY_LABEL, IDC_SETTINGS_DAY,
                                  IDC_SETTINGS_TIME_LABEL, IDC_SETTINGS_TIME };

const char* const kDayNames[7] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };

CString LoadText(UINT id)
{
    char text[256] = {};
    ::LoadStringA(AfxGetResourceHandle(), id, text, sizeof(text));
    return CString(text);
}

SYSTEMTIME LocalNow()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    return now;
}

} // namespace

BEGIN_MESSAGE_MAP(CSettingDlg, CSkinPage)
    ON_BN_CLICKED(IDC_SETTINGS_APPLY, OnApply)
    ON_BN_CLICKED(IDC_SETTINGS_AUTO_SHUTDOWN, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_SOFTWARE_UPDATE, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_LOG_SUMMARY, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_CONTEXT_MENU, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_RESTORE_POINT, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_AUTO_REPAIR, OnOptionBox)
    ON_BN_CLICKED(IDC_SETTINGS_START_ON_STARTUP, OnStartOnStartup)
    ON_BN_CLICKED(IDC_SETTINGS_DISABLE_SCHEDULE, OnDisableSchedule)
    ON_BN_CLICKED(IDC_SETTINGS_TAB_GENERAL, OnGeneralTab)
    ON_BN_CLICKED(IDC_SETTINGS_TAB_SCHEDULE, OnScheduleTab)
    ON_BN_CLICKED(IDC_SETTINGS_TAB_IGNORE, OnIgnoreListTab)
    ON_BN_CLICKED(IDC_SETTINGS_UPDATE, OnUpdateButton)
    ON_CBN_SELCHANGE(IDC_SETTINGS_TYPE, OnTypeChanged)
    ON_CBN_SELCHANGE(IDC_SETTINGS_DAY, OnDayChanged)
    ON_CONTROL(CBN_DROPDOWN, IDC_SETTINGS_TYPE, OnTypeListOpened)
    ON_CONTROL(CBN_DROPDOWN, IDC_SETTINGS_DAY, OnDayListOpened)
    ON_CONTROL(CBN_SELENDCANCEL, IDC_SETTINGS_TYPE, OnTypeListCancelled)
    ON_CONTROL(CBN_SELENDCANCEL, IDC_SETTINGS_DAY, OnDayListCancelled)
    ON_CONTROL(CBN_CLOSEUP, IDC_SETTINGS_TYPE, OnScheduleListClosed)
    ON_CONTROL(CBN_CLOSEUP, IDC_SETTINGS_DAY, OnScheduleListClosed)
    ON_MESSAGE(WM_SCHEDULE_CHOSEN, OnScheduleChosen)
    ON_CONTROL(CBN_KILLFOCUS, IDC_SETTINGS_TYPE, OnScheduleControlLeft)
    ON_CONTROL(CBN_KILLFOCUS, IDC_SETTINGS_DAY, OnScheduleControlLeft)
    ON_NOTIFY(NM_KILLFOCUS, IDC_SETTINGS_TIME, OnPickerLeft)
    ON_WM_SHOWWINDOW()
    ON_WM_DESTROY()
    ON_WM_CTLCOLOR()
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CSettingDlg::CSettingDlg() : CSkinPage(IDD_SETTINGS, 172)
{
    m_hWhiteBrush = ::CreateSolidBrush(RGB(255, 255, 255));
    // The time picker's window class is not among those the application registers at start-up.
    INITCOMMONCONTROLSEX dates = { sizeof(dates), ICC_DATE_CLASSES };
    ::InitCommonControlsEx(&dates);
}

CSettingDlg::~CSettingDlg()
{
    ::DeleteObject(m_hWhiteBrush);
}

BOOL CSettingDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitSkin();
    // Leaving or closing the page stores its boxes: they hold the settings from the start.
    LoadOptions();
    if (m_bJobsPending)
        EnableScheduleControls();
    return TRUE;
}

void CSettingDlg::InitSkin()
{
    BindSkinButtons(this, {
        { &m_generalTab, IDC_SETTINGS_TAB_GENERAL, 297, 297, 0, 298 },
        { &m_scheduleTab, IDC_SETTINGS_TAB_SCHEDULE, 301, 301, 0, 302 },
        { &m_ignoreTab, IDC_SETTINGS_TAB_IGNORE, 303, 303, 0, 304 },
        { &m_updateButton, IDC_SETTINGS_UPDATE, 373, 374, 374, 0 },
    });
    m_type.SubclassDlgItem(IDC_SETTINGS_TYPE, this);
    m_day.SubclassDlgItem(IDC_SETTINGS_DAY, this);
    m_timePicker.SubclassDlgItem(IDC_SETTINGS_TIME, this);
    m_saved.SubclassDlgItem(IDC_SETTINGS_SAVED, this);
    m_scheduleText.SubclassDlgItem(IDC_SETTINGS_SCHEDULE_TEXT, this);
    m_saved.SetFontName("Arial")->SetFontSize(12)->SetTransparent(TRUE)->SetTextColor(0xBF3700);
    m_scheduleText.SetFontName("Arial")->SetFontSize(9)->SetTransparent(TRUE);
    FillCombos();
    m_bInitialised = TRUE;
}

void CSettingDlg::FillCombos()
{
    m_type.ResetContent();
    m_type.AddString("Daily");
    m_type.AddString("Weekly");
    m_day.ResetContent();
    for (const char* day : kDayNames)
        m_day.AddString(day);
}

void CSettingDlg::DoDataExchange(CDataExchange* pDX)
{
    if (!m_timePicker.m_hWnd)
        return;
    if (pDX->m_bSaveAndValidate) {
        SYSTEMTIME shown = {};
        if (m_timePicker.GetTime(&shown) == GDT_VALID)
            m_time = shown;
    } else {
        m_timePicker.SetTime(m_time);
    }
}

void CSettingDlg::InitPage()
{
    SetView(VIEW_GENERAL);
    LoadOptions();
    LoadJobs();
    ShowSaved(false);
    UpdateData(FALSE);
}

void CSettingDlg::LoadJobs()
{
    if (m_bJobsPending)
        return;
    ShowJobs(MakeJobsRead()());
}

std::function<SCHEDULED_JOBS()> CSettingDlg::MakeJobsRead() const
{
    CQuillonApp* app = QuillonApp();
    const BOOL makeDefault = app && app->m_settings.m_bFirstRun && m_bDefaultTaskPending;
    const CString programPath = GetProgramPath();
    const CString comment = LoadText(IDS_SCHEDULE_SCAN_COMMENT);
    const SYSTEMTIME today = LocalNow();
    return [programPath, makeDefault, comment, today] {
        return ReadScheduledJobs(programPath, makeDefault, comment, today);
    };
}

void CSettingDlg::BeginJobsRead()
{
    m_bJobsPending = true;
    EnableScheduleControls();
}

void CSettingDlg::ShowJobs(const SCHEDULED_JOBS& jobs)
{
    m_bJobsPending = false;
    m_bDefaultTaskPending = FALSE;
    if (!m_hWnd)
        return;
    Check(IDC_SETTINGS_START_ON_STARTUP, jobs.logonIsOurs);
    ShowScheduleTask(jobs.scan);
}

// ---- Views ----------------------------------------------------------------------------------------

void CSettingDlg::HideAllViews()
{
    ShowControls(kGeneralControls, SW_HIDE);
    ShowControls(kGeneralMoreControls, SW_HIDE);
    ShowControls(kScheduleControls, SW_HIDE);
}

HWND CSettingDlg::GetFocusOnArrival() const
{
    const int* first = nullptr;
    const int* last = nullptr;
    if (m_nView == VIEW_GENERAL) {
        first = std::begin(kGeneralControls);
        last = std::end(kGeneralControls);
    } else if (m_nView == VIEW_SCHEDULE) {
        first = std::begin(kScheduleControls);
        last = std::end(kScheduleControls);
    } else if (m_nView == VIEW_GENERAL_MORE) {
        first = std::begin(kGeneralMoreControls);
        last = std::end(kGeneralMoreControls);
    }
    for (const int* id = first; id != last; ++id) {
        CWnd* control = GetDlgItem(*id);
        if (control && IsReachable(*control) && (control->GetStyle() & WS_TABSTOP))
            return control->m_hWnd;
    }
    return CSkinPage::GetFocusOnArrival();
}

void CSettingDlg::SetView(int view)
{
    // A tab pressed with the keys is disabled as the view it shows: the keys go on to the view.
    const HWND focus = ::GetFocus();
    const bool tabHadFocus = focus && (focus == m_generalTab.m_hWnd || focus == m_scheduleTab.m_hWnd);
    m_nView = view;
    ShowSaved(false);
    for (CxSkinButton* tab : { &m_generalTab, &m_scheduleTab, &m_ignoreTab }) {
        if (tab->m_hWnd)
            tab->EnableWindow(TRUE);
    }
    HideAllViews();
    CQuillonDlg* mainWindow = QuillonMainWindow();
    switch (view) {
    case VIEW_GENERAL:
        if (mainWindow)
            mainWindow->SetCaptions("SETTINGS - GENERAL", "");
        if (m_generalTab.m_hWnd)
            m_generalTab.EnableWindow(FALSE);
        ShowControls(kGeneralControls, SW_SHOW);
        break;
    case VIEW_SCHEDULE:
        if (mainWindow)
            mainWindow->SetCaptions("SETTINGS - SCHEDULE", "");
        if (m_scheduleTab.m_hWnd)
            m_scheduleTab.EnableWindow(FALSE);
        ShowControls(kScheduleControls, SW_SHOW);
        break;
    case VIEW_IGNORE_LIST:
        if (mainWindow)
            mainWindow->ShowPage(PAGE_IGNORE_LIST);
        break;
    case VIEW_GENERAL_MORE:
        ShowControls(kGeneralMoreControls, SW_SHOW);
        break;
    default:
        break;
    }
    if (tabHadFocus && view != VIEW_IGNORE_LIST)
        FocusOnArrival();
}

void CSettingDlg::OnIgnoreListTab()
{
    ShowSaved(false);
    for (CxSkinButton* tab : { &m_generalTab, &m_scheduleTab, &m_ignoreTab }) {
        if (tab->m_hWnd)
            tab->EnableWindow(TRUE);
    }
    HideAllViews();
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->ShowPage(PAGE_IGNORE_LIST);
}

// ---- Options --------------------------------------------------------------------------------------

void CSettingDlg::LoadOptions()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    const AppSettings& settings = app->m_settings;
    Check(IDC_SETTINGS_SOFTWARE_UPDATE, settings.m_bSoftwareUpdate != 0);
    Check(IDC_SETTINGS_RESTORE_POINT, settings.m_bRestorePoint != 0);
    Check(IDC_SETTINGS_AUTO_REPAIR, settings.m_bAutoRepair != 0);
    Check(IDC_SETTINGS_LOG_SUMMARY, settings.m_bLogScanSummary != 0);
    Check(IDC_SETTINGS_CONTEXT_MENU, settings.m_bContextMenu != 0);
    Check(IDC_SETTINGS_AUTO_SHUTDOWN, settings.m_bAutoShutdown != 0);
}

void CSettingDlg::SaveOptions()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !m_hWnd)
        return;
    AppSettings& settings = app->m_settings;
    settings.m_bSoftwareUpdate = IsChecked(IDC_SETTINGS_SOFTWARE_UPDATE);
    settings.m_bRestorePoint = IsChecked(IDC_SETTINGS_RESTORE_POINT);
    settings.m_bAutoRepair = IsChecked(IDC_SETTINGS_AUTO_REPAIR);
    settings.m_bLogScanSummary = IsChecked(IDC_SETTINGS_LOG_SUMMARY);
    settings.m_bContextMenu = IsChecked(IDC_SETTINGS_CONTEXT_MENU);
    settings.m_bAutoShutdown = IsChecked(IDC_SETTINGS_AUTO_SHUTDOWN);
    app->SaveSettings();
}

void CSettingDlg::StoreOptionsAndShowSaved()
{
    UpdateData(TRUE);
    SaveOptions();
    ShowSaved(true);
}

void CSettingDlg::ShowSaved(bool show)
{
    if (m_saved.m_hWnd)
        m_saved.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void CSettingDlg::OnApply()
{
    StoreOptionsAndShowSaved();
}

void CSettingDlg::OnOptionBox()
{
    ShowSaved(false);
}

void CSettingDlg::OnShowWindow(BOOL show, UINT status)
{
    Default();
    // Leaving the page through any navigation stores the options; a parent being minimised
    // (a status other than 0) does not.
    if (!show && status == 0 && (GetStyle() & WS_VISIBLE) && m_bInitialised)
        StoreOptionsAndShowSaved();
}

void CSettingDlg::OnDestroy()
{
    if (m_bInitialised)
        StoreOptionsAndShowSaved();
    m_bInitialised = FALSE;
    Default();
}

// ---- The scheduled scan ---------------------------------------------------------------------------

BOOL CSettingDlg::LoadScheduleTask()
{
    CString user;
    SCHEDULED_SCAN_STATE scan;
    if (GetJobUserName(&user))
        scan = ReadScheduledScan(user, GetProgramPath());
    ShowScheduleTask(scan);
    return scan.found;
}

void CSettingDlg::ShowScheduleTask(const SCHEDULED_SCAN_STATE& scan)
{
    m_time = LocalNow();
    if (scan.found) {
        m_scheduleText.SetText(scan.text);
        if (scan.start.wYear != 0) {
            SYSTEMTIME start = scan.start;
            start.wSecond = 0;
            start.wMilliseconds = 0;
            m_time = start;
        }
        const bool daily = scan.loadedType == CTask::SCHEDULE_DAILY;
        m_type.SetCurSel(daily ? 0 : 1);
        m_day.SetCurSel(daily ? 0 : scan.start.wDayOfWeek % 7);
        Check(IDC_SETTINGS_DISABLE_SCHEDULE, FALSE);
    } else {
        Check(IDC_SETTINGS_DISABLE_SCHEDULE, TRUE);
        m_type.SetCurSel(0);
        m_day.SetCurSel(0);
    }
    EnableScheduleControls();
    UpdateData(FALSE);
}

BOOL CSettingDlg::SaveScheduleTask(BOOL defaultTask)
{
    UpdateData(TRUE);
    CString user;
    if (!GetJobUserName(&user))
        return FALSE;
    SCHEDULE_CHOICE choice;
    choice.defaultTask = defaultTask;
    choice.typeSelection = m_type.m_hWnd ? m_type.GetCurSel() : 0;
    choice.daySelection = m_day.m_hWnd ? m_day.GetCurSel() : 0;
    choice.time = m_time;
    return SaveScheduledScanJob(GetProgramPath(), user, LocalNow(), choice, LoadText(IDS_SCHEDULE_SCAN_COMMENT));
}

BOOL CSettingDlg::DeleteScheduleTask()
{
    CString user;
    if (!GetJobUserName(&user))
        return FALSE;
    CTask task;
    if (task.Delete(ScheduledScanJobName(user)) != S_OK)
        return FALSE;
    m_scheduleText.SetText("");
    return TRUE;
}

void CSettingDlg::EnableScheduleControls()
{
    if (!m_hWnd)
        return;
    const BOOL ready = !m_bJobsPending;
    for (int id : { IDC_SETTINGS_START_ON_STARTUP, IDC_SETTINGS_DISABLE_SCHEDULE }) {
        if (CWnd* box = GetDlgItem(id))
            box->EnableWindow(ready);
    }
    const BOOL scheduled = ready && !IsChecked(IDC_SETTINGS_DISABLE_SCHEDULE);
    if (m_type.m_hWnd)
        m_type.EnableWindow(scheduled);
    if (m_timePicker.m_hWnd)
        m_timePicker.EnableWindow(scheduled);
    if (m_day.m_hWnd)
        m_day.EnableWindow(scheduled && m_type.GetCurSel() == 1);
}

void CSettingDlg::OnDisableSchedule()
{
    if (IsChecked(IDC_SETTINGS_DISABLE_SCHEDULE)) {
        DeleteScheduleTask();
    } else if (SaveScheduleTask(TRUE)) {
        LoadScheduleTask();
    } else {
        Check(IDC_SETTINGS_DISABLE_SCHEDULE, TRUE);
    }
    ShowSaved(false);
    EnableScheduleControls();
}

void CSettingDlg::OnTypeChanged()
{
    EnableScheduleControls();
    // A selection made in the closed list (the arrow keys, the wheel) is the choice; one made
    // while the list is open is taken when it closes.
    if (!m_type.GetDroppedState())
        SaveShownSchedule();
}

void CSettingDlg::OnDayChanged()
{
    if (!m_day.GetDroppedState())
        SaveShownSchedule();
}

// An open list left with Esc or by leaving the control takes back the item it showed before it
// opened: the items gone through on the way were no choice.
void CSettingDlg::OnTypeListOpened()
{
    m_nTypeBeforeList = m_type.GetCurSel();
}

void CSettingDlg::OnDayListOpened()
{
    m_nDayBeforeList = m_day.GetCurSel();
}

void CSettingDlg::OnTypeListCancelled()
{
    m_type.SetCurSel(m_nTypeBeforeList);
    EnableScheduleControls();
}

void CSettingDlg::OnDayListCancelled()
{
    m_day.SetCurSel(m_nDayBeforeList);
}

void CSettingDlg::OnScheduleListClosed()
{
    // After the list's own handling of its closing, which may put the earlier item back.
    PostMessage(WM_SCHEDULE_CHOSEN);
}

LRESULT CSettingDlg::OnScheduleChosen(WPARAM, LPARAM)
{
    SaveShownSchedule();
    return 0;
}

void CSettingDlg::OnScheduleControlLeft()
{
    SaveShownSchedule();
}

void CSettingDlg::SaveShownSchedule()
{
    // A control disabled while the jobs are read loses its focus: that is no choice to save. The
    // job saved is read back, so that the schedule's text and the controls show what it holds.
    if (m_bJobsPending || !m_hWnd || IsChecked(IDC_SETTINGS_DISABLE_SCHEDULE))
        return;
    if (SaveScheduleTask(FALSE))
        LoadScheduleTask();
}

void CSettingDlg::OnPickerLeft(NMHDR*, LRESULT* result)
{
    *result = 0;
    OnScheduleControlLeft();
}

// ---- The start at logon ---------------------------------------------------------------------------

BOOL CSettingDlg::CreateLogonTask()
{
    CString user;
    if (!GetJobUserName(&user))
        return FALSE;
    CTask task;
    FillLogonJob(task, GetProgramPath(), user, LocalNow(), LoadText(IDS_LOGON_COMMENT));
    return task.Save(LogonJobName(user)) == S_OK;
}

BOOL CSettingDlg::DeleteLogonTask()
{
    CString user;
    if (!GetJobUserName(&user))
        return FALSE;
    return CTask().Delete(LogonJobName(user)) == S_OK;
}

void CSettingDlg::OnStartOnStartup()
{
    if (IsChecked(IDC_SETTINGS_START_ON_STARTUP))
        CreateLogonTask();
    else
        DeleteLogonTask();
    ShowSaved(false);
}

void CSettingDlg::OnUpdateButton()
{
    // The main window runs the manual program-update check.
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_UPDATE_BUTTON, BN_CLICKED), 0);
}

// ---- Looks ----------------------------------------------------------------------------------------

HBRUSH CSettingDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hWhiteBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}

BOOL CSettingDlg::OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message)
{
    CQuillonApp* app = QuillonApp();
    if (pWnd && app && app->m_hHandCursor) {
        for (CxSkinButton* tab : { &m_generalTab, &m_scheduleTab, &m_ignoreTab }) {
            if (pWnd->m_hWnd == tab->m_hWnd) {
                ::SetCursor(app->m_hHandCursor);
                return TRUE;
            }
        }
    }
    return CSkinPage::OnSetCursor(pWnd, hitTest, message);
}
