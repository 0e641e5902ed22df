#include "ScanningDlg.h"

#include <shlobj.h>

#include <iterator>
#include <memory>

#include "ChildVisibility.h"
#include "DrawingPause.h"
#include "Kelvara.h"
#include "Messages.h"
#include "QuillonDlg.h"
#include "Releasable.h"
#include "SettingsKey.h"

namespace {

// How often the window draws the job's progress: often enough to look live, rare enough to cost
// nothing beside the scan.
const UINT kDrawIntervalMs = 100;
const char kPreparingResults[] = "Preparing results...";

CString Decimal(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}

CString SpecialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return CString(path);
}

} // namespace

BEGIN_MESSAGE_MAP(CScanningDlg, CSkinPage)
    ON_BN_CLICKED(IDC_SCANNING_CANCEL, OnCancelScan)
    ON_BN_CLICKED(IDC_SCANNING_PAUSE, OnPause)
    ON_BN_CLICKED(IDC_SCANNING_RESUME, OnResume)
    ON_BN_CLICKED(IDC_SCANNING_NEXT, OnNext)
    ON_BN_CLICKED(IDC_SCANNING_BACK, OnBack)
    ON_MESSAGE(WM_SCAN_FINISHED, OnScanFinished)
    ON_MESSAGE(WM_RESULTS_READY, OnResultsReady)
    ON_NOTIFY(LVN_GETDISPINFOA, IDC_SCANNING_ITEM_LIST, OnGetShownItemText)
    ON_WM_TIMER()
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CScanningDlg::CScanningDlg() : CSkinPage(IDD_SCANNING, 366), m_job(*this, *this, WM_SCAN_FINISHED, kDrawIntervalMs)
{
    m_hWhiteBrush = ::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    m_hActivityBrush = ::CreateSolidBrush(RGB(0xF5, 0xF5, 0xF5));
    m_hErrorsBrush = ::CreateSolidBrush(RGB(0xFD, 0xFD, 0xFD));
}

CScanningDlg::~CScanningDlg()
{
    ::DeleteObject(m_hWhiteBrush);
    ::DeleteObject(m_hActivityBrush);
    ::DeleteObject(m_hErrorsBrush);
}

BOOL CScanningDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    m_bTransparentStatics = FALSE;
    // A page made again (its window had gone) decodes its rows again.
    m_bAnimationsLoaded = false;
    m_nRowsDecoded = 0;

    m_overallBar.SubclassDlgItem(IDC_SCANNING_OVERALL_BAR, this);
    m_currentBar.SubclassDlgItem(IDC_SCANNING_CURRENT_BAR, this);
    m_activity.SubclassDlgItem(IDC_SCANNING_ACTIVITY, this);
    m_errors.SubclassDlgItem(IDC_SCANNING_ERRORS, this);
    m_junk.SubclassDlgItem(IDC_SCANNING_JUNK, this);
    m_shownItems.SubclassDlgItem(IDC_SCANNING_ITEM_LIST, this);
    BindSkinButtons(this, {
        { &m_cancel, IDC_SCANNING_CANCEL, 191, 192, 192, 0 }, { &m_pause, IDC_SCANNING_PAUSE, 377, 378, 378, 0 },
        { &m_resume, IDC_SCANNING_RESUME, 383, 384, 384, 0 }, { &m_back, IDC_SCANNING_BACK, 320, 322, 322, 0 },
        { &m_next, IDC_SCANNING_NEXT, 323, 325, 325, 0 },
    });
    for (int row = 0; row < kCategoryCount; ++row) {
        // The spinners are decoded when their rows are first scanned (Spinner): the program's
        // window does not wait for pictures it may never show.
        m_icons[row].SubclassDlgItem(kScanCategories[row].animatedIcon, this);
        m_images[row].SubclassDlgItem(kScanCategories[row].resultImage, this);
        if (row < kRegistryCategoryCount) {
            m_counts[row].SubclassDlgItem(kScanCategories[row].countLabel, this);
            // A count is read whole, however large: it is drawn smaller rather than cut.
            m_counts[row].SetFontName("Verdana")->SetFontSize(9)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0))
                ->SetNeverCut(TRUE);
        }
    }
    m_crossLight.LoadBitmap(164);
    m_crossDark.LoadBitmap(343);
    m_idle.LoadBitmap(337);
    m_tickLight.LoadBitmap(163);
    m_tickDark.LoadBitmap(342);

    m_activity.SetFontName("Tahoma")->SetFontSize(13)->SetTransparent(TRUE);
    for (CLabel* label : { &m_errors, &m_junk })
        label->SetFontName("Myriad Pro")->SetFontSize(14)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x00009D);

    m_shownItems.InsertColumn(0, "Category", LVCFMT_LEFT, 120);
    m_shownItems.InsertColumn(1, "Item", LVCFMT_LEFT, 400);
    m_overallBar.SetRange(0, CScanProgress::kOverallRange);
    m_overallBar.SetPos(0);
    m_overallBar.SetStep(1);
    m_currentBar.SetRange(0, CScanProgress::kCurrentRange);
    m_currentBar.SetPos(0);
    m_currentBar.SetStep(1);
    ShowButtons(false);
    return TRUE;
}

