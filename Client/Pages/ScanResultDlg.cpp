#include "ScanResultDlg.h"

#include <shlobj.h>

#include "ChildVisibility.h"
#include "Kelvara.h"
#include "LineBreaks.h"
#include "Messages.h"
#include "QuillonDlg.h"
#include "RepairOutcome.h"
#include "ResultCategories.h"
#include "ScanItemsInfo.h"

namespace {

const char kRepairRefused[] =
    "The repair was not carried out: its registry backup could not be written. Nothing was deleted.";
const char kRepairRefusedStatus[] = "Nothing was repaired: the registry backup could not be written.";
// Why selected entries were left alone, a line for each reason that applies (NOT_DONE_REASON).
const char* const kEntriesLeftAlone[kNotDoneReasons] = {
    "Not repaired: %d of the selected entries, whose registry backup could not be written whole.",
    "Not repaired: %d of the selected entries, which were no longer errors when the repair came to them.",
    "Not repaired: %d of the selected entries, which hold or lie inside entries you kept.",
};
const char kRestorePointFailed[] = "The System Restore point could not be set.\nDo you want to repair without it?";
const char kScanLogFailed[] = "The scan log could not be written.";
const char kJobRunning[] = "Please stop other active operation before starting repair.";
const char kIgnoreListNotSaved[] =
    "The entry could not be put on the ignore list: \"IgnoreList.dat\" could not be written. It stays in the list.";
const char kScanLogFolder[] = "Scan Logs";
const char kDescriptionHeading[] = "Description";
const char kEntryHeading[] = "Selected entry";
const char kCheckingRepair[] = "Checking what was repaired...";
// The page's slices come by this timer when the window has input, painting or timers waiting.
const UINT_PTR kSliceTimer = 0x5E1;
// Old trees are emptied while no job runs: the job's thread and this one would share the memory
// they both allocate and free. How often the page looks whether the job has ended.
const UINT kJobEndLookMs = 250;
// The tree fills the page below its headings and above its buttons.
const int kTreeInsetLeft = 8;
const int kTreeInsetTop = 124;
const int kTreeInsetRight = 7;
const int kTreeInsetBottom = 33;
const DWORD kTreeStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                         TVS_SHOWSELALWAYS;

int BitNumber(DWORD bit)
{
    int number = 0;
    while (number < 31 && !(bit & (1u << number)))
        ++number;
    return number;
}

CString DocumentsFolder()
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return path;
}

} // namespace

BEGIN_MESSAGE_MAP(CScanResultDlg, CSkinPage)
    ON_BN_CLICKED(IDC_RESULTS_REPAIR, OnRepair)
    ON_BN_CLICKED(IDC_RESULTS_NEXT, OnRepairButton)
    ON_BN_CLICKED(IDC_RESULTS_IGNORE, OnIgnore)
    ON_BN_CLICKED(IDC_RESULTS_REGISTRY_VIEW, OnRegistryErrorsView)
    ON_BN_CLICKED(IDC_RESULTS_OTHER_VIEW, OnOtherErrorsView)
    ON_BN_CLICKED(IDC_RESULTS_BACK, OnBack)
    ON_BN_CLICKED(IDC_RESULTS_RECYCLE_BOX, OnRecycleBinBox)
    ON_BN_CLICKED(IDC_RESULTS_TEMP_BOX, OnTempFilesBox)
    ON_MESSAGE(WM_REPAIR_FINISHED, OnRepairFinished)
    ON_MESSAGE(WM_RESULTS_SLICE, OnSliceMessage)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_WM_CTLCOLOR()
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

CScanResultDlg::CScanResultDlg()
    : CSkinPage(IDD_RESULTS, 367), m_job(*this, *this, WM_REPAIR_FINISHED, 0), m_slices(WM_RESULTS_SLICE, kSliceTimer)
{
    m_hPageBrush = ::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
    m_tree.SetOwner(this);
    m_strLogFallbackFolder = DocumentsFolder();
}

CScanResultDlg::~CScanResultDlg()
{
    ::DeleteObject(m_hPageBrush);
}

BOOL CScanResultDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitSkin();
    CreateTree();
    return TRUE;
}

