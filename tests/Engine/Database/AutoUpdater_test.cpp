#include <gtest/gtest.h>

#include <memory>

#include "Database/AutoUpdater.h"
#include "Database/DatabaseHandler.h"
#include "Database/XmlNesting.h"
#include "LocalHttpServer.h"
#include "MessageBoxRecorder.h"
#include "TempFolder.h"
#include "TestDataFiles.h"
#include "TestProcess.h"

namespace {

const char kDatabaseSpywares[] =
    "<Spyware ID=\"1\" Name=\"One\" Details=\"first\" Type=\"1\"><Items /></Spyware>\n"
    "<Spyware ID=\"2\" Name=\"Two\" Details=\"second\" Type=\"1\"><Items /></Spyware>\n";
const char kDatabaseSignatures[] =
    "<Signature Type=\"2\" Value=\"{one}\" SpywareID=\"1\" />\n"
    "<Signature Type=\"2\" Value=\"{two-a}\" SpywareID=\"2\" />\n"
    "<Signature Type=\"2\" Value=\"{two-b}\" SpywareID=\"2\" />\n";

std::string LocalDatabase()
{
    return DatabaseXml("LastUpdateDate=\"2026/11/30\" Version=\"12\"", kDatabaseSpywares, kDatabaseSignatures);
}

std::string Patch(const std::string& updateInfoAttributes, const std::string& body)
{
    return "<?xml version=\"1.0\" ?>\n<Patch>\n<UpdateInfo " + updateInfoAttributes + " />\n" + body + "</Patch>\n";
}

HttpRoute Ok(const std::string& body)
{
    HttpRoute route;
    route.body = body;
    return route;
}

// The files in a folder (none when it is missing).
int FileCount(const std::string& folder)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
        count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}

std::string Nest(int levels, const std::string& name)
{
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += "<" + name + ">";
    for (int i = 0; i < levels; ++i)
        text += "</" + name + ">";
    return text;
}

bool Found(const CDatabaseHandler& database, const char* text)
{
    _SIGNATURE_QUERY query;
    query.Text = text;
    long id = 0;
    return database.FindSignature(query, &id) == 1;
}

// The bound of every promise that a wait for a site ends within 2 seconds, with room for a
// loaded machine.
const DWORD kEndBound = 10000;

HttpRoute Redirect(const std::string& location)
{
    HttpRoute route;
    route.status = 302;
    route.location = location;
    return route;
}

// An updater whose stages last no longer than the test says.
class CShortStageUpdater : public CAutoUpdater
{
public:
    CShortStageUpdater(const std::string& address, const std::string& databasePath, DWORD stageMs)
        : CAutoUpdater(nullptr, address.c_str(), "", "", "", databasePath.c_str())
    {
        m_limits.CheckMs = stageMs;
        m_limits.DownloadMs = stageMs;
    }
};

int RequestsFor(const CLocalHttpServer& server, const std::string& path)
{
    int count = 0;
    for (const std::string& target : server.Requests())
        count += target.substr(0, target.find('?')) == path;
    return count;
}

// A database folder with "engine.dat", a local update site and the process object.
class AutoUpdaterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.IsListening());
        m_databasePath = m_folder.PathOf("engine.dat");
        WriteEncipheredFile(m_databasePath, LocalDatabase());
    }

    // Runs an update job against the site; returns the codes it reported.
    std::vector<int> RunUpdate(CRecordingStatus& status)
    {
        const std::string address = m_server.Url("/update");
        EXPECT_EQ(m_process.StartUpdate(address.c_str(), "", "", "", m_databasePath.c_str(), &status), 1);
        EXPECT_TRUE(RunToEnd(m_process, status));
        return status.Results();
    }

    void Reply(const std::string& reply, int status = 200)
    {
        HttpRoute route = Ok(reply);
        route.status = status;
        m_server.SetRoute("/update", route);
    }

    std::string Patches(const std::vector<std::string>& paths)
    {
        std::string reply = "available";
        for (const std::string& path : paths)
            reply += "<br>" + m_server.Url(path);
        return reply + "<br>";
    }

    std::string Output() const { return m_folder.PathOf("engine.bak"); }
    std::string PatchFolder() const { return m_folder.PathOf("updates"); }

    CPrivateTempPath m_temporary;
    CTempFolder m_folder;
    CLocalHttpServer m_server;
    std::string m_databasePath;
    CVexaEngineProcess m_process{false};
};

} // namespace

