// The main window: which page ShowPage shows with which caption and navigation state, the close
// guard on every way of closing, and the requests a second instance forwards.
#include "PagesFixture.h"

#include "Messages.h"
#include "SharedInstance.h"
#include "resource.h"

namespace {

bool Visible(CWnd& window)
{
    return window.m_hWnd && ::IsWindowVisible(window.m_hWnd);
}

} // namespace

TEST_F(PagesTest, ShowPageShowsOnePageWithItsCaptionAndNavigation)
{
    CQuillonApp& app = TestApp();
    EXPECT_EQ(m_main->m_hWnd, GetSharedMainWindow());
    EXPECT_TRUE(Visible(app.m_scanPage));
    EXPECT_EQ(CString("SCAN"), m_main->GetCaption());
    EXPECT_EQ(CString("Step 1 of 3"), m_main->GetStepText());
    EXPECT_FALSE(IsEnabled(*m_main, IDC_NAV_SCAN));
    SaveScreenshot("main-scan-page");

    m_main->ShowPage(PAGE_STATISTICS);
    EXPECT_TRUE(Visible(m_main->m_statisticsPage));
    EXPECT_FALSE(Visible(app.m_scanPage));
    EXPECT_EQ(CString("RESULTS"), m_main->GetCaption());
    EXPECT_FALSE(IsEnabled(*m_main, IDC_NAV_STATISTICS));
    EXPECT_TRUE(IsEnabled(*m_main, IDC_NAV_SCAN));
    EXPECT_EQ("Never", Text(m_main->m_statisticsPage, IDC_STATS_LAST_SCAN));
    SaveScreenshot("main-statistics-page");

    // The settings page has no navigation button: every one stays enabled.
    m_main->ShowPage(PAGE_SETTINGS);
    for (int id : { IDC_NAV_STATISTICS, IDC_NAV_SCAN, IDC_NAV_STARTUP, IDC_NAV_BACKUP, IDC_NAV_DEFRAG })
        EXPECT_TRUE(IsEnabled(*m_main, id)) << id;
    EXPECT_TRUE(Visible(m_main->m_settingsPage));

    // No such page: the wizard's pages hide and the labels empty, the rest stays as it was.
    Click(*m_main, IDC_NAV_BACKUP);
    EXPECT_TRUE(Visible(m_main->m_backupPage));
    EXPECT_EQ(CString("BACKUP"), m_main->GetCaption());
    m_main->ShowPage(7);
    EXPECT_TRUE(Visible(m_main->m_backupPage));
    EXPECT_EQ(CString(""), m_main->GetCaption());
    EXPECT_FALSE(IsEnabled(*m_main, IDC_NAV_BACKUP));
}

TEST_F(PagesTest, EveryWayOfClosingIsRefusedWhileAJobRuns)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(3000);
    TickOnly(SCAN_SUI);
    Click(app.m_scanPage, IDC_SCAN_START);
    // Held at its next safe point, so that the job is surely running while the window is closed.
    Click(app.m_scanningPage, IDC_SCANNING_PAUSE);
    ASSERT_TRUE(app.m_pProcess->IsRunning());

    CMessageBoxRecorder::ClearTexts();
    Click(*m_main, IDC_CLOSE_BUTTON);
    m_main->SendMessage(WM_CLOSE);
    m_main->SendMessage(WM_COMMAND, ID_TRAY_EXIT);
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(std::vector<std::string>(3, "Please stop active operation before closing."), CMessageBoxRecorder::Texts());
    EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));

    // A forwarded request while the job runs is dropped.
    app.m_scanningPage.m_nScanMode = SCAN_MODE_SCHEDULED;
    SetSharedPath("C:\\windows");
    m_main->SendMessage(WM_SCAN_PATH_REQUEST);
    EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);

    Click(app.m_scanningPage, IDC_SCANNING_CANCEL);
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }));
    CMessageBoxRecorder::ClearTexts();
    Click(*m_main, IDC_CLOSE_BUTTON);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
}

TEST_F(PagesTest, ForwardedRequestsStartTheirScans)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(2);
    TickOnly(SCAN_SUI);
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED);
    EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }));

    SetSharedPath("C:\\windows\\win.ini");
    m_main->SendMessage(WM_SCAN_PATH_REQUEST);
    EXPECT_EQ(SCAN_MODE_PATH, app.m_scanningPage.m_nScanMode);
    EXPECT_EQ(CString("C:\\windows\\win.ini"), app.m_scanningPage.m_strScanPath);
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }));
    EXPECT_EQ("2 Errors Found!", Text(app.m_scanningPage, IDC_SCANNING_ERRORS));
}