void CScanResultDlg::InitSkin()
{
    m_bTransparentStatics = FALSE;
    BindSkinButtons(this, {
        { &m_repair, IDC_RESULTS_REPAIR, 202, 203, 203, 0 },
        { &m_next, IDC_RESULTS_NEXT, 323, 325, 325, 0 },
        { &m_back, IDC_RESULTS_BACK, 320, 322, 322, 0 },
        { &m_ignore, IDC_RESULTS_IGNORE, 356, 357, 357, 0 },
        { &m_registryView, IDC_RESULTS_REGISTRY_VIEW, 380, 380, 0, 379 },
        { &m_otherView, IDC_RESULTS_OTHER_VIEW, 382, 382, 0, 381 },
    });
    m_recycleBinBox.SubclassDlgItem(IDC_RESULTS_RECYCLE_BOX, this);
    m_tempFilesBox.SubclassDlgItem(IDC_RESULTS_TEMP_BOX, this);
    m_progress.SubclassDlgItem(IDC_RESULTS_PROGRESS, this);
    SetFonts();
}

void CScanResultDlg::SetFonts()
{
    const struct { CLabel* label; int id; const char* face; int size; BOOL bold; COLORREF colour; } labels[] = {
        { &m_title, IDC_RESULTS_TITLE, "Arial", 12, TRUE, 0x248624 },
        { &m_descriptionHeading, IDC_RESULTS_DESCRIPTION_HEADING, "Arial", 9, FALSE, 0xBF3700 },
        { &m_description, IDC_RESULTS_DESCRIPTION, "Arial", 9, FALSE, 0xBF3700 },
        { &m_found, IDC_RESULTS_FOUND, "Myriad Pro", 14, TRUE, 0x9D },
        { &m_junk, IDC_RESULTS_JUNK, "Myriad Pro", 14, TRUE, 0x9D },
        { &m_selected, IDC_RESULTS_SELECTED, "Tahoma", 10, FALSE, 0 },
        { &m_status, IDC_RESULTS_STATUS, "Arial", 10, FALSE, 0 },
        { &m_recycleBinLabel, IDC_RESULTS_RECYCLE_LABEL, "Tahoma", 8, FALSE, 0 },
        { &m_tempFilesLabel, IDC_RESULTS_TEMP_LABEL, "Tahoma", 8, FALSE, 0 },
    };
    for (const auto& l : labels) {
        l.label->SubclassDlgItem(l.id, this);
        l.label->SetFontName(l.face)->SetFontSize(l.size)->SetFontBold(l.bold)->SetTransparent(TRUE)->SetTextColor(l.colour);
    }
    // The counts and sizes are read whole: a long one is drawn smaller rather than cut.
    for (CLabel* counts : { &m_found, &m_junk, &m_selected })
        counts->SetNeverCut(TRUE);
}

