#include "QuillonDlg.h"

#include <shellapi.h>

#include <algorithm>

#include "DialogLayout.h"
#include "Kelvara.h"
#include "Messages.h"
#include "RegUpdateDlg.h"
#include "SharedInstance.h"

const char kMakerSite[] = "http://www.bellwort.com";

namespace {

const UINT_PTR kStartStepTimer = 1;

// The steps of the start after the first paint, in their order.
enum START_STEP { START_READ_JOBS, START_TOOL_PAGES, START_ROW_ANIMATIONS, START_DONE };

} // namespace

CQuillonDlg* QuillonMainWindow()
{
    CQuillonApp* app = QuillonApp();
    return app ? dynamic_cast<CQuillonDlg*>(app->m_pMainWnd) : nullptr;
}

BEGIN_MESSAGE_MAP(CQuillonDlg, CBitmapDialog)
    ON_BN_CLICKED(IDC_NAV_STATISTICS, OnNavStatistics)
    ON_BN_CLICKED(IDC_NAV_SCAN, OnNavScan)
    ON_BN_CLICKED(IDC_NAV_STARTUP, OnNavStartup)
    ON_BN_CLICKED(IDC_NAV_BACKUP, OnNavBackup)
    ON_BN_CLICKED(IDC_NAV_DEFRAG, OnNavDefrag)
    ON_BN_CLICKED(IDC_SETTINGS_BUTTON, OnSettingsButton)
    ON_BN_CLICKED(IDC_HELP_BUTTON, OnHelpButton)
    ON_BN_CLICKED(IDC_UPDATE_BUTTON, OnUpdateButton)
    ON_BN_CLICKED(IDC_MINIMIZE_BUTTON, OnMinimize)
    ON_BN_CLICKED(IDC_CLOSE_BUTTON, OnCloseButton)
    ON_BN_CLICKED(IDC_WEB_BUTTON, OnWebButton)
    ON_COMMAND(ID_TRAY_RESTORE, OnTrayRestore)
    ON_COMMAND(ID_TRAY_MINIMIZE, OnTrayMinimize)
    ON_COMMAND(ID_TRAY_EXIT, OnTrayExit)
    ON_MESSAGE(WM_SCAN_PATH_REQUEST, OnScanPathRequest)
    ON_MESSAGE(WM_SCHEDULED_SCAN_REQUEST, OnScheduledScanRequest)
    ON_MESSAGE(WM_AUTO_UPDATE_CHECK, OnAutoUpdateCheck)
    ON_MESSAGE(WM_ACTIVATE, OnActivate)
    ON_MESSAGE(WM_DEFERRED_START, OnDeferredStart)
    ON_MESSAGE(WM_SCHEDULED_JOBS_READ, OnScheduledJobsRead)
    ON_WM_TIMER()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

CQuillonDlg::CQuillonDlg() : CBitmapDialog(IDD_MAIN), m_startSteps(WM_DEFERRED_START, kStartStepTimer)
{
    m_hIcon = static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                              0, 0, LR_DEFAULTSIZE));
    m_hSmallIcon = static_cast<HICON>(::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
}

CQuillonDlg::~CQuillonDlg()
{
    if (GetSharedMainWindow() == m_hWnd)
        SetSharedMainWindow(nullptr);
    if (m_hIcon)
        ::DestroyIcon(m_hIcon);
    if (m_hSmallIcon)
        ::DestroyIcon(m_hSmallIcon);
}

BOOL CQuillonDlg::OnInitDialog()
{
    CBitmapDialog::OnInitDialog();
    FitDialogToSkin(this);
    CentreOnWorkArea();
    SetSharedMainWindow(m_hWnd);
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hSmallIcon ? m_hSmallIcon : m_hIcon, FALSE);
    InitSkin();
    // Posted before anything the command line asks for, so that it runs first.
    PostMessage(WM_DEFERRED_START);
    DispatchCommandLine();
    // The keys start on the page shown, not on the first navigation button.
    FocusShownPage();
    return FALSE;
}

