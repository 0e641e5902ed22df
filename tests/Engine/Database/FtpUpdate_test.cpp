// The FTP variant of the database update, end to end under Wine's WinINet against a local FTP
// server: the date check, the download, and the rule that only a whole database that deciphers
// and loads takes the place of "engine.dat".
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Database/AutoUpdater.h"
#include "LocalFtpServer.h"
#include "TestDataFiles.h"
#include "TestProcess.h"

namespace {

const char kUser[] = "kelvara";
const char kPassword[] = "secret";

// Enough spyware records that the database comes in many pieces.
std::string Spywares(int count, const char* name)
{
    std::string text;
    for (int id = 1; id <= count; ++id)
        text += "<Spyware ID=\"" + std::to_string(id) + "\" Name=\"" + name + " " + std::to_string(id) +
                "\" Details=\"found on the site\" Type=\"1\"><Items /></Spyware>\n";
    return text;
}

std::string DatabaseOf(const std::string& date, const std::string& version, int spywares = 3)
{
    return DatabaseXml("LastUpdateDate=\"" + date + "\" Version=\"" + version + "\"", Spywares(spywares, "Thing"),
                       "<Signature Type=\"2\" Value=\"{one}\" SpywareID=\"1\" />\n");
}

const std::string& LocalDatabase()
{
    static const std::string database = DatabaseOf("2026/11/30", "12");
    return database;
}

const std::string& SiteDatabase()
{
    static const std::string database = DatabaseOf("2026/12/24", "13", 400);
    return database;
}

FtpFile File(const std::string& body)
{
    FtpFile file;
    file.body = body;
    return file;
}

std::string Padded(std::string text, size_t length)
{
    text.resize(length, ' ');
    return text;
}

int CountOf(const std::vector<std::string>& commands, const std::string& command)
{
    return static_cast<int>(std::count(commands.begin(), commands.end(), command));
}

// An updater whose downloads may be no larger, and whose stages no longer, than the test says.
class CTestUpdater : public CAutoUpdater
{
public:
    CTestUpdater(const char* databasePath, DWORD largest, CAbstractStatus* status = nullptr)
        : CAutoUpdater(status, "", "", "", "engine.dat", databasePath)
    {
        m_largestDownload = largest;
    }
    void LimitStages(DWORD stageMs)
    {
        m_limits.CheckMs = stageMs;
        m_limits.DownloadMs = stageMs;
    }
};

// The bound of every promise that a wait for a site ends within 2 seconds, with room for a
// loaded machine.
const DWORD kEndBound = 10000;

_FTP_SITE SiteOf(const CLocalFtpServer& server, const char* password = kPassword)
{
    _FTP_SITE site;
    site.Server = "127.0.0.1";
    site.Port = server.Port();
    site.User = kUser;
    site.Password = password;
    return site;
}

// "engine.dat" beside the test program (where a reload reads it), a local FTP site that holds a
// newer database, and the process object.
class FtpUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsListening());
        m_engineDat.Write(LocalDatabase());
        m_server.SetFile("/Update.txt", File("1520##2026/12/24\r\n"));
        m_server.SetFile("/engine.dat", File(EncipheredText(SiteDatabase())));
    }

    _FTP_SITE Site(const char* password = kPassword) const { return SiteOf(m_server, password); }

    // Runs the FTP job; its result as OperationFinished carried it.
    int RunFtpUpdate(CRecordingStatus& status, const _FTP_SITE& site)
    {
        EXPECT_EQ(m_process.StartFtpUpdate(site, "engine.dat", m_engineDat.Path().c_str(), &status), 1);
        EXPECT_EQ(m_process.GetJobType(), JOB_FTP_UPDATE);
        EXPECT_TRUE(RunToEnd(m_process, status));
        return status.FinishedResult();
    }
    int RunFtpUpdate(CRecordingStatus& status) { return RunFtpUpdate(status, Site()); }

    // The live database as it was, and nothing left beside it or in the temporary folder.
    void ExpectUntouched()
    {
        EXPECT_EQ(ReadDecipheredFile(m_engineDat.Path()), LocalDatabase());
        EXPECT_FALSE(FileExists(m_engineDat.Path() + ".tmp"));
        EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
    }

    CString Version()
    {
        CString version;
        m_process.GetDatabaseVersion(&version);
        return version;
    }

    CPrivateTempPath m_temporary;
    CEngineDatFile m_engineDat;
    CLocalFtpServer m_server{kUser, kPassword};
    CVexaEngineProcess m_process{false};
};

} // namespace