void CScanningDlg::LoadRowAnimations()
{
    // Decoding every row's frames is a good part of a start: it waits until the main window is
    // up (or until the first scan, whichever comes first), and is done once.
    while (LoadNextRowAnimation()) {
    }
}

bool CScanningDlg::LoadNextRowAnimation()
{
    if (m_bAnimationsLoaded || !m_hWnd)
        return false;
    if (m_nRowsDecoded < kCategoryCount) {
        CPictureEx& icon = m_icons[m_nRowsDecoded++];
        if (icon.m_hWnd)
            icon.Load(MAKEINTRESOURCEA(IDG_SCAN_ANIMATION));
    }
    m_bAnimationsLoaded = m_nRowsDecoded >= kCategoryCount;
    return !m_bAnimationsLoaded;
}

HBITMAP CScanningDlg::TickOf(int row) const
{
    return static_cast<HBITMAP>((kScanCategories[row].shade == SHADE_LIGHT ? m_tickLight : m_tickDark).m_hObject);
}

HBITMAP CScanningDlg::CrossOf(int row) const
{
    return static_cast<HBITMAP>((kScanCategories[row].shade == SHADE_LIGHT ? m_crossLight : m_crossDark).m_hObject);
}

void CScanningDlg::SetResultImage(int row, HBITMAP bitmap)
{
    if (m_images[row].m_hWnd)
        m_images[row].SetBitmap(bitmap);
}

HWND CScanningDlg::GetFocusOnArrival() const
{
    for (const CxSkinButton* button : { &m_next, &m_pause, &m_resume }) {
        if (IsReachable(*button))
            return button->m_hWnd;
    }
    return CSkinPage::GetFocusOnArrival();
}

void CScanningDlg::ShowButtons(bool scanning)
{
    EnableChild(m_back, !scanning);
    ShowChild(m_back, !scanning);
    EnableChild(m_next, !scanning);
    ShowChild(m_next, !scanning);
    EnableChild(m_cancel, scanning);
    ShowChild(m_cancel, scanning);
    ShowChild(m_resume, false);
    EnableChild(m_pause, scanning);
    ShowChild(m_pause, scanning);
}

std::set<CString> CScanningDlg::BuildFolderSet()
{
    std::set<CString> folders;
    const CString windows = SpecialFolder(CSIDL_WINDOWS);
    if (windows.GetLength() >= 2)
        folders.insert(windows.Left(2));
    for (int csidl : { CSIDL_RECENT, CSIDL_INTERNET_CACHE }) {
        const CString folder = SpecialFolder(csidl);
        if (!folder.IsEmpty())
            folders.insert(folder);
    }
    if (!windows.IsEmpty())
        folders.insert(windows + "\\Temp");
    char temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof(temp), temp);
    if (length > 0 && length < sizeof(temp))
        folders.insert(CString(temp));
    return folders;
}

