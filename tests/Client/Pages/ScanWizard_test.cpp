// The scan wizard's first two steps over the real engine: the stored choice of categories, a
// whole scan with its rows, counters and stored statistics, pause, resume and cancel, and the
// ways on from the end of a scan, which wait for the whole results.
#include "PagesFixture.h"

#include <algorithm>

#include "Messages.h"
#include "ScanItemsInfo.h"
#include "TimeBudget.h"
#include "resource.h"

namespace {

const int kSuiRow = 6;

} // namespace

TEST_F(PagesTest, TheCategoryChoiceIsStoredAsTheBoxesChange)
{
    CScanDlg& scanPage = TestApp().m_scanPage;
    // A fresh installation: everything ticked and stored.
    EXPECT_EQ(static_cast<DWORD>(SCAN_ALL), ReadSetting("LastSelectedScanTypes"));
    EXPECT_EQ(static_cast<DWORD>(SCAN_ALL), scanPage.GetSelectedScanTypes());
    EXPECT_EQ(BST_CHECKED, scanPage.IsDlgButtonChecked(IDC_SCAN_SELECT_ALL));

    Click(scanPage, 1145);  // ActiveX Objects off
    EXPECT_EQ(static_cast<DWORD>(SCAN_ALL & ~SCAN_AXO), ReadSetting("LastSelectedScanTypes"));
    EXPECT_EQ(BST_UNCHECKED, scanPage.IsDlgButtonChecked(IDC_SCAN_SELECT_ALL));
    Click(scanPage, 1145);  // the last one back on ticks Select All
    EXPECT_EQ(BST_CHECKED, scanPage.IsDlgButtonChecked(IDC_SCAN_SELECT_ALL));

    Click(scanPage, 1175);
    Click(scanPage, IDC_SCAN_SELECT_ALL);  // ticks everything again
    EXPECT_EQ(static_cast<DWORD>(SCAN_ALL), ReadSetting("LastSelectedScanTypes"));
    Click(scanPage, IDC_SCAN_SELECT_ALL);  // and clears everything
    EXPECT_EQ(0u, ReadSetting("LastSelectedScanTypes"));
    EXPECT_EQ(0u, scanPage.GetSelectedScanTypes());

    Click(scanPage, IDC_SCAN_START);
    EXPECT_EQ(std::vector<std::string>{ "Please select appropriate scanning options" }, CMessageBoxRecorder::Texts());
    EXPECT_EQ(STEP_SELECT, scanPage.GetStep());

    // The page reads the stored choice when it is made again.
    Click(scanPage, 1157);
    scanPage.LoadLastSelectedScanTypes();
    EXPECT_EQ(static_cast<DWORD>(SCAN_SUI), scanPage.GetSelectedScanTypes());
}

