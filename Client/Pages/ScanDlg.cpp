#include "ScanDlg.h"

#include "ChildVisibility.h"
#include "Kelvara.h"
#include "PageJob.h"
#include "QuillonDlg.h"
#include "SettingsKey.h"

namespace {

const char kScanChoiceValue[] = "LastSelectedScanTypes";
const char kScanBusy[] = "Please stop other active operation before starting scan.";

} // namespace

BOOL LoadScanChoice(DWORD& mask)
{
    CSettingsKey key;
    if (!key.Open())
        return FALSE;
    if (!key.ReadDword(kScanChoiceValue, mask)) {
        mask = SCAN_ALL;
        key.WriteDword(kScanChoiceValue, SCAN_ALL);
    }
    return TRUE;
}

BOOL ReadScanChoice(DWORD& mask)
{
    CSettingsKey key;
    return key.Open() && key.ReadDword(kScanChoiceValue, mask);
}

DWORD StoreScanChoiceBit(DWORD bit, BOOL ticked)
{
    CSettingsKey key;
    if (!key.Open())
        return 0;
    DWORD value = 0;
    key.ReadDword(kScanChoiceValue, value);
    value = ticked ? (value | bit) : (value & ~bit);
    key.WriteDword(kScanChoiceValue, value);
    return value;
}

BEGIN_MESSAGE_MAP(CScanDlg, CSkinPage)
    // Select All lies inside the range of the category boxes: its entry must come first.
    ON_BN_CLICKED(IDC_SCAN_SELECT_ALL, OnSelectAll)
    ON_COMMAND_RANGE(1145, 1175, OnCategoryBox)
    ON_BN_CLICKED(IDC_SCAN_START, OnScan)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CScanDlg::CScanDlg() : CSkinPage(IDD_SCAN, 190)
{
    m_hWhiteBrush = ::CreateSolidBrush(RGB(255, 255, 255));
}

CScanDlg::~CScanDlg()
{
    ::DeleteObject(m_hWhiteBrush);
}

BOOL CScanDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    if (CQuillonApp* app = QuillonApp()) {
        CWnd* mainWindow = GetParent();
        app->m_scanningPage.CreatePage(mainWindow);
        app->m_resultsPage.CreatePage(mainWindow);
        app->m_summaryPage.CreatePage(mainWindow);
    }
    m_scanButton.SubclassDlgItem(IDC_SCAN_START, this);
    m_scanButton.SetSkin(180, 181, 181, 0);
    m_selectAll.SubclassDlgItem(IDC_SCAN_SELECT_ALL, this);
    SetFonts();
    LoadLastSelectedScanTypes();
    return TRUE;
}

void CScanDlg::SetFonts()
{
    m_details.SubclassDlgItem(IDC_SCAN_DETAILS, this);
    m_headingCheck.SubclassDlgItem(IDC_SCAN_HEADING_CHECK, this);
    m_headingDetails.SubclassDlgItem(IDC_SCAN_HEADING_DETAILS, this);
    m_headingSelectAll.SubclassDlgItem(IDC_SCAN_HEADING_SELECT_ALL, this);
    for (CLabel* heading : { &m_headingCheck, &m_headingDetails })
        heading->SetFontName("Verdana")->SetFontSize(10)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
    m_headingSelectAll.SetFontName("Arial")->SetFontSize(9)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x404040);
    for (int row = 0; row < 11; ++row) {
        const SCAN_CATEGORY_INFO& category = kScanCategories[row];
        m_nameLabels[row].SubclassDlgItem(category.hoverLabel, this);
        char description[512] = {};
        ::LoadStringA(AfxGetResourceHandle(), category.descriptionString, description, sizeof(description));
        m_nameLabels[row].SetFontName("Arial")->SetFontSize(8)->SetFontBold(TRUE)->SetTransparent(TRUE)
            ->SetTextColor(0x404040)->SetHoverText(&m_details, description);
    }
    m_details.SetFontName("Arial")->SetFontSize(9)->SetTextColor(0x404040);
}

void CScanDlg::CheckAll(BOOL check)
{
    for (const SCAN_CATEGORY_INFO& category : kScanCategories)
        CheckDlgButton(category.scanBox, check ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SCAN_SELECT_ALL, check ? BST_CHECKED : BST_UNCHECKED);
}