LRESULT CQuillonDlg::OnActivate(WPARAM state, LPARAM)
{
    // The dialog gives the focus back to where it was when the window lost the activation: a
    // page switched meanwhile (a scheduled scan, the end of a repair) left that place hidden.
    const LRESULT result = Default();
    if (LOWORD(state) != WA_INACTIVE && !IsFocusUsable())
        FocusShownPage();
    return result;
}

CSkinPage* CQuillonDlg::GetShownPage() const
{
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        CSkinPage* page = dynamic_cast<CSkinPage*>(CWnd::FromHandlePermanent(child));
        if (page && (page->GetStyle() & WS_VISIBLE))
            return page;
    }
    return nullptr;
}

void CQuillonDlg::FocusShownPage()
{
    const CSkinPage* page = GetShownPage();
    HWND control = page ? page->GetFocusOnArrival() : nullptr;
    if (!control)
        control = ::GetNextDlgTabItem(m_hWnd, nullptr, FALSE);
    if (control)
        ::SetFocus(control);
}

bool CQuillonDlg::IsFocusUsable() const
{
    const HWND focus = ::GetFocus();
    return focus && ::IsChild(m_hWnd, focus) && ::IsWindowVisible(focus) && ::IsWindowEnabled(focus) &&
           !dynamic_cast<CSkinPage*>(CWnd::FromHandlePermanent(focus));
}

LRESULT CQuillonDlg::OnDeferredStart(WPARAM, LPARAM)
{
    // The window is drawn before the rest of the start: the Task Scheduler's jobs (read on a
    // thread of their own), the tool pages and the frames of every scanning row, one short step
    // per message so that the window answers between them (each step took up to a second on a
    // cold start when they ran in one).
    m_startSteps.Arrived(m_hWnd);
    if (RunStartStep())
        m_startSteps.Schedule(m_hWnd);
    return 1;
}

void CQuillonDlg::OnTimer(UINT_PTR id)
{
    if (id == kStartStepTimer)
        OnDeferredStart(0, 0);
    else
        Default();
}

bool CQuillonDlg::RunStartStep()
{
    CQuillonApp* app = QuillonApp();
    switch (m_nStartStep) {
    case START_READ_JOBS:
        RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        StartJobsRead();
        ++m_nStartStep;
        return true;
    case START_TOOL_PAGES:
        if (!CreateNextToolPart())
            ++m_nStartStep;
        return true;
    case START_ROW_ANIMATIONS:
        if (!app || !app->m_scanningPage.LoadNextRowAnimation())
            ++m_nStartStep;
        return m_nStartStep < START_DONE;
    default:
        return false;
    }
}

bool CQuillonDlg::IsStartDone() const
{
    return m_nStartStep >= START_DONE && !m_jobsReader.IsPending();
}

void CQuillonDlg::StartJobsRead()
{
    if (m_jobsReader.Start(m_settingsPage.MakeJobsRead(), m_hWnd, WM_SCHEDULED_JOBS_READ))
        m_settingsPage.BeginJobsRead();
    else
        m_settingsPage.LoadJobs();  // no thread to spare: read here, as late as the window allows
}

LRESULT CQuillonDlg::OnScheduledJobsRead(WPARAM, LPARAM)
{
    SCHEDULED_JOBS jobs;
    if (m_jobsReader.TakeResult(&jobs))
        m_settingsPage.ShowJobs(jobs);
    return 1;
}