TEST_F(AutoUpdaterTest, SendsTheLocalVersionAndAcceptsOnlyAnExactReplyWithStatus200)
{
    const struct {
        std::string reply;
        int status;
        int expected;
    } cases[] = {
        {"noupdate", 200, UPDATE_NONE_AVAILABLE},
        {"noupdate, and more text", 200, UPDATE_NONE_AVAILABLE},
        {"NoUpdate", 200, UPDATE_BAD_REPLY},
        {"", 200, UPDATE_BAD_REPLY},
        {" noupdate", 200, UPDATE_BAD_REPLY},
        {"noupdate", 404, UPDATE_REQUEST_FAILED},
        {"available<br>http://127.0.0.1:1/p.dat<br>", 500, UPDATE_REQUEST_FAILED},
        // No real reply is this long: a communication error, whatever it begins with.
        {"noupdate" + std::string(64 * 1024, ' '), 200, UPDATE_REQUEST_FAILED},
        {"noupdate" + std::string(60 * 1024, ' '), 200, UPDATE_NONE_AVAILABLE},
        // A NUL is not the end of the reply but a broken one.
        {std::string("noupdate\0more", 13), 200, UPDATE_BAD_REPLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.reply.substr(0, 40));
        Reply(c.reply, c.status);
        CRecordingStatus status;
        EXPECT_EQ(RunUpdate(status), std::vector<int>{c.expected});
        EXPECT_EQ(status.FinishedResult(), 1);
        EXPECT_EQ(status.CountProgress(PROGRESS_UPDATE_DONE), 0);
    }
    const std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), sizeof(cases) / sizeof(cases[0]));
    EXPECT_EQ(requests[0], "/update?UpdateVersion=12");
    EXPECT_FALSE(FileExists(Output()));
    EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
}

