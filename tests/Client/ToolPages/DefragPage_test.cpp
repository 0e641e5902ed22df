// The compaction page over the real engine and a sandboxed hive list: an analysis that can save
// nothing (as under Wine's empty list), one with room to gain followed by the compaction, the
// scan's findings discarded with the wizard reset, the refusals and the confirmation.
#include "PagesFixture.h"

#include "JobWait.h"
#include "RecordingStatus.h"
#include "resource.h"

namespace {

const char kHiveList[] = "SYSTEM\\CurrentControlSet\\Control\\hivelist";

class DefragPageTest : public PagesTest
{
protected:
    CDefrag& Page() { return m_main->m_defragPage; }
    bool WaitForMessage()
    {
        return PumpUntil([] { return !CMessageBoxRecorder::Texts().empty(); });
    }
    // Findings of a scan, and the wizard at their results.
    void PretendAScanFoundItems()
    {
        CQuillonApp& app = TestApp();
        app.m_pItems->AddItem("HKEY_CURRENT_USER\\Software\\Gone", SCAN_ERK, 0, 0);
        app.m_pItems->AddItem("C:\\gone.exe", SCAN_SUI, 0, 0);
        app.m_resultsPage.m_nTotalErrors = 2;
        app.m_resultsPage.m_nSelectedErrors = 2;
        app.m_scanPage.ShowStep(STEP_RESULTS);
    }
    int Found() { return TestApp().m_pItems->CountCategory(SCAN_ERK) + TestApp().m_pItems->CountCategory(SCAN_SUI); }
};

} // namespace

TEST_F(DefragPageTest, AnAnalysisThatCanSaveNothingIsToldAndDiscardsTheScan)
{
    CQuillonApp& app = TestApp();
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kHiveList));  // listed, but empty: as under Wine
    PretendAScanFoundItems();
    m_main->ShowPage(PAGE_DEFRAG);
    EXPECT_TRUE(IsShown(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_FALSE(IsShown(Page(), IDC_DEFRAG_DEFRAG));
    EXPECT_FALSE(IsShown(Page(), IDC_DEFRAG_RESET));
    SaveScreenshot("defrag-page");

    // Cancelled: nothing changes.
    {
        CMessageBoxRecorder cancel(IDCANCEL);
        Click(Page(), IDC_DEFRAG_ANALYSE);
        ASSERT_EQ(1u, CMessageBoxRecorder::Texts().size());
        EXPECT_EQ(0u, CMessageBoxRecorder::Texts()[0].find("Before running registry analysis"));
    }
    CMessageBoxRecorder answerOk(IDOK);
    EXPECT_EQ(2, Found());
    EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_ANALYSE));

    Click(Page(), IDC_DEFRAG_ANALYSE);
    ASSERT_TRUE(PumpUntil([] { return CMessageBoxRecorder::Texts().size() >= 2; }));
    EXPECT_EQ(DEFRAG_NOTHING_SAVED, Page().GetResultCode());
    EXPECT_EQ("Registry analysis failed, please follow the below instructions and then retry;\n"
              "Close all running applications\nFree some disk space.",
              CMessageBoxRecorder::Texts()[1]);
    EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_FALSE(IsEnabled(Page(), IDC_DEFRAG_DEFRAG));
    EXPECT_EQ(391u, Page().GetBackgroundId());

    // The findings went, and with them the wizard's way to repair them.
    EXPECT_EQ(0, Found());
    EXPECT_EQ(STEP_SELECT, app.m_scanPage.GetStep());
    EXPECT_EQ(0, app.m_resultsPage.m_nTotalErrors);
    m_main->ShowPage(PAGE_WIZARD);
    EXPECT_TRUE(::IsWindowVisible(app.m_scanPage.m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(app.m_resultsPage.m_hWnd));
}