void CScanResultDlg::CreateTree()
{
    if (m_tree.m_hWnd || !m_hWnd)
        return;
    CRect area;
    GetClientRect(&area);
    area.left += kTreeInsetLeft;
    area.top += kTreeInsetTop;
    area.right -= kTreeInsetRight;
    area.bottom -= kTreeInsetBottom;
    if (!m_tree.Create(kTreeStyle, area, this, IDC_RESULTS_TREE))
        return;
    // The keys reach the tree right after the view buttons above it, not after the page's last
    // button.
    ::SetWindowPos(m_tree.m_hWnd, m_otherView.m_hWnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_tree.InitImageLists();
}

HWND CScanResultDlg::GetFocusOnArrival() const
{
    return IsReachable(m_tree) ? m_tree.m_hWnd : CSkinPage::GetFocusOnArrival();
}

void CScanResultDlg::RenewTree()
{
    if (!m_tree.m_hWnd || m_tree.GetCount() == 0) {
        m_tree.RemoveAll();
        return;
    }
    const bool visible = (m_tree.GetStyle() & WS_VISIBLE) != 0;
    const bool enabled = m_tree.IsWindowEnabled() != FALSE;
    std::unique_ptr<CReleasable> rows;
    const HWND old = m_tree.TakeWindow(&rows);
    m_retired.Retire(old);
    m_retired.Retire(std::move(rows));
    CreateTree();
    ShowChild(m_tree, visible);
    EnableChild(m_tree, enabled);
    m_slices.Schedule(m_hWnd);
}

// ---- Counts and texts ----------------------------------------------------------------------------

int CScanResultDlg::CountPerCategory(CAbstractScanItemsInfo* items, int counts[24])
{
    for (int bit = 0; bit < 24; ++bit)
        counts[bit] = 0;
    if (!items)
        return 0;
    int total = 0;
    for (int row = 0; row < kRegistryCategoryCount; ++row) {
        const DWORD category = kScanCategories[row].bit;
        const int number = BitNumber(category);
        counts[number] = items->CountCategory(static_cast<int>(category));
        total += counts[number];
    }
    return total;
}

int CScanResultDlg::CountPerCategory(int counts[24])
{
    CQuillonApp* app = QuillonApp();
    return CountPerCategory(app ? app->m_pItems : nullptr, counts);
}

CString CScanResultDlg::FormatSize(double kilobytes)
{
    CString text;
    if (kilobytes > 1073741824.0)
        text.Format("%.2fTB", kilobytes / 1073741824.0);
    else if (kilobytes > 1048576.0)
        text.Format("%.1fGB", kilobytes / 1048576.0);
    else if (kilobytes > 1024.0)
        text.Format("%.0fMB", kilobytes / 1024.0);
    else
        text.Format("%.0fKB", kilobytes);
    return text;
}

CString CScanResultDlg::SelectionText() const
{
    CString text;
    text.Format("%d of %d Errors Selected for Repair", m_nSelectedErrors, m_nTotalErrors);
    return text;
}

CString CScanResultDlg::RestorePointDescription()
{
    char description[MAX_DESC] = {};
    ::lstrcpynA(description, ProductName(), sizeof(description));
    const size_t used = ::lstrlenA(description);
    ::lstrcpynA(description + used, " Restore Point before Repair", static_cast<int>(sizeof(description) - used));
    return description;
}

BOOL CScanResultDlg::WriteScanLog(CScanItemsInfo* container, const CString& otherFolder, CString* path)
{
    if (!container)
        return FALSE;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    if (container->WriteScanLogInto(container->GetScanLogFolder(), now, path))
        return TRUE;
    // The program's folder may be read-only for this user: the user's own folder takes the log.
    if (otherFolder.IsEmpty())
        return FALSE;
    CString folder = otherFolder;
    folder.TrimRight('\\');
    return container->WriteScanLogInto(folder + "\\" + kScanLogFolder, now, path) ? TRUE : FALSE;
}

// ---- Filling ----------------------------------------------------------------------------------

void CScanResultDlg::FillResults()
{
    CQuillonApp* app = QuillonApp();
    BeginResults(app ? app->m_scanningPage.m_dwCategories : 0);
    if (CScanItemsInfo* items = app ? app->m_pItems : nullptr) {
        // In table order, as a scan reports them: an entry found by several categories stands
        // under the first.
        std::vector<const CScanItemsInfo::FOUND_ITEM*> found;
        for (int row = 0; row < kRegistryCategoryCount; ++row) {
            if (!(m_dwScanCategories & kScanCategories[row].bit))
                continue;
            found.clear();
            items->GetFoundItems(static_cast<int>(kScanCategories[row].bit), &found);
            for (const CScanItemsInfo::FOUND_ITEM* item : found)
                m_queue.push_back({ row, item->text, item->identity });
        }
    }
    InsertQueued(CTimeBudget::Unlimited());
    FinishResults();
}

void CScanResultDlg::BeginResults(DWORD categories)
{
    m_queue.clear();
    m_nQueueHead = 0;
    m_bCompleting = false;
    m_hReadyNotify = nullptr;
    m_bPreparing = true;
    m_bSeenByUser = false;
    if (m_progress.m_hWnd) {
        m_progress.SetRange(0, 100);
        m_progress.SetPos(0);
        m_progress.SetStep(1);
        ShowChild(m_progress, false);
    }
    m_status.SetText("");
    m_dwScanCategories = categories;

    RenewTree();
    m_descriptionHeading.SetText(kDescriptionHeading);
    m_description.SetText("");
    // Nothing is repaired from results that are not whole.
    SetRepairing(true);
    m_selected.SetText("");
    m_recycleBinBox.SetCheck(BST_CHECKED);
    m_tempFilesBox.SetCheck(BST_CHECKED);
    if (m_tree.m_hWnd)
        m_tree.SendMessage(WM_SETREDRAW, FALSE);
}

void CScanResultDlg::QueueFindings(std::vector<SCAN_FINDING>& findings)
{
    if (findings.empty() || !m_bPreparing)
        return;
    if (m_queue.empty())
        m_queue.swap(findings);
    else
        m_queue.insert(m_queue.end(), std::make_move_iterator(findings.begin()), std::make_move_iterator(findings.end()));
    findings.clear();
    m_slices.Schedule(m_hWnd);
}

bool CScanResultDlg::CompleteResults(HWND notify, UINT readyMessage)
{
    m_bCompleting = true;
    // What is left usually fits one slice: the results are ready at once.
    if (InsertQueued(CTimeBudget())) {
        FinishResults();
        m_slices.Schedule(m_hWnd);   // for the old trees, if any
        return true;
    }
    m_hReadyNotify = notify;
    m_uReadyMessage = readyMessage;
    m_slices.Schedule(m_hWnd);
    return false;
}

void CScanResultDlg::RetireMemory(std::unique_ptr<CReleasable> memory)
{
    m_retired.Retire(std::move(memory));
    m_slices.Schedule(m_hWnd);
}

bool CScanResultDlg::InsertQueued(const CTimeBudget& budget)
{
    int inserted = 0;
    while (m_nQueueHead < m_queue.size()) {
        const SCAN_FINDING& finding = m_queue[m_nQueueHead++];
        if (m_dwScanCategories & kScanCategories[finding.row].bit)
            m_tree.AddEntry(finding.row, finding.item, finding.identity);
        // An insertion costs microseconds: the clock is looked at now and then.
        if (++inserted % 64 == 0 && budget.IsSpent())
            break;
    }
    if (m_nQueueHead < m_queue.size())
        return false;
    m_queue.clear();
    m_nQueueHead = 0;
    return true;
}

void CScanResultDlg::FinishResults()
{
    m_bPreparing = false;
    m_bCompleting = false;
    // Both junk kinds are repaired unless the user unticks them. Told to the container now, not
    // when the scan began: the scan's job had it then.
    if (CQuillonApp* app = QuillonApp()) {
        if (app->m_pItems) {
            app->m_pItems->SetIgnore("", SCAN_RCB, 0);
            app->m_pItems->SetIgnore("", SCAN_TPF, 0);
        }
    }
    m_tree.UpdateNodeLabels();
    if (m_tree.m_hWnd) {
        m_tree.SendMessage(WM_SETREDRAW, TRUE);
        m_tree.Invalidate();
        if (const HTREEITEM first = m_tree.GetRootItem()) {
            m_tree.SelectItem(first);
            m_tree.UpdateDescriptionFromSelection();
        }
    }
    SetRepairing(false);
    ShowCounts();
    if (m_nTotalErrors == 0)
        FillSummary(0, 0, m_tree.GetExcludedCount());
}

LRESULT CScanResultDlg::OnSliceMessage(WPARAM, LPARAM)
{
    m_slices.Arrived(m_hWnd);
    RunSlice();
    return 0;
}

void CScanResultDlg::OnTimer(UINT_PTR id)
{
    if (id != kSliceTimer)
        return;
    m_slices.Arrived(m_hWnd);
    RunSlice();
}

void CScanResultDlg::RunSlice()
{
    const CTimeBudget budget;
    CQuillonApp* app = QuillonApp();
    const bool jobRunning = app && app->m_pProcess && app->m_pProcess->IsRunning();
    // One kind of work a slice, each doing some before it looks at the budget; what the user
    // waits for first: the results, then what the repair removed; old trees last, while no job
    // runs.
    const bool filling = m_bPreparing && (m_nQueueHead < m_queue.size() || m_bCompleting);
    if (filling) {
        if (InsertQueued(budget) && m_bCompleting) {
            FinishResults();
            if (m_hReadyNotify)
                ::PostMessageA(m_hReadyNotify, m_uReadyMessage, 1, 0);
        }
    } else if (m_repairEnd != END_NONE) {
        RunRepairEndStep(budget);
    } else if (!jobRunning) {
        m_retired.ReleaseSome(budget);
    }
    const bool moreFilling = m_bPreparing && (m_nQueueHead < m_queue.size() || m_bCompleting);
    if (moreFilling || m_repairEnd != END_NONE)
        m_slices.Schedule(m_hWnd);
    else if (!m_retired.IsEmpty())
        jobRunning ? m_slices.ScheduleLater(m_hWnd, kJobEndLookMs) : m_slices.Schedule(m_hWnd);
}

void CScanResultDlg::OnDestroy()
{
    // The program ends while the look at what a repair removed is still going, or before it is
    // stored: it finishes now, so that the statistics hold the repair. The pages are not shown.
    if (m_repairEnd == END_LOOK)
        CheckOutcomeSome(CTimeBudget::Unlimited());
    if (m_repairEnd == END_LOOK || m_repairEnd == END_STORE)
        StoreRepairResults();
    if (m_repairEnd != END_NONE) {
        m_repairEnd = END_NONE;
        m_bRepairPending = false;
    }
    m_slices.Cancel(m_hWnd);
    m_retired.ReleaseAll();
    CSkinPage::OnDestroy();
}

// ---- The user's choices ---------------------------------------------------------------------------

void CScanResultDlg::OnSelectedCountChanged(int delta)
{
    m_nSelectedErrors += delta;
    ShowSelection();
}

void CScanResultDlg::ShowSelection()
{
    m_selected.SetText(SelectionText());
}

void CScanResultDlg::UpdateDescription(const CString& description)
{
    m_descriptionHeading.SetText(kDescriptionHeading);
    m_description.SetText(CleanDescription(description));
}

void CScanResultDlg::ShowSelectedEntry(const CString& shownText)
{
    // The tree cuts a long entry at its right edge; here it is whole, without scrolling.
    m_descriptionHeading.SetText(kEntryHeading);
    m_description.SetText(BreakIntoLinesFor(m_description.m_hWnd, m_description.GetLogFont(), shownText));
}

void CScanResultDlg::OnRegistryErrorsView()
{
    EnableChild(m_registryView, false);
    EnableChild(m_otherView, true);
    for (CWnd* control : { static_cast<CWnd*>(&m_recycleBinBox), static_cast<CWnd*>(&m_tempFilesBox),
                           static_cast<CWnd*>(&m_recycleBinLabel), static_cast<CWnd*>(&m_tempFilesLabel) })
        ShowChild(*control, false);
    ShowChild(m_tree, true);
}

void CScanResultDlg::OnOtherErrorsView()
{
    EnableChild(m_otherView, false);
    EnableChild(m_registryView, true);
    ShowChild(m_tree, false);
    for (CWnd* control : { static_cast<CWnd*>(&m_recycleBinBox), static_cast<CWnd*>(&m_tempFilesBox),
                           static_cast<CWnd*>(&m_recycleBinLabel), static_cast<CWnd*>(&m_tempFilesLabel) })
        ShowChild(*control, true);
}

void CScanResultDlg::OnRecycleBinBox()
{
    if (CQuillonApp* app = QuillonApp()) {
        if (app->m_pItems)
            app->m_pItems->SetIgnore("", SCAN_RCB, m_recycleBinBox.GetCheck() == BST_CHECKED ? 0 : -1);
    }
}

void CScanResultDlg::OnTempFilesBox()
{
    if (CQuillonApp* app = QuillonApp()) {
        if (app->m_pItems)
            app->m_pItems->SetIgnore("", SCAN_TPF, m_tempFilesBox.GetCheck() == BST_CHECKED ? 0 : -1);
    }
}

void CScanResultDlg::OnIgnore()
{
    CQuillonApp* app = QuillonApp();
    if (!app || !m_tree.m_hWnd)
        return;
    const HTREEITEM row = m_tree.GetSelectedItem();
    if (!row || !m_tree.IsEntry(row) || !app->m_pItems)
        return;
    const CString category = m_tree.GetCategoryName(m_tree.GetParentItem(row));
    // The row leaves the tree only when its record is in the file: otherwise the entry would
    // look ignored and come back with the next scan.
    if (!app->m_pItems->AddToIgnoreList(m_tree.GetEntryText(row), category, SCAN_AXO, 0)) {
        AfxMessageBox(kIgnoreListNotSaved, MB_OK | MB_ICONWARNING);
        return;
    }
    m_tree.RemoveEntry(row);
    m_tree.UpdateNodeLabels();
    ShowCounts();
    if (m_tree.GetTotalEntries() == 0)
        app->m_scanPage.ShowStep(STEP_SELECT);
}

void CScanResultDlg::ShowCounts()
{
    // The labels say what the tree holds: one row per entry, however many texts named it.
    m_nTotalErrors = m_tree.GetTotalEntries();
    m_nSelectedErrors = m_tree.GetTickedEntries();
    CString found;
    found.Format("%d Errors Found", m_nTotalErrors);
    m_found.SetText(found);
    ShowSelection();
}

bool CScanResultDlg::IsHoldingUserChoices() const
{
    if (m_bRepairPending || m_bPreparing)
        return true;
    // The results wait for the user on this page, and on the scanning page after Back, whichever
    // page the main window shows meanwhile.
    CQuillonApp* app = QuillonApp();
    if (!app)
        return false;
    const int step = app->m_scanPage.GetStep();
    const bool waiting = step == STEP_RESULTS || (step == STEP_SCANNING && m_bSeenByUser);
    return waiting && m_tree.GetTotalEntries() > 0;
}

void CScanResultDlg::OnBack()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.ShowStep(STEP_SCANNING);
}