TEST_F(FtpUpdateTest, ANewerDatabaseOnTheSiteReplacesEngineDatAndIsLoaded)
{
    const int cachedBefore = CacheCopiesOf("engine");
    CRecordingStatus status;
    EXPECT_EQ(RunFtpUpdate(status), UPDATE_OK);
    // Nothing of the download stays in WinINet's cache.
    EXPECT_EQ(CacheCopiesOf("engine"), cachedBefore);

    EXPECT_EQ(ReadDecipheredFile(m_engineDat.Path()), SiteDatabase());
    EXPECT_FALSE(FileExists(m_engineDat.Path() + ".tmp"));
    EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
    EXPECT_EQ(Version(), "13");

    // The count before "##" is reported, and the download shows a step per piece of 4096 bytes.
    const std::vector<StatusEvent> items = status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "");
    EXPECT_EQ(items[0].number, 0);
    EXPECT_EQ(items[0].value, 1520);
    const int pieces = static_cast<int>((EncipheredText(SiteDatabase()).size() + 4095) / 4096);
    ASSERT_GT(pieces, 2);
    EXPECT_GE(status.CountProgress(PROGRESS_STEP), pieces);

    const std::vector<std::string> commands = m_server.Commands();
    EXPECT_EQ(CountOf(commands, "USER kelvara"), 1);
    EXPECT_EQ(CountOf(commands, "RETR /Update.txt"), 1);
    EXPECT_EQ(CountOf(commands, "RETR /engine.dat"), 1);

    // The database is as new as the site's now: nothing more to fetch.
    CRecordingStatus again;
    EXPECT_EQ(RunFtpUpdate(again), UPDATE_NONE_AVAILABLE);
    EXPECT_EQ(CountOf(m_server.Commands(), "RETR /engine.dat"), 1);
}

TEST_F(FtpUpdateTest, TheDateCheckDecidesAndNothingElseIsFetched)
{
    const struct {
        const char* what;
        const char* updateText;  // null: no "Update.txt" on the site
        std::string localBytes;  // empty: the local database
        int expected;
    } cases[] = {
        {"site not newer", "5##2026/11/30", "", UPDATE_NONE_AVAILABLE},
        {"site older, no count", "2026/01/01\r\n", "", UPDATE_NONE_AVAILABLE},
        {"no Update.txt", nullptr, "", UPDATE_FTP_NO_FILE},
        {"empty Update.txt", "", "", UPDATE_FTP_BAD_DATE_FILE},
        {"date unreadable", "7##not a date", "", UPDATE_FTP_BAD_DATE_FILE},
        {"local database unreadable", "1##2026/12/24", "not enciphered, not a database", UPDATE_NO_LOCAL_VERSION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.updateText)
            m_server.SetFile("/Update.txt", File(c.updateText));
        else
            m_server.RemoveFile("/Update.txt");
        if (c.localBytes.empty())
            m_engineDat.Write(LocalDatabase());
        else
            m_engineDat.WriteRaw(c.localBytes);
        CRecordingStatus status;
        EXPECT_EQ(RunFtpUpdate(status), c.expected);
        if (c.localBytes.empty())
            ExpectUntouched();
        EXPECT_EQ(Version(), "-1");
    }
    EXPECT_EQ(CountOf(m_server.Commands(), "RETR /engine.dat"), 0);

    // "Update.txt" holds a count and a date: one piece at most.
    m_engineDat.Write(LocalDatabase());
    m_server.SetFile("/Update.txt", File(Padded("1##2026/12/24", 4096)));
    CRecordingStatus tooLong;
    EXPECT_EQ(RunFtpUpdate(tooLong), UPDATE_FTP_BAD_DATE_FILE);
    m_server.SetFile("/Update.txt", File(std::string("1##2026/12/24\0", 14)));
    CRecordingStatus withNul;
    EXPECT_EQ(RunFtpUpdate(withNul), UPDATE_FTP_BAD_DATE_FILE);
    ExpectUntouched();
    m_server.SetFile("/Update.txt", File(Padded("1##2026/12/24", 4095)));
    CRecordingStatus longest;
    EXPECT_EQ(RunFtpUpdate(longest), UPDATE_OK);

    // A site that refuses the account is no connection.
    m_engineDat.Write(LocalDatabase());
    CRecordingStatus refused;
    EXPECT_EQ(RunFtpUpdate(refused, Site("wrong")), UPDATE_NOT_CONNECTED);
    ExpectUntouched();
}