TEST_F(AutoUpdaterTest, AppliesPatchesInOrderIntoEngineBak)
{
    m_server.SetRoute("/p/add.dat",
                      Ok(EncipheredText(Patch("PatchType=\"Addition\" LastUpdateDate=\"2026/12/01\" Version=\"13\"",
                                          "<Spywares><Spyware ID=\"3\" Name=\"Three\" Type=\"1\" /></Spywares>\n"
                                          "<Signatures><Signature Type=\"2\" Value=\"{three}\" SpywareID=\"3\" />"
                                          "</Signatures>\n"))));
    m_server.SetRoute("/p/remove.dat",
                      Ok(EncipheredText(Patch("PatchType=\"Removal\" LastUpdateDate=\"2026/12/02\" Version=\"14\"",
                                          "<Spywares><Spyware ID=\"2\" /></Spywares>\n"
                                          "<Signatures><Signature SpywareID=\"2\" /><Signature SpywareID=\"2\" />"
                                          "</Signatures>\n"))));
    m_server.SetRoute("/p/edit.dat",
                      Ok(EncipheredText(Patch("PatchType=\"Edit\" LastUpdateDate=\"2026/12/03\" Version=\"15\"",
                                          "<Spywares><Spyware ID=\"1\" Name=\"One renamed\" Type=\"1\" />"
                                          "<Spyware ID=\"77\" Name=\"Nowhere\" /></Spywares>\n"))));
    // Addresses with blanks and line ends around them, as a site may send them.
    Reply("available<br> " + m_server.Url("/p/add.dat") + "\r\n<br>" + m_server.Url("/p/remove.dat") + "<br>"
          + m_server.Url("/p/edit.dat") + "<br>");

    const int cachedBefore = CacheCopiesOf("add") + CacheCopiesOf("remove") + CacheCopiesOf("edit");
    CRecordingStatus status;
    EXPECT_EQ(RunUpdate(status), std::vector<int>{UPDATE_OK});
    // Nothing of the downloads stays in WinINet's cache.
    EXPECT_EQ(CacheCopiesOf("add") + CacheCopiesOf("remove") + CacheCopiesOf("edit"), cachedBefore);
    EXPECT_EQ(status.CountProgress(PROGRESS_APPLY_BEGIN), 1);
    EXPECT_EQ(status.CountProgress(PROGRESS_PATCH_APPLIED), 3);
    EXPECT_EQ(status.CountProgress(PROGRESS_UPDATE_DONE), 1);
    ASSERT_FALSE(status.Items().empty());
    EXPECT_EQ(status.Items()[0], "3");

    CTempFolder check;
    const std::string plain = check.WriteFile("new.xml", ReadDecipheredFile(Output()));
    CDatabaseHandler updated(plain.c_str());
    ASSERT_EQ(updated.LoadDatabase(), 1);
    EXPECT_EQ(updated.GetVersion(), "15");
    ASSERT_NE(updated.FindSpyware(1), nullptr);
    EXPECT_EQ(updated.FindSpyware(1)->Name, "One renamed");
    EXPECT_EQ(updated.FindSpyware(2), nullptr);
    EXPECT_NE(updated.FindSpyware(3), nullptr);
    EXPECT_EQ(updated.FindSpyware(77), nullptr);
    EXPECT_TRUE(Found(updated, "{one}"));
    EXPECT_TRUE(Found(updated, "{three}"));
    EXPECT_FALSE(Found(updated, "{two-a}"));
    EXPECT_FALSE(Found(updated, "{two-b}"));
    EXPECT_NE(ReadDecipheredFile(Output()).find("LastUpdateDate=\"2026/12/03\""), std::string::npos);

    // The database itself stays as it was; the patches are gone, the folder stays.
    EXPECT_EQ(ReadDecipheredFile(m_databasePath), LocalDatabase());
    EXPECT_FALSE(FileExists(PatchFolder() + "\\add.dat"));
    EXPECT_FALSE(FileExists(PatchFolder() + "\\edit.dat"));
    EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
}