void CScanResultDlg::EnableBack()
{
    EnableChild(m_back, true);
}

// ---- The repair -----------------------------------------------------------------------------------

void CScanResultDlg::SetRepairing(bool repairing)
{
    for (CWnd* control : { static_cast<CWnd*>(&m_tree), static_cast<CWnd*>(&m_recycleBinBox),
                           static_cast<CWnd*>(&m_tempFilesBox), static_cast<CWnd*>(&m_repair),
                           static_cast<CWnd*>(&m_next), static_cast<CWnd*>(&m_back) })
        EnableChild(*control, !repairing);
    ShowChild(m_ignore, !repairing);
    if (repairing)
        m_selected.SetText("Repairing Errors");
}

void CScanResultDlg::OnRepair()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    CAbstractProcess* process = app->m_pProcess;
    CScanItemsInfo* items = app->m_pItems;
    if (!CPageJob::IsEngineFree(process, kJobRunning))
        return;
    // Results not yet whole, or a repair whose outcome is still being looked at: nothing starts.
    if (!process || !items || m_bPreparing || m_bRepairPending)
        return;
    SetRepairing(true);
    m_report.Reset();

    // What is not ticked, handed over afresh: an entry ticked again since an earlier attempt
    // is repaired, and an ignored one (no longer in the tree) is not. From here to the end of
    // the repair the container holds the user's choice: nothing may refill it (see
    // IsHoldingUserChoices), not even while a question below waits for an answer.
    m_bRepairPending = true;
    items->ClearRepairExclusions();
    m_tree.ExcludeUncheckedEntries(items);

    if (app->m_settings.m_bRestorePoint == 1 && m_tree.GetTotalEntries() > m_tree.GetExcludedCount()) {
        m_status.SetText("Setting Restore Point");
        const BOOL set = m_restorePoint.Begin(RestorePointDescription());
        m_status.SetText("");
        if (!set && AfxMessageBox(kRestorePointFailed, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            m_bRepairPending = false;
            SetRepairing(false);
            ShowSelection();
            return;
        }
    }
    if (app->m_settings.m_bLogScanSummary == 1 && !WriteScanLog(items, m_strLogFallbackFolder, nullptr))
        AfxMessageBox(kScanLogFailed, MB_OK | MB_ICONWARNING);

    m_status.SetText("Repairing registry corruption(s)");
    m_job.Start(process, kJobRunning);
}

