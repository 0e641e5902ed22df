// The library as the program sees it: loaded by name, bound through its two exports.
#include <gtest/gtest.h>

#include <set>

#include "RecordingStatus.h"
#include "VexaEngine.h"

namespace {

class EngineLibrary : public testing::Test
{
protected:
    void SetUp() override
    {
        m_module = ::LoadLibraryA("engine.dll");
        ASSERT_NE(m_module, nullptr) << "error " << ::GetLastError();
        m_create = reinterpret_cast<PFN_CREATE_VEXA_ENGINE_INTERFACE>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, "CreateVexaEngineInterface")));
        m_release = reinterpret_cast<PFN_RELEASE_VEXA_ENGINE_INTERFACE>(
            reinterpret_cast<void*>(::GetProcAddress(m_module, "ReleaseVexaEngineInterface")));
        ASSERT_NE(m_create, nullptr);
        ASSERT_NE(m_release, nullptr);
    }

    void TearDown() override
    {
        if (m_module)
            ::FreeLibrary(m_module);
    }

    HMODULE m_module = nullptr;
    PFN_CREATE_VEXA_ENGINE_INTERFACE m_create = nullptr;
    PFN_RELEASE_VEXA_ENGINE_INTERFACE m_release = nullptr;
};

const char* const kScanOrder[] = {"AXO", "UIE", "FNT", "SHD", "APP", "HLP", "SUI", "FPR",
                                  "SRC", "ERK", "FAS", "ITL", "SRV", "SAE", "RCB", "TPF"};

} // namespace

TEST_F(EngineLibrary, FactoryObjectsAreIndependentAndReleasesAcceptNull)
{
    CAbstractVexaEngineInterface* first = m_create();
    CAbstractVexaEngineInterface* second = m_create();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);

    CAbstractProcess* process = first->CreateEngineProcessNoDatabase();
    ASSERT_NE(process, nullptr);
    m_release(first);
    // A process object outlives the interface that made it and goes back through another one.
    EXPECT_EQ(process->IsRunning(), 0);
    second->ReleaseEngineProcess(process);

    second->ReleaseEngineProcess(nullptr);
    second->ReleaseConfigHandler(nullptr);
    m_release(second);
    m_release(nullptr);
}

TEST_F(EngineLibrary, ScanJobRunsOnItsOwnThreadAndReportsInOrder)
{
    CAbstractVexaEngineInterface* engine = m_create();
    CAbstractProcess* process = engine->CreateEngineProcess();
    ASSERT_NE(process, nullptr);

    CRecordingStatus status;
    DWORD callbackThread = 0;
    status.onFinished = [&](int) { callbackThread = ::GetCurrentThreadId(); };
    {
        std::set<CString> folders = {"C:"};
        ASSERT_EQ(process->StartScan(&folders, SCAN_RCB, &status, SCAN_MODE_NORMAL), 1);
    }  // the engine keeps its own copy of the folder set
    EXPECT_EQ(process->GetJobType(), JOB_SCAN);
    ASSERT_NE(process->GetThreadHandle(), nullptr);
    const DWORD jobThread = process->GetThreadId();
    ASSERT_EQ(process->Resume(), 1);
    ASSERT_TRUE(status.WaitFinished());

    EXPECT_EQ(callbackThread, jobThread);
    EXPECT_NE(jobThread, ::GetCurrentThreadId());
    const auto events = status.Events();
    ASSERT_GE(events.size(), 20u);
    EXPECT_EQ(events[0].kind, StatusEvent::Progress);
    EXPECT_EQ(events[0].number, PROGRESS_BEGIN);
    EXPECT_EQ(status.CountProgress(PROGRESS_BEGIN), 2);
    EXPECT_EQ(status.CountProgress(PROGRESS_END), 2);

    const auto activities = status.EventsOf(StatusEvent::Activity);
    ASSERT_EQ(activities.size(), 17u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(activities[i].text, "");
        EXPECT_EQ(activities[i].area, kScanOrder[i]);
    }
    EXPECT_EQ(activities[16].area, "Scanning");

    const StatusEvent& last = events.back();
    EXPECT_EQ(last.kind, StatusEvent::Finished);
    EXPECT_EQ(last.number, 1);
    const StatusEvent& beforeLast = events[events.size() - 2];
    EXPECT_EQ(beforeLast.kind, StatusEvent::Activity);
    EXPECT_EQ(events[events.size() - 3].number, PROGRESS_END);

    // Releasing the object and the library right after the end of the job is safe.
    engine->ReleaseEngineProcess(process);
    m_release(engine);
}

TEST_F(EngineLibrary, StopFromInsideTheJobEndsItWithTheFinalReports)
{
    CAbstractVexaEngineInterface* engine = m_create();
    CAbstractProcess* process = engine->CreateEngineProcess();
    CRecordingStatus status;
    int activities = 0;
    status.onActivity = [&](const char*, const char*) {
        if (++activities == 3)
            process->Stop(1);
    };
    std::set<CString> folders;
    ASSERT_EQ(process->StartScan(&folders, SCAN_ALL, &status, SCAN_MODE_NORMAL), 1);
    process->Resume();
    ASSERT_TRUE(status.WaitFinished());
    EXPECT_EQ(status.FinishedResult(), 0);
    // The remaining categories are still announced (each with an empty text, as is the end).
    size_t announcements = 0;
    for (const StatusEvent& activity : status.EventsOf(StatusEvent::Activity))
        announcements += activity.text.empty() ? 1 : 0;
    EXPECT_EQ(announcements, 17u);
    EXPECT_EQ(status.CountProgress(PROGRESS_END), 2);
    EXPECT_TRUE(status.Items().empty());
    engine->ReleaseEngineProcess(process);
    m_release(engine);
}

TEST_F(EngineLibrary, ReleasingAProcessWhoseJobWasNeverResumedDoesNotHang)
{
    CAbstractVexaEngineInterface* engine = m_create();
    CAbstractProcess* process = engine->CreateEngineProcess();
    CRecordingStatus status;
    std::set<CString> folders;
    ASSERT_EQ(process->StartScan(&folders, 0, &status, SCAN_MODE_NORMAL), 1);
    engine->ReleaseEngineProcess(process);
    EXPECT_TRUE(status.Events().empty());
    m_release(engine);
}

TEST_F(EngineLibrary, ServicesWithoutADatabase)
{
    CAbstractVexaEngineInterface* engine = m_create();
    CAbstractProcess* process = engine->CreateEngineProcessNoDatabase();
    CString version;
    process->GetDatabaseVersion(&version);
    EXPECT_EQ(version, "-1");
    _SPYWARE_INFORMATION info;
    EXPECT_FALSE(process->CheckFileInDatabase("C:\\windows\\notepad.exe", &info));
    CString text("abc"), digest;
    EXPECT_EQ(process->GetStringMD5(&text, &digest), 1);
    EXPECT_EQ(digest, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(process->Reserved(5), 0);
    engine->ReleaseEngineProcess(process);
    m_release(engine);
}