BOOL CScanningDlg::StartScan(const char* busyText)
{
    CQuillonApp* app = QuillonApp();
    LoadRowAnimations();
    m_bScanning = TRUE;
    m_dwStartTick = ::GetTickCount();
    m_bAwaitingResults = false;
    m_bKeysOnButtons = false;
    m_scanFolders = BuildFolderSet();
    m_progress.Begin(app ? app->GetProgramFolder() + "WhileList.dat" : CString());
    const bool started = app && m_job.Start(app->m_pProcess, busyText);
    // The page is reset while the engine already works: what the job reports is drawn only by
    // this thread, after the reset.
    ResetPage();
    if (!started)
        ShowButtons(false);
    return started ? TRUE : FALSE;
}

int CScanningDlg::StartEngineJob(CAbstractProcess* process)
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return 0;
    // The last scan's findings go: their memory is freed between the window's messages.
    if (app->m_pItems)
        app->m_resultsPage.RetireMemory(app->m_pItems->TakeFindings());
    return process->StartScan(&m_scanFolders, m_dwCategories, this, m_nScanMode);
}

void CScanningDlg::OnEngineJobRefused()
{
    // The container may have been emptied: so are the results.
    if (CQuillonApp* app = QuillonApp())
        app->m_resultsPage.FillResults();
}

void CScanningDlg::OnEngineJobTaken()
{
    // The results tree grows with the scan's findings.
    if (CQuillonApp* app = QuillonApp())
        app->m_resultsPage.BeginResults(m_dwCategories);
}

void CScanningDlg::DrawJobProgress()
{
    ApplyProgress();
}

void CScanningDlg::ResetPage()
{
    // A page still shown from the last scan is drawn once, after all its rows changed.
    const CDrawingPause pause(*this);
    m_errors.SetText("No Errors Found!");
    m_junk.SetText("No Junk Files Found!");
    if (m_shownItems.m_hWnd)
        ListView_SetItemCountEx(m_shownItems.m_hWnd, 0, 0);
    // The last scan's shown items (one per finding) are freed between the window's messages.
    if (CQuillonApp* app = QuillonApp(); app && !m_shownEntries.empty()) {
        using CShownEntries = CReleasableVector<SCAN_LIST_ENTRY>;
        app->m_resultsPage.RetireMemory(std::make_unique<CShownEntries>(std::move(m_shownEntries)));
    }
    m_shownEntries.clear();
    m_shown = SCAN_PROGRESS_VIEW();
    m_drawnCrosses = 0;
    ShowButtons(true);
    for (int row = 0; row < kCategoryCount; ++row) {
        // Hidden before its picture changes: a shown picture's new size erases the page at once.
        ShowChild(m_icons[row], false);
        ShowChild(m_images[row], false);
        SetResultImage(row, RowHasBit(row, m_dwCategories) ? TickOf(row) : static_cast<HBITMAP>(m_idle.m_hObject));
        if (row < kRegistryCategoryCount)
            m_counts[row].SetText("0");
    }
    if (CQuillonDlg* mainWindow = QuillonMainWindow()) {
        mainWindow->m_statisticsPage.ResetCleanCounts();
        mainWindow->m_statisticsPage.ResetErrorCounts();
    }
}

// ---- CAbstractStatus: the engine's job thread ---------------------------------------------------

void CScanningDlg::SetActivity(const char* text, const char* area)
{
    m_progress.OnActivity(text, area);
}

void CScanningDlg::SetProgress(int phase)
{
    m_progress.OnProgress(phase);
}

void CScanningDlg::ReportItem(const char* item, int category, int value, INT_PTR extra)
{
    CQuillonApp* app = QuillonApp();
    m_progress.OnItem(app ? app->m_pItems : nullptr, item, category, value, extra);
}

