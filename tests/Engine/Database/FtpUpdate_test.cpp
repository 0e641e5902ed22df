// The FTP variant of the database update, end to end under Wine's WinINet against a local FTP
// server: the date check, the download, and the rule that only a whole database that deciphers
// and loads takes the place of "engine.dat".
#include <gtest/gtest.h>

#include <algorithm>
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

// An updater whose downloads may be no larger than the test says.
class CSmallDownloadUpdater : public CAutoUpdater
{
public:
    CSmallDownloadUpdater(const char* databasePath, DWORD largest)
        : CAutoUpdater(nullptr, "", "", "", "engine.dat", databasePath)
    {
        m_largestDownload = largest;
    }
};

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

    _FTP_SITE Site(const char* password = kPassword) const
    {
        _FTP_SITE site;
        site.Server = "127.0.0.1";
        site.Port = m_server.Port();
        site.User = kUser;
        site.Password = password;
        return site;
    }

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
    CRecordingStatus status;
    EXPECT_EQ(RunFtpUpdate(status), UPDATE_OK);

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
    CSmallDownloadUpdater updater(m_engineDat.Path().c_str(), static_cast<DWORD>(site.size() - 1));
    updater.SetFtpSite(Site());
    ASSERT_TRUE(updater.OpenFtpConnection());
    EXPECT_EQ(updater.DownloadDatabase(), UPDATE_FTP_DOWNLOAD_FAILED);
    ExpectUntouched();

    // One byte more is room enough.
    CSmallDownloadUpdater roomy(m_engineDat.Path().c_str(), static_cast<DWORD>(site.size()));
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