TEST_F(PagesTest, AWholeScanFillsTheRowsCountersAndStatistics)
{
    CQuillonApp& app = TestApp();
    CScanningDlg& scanning = app.m_scanningPage;
    AddBrokenRunEntries(5);
    AddBrokenRunEntries(1, "Trusted");
    m_folder->WriteFile("WhileList.dat", "trusted00000;");
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Healthy",
                               "C:\\windows\\notepad.exe"));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastActXCln", 9));

    ASSERT_TRUE(ScanAndWait(SCAN_SUI | SCAN_ITL));
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    EXPECT_EQ("5 Errors Found!", Text(scanning, IDC_SCANNING_ERRORS));
    EXPECT_EQ("5", Text(scanning, kScanCategories[kSuiRow].countLabel));
    EXPECT_EQ(5, app.m_pItems->CountCategory(SCAN_SUI));
    // Shown items: one row each, the white-listed one not at all.
    CListCtrl& list = *static_cast<CListCtrl*>(CWnd::FromHandle(::GetDlgItem(scanning.m_hWnd, IDC_SCANNING_ITEM_LIST)));
    EXPECT_EQ(5, list.GetItemCount());
    EXPECT_TRUE(IsEnabled(scanning, IDC_SCANNING_BACK));
    EXPECT_FALSE(IsShown(scanning, IDC_SCANNING_PAUSE));
    EXPECT_TRUE(IsShown(scanning, kScanCategories[kCategoryCount - 1].resultImage));

    EXPECT_EQ(5u, ReadSetting("LastStartupErr"));
    EXPECT_EQ(5u, ReadSetting("LastTotalErrCnt"));
    EXPECT_EQ(0u, ReadSetting("LastActXCln"));  // cleaned counts go at every scan start
    EXPECT_NE("Never", ReadSettingText("LastScan"));
    EXPECT_EQ(ReadSettingText("LastScan"), Text(m_main->m_statisticsPage, IDC_STATS_LAST_SCAN));
    EXPECT_EQ(5, app.m_resultsPage.m_nTotalErrors);
    EXPECT_EQ(5, app.m_resultsPage.m_nSelectedErrors);
    SaveScreenshot("scanning-page-finished");

    // Next leads to the results; the nav button re-shows them without repeating anything.
    Click(scanning, IDC_SCANNING_NEXT);
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ(CString("SCAN RESULTS"), m_main->GetCaption());
    EXPECT_EQ("5 of 5 Errors Selected for Repair", Text(app.m_resultsPage, IDC_RESULTS_SELECTED));
    SaveScreenshot("results-page");
    m_main->ShowPage(PAGE_STATISTICS);
    Click(*m_main, IDC_NAV_SCAN);
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_TRUE(::IsWindowVisible(app.m_resultsPage.m_hWnd));
    app.m_scanPage.ShowStep(STEP_RESHOW);
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    Click(app.m_resultsPage, IDC_RESULTS_BACK);
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    Click(scanning, IDC_SCANNING_BACK);
    EXPECT_EQ(STEP_SELECT, app.m_scanPage.GetStep());
}

TEST_F(PagesTest, AScanStartedOverAShownFinishedScanResetsItsRows)
{
    // A scan asked for while the last one's page is still up (as a scheduled scan may be) starts
    // on that page: it stays shown, with the last scan's rows, counts and pictures gone.
    CQuillonApp& app = TestApp();
    CScanningDlg& scanning = app.m_scanningPage;
    AddBrokenRunEntries(2, "Earlier");
    ASSERT_TRUE(ScanAndWait(SCAN_SUI));
    ASSERT_EQ("2", Text(scanning, kScanCategories[kSuiRow].countLabel));
    ASSERT_TRUE(IsShown(scanning, kScanCategories[kCategoryCount - 1].resultImage));

    ASSERT_TRUE(StartHeldScan(1));
    EXPECT_TRUE(::IsWindowVisible(scanning.m_hWnd));
    EXPECT_EQ(CString("SCANNING"), m_main->GetCaption());
    EXPECT_EQ("0", Text(scanning, kScanCategories[kSuiRow].countLabel));
    EXPECT_EQ("No Errors Found!", Text(scanning, IDC_SCANNING_ERRORS));
    EXPECT_EQ(0, ListView_GetItemCount(::GetDlgItem(scanning.m_hWnd, IDC_SCANNING_ITEM_LIST)));
    EXPECT_FALSE(IsShown(scanning, kScanCategories[kCategoryCount - 1].resultImage));
    EXPECT_TRUE(IsShown(scanning, IDC_SCANNING_CANCEL));
    EXPECT_FALSE(IsShown(scanning, IDC_SCANNING_NEXT));
    EXPECT_TRUE(CancelHeldScan());
}

TEST_F(PagesTest, ANothingFoundScanLeadsBackToTheChoice)
{
    CQuillonApp& app = TestApp();
    ASSERT_TRUE(ScanAndWait(SCAN_SUI));
    EXPECT_EQ("No Errors Found!", Text(app.m_scanningPage, IDC_SCANNING_ERRORS));
    EXPECT_EQ(0u, ReadSetting("LastStartupErr"));
    Click(app.m_scanningPage, IDC_SCANNING_NEXT);
    EXPECT_EQ(STEP_SELECT, app.m_scanPage.GetStep());
    EXPECT_EQ(CString("Step 1 of 3"), m_main->GetStepText());
}