int CScanResultDlg::StartEngineJob(CAbstractProcess* process)
{
    CQuillonApp* app = QuillonApp();
    return app && app->m_pItems ? process->StartRepair(app->m_pItems, this) : 0;
}

void CScanResultDlg::OnEngineJobRefused()
{
    m_bRepairPending = false;
    if (m_restorePoint.IsOpen())
        m_restorePoint.Cancel();
    m_status.SetText("");
    SetRepairing(false);
    ShowSelection();
}

void CScanResultDlg::ReportItem(const char* item, int category, int value, INT_PTR extra)
{
    if (value == ITEM_NOT_DONE)
        m_report.OnNotDone(item, category, static_cast<int>(extra));
    else if ((category == SCAN_RCB || category == SCAN_TPF) && item && CString(item) == ITEM_SIZE_TOTAL)
        m_report.OnSizeRow(category == SCAN_RCB, value);
}

int CScanResultDlg::OperationFinished(int result)
{
    m_job.PostEnd(result == 1 ? 1 : 0);
    return 0;
}

LRESULT CScanResultDlg::OnRepairFinished(WPARAM result, LPARAM)
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return 0;
    // Whatever follows (the statistics, a restore point's end, closing) waits for the job's
    // thread to have ended.
    m_job.Finish(app->m_pProcess);
    if (result != 1) {
        // The engine wrote no backup, so it deleted nothing: nothing counts as cleaned.
        m_bRepairPending = false;
        if (m_restorePoint.IsOpen())
            m_restorePoint.Cancel();
        SetRepairing(false);
        ShowSelection();
        m_status.SetText(kRepairRefusedStatus);
        AfxMessageBox(kRepairRefused, MB_OK | MB_ICONWARNING);
        return 0;
    }
    if (m_restorePoint.IsOpen())
        m_restorePoint.End();
    BeginRepairOutcome();
    return 0;
}