int CScanningDlg::OperationFinished(int)
{
    m_job.PostEnd();
    return 1;
}

int CScanningDlg::ReportResult(int)
{
    return 0;
}

// ---- The window thread ----------------------------------------------------------------------------

void CScanningDlg::OnTimer(UINT_PTR id)
{
    m_job.OnTimer(id);
}

void CScanningDlg::ApplyProgress(bool ended)
{
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    if (view.activity != m_shown.activity)
        m_activity.SetText(view.activity);
    if (view.overallPosition != m_shown.overallPosition && m_overallBar.m_hWnd)
        m_overallBar.SetPos(view.overallPosition);
    if (view.currentPosition != m_shown.currentPosition && m_currentBar.m_hWnd)
        m_currentBar.SetPos(view.currentPosition);
    for (size_t entered = 0; entered < view.enteredRows.size(); ++entered) {
        const int row = view.enteredRows[entered];
        // Only the last row entered since the previous draw spins: a spinner started and stopped
        // again before the window is drawn would never be seen. At the job's end, or once the
        // user cancelled it, none starts.
        if (!ended && m_bScanning && entered + 1 == view.enteredRows.size())
            MarkCategoryRow(row);
        else if (row > 0)
            ShowChild(m_images[row - 1], true);
    }
    const DWORD newCrosses = view.crossedRows & ~m_drawnCrosses;
    for (int row = 0; row < kCategoryCount; ++row) {
        if (newCrosses & (1u << row))
            SetResultImage(row, CrossOf(row));
    }
    m_drawnCrosses |= newCrosses;
    for (int row = 0; row < kRegistryCategoryCount; ++row) {
        if (view.rowCounts[row] != m_shown.rowCounts[row])
            m_counts[row].SetText(Decimal(view.rowCounts[row]));
    }
    if (view.errorCount != m_shown.errorCount && view.errorCount > 0)
        m_errors.SetText(Decimal(view.errorCount) + " Errors Found!");
    if (view.junkLabel != m_shown.junkLabel && !view.junkLabel.IsEmpty())
        m_junk.SetText(view.junkLabel + " Junk Files Found!");
    if (!view.newEntries.empty()) {
        m_shownEntries.insert(m_shownEntries.end(), std::make_move_iterator(view.newEntries.begin()),
                              std::make_move_iterator(view.newEntries.end()));
        if (m_shownItems.m_hWnd)
            ListView_SetItemCountEx(m_shownItems.m_hWnd, static_cast<int>(m_shownEntries.size()),
                                    LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    }
    if (!view.newFindings.empty()) {
        if (CQuillonApp* app = QuillonApp())
            app->m_resultsPage.QueueFindings(view.newFindings);
    }
    view.enteredRows.clear();
    view.newEntries.clear();
    view.newFindings.clear();
    m_shown = view;
}

void CScanningDlg::OnGetShownItemText(NMHDR* header, LRESULT* result)
{
    auto* info = reinterpret_cast<NMLVDISPINFOA*>(header);
    *result = 0;
    if (!(info->item.mask & LVIF_TEXT) || info->item.iItem < 0 ||
        static_cast<size_t>(info->item.iItem) >= m_shownEntries.size() || !info->item.pszText)
        return;
    const SCAN_LIST_ENTRY& entry = m_shownEntries[static_cast<size_t>(info->item.iItem)];
    const CString& text = info->item.iSubItem == 0 ? entry.category : entry.item;
    lstrcpynA(info->item.pszText, text, info->item.cchTextMax);
}

void CScanningDlg::StopAnimation()
{
    if (m_nAnimatedRow >= 0)
        m_icons[m_nAnimatedRow].Stop();
    m_nAnimatedRow = -1;
}

CPictureEx& CScanningDlg::Spinner(int row)
{
    CPictureEx& icon = m_icons[row];
    if (icon.m_hWnd && !icon.IsInitialised() && icon.Load(MAKEINTRESOURCEA(IDG_SCAN_ANIMATION)))
        icon.SetBkColor(kScanCategories[row].iconBackground);
    return icon;
}

void CScanningDlg::MarkCategoryRow(int row)
{
    // Only the spinner of the row being scanned shows.
    if (m_nAnimatedRow >= 0)
        ShowChild(m_icons[m_nAnimatedRow], false);
    StopAnimation();
    if (row < 0 || row >= kCategoryCount)
        return;
    CPictureEx& spinner = Spinner(row);
    ShowChild(spinner, true);
    if (spinner.IsInitialised())
        spinner.Draw();
    m_nAnimatedRow = row;
    // The row before it in the table is done, whether or not it was scanned.
    if (row > 0)
        ShowChild(m_images[row - 1], true);
}

void CScanningDlg::OnCancelScan()
{
    m_bKeysOnButtons = m_bKeysOnButtons || HasFocusWithin();
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->SetCaptions("SCAN", nullptr);
    // Every row shows its verdict at once. A row that found something keeps its cross, and one
    // whose category was scanned to its end its tick; the row being scanned and those never
    // reached look like rows not scanned. (What was found so far as the job thread recorded it:
    // the container is the job's until its end message.)
    const DWORD finished = m_progress.Cancel();
    const DWORD found = m_progress.GetFoundRows();
    StopAnimation();
    for (int row = 0; row < kCategoryCount; ++row) {
        ShowChild(m_icons[row], false);
        if (!((finished | found) & (1u << row)))
            SetResultImage(row, static_cast<HBITMAP>(m_idle.m_hObject));
        ShowChild(m_images[row], true);
    }
    ShowChild(m_resume, false);
    ShowChild(m_pause, false);
    EnableChild(m_cancel, false);
    ShowChild(m_cancel, false);
    ShowChild(m_back, true);
    ShowChild(m_next, true);
    CQuillonApp* app = QuillonApp();
    if (app && app->m_pProcess)
        app->m_pProcess->Stop(1);
    m_bScanning = FALSE;
}

void CScanningDlg::OnPause()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    app->m_pProcess->Suspend();
    if (m_nAnimatedRow >= 0)
        m_icons[m_nAnimatedRow].Stop();
    EnableChild(m_cancel, false);
    ShowChild(m_pause, false);
    ShowChild(m_resume, true);
}

