// The main window: which page each way of getting there shows, with which caption and navigation
// state (one table for every page), the close guard on every way of closing, and the requests a
// second instance forwards.
#include "PagesFixture.h"

#include <functional>

#include "Messages.h"
#include "SharedInstance.h"
#include "resource.h"

namespace {

bool Visible(CWnd& window)
{
    return window.m_hWnd && ::IsWindowVisible(window.m_hWnd);
}

} // namespace

TEST_F(PagesTest, EachWayToAPageShowsItAloneWithItsCaptionAndNavigation)
{
    CQuillonApp& app = TestApp();
    EXPECT_EQ(m_main->m_hWnd, GetSharedMainWindow());
    CWnd* const pages[] = { &app.m_scanPage, &m_main->m_statisticsPage, &m_main->m_startupPage,
                            &m_main->m_settingsPage, &m_main->m_ignoreListPage, &m_main->m_backupPage,
                            &m_main->m_defragPage };
    const int navButtons[] = { IDC_NAV_STATISTICS, IDC_NAV_SCAN, IDC_NAV_STARTUP, IDC_NAV_BACKUP, IDC_NAV_DEFRAG };
    // The way there, the page shown, its caption and step texts, and the navigation button that
    // is off (0: every one is on).
    const struct {
        const char* way;
        std::function<void()> go;
        CWnd* page;
        const char* caption;
        const char* step;
        int navOff;
    } rows[] = {
        { "start", [] {}, &app.m_scanPage, "SCAN", "Step 1 of 3", IDC_NAV_SCAN },
        { "results button", [&] { Click(*m_main, IDC_NAV_STATISTICS); }, &m_main->m_statisticsPage, "RESULTS", "",
          IDC_NAV_STATISTICS },
        { "startup button", [&] { Click(*m_main, IDC_NAV_STARTUP); }, &m_main->m_startupPage, "MANAGE STARTUP", "",
          IDC_NAV_STARTUP },
        { "settings button", [&] { Click(*m_main, IDC_SETTINGS_BUTTON); }, &m_main->m_settingsPage,
          "SETTINGS - GENERAL", "", 0 },
        { "schedule tab", [&] { Click(m_main->m_settingsPage, IDC_SETTINGS_TAB_SCHEDULE); }, &m_main->m_settingsPage,
          "SETTINGS - SCHEDULE", "", 0 },
        { "ignore-list tab", [&] { Click(m_main->m_settingsPage, IDC_SETTINGS_TAB_IGNORE); },
          &m_main->m_ignoreListPage, "SETTINGS - IGNORE LIST", "", 0 },
        { "its schedule tab", [&] { Click(m_main->m_ignoreListPage, IDC_IGNORE_TAB_SCHEDULE); },
          &m_main->m_settingsPage, "SETTINGS - SCHEDULE", "", 0 },
        { "ignore list", [&] { m_main->ShowPage(PAGE_IGNORE_LIST); }, &m_main->m_ignoreListPage,
          "SETTINGS - IGNORE LIST", "", 0 },
        { "its general tab", [&] { Click(m_main->m_ignoreListPage, IDC_IGNORE_TAB_GENERAL); },
          &m_main->m_settingsPage, "SETTINGS - GENERAL", "", 0 },
        { "backup button", [&] { Click(*m_main, IDC_NAV_BACKUP); }, &m_main->m_backupPage, "BACKUP", "",
          IDC_NAV_BACKUP },
        { "compaction button", [&] { Click(*m_main, IDC_NAV_DEFRAG); }, &m_main->m_defragPage, "", "",
          IDC_NAV_DEFRAG },
        { "scan button", [&] { Click(*m_main, IDC_NAV_SCAN); }, &app.m_scanPage, "SCAN", "Step 1 of 3",
          IDC_NAV_SCAN },
    };
    for (const auto& row : rows) {
        row.go();
        for (CWnd* page : pages)
            EXPECT_EQ(page == row.page, Visible(*page)) << row.way;
        EXPECT_EQ(CString(row.caption), m_main->GetCaption()) << row.way;
        EXPECT_EQ(CString(row.step), m_main->GetStepText()) << row.way;
        for (int id : navButtons)
            EXPECT_EQ(id != row.navOff, IsEnabled(*m_main, id)) << row.way << " " << id;
    }
    SaveScreenshot("main-scan-page");
    m_main->ShowPage(PAGE_STATISTICS);
    EXPECT_EQ("Never", Text(m_main->m_statisticsPage, IDC_STATS_LAST_SCAN));
    SaveScreenshot("main-statistics-page");

    // No such page: the wizard's pages hide and the labels empty, the rest stays as it was.
    m_main->ShowPage(PAGE_BACKUP);
    m_main->ShowPage(7);
    EXPECT_TRUE(Visible(m_main->m_backupPage));
    EXPECT_EQ(CString(""), m_main->GetCaption());
    EXPECT_FALSE(IsEnabled(*m_main, IDC_NAV_BACKUP));
}

TEST_F(PagesTest, EveryWayOfClosingIsRefusedWhileAJobRuns)
{
    CQuillonApp& app = TestApp();
    const std::vector<std::string> refused = MessagesWhileAScanIsHeld([&] {
        Click(*m_main, IDC_CLOSE_BUTTON);
        m_main->SendMessage(WM_CLOSE);
        m_main->SendMessage(WM_COMMAND, ID_TRAY_EXIT);
        PumpUntil([] { return false; }, 50);
        EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));
        // A forwarded request while the job runs is dropped.
        app.m_scanningPage.m_nScanMode = SCAN_MODE_SCHEDULED;
        SetSharedPath("C:\\windows");
        m_main->SendMessage(WM_SCAN_PATH_REQUEST);
        EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);
    });
    EXPECT_EQ(std::vector<std::string>(3, "Please stop active operation before closing."), refused);

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
