// The main window's start: what the first paint does not need (the tool pages, the tray icon,
// the Task Scheduler's jobs, the scanning rows' animations) comes right after it, and a scan that
// the command line asks for at the very start runs whole with all of it. The jobs are read on a
// thread of their own: the settings page shown before they arrive waits for them, and a window
// closed before they arrive ends after the read.
#include "PagesFixture.h"

#include "ScanCategories.h"
#include "ScheduledTasks.h"
#include "SettingsKey.h"

namespace {

// Whether the scanning page has decoded its rows' animations. (The frames themselves cannot be
// looked at here: the system's picture decoder is registered in the registry that the sandbox
// hides, so inside these tests it decodes nothing.)
bool RowsDecoded()
{
    return TestApp().m_scanningPage.AreRowAnimationsLoaded();
}

bool ScheduledScanJobExists()
{
    CString user;
    return GetJobUserName(&user) && SUCCEEDED(CTask().Load(ScheduledScanJobName(user)));
}

// Notes whether the rows were decoded when the scan that the start asked for began (before any
// message of the window has run).
class CRowsAtStartDlg : public CQuillonDlg
{
public:
    BOOL OnInitDialog() override
    {
        const BOOL result = CQuillonDlg::OnInitDialog();
        m_rowsDecodedAtScanStart = TestApp().m_scanningPage.m_dwStartTick != 0 && RowsDecoded();
        return result;
    }
    bool m_rowsDecodedAtScanStart = false;
};

// Started as the Task Scheduler starts the program ("SCHEDULE"): the scan begins inside the main
// window's creation, before any of its messages has run.
class ScheduledStartTest : public PagesTest
{
protected:
    CQuillonDlg* MakeMainWindow() override
    {
        AddBrokenRunEntries(2);
        CSettingsKey key;
        if (key.Open())
            key.WriteDword("LastSelectedScanTypes", SCAN_SUI);
        TestApp().m_commandLine.m_bSchedule = TRUE;
        TestApp().m_scanningPage.m_dwStartTick = 0;
        return new CRowsAtStartDlg;
    }
    void TearDown() override
    {
        TestApp().m_commandLine = CCommandLineInfoEx();
        PagesTest::TearDown();
    }
};

// A new main window, as a new start of the program makes it, caught while its start reads the
// Task Scheduler's jobs: the messages run one at a time until the read has begun.
class StartInProgressTest : public PagesTest
{
protected:
    bool RestartUntilTheJobsAreBeingRead()
    {
        DestroyMainWindow();
        CString user;
        if (!GetJobUserName(&user))
            return false;
        CTask().Delete(ScheduledScanJobName(user));
        CTask().Delete(LogonJobName(user));
        m_main = new CQuillonDlg;
        TestApp().m_pMainWnd = m_main;
        if (!m_main->Create(IDD_MAIN))
            return false;
        m_main->ShowWindow(SW_SHOW);
        return PumpEachUntil([this] { return m_main->AreScheduledJobsPending(); });
    }
    CSettingDlg& Settings() { return m_main->m_settingsPage; }
};

} // namespace

TEST_F(PagesTest, WhatTheFirstPaintDoesNotNeedIsThereOnceTheStartsMessagesHaveRun)
{
    for (CWnd* page : { static_cast<CWnd*>(&m_main->m_statisticsPage), static_cast<CWnd*>(&m_main->m_backupPage),
                        static_cast<CWnd*>(&m_main->m_startupPage), static_cast<CWnd*>(&m_main->m_defragPage),
                        static_cast<CWnd*>(&m_main->m_settingsPage), static_cast<CWnd*>(&m_main->m_ignoreListPage) })
        EXPECT_NE(nullptr, page->m_hWnd);
    EXPECT_NE(nullptr, TestApp().m_tray.m_hWnd);
    EXPECT_TRUE(RowsDecoded());
    // The first run's weekly scan is made by the start itself, not by a visit to the settings.
    EXPECT_TRUE(ScheduledScanJobExists());
}

TEST_F(ScheduledStartTest, AScanAskedForAtStartRunsWholeWithItsRowsAndStatistics)
{
    CQuillonApp& app = TestApp();
    EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);
    ASSERT_TRUE(PumpUntil([&] {
        return IsShown(app.m_scanningPage, IDC_SCANNING_NEXT) && !IsShown(app.m_scanningPage, IDC_SCANNING_CANCEL);
    }));
    EXPECT_EQ("2 Errors Found!", Text(app.m_scanningPage, IDC_SCANNING_ERRORS));
    EXPECT_TRUE(static_cast<CRowsAtStartDlg*>(m_main)->m_rowsDecodedAtScanStart);
    // The scan's counts reached the statistics.
    m_main->ShowPage(PAGE_STATISTICS);
    EXPECT_EQ("2", Text(m_main->m_statisticsPage, IDC_STATS_TOTAL_ERRORS));
    EXPECT_TRUE(ScheduledScanJobExists());
}

TEST_F(StartInProgressTest, TheSettingsShownBeforeTheJobsArriveWaitForThemAndThenShowThem)
{
    ASSERT_TRUE(RestartUntilTheJobsAreBeingRead());
    m_main->ShowPage(PAGE_SETTINGS);
    Settings().SetView(CSettingDlg::VIEW_SCHEDULE);
    // Nothing is shown as the jobs' state yet, and nothing can be changed.
    for (int id : { IDC_SETTINGS_START_ON_STARTUP, IDC_SETTINGS_DISABLE_SCHEDULE, IDC_SETTINGS_TYPE,
                    IDC_SETTINGS_TIME })
        EXPECT_FALSE(IsEnabled(Settings(), id)) << id;

    ASSERT_TRUE(PumpUntil([&] { return !m_main->AreScheduledJobsPending(); }));
    // The first run's weekly scan, made by the read, is what the page shows.
    EXPECT_TRUE(ScheduledScanJobExists());
    EXPECT_NE(BST_CHECKED, Settings().IsDlgButtonChecked(IDC_SETTINGS_DISABLE_SCHEDULE));
    EXPECT_EQ(1, ::SendDlgItemMessageA(Settings().m_hWnd, IDC_SETTINGS_TYPE, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(3, Settings().m_time.wHour);
    for (int id : { IDC_SETTINGS_START_ON_STARTUP, IDC_SETTINGS_DISABLE_SCHEDULE, IDC_SETTINGS_TYPE,
                    IDC_SETTINGS_DAY, IDC_SETTINGS_TIME })
        EXPECT_TRUE(IsEnabled(Settings(), id)) << id;
}

TEST_F(StartInProgressTest, AWindowClosedWhileTheJobsAreReadEndsAfterTheRead)
{
    ASSERT_TRUE(RestartUntilTheJobsAreBeingRead());
    DestroyMainWindow();
    // The read was not cut off, and nothing of it comes after the window has gone.
    EXPECT_TRUE(ScheduledScanJobExists());
}