TEST_F(AutoUpdaterTest, BadPatchesAndAddressesEndTheUpdateWithTheirCode)
{
    const std::string good = Patch("PatchType=\"Addition\" LastUpdateDate=\"2026/12/01\" Version=\"13\"",
                                   "<Spywares><Spyware ID=\"3\" Name=\"Three\" /></Spywares>\n");
    // Served under every form a hostile address might take, so only the address check stops it.
    for (const char* path : {"/p/good.dat", "/good.dat", "/p/..\\good.dat", "/p/../good.dat", "/p/c:good.dat",
                             "/p/nul.dat", "/p/CON", "/p/com1.patch", "/p/foreign.dat"})
        m_server.SetRoute(path, Ok(EncipheredText(good)));
    const std::string port = m_server.Url("").substr(std::string("http://127.0.0.1:").size());
    m_server.SetRoute("/p/lowercase.dat",
                      Ok(EncipheredText(Patch("PatchType=\"addition\" LastUpdateDate=\"x\" Version=\"13\"", ""))));
    m_server.SetRoute("/p/noversion.dat", Ok(EncipheredText(Patch("PatchType=\"Edit\" LastUpdateDate=\"x\"", ""))));
    m_server.SetRoute("/p/noinfo.dat", Ok(EncipheredText("<Patch><Spywares /></Patch>")));
    m_server.SetRoute("/p/plain.dat", Ok(good));
    HttpRoute cut = Ok(EncipheredText(good).substr(0, 40));
    cut.contentLength = 5000;
    m_server.SetRoute("/p/cut.dat", cut);

    const struct {
        const char* what;
        std::string reply;
        int expected;
    } cases[] = {
        {"patch answered 404", Patches({"/p/missing.dat"}), UPDATE_REQUEST_FAILED},
        {"cut patch", Patches({"/p/cut.dat"}), UPDATE_REQUEST_FAILED},
        {"parent folder in name", "available<br>" + m_server.Url("/p/..\\good.dat") + "<br>", UPDATE_REQUEST_FAILED},
        {"drive in name", "available<br>" + m_server.Url("/p/c:good.dat") + "<br>", UPDATE_REQUEST_FAILED},
        {"empty name", "available<br>" + m_server.Url("/p/") + "<br>", UPDATE_REQUEST_FAILED},
        {"good then bad name", Patches({"/p/good.dat"}) + "http://127.0.0.1:1/..<br>", UPDATE_REQUEST_FAILED},
        {"device name", Patches({"/p/nul.dat"}), UPDATE_REQUEST_FAILED},
        {"device name without extension", Patches({"/p/CON"}), UPDATE_REQUEST_FAILED},
        {"numbered device", Patches({"/p/good.dat", "/p/com1.patch"}), UPDATE_REQUEST_FAILED},
        // Patches come only from the update site: the same scheme, host and port.
        {"other host", "available<br>http://localhost:" + port + "/p/foreign.dat<br>", UPDATE_REQUEST_FAILED},
        {"other port", "available<br>http://127.0.0.1:1/p/foreign.dat<br>", UPDATE_REQUEST_FAILED},
        {"other scheme", "available<br>https://127.0.0.1:" + port + "/p/foreign.dat<br>", UPDATE_REQUEST_FAILED},
        {"host behind a user name", "available<br>http://127.0.0.1:" + port + "@localhost:" + port + "/p/foreign.dat<br>",
         UPDATE_REQUEST_FAILED},
        {"good then other host", Patches({"/p/good.dat"}) + "http://localhost:" + port + "/p/foreign.dat<br>",
         UPDATE_REQUEST_FAILED},
        {"patch type in lower case", Patches({"/p/lowercase.dat"}), UPDATE_BAD_PATCH},
        {"patch without version", Patches({"/p/noversion.dat"}), UPDATE_BAD_PATCH},
        {"patch without UpdateInfo", Patches({"/p/noinfo.dat"}), UPDATE_BAD_PATCH},
        {"patch not enciphered", Patches({"/p/plain.dat"}), UPDATE_BAD_PATCH},
        {"no patch at all", "available", UPDATE_BAD_PATCH},
    };
    CMessageBoxRecorder boxes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reply(c.reply);
        CRecordingStatus status;
        EXPECT_EQ(RunUpdate(status), std::vector<int>{c.expected});
        EXPECT_EQ(status.CountProgress(PROGRESS_UPDATE_DONE), 0);
        EXPECT_FALSE(FileExists(Output()));
        EXPECT_FALSE(FileExists(m_folder.PathOf("good.dat")));
        // A patch that could not be used is deleted like one that was applied.
        EXPECT_EQ(FileCount(PatchFolder()), 0);
        EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
    }
    // Addresses are checked before anything is fetched.
    for (const std::string& request : m_server.Requests()) {
        EXPECT_EQ(request.find(".."), std::string::npos) << request;
        for (const char* refused : {"nul", "CON", "com1", "foreign"})
            EXPECT_EQ(request.find(refused), std::string::npos) << request;
    }
}