void CScanningDlg::OnResume()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    app->m_pProcess->Resume();
    if (m_nAnimatedRow >= 0 && m_icons[m_nAnimatedRow].IsInitialised())
        m_icons[m_nAnimatedRow].Draw();
    ShowChild(m_resume, false);
    ShowChild(m_pause, true);
    EnableChild(m_cancel, true);
}

LRESULT CScanningDlg::OnScanFinished(WPARAM, LPARAM)
{
    m_bKeysOnButtons = m_bKeysOnButtons || HasFocusWithin();
    m_dwEndTick = ::GetTickCount();
    m_job.StopProgress();
    ApplyProgress(true);
    // Back and Next wait for the results (a cancelled scan shows them, disabled, already).
    EnableChild(m_cancel, false);
    ShowChild(m_cancel, false);
    ShowChild(m_pause, false);
    ShowChild(m_resume, false);
    StopAnimation();
    for (CPictureEx& icon : m_icons)
        ShowChild(icon, false);
    ShowChild(m_images[kCategoryCount - 1], true);

    CQuillonApp* app = QuillonApp();
    if (!app)
        return 0;
    CScanResultDlg& results = app->m_resultsPage;
    results.m_nTotalErrors = m_progress.GetErrorCount();
    results.m_nSelectedErrors = results.m_nTotalErrors;
    results.m_nJunkFilesFound = m_progress.GetJunkCount();
    results.m_strJunkText = m_progress.GetJunkText();
    m_progress.ResetCounts();

    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->SetCaptions("SCAN", nullptr);
    if (m_bScanning)
        app->SaveLastScan(CTime::GetCurrentTime().Format("%d %B %Y, %I:%M%p"));
    SaveLastScanCounts();
    m_bAwaitingResults = true;
    if (results.CompleteResults(m_hWnd, WM_RESULTS_READY))
        return OnResultsReady(0, 0);
    m_activity.SetText(kPreparingResults);
    return 0;
}