TEST_F(PagesTest, PauseHoldsTheScanAndCancelKeepsItsCountsButNotTheDate)
{
    CQuillonApp& app = TestApp();
    CScanningDlg& scanning = app.m_scanningPage;
    ASSERT_TRUE(StartHeldScan(3));
    Click(scanning, IDC_SCANNING_PAUSE);
    EXPECT_TRUE(IsShown(scanning, IDC_SCANNING_RESUME));
    EXPECT_FALSE(IsShown(scanning, IDC_SCANNING_PAUSE));
    EXPECT_FALSE(IsEnabled(scanning, IDC_SCANNING_CANCEL));
    EXPECT_EQ(CString("SCANNING"), m_main->GetCaption());
    SaveScreenshot("scanning-page-paused");

    // The held finding is filed; then the job waits at its next safe point and files nothing
    // more while the window goes on working.
    m_items->ReleaseOne();
    ASSERT_TRUE(PumpUntil([&] { return m_items->Filed() == 1; }));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(1, m_items->Arrivals());
    EXPECT_TRUE(app.m_pProcess->IsRunning());

    // Resumed, it comes to its second finding (held again) and is cancelled there.
    Click(scanning, IDC_SCANNING_RESUME);
    EXPECT_TRUE(IsEnabled(scanning, IDC_SCANNING_CANCEL));
    ASSERT_TRUE(m_items->WaitHeld());
    Click(scanning, IDC_SCANNING_CANCEL);
    EXPECT_EQ(CString("SCAN"), m_main->GetCaption());
    EXPECT_TRUE(IsShown(scanning, IDC_SCANNING_NEXT));
    m_items->Disarm();
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(scanning, IDC_SCANNING_NEXT); }));
    SaveScreenshot("scanning-page-cancelled");

    EXPECT_EQ("Never", ReadSettingText("LastScan"));
    EXPECT_EQ(2, app.m_pItems->CountCategory(SCAN_SUI));
    EXPECT_EQ(2u, ReadSetting("LastStartupErr"));
    EXPECT_EQ(2u, ReadSetting("LastTotalErrCnt"));
}

TEST_F(PagesTest, ACancelledScanShowsTheVerdictsOfTheCategoriesItFinished)
{
    CQuillonApp& app = TestApp();
    CScanningDlg& scanning = app.m_scanningPage;
    // The ActiveX objects (none in the sandbox) are scanned before the startup items, where the
    // scan is held and cancelled; the type libraries would come after them.
    AddBrokenRunEntries(3);
    m_main->ShowPage(PAGE_WIZARD);
    TickOnly(SCAN_AXO | SCAN_SUI | SCAN_ITL);
    m_items->Arm();
    Click(app.m_scanPage, IDC_SCAN_START);
    ASSERT_TRUE(m_items->WaitHeld());
    ASSERT_TRUE(CancelHeldScan());

    const int axoRow = 0;
    const int itlRow = 11;
    auto image = [&](int row) {
        return reinterpret_cast<HBITMAP>(::SendDlgItemMessageA(scanning.m_hWnd, kScanCategories[row].resultImage,
                                                               STM_GETIMAGE, IMAGE_BITMAP, 0));
    };
    // Scanned to its end and clean: its tick; what it found: its cross and count.
    EXPECT_EQ(scanning.TickOf(axoRow), image(axoRow));
    EXPECT_EQ(scanning.CrossOf(kSuiRow), image(kSuiRow));
    EXPECT_NE("0", Text(scanning, kScanCategories[kSuiRow].countLabel));
    // Never reached, and never chosen: neither tick nor cross.
    for (int row : { itlRow, 1 }) {
        EXPECT_NE(scanning.TickOf(row), image(row)) << row;
        EXPECT_NE(scanning.CrossOf(row), image(row)) << row;
    }
    for (int row = 0; row < kCategoryCount; ++row) {
        EXPECT_TRUE(IsShown(scanning, kScanCategories[row].resultImage)) << row;
        EXPECT_FALSE(IsShown(scanning, kScanCategories[row].animatedIcon)) << row;
    }
    // The bars show how far the scan came, not a finished one.
    EXPECT_LT(::SendDlgItemMessageA(scanning.m_hWnd, IDC_SCANNING_CURRENT_BAR, PBM_GETPOS, 0, 0),
              CScanProgress::kCurrentRange);
    EXPECT_LT(::SendDlgItemMessageA(scanning.m_hWnd, IDC_SCANNING_OVERALL_BAR, PBM_GETPOS, 0, 0),
              CScanProgress::kOverallRange);
    SaveScreenshot("scanning-page-cancelled-after-a-category");
}