void CScanDlg::LoadLastSelectedScanTypes()
{
    CheckAll(FALSE);
    DWORD mask = 0;
    if (!LoadScanChoice(mask))
        return;
    for (const SCAN_CATEGORY_INFO& category : kScanCategories)
        CheckDlgButton(category.scanBox, (mask & category.bit) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(IDC_SCAN_SELECT_ALL, mask == SCAN_ALL ? BST_CHECKED : BST_UNCHECKED);
}

void CScanDlg::UpdateSelectAll()
{
    DWORD mask = 0;
    if (ReadScanChoice(mask))
        CheckDlgButton(IDC_SCAN_SELECT_ALL, mask == SCAN_ALL ? BST_CHECKED : BST_UNCHECKED);
}

void CScanDlg::OnCategoryBox(UINT id)
{
    for (const SCAN_CATEGORY_INFO& category : kScanCategories) {
        if (category.scanBox == static_cast<int>(id)) {
            StoreScanChoiceBit(category.bit, IsDlgButtonChecked(category.scanBox) == BST_CHECKED);
            UpdateSelectAll();
            return;
        }
    }
}

void CScanDlg::OnSelectAll()
{
    const BOOL check = IsDlgButtonChecked(IDC_SCAN_SELECT_ALL) == BST_CHECKED;
    for (const SCAN_CATEGORY_INFO& category : kScanCategories)
        CheckDlgButton(category.scanBox, check ? BST_CHECKED : BST_UNCHECKED);
    for (const SCAN_CATEGORY_INFO& category : kScanCategories)
        OnCategoryBox(static_cast<UINT>(category.scanBox));
}

HWND CScanDlg::GetFocusOnArrival() const
{
    return IsReachable(m_scanButton) ? m_scanButton.m_hWnd : CSkinPage::GetFocusOnArrival();
}

DWORD CScanDlg::GetSelectedScanTypes() const
{
    DWORD mask = 0;
    for (const SCAN_CATEGORY_INFO& category : kScanCategories) {
        if (IsDlgButtonChecked(category.scanBox) == BST_CHECKED)
            mask |= category.bit;
    }
    return mask;
}

void CScanDlg::OnScan()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanningPage.m_nScanMode = m_nScanMode;
    StartScan();
}

void CScanDlg::StartScan()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    if (!CPageJob::IsEngineFree(app->m_pProcess, kScanBusy))
        return;
    const DWORD mask = GetSelectedScanTypes();
    app->m_scanningPage.m_dwCategories = mask;
    if (mask == 0) {
        AfxMessageBox("Please select appropriate scanning options", MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The engine may refuse the start (another job still holds it): nothing runs, nothing moves.
    if (!app->m_scanningPage.StartScan(kScanBusy))
        return;
    ShowStep(STEP_SCANNING);
    // The engine counts its job as running only once the job's thread has begun, which on a busy
    // machine can be after this: the scan has started all the same. Its end message, which comes
    // after this handler, sets the caption back.
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->SetCaptions("SCANNING", nullptr);
}

void CScanDlg::ShowStep(int step)
{
    const bool repairRequested = m_bAutoRepairRequested;
    m_bAutoRepairRequested = false;
    if (step != STEP_RESHOW)
        m_nStep = step;
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->ShowPage(2);
    else
        DisplayCurrentStep();
    CQuillonApp* app = QuillonApp();
    if (!app || m_nStep != STEP_RESULTS)
        return;
    const bool jobRunning = app->m_pProcess && app->m_pProcess->IsRunning();
    if (jobRunning)
        return;
    app->m_resultsPage.EnableBack();
    // The results repair themselves only when the scan that just ended led to them.
    if (step == STEP_RESULTS && repairRequested && app->m_settings.m_bAutoRepair == 1)
        app->m_resultsPage.OnRepair();
}

void CScanDlg::DisplayCurrentStep()
{
    CQuillonApp* app = QuillonApp();
    if (!app)
        return;
    CQuillonDlg* mainWindow = QuillonMainWindow();
    for (CWnd* page : { static_cast<CWnd*>(this), static_cast<CWnd*>(&app->m_scanningPage),
                        static_cast<CWnd*>(&app->m_resultsPage), static_cast<CWnd*>(&app->m_summaryPage) })
        ShowChild(*page, false);
    const bool jobRunning = app->m_pProcess && app->m_pProcess->IsRunning();
    const char* caption = "";
    const char* stepText = nullptr;
    switch (m_nStep) {
    case STEP_SELECT:
        ShowChild(*this, true);
        caption = "SCAN";
        stepText = "Step 1 of 3";
        break;
    case STEP_SCANNING:
        ShowChild(app->m_scanningPage, true);
        caption = jobRunning ? "SCANNING" : "SCAN";
        stepText = "Step 2 of 3";
        break;
    case STEP_RESULTS:
        ShowChild(app->m_resultsPage, true);
        app->m_resultsPage.OnShownToUser();
        caption = "SCAN RESULTS";
        stepText = "Step 3 of 3";
        break;
    case STEP_SUMMARY:
        ShowChild(app->m_summaryPage, true);
        return;
    default:
        break;
    }
    if (mainWindow)
        mainWindow->SetCaptions(caption, stepText ? stepText : "");
}

HBRUSH CScanDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hWhiteBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}