void CQuillonDlg::CentreOnWorkArea()
{
    // The work area of the monitor the window is on: the screen without the taskbar.
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor))
        return;
    const CRect area(monitor.rcWork);
    CRect window;
    GetWindowRect(&window);
    // A window larger than the area keeps its top left corner inside it.
    const int left = area.left + std::max(0, (area.Width() - window.Width()) / 2);
    const int top = area.top + std::max(0, (area.Height() - window.Height()) / 2);
    SetWindowPos(nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQuillonDlg::InitSkin()
{
    m_bShapedWindow = TRUE;
    m_bDragWindow = TRUE;
    m_crTransparent = RGB(255, 0, 255);
    SetBitmap(129);
    SetWindowText(ProductName());

    BindSkinButtons(this, {
        { &m_navScan, IDC_NAV_SCAN, 135, 135, 137, 136 },
        { &m_navStartup, IDC_NAV_STARTUP, 138, 138, 139, 140 },
        { &m_navDefrag, IDC_NAV_DEFRAG, 371, 371, 372, 370 },
        { &m_navBackup, IDC_NAV_BACKUP, 193, 193, 195, 194 },
        { &m_navStatistics, IDC_NAV_STATISTICS, 131, 131, 132, 133 },
        { &m_settingsButton, IDC_SETTINGS_BUTTON, 141, 143, 143, 0 },
        { &m_helpButton, IDC_HELP_BUTTON, 218, 219, 219, 0 },
        { &m_updateButton, IDC_UPDATE_BUTTON, 161, 162, 162, 0 },
        { &m_minimizeButton, IDC_MINIMIZE_BUTTON, 145, 157, 157, 0 },
        { &m_closeButton, IDC_CLOSE_BUTTON, 144, 158, 158, 0 },
        { &m_webButton, IDC_WEB_BUTTON, 375, 376, 376, 0 },
        { &m_badge, IDC_BADGE, 146, 146, 146, 0 },
    });
    m_caption.SubclassDlgItem(IDC_CAPTION_LABEL, this);
    m_step.SubclassDlgItem(IDC_STEP_LABEL, this);

    // The window opens on the scan wizard: its pages are the only ones the first paint needs.
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.CreatePage(this);
    SetHeaderFonts();
}

void CQuillonDlg::CreateToolPages()
{
    while (CreateNextToolPart()) {
    }
}

bool CQuillonDlg::CreateNextToolPart()
{
    CSkinPage* const pages[] = { &m_statisticsPage, &m_backupPage, &m_startupPage,
                                 &m_defragPage, &m_settingsPage, &m_ignoreListPage };
    const int count = static_cast<int>(sizeof(pages) / sizeof(pages[0]));
    if (m_nToolPartsMade < count) {
        pages[m_nToolPartsMade++]->CreatePage(this);
        return true;
    }
    if (m_nToolPartsMade == count) {
        ++m_nToolPartsMade;
        if (CQuillonApp* app = QuillonApp())
            app->m_tray.Create(WM_TRAY_NOTIFY, ProductName(), m_hSmallIcon ? m_hSmallIcon : m_hIcon, IDR_TRAY_MENU);
        return true;
    }
    return false;
}

void CQuillonDlg::SetHeaderFonts()
{
    m_caption.SetFontName("Verdana")->SetFontSize(11)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(RGB(255, 255, 255));
    m_step.SetFontName("Verdana")->SetFontSize(9)->SetTransparent(TRUE)->SetTextColor(RGB(0xCF, 0xE0, 0xEE));
}

void CQuillonDlg::DispatchCommandLine()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    if (app->m_commandLine.m_bSchedule) {
        StartScanRequest(SCAN_MODE_SCHEDULED, CString());
    } else if (!app->m_commandLine.m_strPath.IsEmpty()) {
        StartScanRequest(SCAN_MODE_PATH, app->m_commandLine.m_strPath);
    } else {
        ShowPage(PAGE_WIZARD);
        if (app->m_settings.m_bSoftwareUpdate == 1)
            PostMessage(WM_AUTO_UPDATE_CHECK);
    }
}

bool CQuillonDlg::IsJobRunning() const
{
    CQuillonApp* app = QuillonApp();
    return app && app->m_pProcess && app->m_pProcess->IsRunning();
}