TEST(ResultsPageTest, TheSizeFormatOfThePages)
{
    const struct { double kilobytes; const char* text; } rows[] = {
        { 0, "0KB" }, { 1024, "1024KB" }, { 1025, "1MB" }, { 2048, "2MB" },
        { 1048577, "1.0GB" }, { 1073741825, "1.00TB" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(CString(row.text), CScanResultDlg::FormatSize(row.kilobytes)) << row.kilobytes;
}

TEST_F(PagesTest, NextWaitsForTheWholeResultsAndAForwardedScanWaitsWithIt)
{
    CQuillonApp& app = TestApp();
    CScanningDlg& scanning = app.m_scanningPage;
    const int count = 400;
    CShortestSlices slices;
    // The scan is held at its first finding, then runs to its end while this thread takes no
    // message: its end message finds every finding still to be put into the tree.
    ASSERT_TRUE(StartHeldScan(count));
    m_items->Disarm();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(app.m_pProcess->GetThreadHandle(), 30000));

    // One message at a time, until Next is enabled.
    int preparingMessages = 0;
    int fewestRows = count;
    bool refused = false;
    const DWORD start = ::GetTickCount();
    while (!IsEnabled(scanning, IDC_SCANNING_NEXT) && ::GetTickCount() - start < 60000) {
        MSG msg;
        if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            continue;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (!scanning.IsAwaitingResults() || IsEnabled(scanning, IDC_SCANNING_NEXT))
            continue;
        // Between the scan's end and its results: the page says so, nothing leads on, and a
        // scan forwarded now is dropped (it would empty the findings under the tree).
        ++preparingMessages;
        EXPECT_EQ("Preparing results...", Text(scanning, IDC_SCANNING_ACTIVITY));
        EXPECT_FALSE(IsEnabled(scanning, IDC_SCANNING_BACK));
        fewestRows = std::min(fewestRows, app.m_resultsPage.m_tree.GetTotalEntries());
        if (!refused) {
            m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
            refused = true;
            EXPECT_FALSE(app.m_pProcess->IsRunning());
            EXPECT_EQ(count, app.m_pItems->CountCategory(SCAN_SUI));
        }
    }
    ASSERT_TRUE(IsEnabled(scanning, IDC_SCANNING_NEXT));
    EXPECT_GT(preparingMessages, 1);
    EXPECT_LT(fewestRows, count);
    EXPECT_TRUE(refused);
    EXPECT_NE("Preparing results...", Text(scanning, IDC_SCANNING_ACTIVITY));
    // Once enabled, the tree holds every finding, each once, and the counts agree.
    EXPECT_EQ(count, app.m_resultsPage.m_tree.GetTotalEntries());
    EXPECT_EQ(count, app.m_pItems->CountCategory(SCAN_SUI));
    EXPECT_EQ(static_cast<DWORD>(count), ReadSetting("LastTotalErrCnt"));
    Click(scanning, IDC_SCANNING_NEXT);
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ("400 of 400 Errors Selected for Repair", Text(app.m_resultsPage, IDC_RESULTS_SELECTED));
}
