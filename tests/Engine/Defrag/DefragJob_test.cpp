// The hive job of the process object: start rule and the result codes it sends.
#include <gtest/gtest.h>

#include "DefragFixture.h"
#include "EngineProcess.h"
#include "RecordingStatus.h"

namespace {

class CDefragProcess : public CVexaEngineProcess
{
public:
    explicit CDefragProcess(const std::string& workParent) : CVexaEngineProcess(false)
    {
        m_defrag.SetWorkFolderParent(workParent.c_str());
    }
};

// Runs one hive job to its end; the codes it reported, or {-100 - start result} when refused.
std::vector<int> RunDefrag(CDefragProcess& process, int mode)
{
    CRecordingStatus status;
    const int started = process.StartDefrag(mode, &status);
    if (started != 1)
        return {-100 - started};
    process.Resume();
    EXPECT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 1);
    EXPECT_EQ(process.GetJobType(), JOB_DEFRAG);
    return status.Results();
}

} // namespace

TEST(DefragJob, AnalysisWithRoomToGainThenCompactionNeedsARestart)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 200000);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Setting", "on"));
    CDefragProcess process(fixture.folder.Path());
    EXPECT_EQ(RunDefrag(process, 0), std::vector<int>{DEFRAG_ANALYSIS_DONE});
    EXPECT_EQ(RunDefrag(process, 1), std::vector<int>{DEFRAG_RESTART_NEEDED});
}

TEST(DefragJob, AnalysisOfCompactHivesThenCompactionFails)
{
    CDefragFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    fixture.AddHive("\\REGISTRY\\MACHINE\\SOFTWARE", "software", 16);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Setting", "on"));
    CDefragProcess process(fixture.folder.Path());
    EXPECT_EQ(RunDefrag(process, 0), std::vector<int>{DEFRAG_ALREADY_COMPACT});
    EXPECT_EQ(RunDefrag(process, 1), std::vector<int>{DEFRAG_REPLACE_FAILED});
}

TEST(DefragJob, CompactionWithoutAnalysisFails)
{
    CTempFolder folder;
    CDefragProcess process(folder.Path());
    EXPECT_EQ(RunDefrag(process, 1), std::vector<int>{DEFRAG_REPLACE_FAILED});
}

TEST(DefragJob, UnreadableOrEmptyHiveList)
{
    {
        CDefragFixture fixture(false);
        ASSERT_TRUE(fixture.Ready());
        CDefragProcess process(fixture.folder.Path());
        EXPECT_EQ(RunDefrag(process, 0), std::vector<int>{DEFRAG_HIVE_LIST_UNREADABLE});
    }
    {
        CDefragFixture fixture;
        ASSERT_TRUE(fixture.Ready());
        CDefragProcess process(fixture.folder.Path());
        EXPECT_EQ(RunDefrag(process, 0), std::vector<int>{DEFRAG_NOTHING_SAVED});
    }
}

TEST(DefragJob, WinesOwnHiveListHasNothingToSave)
{
    // The system's own list under Wine is empty: the analysis saves nothing.
    CTempFolder folder;
    CDefragProcess process(folder.Path());
    EXPECT_EQ(RunDefrag(process, 0), std::vector<int>{DEFRAG_NOTHING_SAVED});
}