TEST_F(FtpUpdateTest, ACutOrGarbledDownloadLeavesTheLiveDatabaseAlone)
{
    const std::string site = EncipheredText(SiteDatabase());
    FtpFile cut = File(site);
    cut.cutAfter = static_cast<long>(site.size() / 2);
    std::string flipped = site;
    for (size_t at = 0; at < flipped.size(); at += 7)
        flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    const struct {
        const char* what;
        FtpFile file;
        bool onSite;
        int expected;
    } cases[] = {
        {"cut", cut, true, UPDATE_FTP_NOT_REPLACED},
        {"garbled", File(flipped), true, UPDATE_FTP_NOT_REPLACED},
        {"not enciphered", File(SiteDatabase()), true, UPDATE_FTP_NOT_REPLACED},
        {"enciphered, not a database", File(EncipheredText("<Database><Spywares /></Database>")), true,
         UPDATE_FTP_NOT_REPLACED},
        {"not on the site", File(""), false, UPDATE_FTP_NO_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.onSite)
            m_server.SetFile("/engine.dat", c.file);
        else
            m_server.RemoveFile("/engine.dat");
        CRecordingStatus status;
        EXPECT_EQ(RunFtpUpdate(status), c.expected);
        ExpectUntouched();
        EXPECT_EQ(Version(), "-1");
    }
}

TEST_F(FtpUpdateTest, ADownloadLargerThanAnyDatabaseIsRefused)
{
    const std::string site = EncipheredText(SiteDatabase());
    CTestUpdater updater(m_engineDat.Path().c_str(), static_cast<DWORD>(site.size() - 1));
    updater.SetFtpSite(Site());
    ASSERT_TRUE(updater.OpenFtpConnection());
    EXPECT_EQ(updater.DownloadDatabase(), UPDATE_FTP_DOWNLOAD_FAILED);
    ExpectUntouched();

    // One byte more is room enough.
    CTestUpdater roomy(m_engineDat.Path().c_str(), static_cast<DWORD>(site.size()));
    roomy.SetFtpSite(Site());
    ASSERT_TRUE(roomy.OpenFtpConnection());
    EXPECT_EQ(roomy.DownloadDatabase(), UPDATE_OK);
    EXPECT_EQ(ReadDecipheredFile(m_engineDat.Path()), SiteDatabase());
}