void CScanResultDlg::BeginRepairOutcome()
{
    // What the repair really removed: the ticked entries that are gone now and that the engine
    // did not report as left alone. The tree's numbers are taken now; the rest goes on between
    // the window's messages, while the tree, disabled and held for the repair, stays as it is.
    m_nOutcomeFound = m_tree.GetTotalEntries();
    m_nOutcomeSkipped = m_tree.GetExcludedCount();
    for (int& count : m_nOutcomeLeftAlone)
        count = 0;
    m_notDone = m_report.GetNotDone();
    m_nNotDoneHead = 0;
    m_leftAlone.clear();
    m_tree.BeginTickedWalk(&m_tickedWalk);
    m_outcome.Begin();
    m_outcomeStep = OUTCOME_LEFT_ALONE;
    m_repairEnd = END_LOOK;
    m_status.SetText(kCheckingRepair);
    if (m_hWnd) {
        m_slices.Schedule(m_hWnd);
        return;
    }
    while (m_repairEnd != END_NONE)
        RunRepairEndStep(CTimeBudget::Unlimited());
}

void CScanResultDlg::RunRepairEndStep(const CTimeBudget& budget)
{
    // Each step a slice of its own: together they took longer than a window may stay deaf.
    CQuillonDlg* mainWindow = QuillonMainWindow();
    switch (m_repairEnd) {
    case END_LOOK:
        if (CheckOutcomeSome(budget))
            m_repairEnd = END_STORE;
        break;
    case END_STORE:
        StoreRepairResults();
        m_repairEnd = END_COUNT_IGNORED;
        break;
    case END_COUNT_IGNORED:
        // What the statistics page reads when it is shown, read while it is still hidden.
        if (mainWindow)
            mainWindow->m_statisticsPage.UpdateFromScanItems();
        m_repairEnd = END_LOAD_STATISTICS;
        break;
    case END_LOAD_STATISTICS:
        if (mainWindow)
            mainWindow->m_statisticsPage.LoadStatistics();
        m_repairEnd = END_SHOW;
        break;
    case END_SHOW:
        m_repairEnd = END_NONE;
        ShowRepairEnd();
        break;
    case END_NONE:
        break;
    }
}

