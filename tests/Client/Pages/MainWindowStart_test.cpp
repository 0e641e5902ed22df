// The main window's start: what the first paint does not need (the tool pages, the tray icon,
// the Task Scheduler's jobs, the scanning rows' animations) comes right after it, and a scan that
// the command line asks for at the very start runs whole with all of it.
#include "PagesFixture.h"

#include "RegistryKey.h"
#include "ScanCategories.h"
#include "ScheduledTasks.h"

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
        CRegistryKey key;
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