void CQuillonDlg::OnOK()
{
    TryClose();
}

BOOL CQuillonDlg::TryClose()
{
    if (IsJobRunning()) {
        AfxMessageBox("Please stop active operation before closing.", MB_OK | MB_ICONINFORMATION);
        return FALSE;
    }
    EndDialog(IDOK);
    return TRUE;
}

void CQuillonDlg::OnCancel()
{
    // Alt+F4, the taskbar and the system's close request: the same guard as the close button.
    OnOK();
}

void CQuillonDlg::EnableNavButtons()
{
    for (CxSkinButton* button : { &m_navStatistics, &m_navScan, &m_navStartup, &m_navBackup, &m_navDefrag }) {
        if (button->m_hWnd)
            button->EnableWindow(TRUE);
    }
}

void CQuillonDlg::SetCaptions(const char* caption, const char* step)
{
    if (caption)
        m_caption.SetText(caption);
    if (step)
        m_step.SetText(step);
}

CString CQuillonDlg::GetCaption() const
{
    return m_caption.m_hWnd ? m_caption.GetWindowText() : CString();
}

CString CQuillonDlg::GetStepText() const
{
    return m_step.m_hWnd ? m_step.GetWindowText() : CString();
}

void CQuillonDlg::ShowPage(int page)
{
    // The focus goes in after the refresh, which may change what the page shows.
    if (ShowPageWindow(page, false))
        RefreshToolPage(page);
    if (::GetForegroundWindow() == m_hWnd)
        FocusShownPage();
}

bool CQuillonDlg::ShowPageWindow(int page, bool moveFocus)
{
    if (page != PAGE_WIZARD)
        CreateToolPages();
    CQuillonApp* app = QuillonApp();
    if (app) {
        for (CWnd* wizardPage : { static_cast<CWnd*>(&app->m_scanningPage), static_cast<CWnd*>(&app->m_resultsPage),
                                  static_cast<CWnd*>(&app->m_summaryPage) }) {
            if (wizardPage->m_hWnd)
                wizardPage->ShowWindow(SW_HIDE);
        }
    }
    SetCaptions("", "");

    struct PAGE_ENTRY { int page; CWnd* window; CxSkinButton* navButton; const char* caption; };
    const PAGE_ENTRY pages[] = {
        { PAGE_STATISTICS, &m_statisticsPage, &m_navStatistics, "RESULTS" },
        { PAGE_WIZARD, app ? static_cast<CWnd*>(&app->m_scanPage) : nullptr, &m_navScan, nullptr },
        { PAGE_STARTUP, &m_startupPage, &m_navStartup, "MANAGE STARTUP" },
        { PAGE_SETTINGS, &m_settingsPage, nullptr, nullptr },
        { PAGE_IGNORE_LIST, &m_ignoreListPage, nullptr, "SETTINGS - IGNORE LIST" },
        { PAGE_BACKUP, &m_backupPage, &m_navBackup, "BACKUP" },
        { PAGE_DEFRAG, &m_defragPage, &m_navDefrag, "" },
    };
    const PAGE_ENTRY* shown = nullptr;
    for (const PAGE_ENTRY& entry : pages) {
        if (entry.page == page)
            shown = &entry;
    }
    if (!shown)
        return false;

    EnableNavButtons();
    if (shown->navButton && shown->navButton->m_hWnd)
        shown->navButton->EnableWindow(FALSE);
    for (const PAGE_ENTRY& entry : pages) {
        if (&entry != shown && entry.window && entry.window->m_hWnd)
            entry.window->ShowWindow(SW_HIDE);
    }
    if (page == PAGE_WIZARD) {
        if (app)
            app->m_scanPage.DisplayCurrentStep();
    } else {
        if (shown->window && shown->window->m_hWnd)
            shown->window->ShowWindow(SW_SHOW);
        if (shown->caption)
            SetCaptions(shown->caption, nullptr);
    }
    if (moveFocus && ::GetForegroundWindow() == m_hWnd)
        FocusShownPage();
    return page != PAGE_WIZARD;
}