bool CScanResultDlg::CheckOutcomeSome(const CTimeBudget& budget)
{
    if (m_outcomeStep == OUTCOME_LEFT_ALONE) {
        size_t found = 0;
        while (m_nNotDoneHead < m_notDone.size()) {
            const CRepairReport::NOT_DONE& item = m_notDone[m_nNotDoneHead++];
            // Under any of its texts: the entry's one row, counted once, for the first reason.
            const HTREEITEM row = m_tree.FindTickedRow(item.category, item.item);
            if (row && m_leftAlone.insert(row).second) {
                const bool known = item.reason >= 0 && item.reason < kNotDoneReasons;
                ++m_nOutcomeLeftAlone[known ? item.reason : NOT_DONE_BACKUP_INCOMPLETE];
            }
            if (++found % 16 == 0 && budget.IsSpent())
                return false;
        }
        m_nOutcomeSkipped += static_cast<int>(m_leftAlone.size());
        m_outcomeStep = OUTCOME_GATHER;
    }
    if (m_outcomeStep == OUTCOME_GATHER) {
        const bool gathered = m_tree.WalkTicked(&m_tickedWalk, m_leftAlone, budget,
                                                [this](const CString& category, const CString& text) {
                                                    m_outcome.Add(category, text);
                                                });
        if (!gathered)
            return false;
        m_notDone.clear();
        m_leftAlone.clear();
        m_tickedWalk = CCheckedTreeCtrl::TICKED_WALK();
        m_outcomeStep = OUTCOME_LOOK;
    }
    return m_outcome.LookSome(budget);
}