TEST_F(AutoUpdaterTest, DatabasePathInAnyCaseNeverOverwritesTheLiveDatabase)
{
    const std::string addition = EncipheredText(Patch("PatchType=\"Addition\" LastUpdateDate=\"2\" Version=\"13\"",
                                                  "<Spywares><Spyware ID=\"3\" /></Spywares>\n"));
    m_server.SetRoute("/p/add.dat", Ok(addition));
    const std::string address = m_server.Url("/update");
    const struct {
        const char* name;
        int expected;
        const char* output;
    } cases[] = {
        {"ENGINE.DAT", UPDATE_OK, "engine.bak"},
        {"Live.Bak", UPDATE_DATABASE_FAILED, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder folder;
        const std::string database = folder.PathOf(c.name);
        WriteEncipheredFile(database, LocalDatabase());
        Reply(Patches({"/p/add.dat"}));
        CRecordingStatus status;
        ASSERT_EQ(m_process.StartUpdate(address.c_str(), "", "", "", database.c_str(), &status), 1);
        ASSERT_TRUE(RunToEnd(m_process, status));
        EXPECT_EQ(status.Results(), std::vector<int>{c.expected});
        EXPECT_EQ(ReadDecipheredFile(database), LocalDatabase());
        if (c.output) {
            EXPECT_NE(ReadDecipheredFile(folder.PathOf(c.output)).find("Version=\"13\""), std::string::npos);
        }
        // The patches went to the folder's "updates", and were deleted there.
        EXPECT_EQ(FileCount(folder.Path()), c.output ? 2 : 1);
        EXPECT_EQ(FileCount(folder.PathOf("updates")), 0);
    }
}

TEST_F(AutoUpdaterTest, PatchesAndTheDatabaseNestedBeyondTheLimitAreRefused)
{
    // A patch root, "Spywares", a spyware, its item list, and a chain below it.
    const auto patchOfDepth = [](int depth) {
        return Patch("PatchType=\"Addition\" LastUpdateDate=\"2\" Version=\"13\"",
                     "<Spywares><Spyware ID=\"3\"><Items>" + Nest(depth - 4, "Item") + "</Items></Spyware></Spywares>\n");
    };
    m_server.SetRoute("/p/deepest.dat", Ok(EncipheredText(patchOfDepth(kMaxXmlNesting))));
    m_server.SetRoute("/p/deeper.dat", Ok(EncipheredText(patchOfDepth(kMaxXmlNesting + 1))));
    const struct {
        const char* what;
        std::string reply;
        std::string database;
        int expected;
    } cases[] = {
        {"patch at the limit", Patches({"/p/deepest.dat"}), LocalDatabase(), UPDATE_OK},
        {"patch beyond it", Patches({"/p/deeper.dat"}), LocalDatabase(), UPDATE_BAD_PATCH},
        {"database beyond it", Patches({"/p/deepest.dat"}),
         DatabaseXml("LastUpdateDate=\"1\" Version=\"12\"", kDatabaseSpywares + Nest(kMaxXmlNesting, "Deep"),
                     kDatabaseSignatures),
         UPDATE_DATABASE_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileA(Output().c_str());
        WriteEncipheredFile(m_databasePath, c.database);
        Reply(c.reply);
        CRecordingStatus status;
        EXPECT_EQ(RunUpdate(status), std::vector<int>{c.expected});
        EXPECT_EQ(FileExists(Output()), c.expected == UPDATE_OK);
        EXPECT_EQ(FileCount(PatchFolder()), 0);
        EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
    }
}

TEST_F(AutoUpdaterTest, DatabaseWithoutItsSectionsEndsTheApplyWithCode18)
{
    WriteEncipheredFile(m_databasePath, "<Database><UpdateInfo LastUpdateDate=\"1\" Version=\"12\" /></Database>");
    m_server.SetRoute("/p/add.dat",
                      Ok(EncipheredText(Patch("PatchType=\"Addition\" LastUpdateDate=\"2\" Version=\"13\"",
                                          "<Spywares><Spyware ID=\"3\" /></Spywares>\n"))));
    Reply(Patches({"/p/add.dat"}));
    CRecordingStatus status;
    EXPECT_EQ(RunUpdate(status), std::vector<int>{UPDATE_DATABASE_FAILED});
    EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
}

TEST_F(AutoUpdaterTest, CancelDuringTheDownloadEndsTheJobWithoutKillingIt)
{
    EXPECT_EQ(m_process.CancelUpdate(), 0);  // no update job

    HttpRoute big = Ok(std::string(200000, 'x'));
    big.holdOnRequest = 2;  // the first request only asks for the length
    big.holdAfter = 8000;
    m_server.SetRoute("/p/big.dat", big);
    Reply(Patches({"/p/big.dat"}));

    CRecordingStatus status;
    const std::string address = m_server.Url("/update");
    ASSERT_EQ(m_process.StartUpdate(address.c_str(), "", "", "", m_databasePath.c_str(), &status), 1);
    m_process.Resume();
    ASSERT_TRUE(m_server.WaitHeld());
    EXPECT_EQ(m_process.CancelUpdate(), 1);
    // The read that waits for the rest ends when the request is closed, or (under Wine, when the
    // close came as the read began) with the next data: the rest comes, and is not kept.
    m_server.ReleaseHold();
    ASSERT_TRUE(RunToEnd(m_process, status));
    EXPECT_EQ(status.FinishedResult(), 0);
    ASSERT_EQ(status.Results().size(), 1u);
    EXPECT_NE(status.Results()[0], UPDATE_OK);
    EXPECT_FALSE(FileExists(PatchFolder() + "\\big.dat"));
    EXPECT_EQ(m_process.CancelUpdate(), 0);  // the updater went with its job
}

TEST_F(AutoUpdaterTest, ApplyPhaseCannotBeCancelled)
{
    m_server.SetRoute("/p/add.dat",
                      Ok(EncipheredText(Patch("PatchType=\"Addition\" LastUpdateDate=\"2\" Version=\"13\"",
                                          "<Spywares><Spyware ID=\"3\" /></Spywares>\n"))));
    Reply(Patches({"/p/add.dat"}));
    CMessageBoxRecorder boxes;
    CMessageBoxRecorder::ClearTexts();
    CRecordingStatus status;
    int cancelled = -1;
    status.onProgress = [&](int phase) {
        if (phase == PROGRESS_APPLY_BEGIN)
            cancelled = m_process.CancelUpdate();
    };
    EXPECT_EQ(RunUpdate(status), std::vector<int>{UPDATE_OK});
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(CMessageBoxRecorder::Texts(),
              std::vector<std::string>{"The update process cannot be cancelled at this time"});
    EXPECT_EQ(status.FinishedResult(), 1);

    // The same rule on the updater itself.
    CAutoUpdater updater(nullptr, "", "", "", "", m_databasePath.c_str());
    EXPECT_EQ(updater.CancelUpdate(), 0);
    CAutoUpdater applying(nullptr, "", "", "", "", m_databasePath.c_str());
    EXPECT_EQ(applying.ApplyUpdates(), UPDATE_BAD_PATCH);
    EXPECT_EQ(applying.CancelUpdate(), 1);
}

TEST(AutoUpdater, LocalVersionAndFoldersComeFromTheDatabasePath)
{
    CPrivateTempPath temporary;
    CTempFolder folder;
    const std::string path = folder.PathOf("engine.dat");
    // The version is read from the head only: keep the "UpdateInfo" near the start.
    WriteEncipheredFile(path, "<D><UpdateInfo LastUpdateDate=\"2026/12/01\" Version=\"12\" />" + std::string(5000, ' ')
                                  + "<Spywares /><Signatures /></D>");
    CAutoUpdater updater(nullptr, "", "", "", "", path.c_str());
    EXPECT_EQ(updater.GetLocalVersionInfo(), "20261201 Version12");
    EXPECT_EQ(updater.GetDatabaseFolder(), (folder.Path() + "\\").c_str());
    EXPECT_EQ(updater.GetPatchFolder(), (folder.Path() + "\\updates").c_str());

    EXPECT_EQ(temporary.EngineTempFileCount(), 0);

    // The folders and the output follow from the folder and the name, whatever their case; the
    // output is never the database itself.
    const std::string base = folder.Path() + "\\";
    const struct {
        std::string database;
        std::string output;
    } paths[] = {
        {base + "engine.dat", base + "engine.bak"},
        {base + "ENGINE.DAT", base + "engine.bak"},
        {base + "Engine.Dat", base + "engine.bak"},
        {base + "engine.dat.d\\engine.dat", base + "engine.dat.d\\engine.bak"},
        {base + "data.bin", base + "data.bak"},
        {base + "database", base + "database.bak"},
        {base + "live.BAK", ""},
        {base, ""},
    };
    for (const auto& p : paths) {
        CAutoUpdater updater(nullptr, "", "", "", "", p.database.c_str());
        const std::string folderOf = p.database.substr(0, p.database.rfind('\\') + 1);
        EXPECT_EQ(updater.GetDatabaseFolder(), folderOf.c_str()) << p.database;
        EXPECT_EQ(updater.GetPatchFolder(), (folderOf + "updates").c_str()) << p.database;
        EXPECT_EQ(updater.GetOutputPath(), p.output.c_str()) << p.database;
    }

    for (const char* name : {"patch1.dat", "a b.dat", "console.dat", "com10.dat", "nul1.dat"})
        EXPECT_TRUE(CAutoUpdater::IsPlainFileName(name)) << name;
    for (const char* name : {"", ".", "..", "..\\x", "a\\b", "a/b", "c:x", "x?y", "a\tb", "CON", "nul.dat", "Aux.x.y",
                             "com1", "LPT9.patch", "prn .dat", "CONOUT$", "patch.dat.", "patch.dat "})
        EXPECT_FALSE(CAutoUpdater::IsPlainFileName(name)) << name;
}

TEST_F(AutoUpdaterTest, EveryWaitForAStalledDrippingRedirectedOrCutSiteEnds)
{
    HttpRoute stalled = Ok(std::string(200000, 'x'));
    stalled.holdOnRequest = 2;  // the first request only asks for the length
    stalled.holdAfter = 8000;
    stalled.stall = true;
    HttpRoute dripping = stalled;
    dripping.stall = false;
    dripping.dripMs = 200;
    HttpRoute silent;
    silent.holdOnRequest = 1;
    silent.stall = true;
    silent.stallBeforeHeader = true;
    HttpRoute cut = Ok(std::string(200000, 'x'));
    cut.contentLength = 201000;
    const struct {
        const char* what;
        const char* path;
        HttpRoute route;
        bool waits;    // for the test to end it; else the job ends by itself with `expected`
        int expected;
    } cases[] = {
        {"patch stalled after 8000 bytes", "/p/big.dat", stalled, true, UPDATE_NOT_CONNECTED},
        {"patch dripping after 8000 bytes", "/p/big.dat", dripping, true, UPDATE_NOT_CONNECTED},
        {"version reply never answered", "/update", silent, true, UPDATE_NOT_CONNECTED},
        {"version reply redirected to itself", "/update", Redirect("/update"), false, UPDATE_REQUEST_FAILED},
        {"version reply redirected to FTP", "/update", Redirect("ftp://127.0.0.1/update"), false,
         UPDATE_REQUEST_FAILED},
        {"version reply redirected twice", "/update", Redirect("/moved"), false, UPDATE_NONE_AVAILABLE},
        {"patch redirected to itself", "/p/big.dat", Redirect("/p/big.dat"), false, UPDATE_REQUEST_FAILED},
        // Patches come only from the update site, wherever its redirects lead.
        {"patch redirected to another host", "/p/big.dat", Redirect("{this server as localhost}/p/moved.dat"), false,
         UPDATE_REQUEST_FAILED},
        {"patch cut short", "/p/big.dat", cut, false, UPDATE_REQUEST_FAILED},
    };
    for (const auto& c : cases) {
        for (JobEnd end : {JobEnd::Cancel, JobEnd::Stop, JobEnd::Release}) {
            if (!c.waits && end != JobEnd::Cancel)
                continue;
            SCOPED_TRACE(std::string(c.what) + ", " + (c.waits ? NameOf(end) : "no end asked"));
            CLocalHttpServer server;
            ASSERT_TRUE(server.IsListening());
            server.SetRoute("/update", Ok("available<br>" + server.Url("/p/big.dat") + "<br>"));
            server.SetRoute("/p/big.dat", Ok(std::string(200000, 'x')));
            server.SetRoute("/moved", Redirect(server.Url("/final")));
            server.SetRoute("/final", Ok("noupdate"));
            server.SetRoute("/p/moved.dat", Ok(std::string(200000, 'x')));
            HttpRoute route = c.route;
            const std::string localhost = "{this server as localhost}";
            if (route.location.compare(0, localhost.size(), localhost) == 0)
                route.location.replace(0, localhost.size(), "http://localhost:" + std::to_string(server.Port()));
            server.SetRoute(c.path, route);
            std::unique_ptr<CVexaEngineProcess> process(new CVexaEngineProcess(false));
            CRecordingStatus status;
            const std::string address = server.Url("/update");
            ASSERT_EQ(process->StartUpdate(address.c_str(), "", "", "", m_databasePath.c_str(), &status), 1);
            process->Resume();
            if (c.waits) {
                ASSERT_TRUE(server.WaitHeld());
                if (c.route.dripMs)
                    server.ReleaseHold();
                EXPECT_TRUE(EndJobWithin(process, status, end, kEndBound, [&] { server.EndResponses(); }));
                EXPECT_EQ(status.FinishedResult(), 0);
            } else {
                EXPECT_TRUE(RunToEnd(*process, status, kEndBound));
                EXPECT_EQ(status.FinishedResult(), 1);
            }
            EXPECT_EQ(status.Results(), std::vector<int>{c.expected});
            // A site that answers with redirects gets its first request and five more.
            if (c.route.location == c.path) {
                EXPECT_EQ(RequestsFor(server, c.path), 1 + CSiteSession::kMostRedirects);
            }
            EXPECT_EQ(RequestsFor(server, "/p/moved.dat"), 0);
            EXPECT_EQ(FileCount(PatchFolder()), 0);
            EXPECT_FALSE(FileExists(Output()));
            EXPECT_EQ(ReadDecipheredFile(m_databasePath), LocalDatabase());
            EXPECT_EQ(m_temporary.EngineTempFileCount(), 0);
        }
    }
}

TEST_F(AutoUpdaterTest, ASiteThatDripsOrStallsEndsEachStageAtItsDeadline)
{
    HttpRoute drippingReply = Ok("noupdate" + std::string(3000, ' '));
    drippingReply.dripMs = 50;
    HttpRoute drippingPatch = Ok(std::string(3000, 'x'));
    drippingPatch.dripMs = 50;
    HttpRoute stalledPatch = Ok(std::string(3000, 'x'));
    stalledPatch.holdOnRequest = 2;
    stalledPatch.holdAfter = 100;
    stalledPatch.stall = true;
    const struct {
        const char* what;
        const char* path;
        HttpRoute route;
    } cases[] = {
        {"version reply dripping", "/update", drippingReply},
        {"patch dripping", "/p/slow.dat", drippingPatch},
        {"patch stalled", "/p/slow.dat", stalledPatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLocalHttpServer server;
        server.SetRoute("/update", Ok("available<br>" + server.Url("/p/slow.dat") + "<br>"));
        server.SetRoute(c.path, c.route);
        CShortStageUpdater updater(server.Url("/update"), m_databasePath, 1500);
        int result = -1;
        // Neither the site nor a wait's time-out ends these; only the stage's deadline does.
        EXPECT_TRUE(EndsWithin(
            60000,
            [&] {
                result = updater.CheckForUpdate();
                if (result == UPDATE_OK)
                    result = updater.DownloadUpdates(updater.GetPatchList());
            },
            [&] { server.EndResponses(); }));
        EXPECT_EQ(result, UPDATE_REQUEST_FAILED);
        EXPECT_EQ(FileCount(PatchFolder()), 0);
    }
}