TEST_F(FtpUpdateTest, CancelDuringTheDownloadEndsTheJobAndKeepsTheDatabase)
{
    FtpFile held = File(EncipheredText(SiteDatabase()));
    held.holdAfter = 8192;
    m_server.SetFile("/engine.dat", held);

    CRecordingStatus status;
    ASSERT_EQ(m_process.StartFtpUpdate(Site(), "engine.dat", m_engineDat.Path().c_str(), &status), 1);
    m_process.Resume();
    ASSERT_TRUE(m_server.WaitHeld());
    EXPECT_EQ(m_process.CancelUpdate(), 1);
    m_server.ReleaseHold();
    ASSERT_TRUE(RunToEnd(m_process, status));
    EXPECT_NE(status.FinishedResult(), UPDATE_OK);
    ExpectUntouched();
    EXPECT_EQ(m_process.CancelUpdate(), 0);  // the updater went with its job

    // Without a status nothing starts.
    EXPECT_EQ(m_process.StartFtpUpdate(Site(), "engine.dat", m_engineDat.Path().c_str(), nullptr), -1);
}

TEST_F(FtpUpdateTest, OnlyADownloadDatedLaterThanTheLiveDatabaseReplacesIt)
{
    // "Update.txt" says that the site's database is newer; the download's own date decides.
    const struct {
        const char* what;
        std::string database;
        int expected;
    } cases[] = {
        {"no date", DatabaseXml("Version=\"13\"", Spywares(2, "Undated"), ""), UPDATE_FTP_NOT_REPLACED},
        {"unreadable date", DatabaseOf("someday", "13"), UPDATE_FTP_NOT_REPLACED},
        {"as old as the live one", DatabaseOf("2026/11/30", "13"), UPDATE_FTP_NOT_REPLACED},
        {"older", DatabaseOf("2025/06/01", "13"), UPDATE_FTP_NOT_REPLACED},
        {"later", DatabaseOf("2026/12/01", "13"), UPDATE_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_engineDat.Write(LocalDatabase());
        m_server.SetFile("/engine.dat", File(EncipheredText(c.database)));
        CRecordingStatus status;
        EXPECT_EQ(RunFtpUpdate(status), c.expected);
        if (c.expected == UPDATE_OK) {
            EXPECT_EQ(ReadDecipheredFile(m_engineDat.Path()), c.database);
            EXPECT_EQ(Version(), "13");
        } else {
            ExpectUntouched();
        }
    }
}

TEST_F(FtpUpdateTest, TheCountBeforeTheDateIsReportedOnlyWhenItIsANumberThatFits)
{
    const struct {
        const char* count;
        std::vector<int> reported;
    } cases[] = {
        {"1520", {1520}},
        {"2147483647", {2147483647}},
        {"2147483648", {}},
        {"99999999999999999999", {}},
        {"12 signatures", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        m_server.SetFile("/Update.txt", File(std::string(c.count) + "##2026/12/24"));
        CRecordingStatus status;
        CAutoUpdater updater(&status, "", "", "", "engine.dat", m_engineDat.Path().c_str());
        updater.SetFtpSite(Site());
        ASSERT_TRUE(updater.OpenFtpConnection());
        // The date still decides.
        EXPECT_EQ(updater.CheckUpdateFile(), UPDATE_FTP_NEWER);
        std::vector<int> reported;
        for (const StatusEvent& item : status.EventsOf(StatusEvent::Item))
            reported.push_back(item.value);
        EXPECT_EQ(reported, c.reported);
    }
}

TEST_F(FtpUpdateTest, CancelStopOrReleaseEndAJobThatWaitsForAStalledOrDrippingSite)
{
    const std::string site = EncipheredText(SiteDatabase());
    FtpFile stalled = File(site);
    stalled.holdAfter = 8192;
    stalled.stall = true;
    FtpFile dripping = File(site);
    dripping.holdAfter = 8192;
    dripping.dripMs = 200;
    FtpFile stalledDate = File("1520##2026/12/24\r\n");
    stalledDate.holdAfter = 4;
    stalledDate.stall = true;
    FtpFile cut = File(site);
    cut.cutAfter = static_cast<long>(site.size() / 2);
    const struct {
        const char* what;
        const char* path;
        FtpFile file;
        bool waits;  // for the test to end it; else the job ends by itself
    } cases[] = {
        {"database stalled after 8 KB", "/engine.dat", stalled, true},
        {"database dripping after 8 KB", "/engine.dat", dripping, true},
        {"Update.txt stalled after 4 bytes", "/Update.txt", stalledDate, true},
        {"database cut short", "/engine.dat", cut, false},
    };
    for (const auto& c : cases) {
        for (JobEnd end : {JobEnd::Cancel, JobEnd::Stop, JobEnd::Release}) {
            if (!c.waits && end != JobEnd::Cancel)
                continue;
            SCOPED_TRACE(std::string(c.what) + ", " + (c.waits ? NameOf(end) : "no end asked"));
            m_engineDat.Write(LocalDatabase());
            CLocalFtpServer server(kUser, kPassword);
            server.SetFile("/Update.txt", File("1520##2026/12/24\r\n"));
            server.SetFile("/engine.dat", File(site));
            server.SetFile(c.path, c.file);
            std::unique_ptr<CVexaEngineProcess> process(new CVexaEngineProcess(false));
            CRecordingStatus status;
            ASSERT_EQ(process->StartFtpUpdate(SiteOf(server), "engine.dat", m_engineDat.Path().c_str(), &status), 1);
            process->Resume();
            if (c.waits) {
                ASSERT_TRUE(server.WaitHeld());
                if (c.file.dripMs)
                    server.ReleaseHold();
                EXPECT_TRUE(EndJobWithin(process, status, end, kEndBound, [&] { server.EndTransfers(); }));
                EXPECT_EQ(status.FinishedResult(), UPDATE_NOT_CONNECTED);
            } else {
                EXPECT_TRUE(RunToEnd(*process, status, kEndBound));
                EXPECT_EQ(status.FinishedResult(), UPDATE_FTP_NOT_REPLACED);
            }
            ExpectUntouched();
            // A cancelled job's updater goes with it: nothing is left to cancel.
            if (process) {
                EXPECT_EQ(process->CancelUpdate(), 0);
            }
        }
    }
}

TEST_F(FtpUpdateTest, ASiteThatDripsOrStallsEndsEachStageAtItsDeadline)
{
    const std::string site = EncipheredText(SiteDatabase());
    FtpFile dripping = File(site);
    dripping.dripMs = 50;
    FtpFile stalled = File(site);
    stalled.holdAfter = 100;
    stalled.stall = true;
    FtpFile dateDripping = File("1520##2026/12/24" + std::string(3000, ' '));
    dateDripping.dripMs = 50;
    const struct {
        const char* what;
        const char* path;
        FtpFile file;
        int expected;
    } cases[] = {
        {"database dripping", "/engine.dat", dripping, UPDATE_FTP_DOWNLOAD_FAILED},
        {"database stalled", "/engine.dat", stalled, UPDATE_FTP_DOWNLOAD_FAILED},
        {"Update.txt dripping", "/Update.txt", dateDripping, UPDATE_FTP_BAD_DATE_FILE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLocalFtpServer server(kUser, kPassword);
        server.SetFile("/Update.txt", File("1520##2026/12/24\r\n"));
        server.SetFile(c.path, c.file);
        CTestUpdater updater(m_engineDat.Path().c_str(), CAutoUpdater::kLargestDatabase);
        updater.LimitStages(1500);
        updater.SetFtpSite(SiteOf(server));
        int result = -1;
        // Neither the site nor a wait's time-out ends these; only the stage's deadline does.
        EXPECT_TRUE(EndsWithin(
            60000,
            [&] {
                if (!updater.OpenFtpConnection())
                    return;
                result = updater.CheckUpdateFile();
                if (result == UPDATE_FTP_NEWER)
                    result = updater.DownloadDatabase();
            },
            [&] { server.EndTransfers(); }));
        EXPECT_EQ(result, c.expected);
        ExpectUntouched();
    }
}