void CScanResultDlg::StoreRepairResults()
{
    REPAIR_COUNTS counts;
    int repaired = 0;
    for (const auto& category : m_outcome.GetGone()) {
        const int index = FindResultCategory(category.first);
        if (index >= 0) {
            counts.cleaned[index] = category.second;
            repaired += category.second;
        }
    }
    counts.recycleBinKB = m_report.GetRecycleBinKB();
    counts.tempFilesKB = m_report.GetTempFilesKB();

    // Every cleaned count is written and shown anew: none of the last repair's is left to clear.
    REPAIR_TOTALS totals;
    StoreRepairStatistics(counts, &totals);
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->m_statisticsPage.ShowRepairCounts(counts, totals);
    FillSummary(m_nOutcomeFound, repaired, m_nOutcomeSkipped);
    m_status.SetText("");
}

void CScanResultDlg::ShowRepairEnd()
{
    m_bRepairPending = false;
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    CQuillonDlg* mainWindow = QuillonMainWindow();
    app->m_scanPage.SetStep(STEP_SUMMARY);
    if (mainWindow)
        mainWindow->ShowPageWindow(PAGE_STATISTICS);
    const CString leftAlone = LeftAloneText(m_nOutcomeLeftAlone);
    if (!leftAlone.IsEmpty())
        AfxMessageBox(leftAlone, MB_OK | MB_ICONWARNING);
    if (mainWindow && app->m_settings.m_bAutoShutdown == 1)
        mainWindow->OnOK();
}

CString CScanResultDlg::LeftAloneText(const int counts[kNotDoneReasons])
{
    CString text;
    for (int reason = 0; reason < kNotDoneReasons; ++reason) {
        if (counts[reason] <= 0)
            continue;
        if (!text.IsEmpty())
            text += "\n";
        text.AppendFormat(kEntriesLeftAlone[reason], counts[reason]);
    }
    return text;
}

void CScanResultDlg::FillSummary(int found, int repaired, int skipped)
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    CScanningDlg& scanning = app->m_scanningPage;
    app->m_summaryPage.ShowValues(scanning.m_progress.GetScannedItems(), found, repaired, skipped,
                                  scanning.m_dwEndTick - scanning.m_dwStartTick);
}

// ---- Colours and cursor -------------------------------------------------------------------------

HBRUSH CScanResultDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this || (pWnd && pWnd->m_hWnd == m_tree.m_hWnd))
        return m_hPageBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}

BOOL CScanResultDlg::OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message)
{
    CQuillonApp* app = QuillonApp();
    if (app && app->m_hHandCursor && pWnd &&
        (pWnd->m_hWnd == m_registryView.m_hWnd || pWnd->m_hWnd == m_otherView.m_hWnd)) {
        ::SetCursor(app->m_hHandCursor);
        return TRUE;
    }
    return CSkinPage::OnSetCursor(pWnd, hitTest, message);
}