TEST_F(DefragPageTest, AnAnalysisWithRoomToGainLeadsToACompactionThatNeedsARestart)
{
    // A hive of the sandbox whose file is far larger than its saved copy.
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "KelvaraHive\\Key", "Value", "data"));
    const std::string hive = m_folder->WriteFile("hives\\KelvaraHive", std::string(256 * 1024, 'h'));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kHiveList, "\\REGISTRY\\MACHINE\\KelvaraHive", hive.c_str()));

    m_main->ShowPage(PAGE_DEFRAG);
    Click(Page(), IDC_DEFRAG_ANALYSE);
    ASSERT_TRUE(PumpUntil([] { return CMessageBoxRecorder::Texts().size() >= 2; }));
    ASSERT_EQ(DEFRAG_ANALYSIS_DONE, Page().GetResultCode());
    EXPECT_EQ("Registry analysis completed, press Defrag Button to start defragmentation.", CMessageBoxRecorder::Texts()[1]);
    EXPECT_FALSE(IsShown(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_TRUE(IsShown(Page(), IDC_DEFRAG_DEFRAG));
    EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_DEFRAG));
    EXPECT_TRUE(IsShown(Page(), IDC_DEFRAG_RESET));
    EXPECT_EQ(386u, Page().GetBackgroundId());
    SaveScreenshot("defrag-page-analysed");

    CMessageBoxRecorder::ClearTexts();
    Click(Page(), IDC_DEFRAG_DEFRAG);
    ASSERT_TRUE(PumpUntil([] { return CMessageBoxRecorder::Texts().size() >= 2; }));
    EXPECT_EQ(0u, CMessageBoxRecorder::Texts()[0].find("Before running registry defragmentation"));
    EXPECT_EQ(DEFRAG_RESTART_NEEDED, Page().GetResultCode());
    EXPECT_EQ("You must restart your system to complete registry defragmentation.", CMessageBoxRecorder::Texts()[1]);
    for (int id : { IDC_DEFRAG_ANALYSE, IDC_DEFRAG_DEFRAG, IDC_DEFRAG_RESET })
        EXPECT_FALSE(IsEnabled(Page(), id)) << id;
}

TEST_F(DefragPageTest, TheResetButtonLeadsBackToTheStart)
{
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "KelvaraHive\\Key", "Value", "data"));
    const std::string hive = m_folder->WriteFile("hives\\KelvaraHive", std::string(256 * 1024, 'h'));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kHiveList, "\\REGISTRY\\MACHINE\\KelvaraHive", hive.c_str()));
    m_main->ShowPage(PAGE_DEFRAG);
    Click(Page(), IDC_DEFRAG_ANALYSE);
    ASSERT_TRUE(PumpUntil([] { return CMessageBoxRecorder::Texts().size() >= 2; }));
    ASSERT_TRUE(IsShown(Page(), IDC_DEFRAG_RESET));
    Click(Page(), IDC_DEFRAG_RESET);
    EXPECT_TRUE(IsShown(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_FALSE(IsShown(Page(), IDC_DEFRAG_DEFRAG));
    EXPECT_FALSE(IsShown(Page(), IDC_DEFRAG_RESET));
    EXPECT_EQ(391u, Page().GetBackgroundId());
}

TEST_F(DefragPageTest, StartsThatCannotHappenChangeNothing)
{
    CQuillonApp& app = TestApp();
    PretendAScanFoundItems();
    m_main->ShowPage(PAGE_DEFRAG);

    // A scan running.
    const std::vector<std::string> refused = MessagesWhileAScanIsHeld([&] {
        m_main->ShowPage(PAGE_DEFRAG);
        Click(Page(), IDC_DEFRAG_ANALYSE);
        EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_ANALYSE));
    });
    EXPECT_EQ(std::vector<std::string>{ "Please stop other active operation before starting registry analysis." },
              refused);

    // A job that holds the engine without running yet: the engine refuses the start.
    PretendAScanFoundItems();
    const int found = Found();
    CRecordingStatus holder;
    ASSERT_EQ(1, app.m_pProcess->StartDefrag(0, &holder));
    m_main->ShowPage(PAGE_DEFRAG);
    CMessageBoxRecorder::ClearTexts();
    Click(Page(), IDC_DEFRAG_ANALYSE);
    ASSERT_EQ(2u, CMessageBoxRecorder::Texts().size());
    EXPECT_EQ("Please stop other active operation before starting registry analysis.", CMessageBoxRecorder::Texts()[1]);
    EXPECT_TRUE(IsEnabled(Page(), IDC_DEFRAG_ANALYSE));
    EXPECT_EQ(found, Found());
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    app.m_pProcess->Resume();
    ASSERT_TRUE(holder.WaitFinished());
    WaitForEngineJob(app.m_pProcess);
}