void CQuillonDlg::RefreshToolPage(int page)
{
    switch (page) {
    case PAGE_STATISTICS:
        m_statisticsPage.UpdateFromScanItems();
        m_statisticsPage.LoadStatistics();
        break;
    case PAGE_STARTUP:
        m_startupPage.RefreshList();
        break;
    case PAGE_SETTINGS:
        m_settingsPage.InitPage();
        break;
    case PAGE_IGNORE_LIST:
        m_ignoreListPage.FillIgnoreList();
        break;
    case PAGE_BACKUP:
        m_backupPage.RefreshBackupList();
        break;
    default:
        break;
    }
}

void CQuillonDlg::StartScanRequest(int scanMode, const CString& path)
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    // A scan reports to the statistics page: a scan asked for at start waits for the pages.
    CreateToolPages();
    ShowPage(PAGE_WIZARD);
    app->m_scanningPage.m_strScanPath = path;
    app->m_scanningPage.m_nScanMode = scanMode;
    app->m_scanPage.StartScan();
}

bool CQuillonDlg::CanStartForwardedScan() const
{
    // A new scan empties the found-item container: never behind the back of a repair being
    // prepared or run, nor of results the user is choosing from, nor while the engine is away
    // for an installer's start. The request is dropped; the next one (or the user) starts a scan
    // when the results are dealt with.
    CQuillonApp* app = QuillonApp();
    return app && app->m_pProcess && !IsJobRunning() && !app->m_resultsPage.IsHoldingUserChoices();
}

LRESULT CQuillonDlg::OnScanPathRequest(WPARAM, LPARAM)
{
    if (CanStartForwardedScan())
        StartScanRequest(SCAN_MODE_PATH, GetSharedPath());
    return 1;
}

LRESULT CQuillonDlg::OnScheduledScanRequest(WPARAM wParam, LPARAM)
{
    if (CanStartForwardedScan())
        StartScanRequest(static_cast<int>(wParam), CString());
    return 1;
}

LRESULT CQuillonDlg::OnAutoUpdateCheck(WPARAM, LPARAM)
{
    RunUpdateDialog(this, TRUE);
    return 1;
}

void CQuillonDlg::OnUpdateButton()
{
    RunUpdateDialog(nullptr, FALSE);
}

void CQuillonDlg::RunUpdateDialog(CWnd* parent, BOOL automatic)
{
    CRegUpdateDlg dialog(parent, automatic);
    dialog.DoModal();
    const CString installer = dialog.GetInstallerPath();
    CQuillonApp* app = QuillonApp();
    if (installer.IsEmpty() || !app)
        return;
    // The installer replaces the program's files: it may start only when the program may close,
    // and does once the engine is released. One that cannot start has been told of and deleted,
    // and the program goes on.
    if (IsJobRunning()) {
        TryClose();
        return;
    }
    if (app->StartInstaller(installer))
        TryClose();
}

void CQuillonDlg::OnHelpButton()
{
    ::ShellExecuteA(nullptr, "open", CString(kMakerSite) + "/support/", nullptr, nullptr, SW_SHOWNORMAL);
}

void CQuillonDlg::OnWebButton()
{
    ::ShellExecuteA(nullptr, "open", CString(kMakerSite) + "/", nullptr, nullptr, SW_SHOWNORMAL);
}

void CQuillonDlg::OnMinimize()
{
    ShowWindow(SW_MINIMIZE);
}

void CQuillonDlg::OnTrayRestore()
{
    ShowWindow(SW_RESTORE);
    SetForegroundWindow();
}

void CQuillonDlg::OnTrayMinimize()
{
    ShowWindow(SW_HIDE);
    ShowWindow(SW_MINIMIZE);
    ShowWindow(SW_HIDE);
}

void CQuillonDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}