LRESULT CScanningDlg::OnResultsReady(WPARAM preparing, LPARAM)
{
    if (!m_bAwaitingResults)
        return 0;
    m_bAwaitingResults = false;
    // The message says the results were being prepared: the line said so until now.
    if (preparing)
        m_activity.SetText(m_shown.activity);
    ShowButtons(false);
    // The buttons the keys were on went with the scan: they go on to Next.
    if (m_bKeysOnButtons) {
        m_bKeysOnButtons = false;
        FocusOnArrival();
    }
    CQuillonApp* app = QuillonApp();
    if (app && app->m_settings.m_bAutoRepair != 0) {
        // The repair that follows must find the engine free: the scan's thread ends first.
        m_job.Finish(app->m_pProcess);
        app->m_scanPage.RequestAutoRepair();
        OnNext();
    }
    return 0;
}

void CScanningDlg::SaveLastScanCounts()
{
    CSettingsKey key;
    if (!key.Open())
        return;
    CQuillonApp* app = QuillonApp();
    // Each entry counts once, under the first category that found it, as the results tree
    // shows it: the counts add up to the total.
    int counts[kRegistryCategoryCount] = {};
    int total = 0;
    if (app && app->m_pItems) {
        app->m_pItems->CountFindingsOnce(counts);
        total = app->m_pItems->CountFindings();
    }
    CQuillonDlg* mainWindow = QuillonMainWindow();
    for (int row = 0; row < kRegistryCategoryCount; ++row) {
        if (mainWindow)
            mainWindow->m_statisticsPage.SetErrorText(row, Decimal(counts[row]));
        key.WriteDword(kScanCategories[row].errorValue, static_cast<DWORD>(counts[row]));
    }
    const double junkKB[2] = { m_progress.GetRecycleBinKB(), m_progress.GetTempFilesKB() };
    for (int junk = 0; junk < 2; ++junk) {
        const int row = kRecycleBinRow + junk;
        if (mainWindow)
            mainWindow->m_statisticsPage.SetErrorText(row, CScanResultDlg::FormatSize(junkKB[junk]));
        key.WriteDword(kScanCategories[row].errorValue, static_cast<DWORD>(junkKB[junk]));
    }
    key.WriteDword("LastTotalErrCnt", static_cast<DWORD>(total));
    if (mainWindow)
        mainWindow->m_statisticsPage.SetTotalErrorsText(Decimal(total));
}

void CScanningDlg::OnNext()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    CScanResultDlg& results = app->m_resultsPage;
    int counts[24] = {};
    const int total = results.CountPerCategory(counts);
    if (total == 0 && results.m_nJunkFilesFound == 0) {
        app->m_scanPage.ShowStep(STEP_SELECT);
        return;
    }
    // The page is ready before it is shown: showing it may start the automatic repair, whose
    // texts must not be written over.
    results.m_selected.SetText(results.SelectionText());
    results.m_junk.SetText(results.m_strJunkText + " Junk Files Found");
    if (total != 0)
        results.OnRegistryErrorsView();
    else
        results.OnOtherErrorsView();
    app->m_scanPage.ShowStep(STEP_RESULTS);
}

void CScanningDlg::OnBack()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.ShowStep(STEP_SELECT);
}

HBRUSH CScanningDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hWhiteBrush;
    if (pWnd && pWnd->m_hWnd == m_activity.m_hWnd)
        return m_hActivityBrush;
    if (pWnd && pWnd->m_hWnd == m_errors.m_hWnd)
        return m_hErrorsBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}
