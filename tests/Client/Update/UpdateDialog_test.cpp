// The program-update dialog as the main window opens it (at start-up or from its button), against
// a local HTTP server: for each reply of the update site and each download, the boxes shown, the
// files left in the temporary folder and whether an installer is started.
#include "PagesFixture.h"

#include <algorithm>
#include <thread>

#include "JobWait.h"
#include "LocalHttpServer.h"
#include "Messages.h"
#include "SettingsKey.h"
#include "UpdateClient.h"
#include "UpdateTestFiles.h"
#include "resource.h"

namespace {

const char kCheckPath[] = "/update/versionRead.php";
const char kDownloadPath[] = "/files/setup.exe";
// Nothing listens there: a host that cannot be reached.
const char kDeadSite[] = "http://127.0.0.1:1";

const char kLatest[] = "You are already running latest version of Bellwort Registry Reriraz";
const char kNoServer[] = "Error connecting to update server, please make sure you are connected to the internet";
const char kCommunication[] =
    "Communication error while checking for software update, please make sure you are connected to the internet";
const char kDownloadQuestion[] = "A new version of Bellwort Registry Reriraz is available, Do you want to download it";
const char kInstallQuestion[] = "Do you want to install the downloaded updates.\r\nIf you select Yes, Bellwort "
                                "Registry Reriraz will exit and update installer will be launched.";
const char kDownloadError[] = "An error occurred while downloading updates, check your internet connection";
const char kJobRuns[] = "Please stop active operation before closing.";
const char kCannotStart[] =
    "The downloaded update could not be started (error 193), so Bellwort Registry Reriraz stays open.";
// How long a test waits for the update dialog's worker to end.
const DWORD kWorkerLimit = 60000;

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The update dialog among the windows of `thread`.
HWND FindUpdateDialog(DWORD thread)
{
    HWND found = nullptr;
    ::EnumThreadWindows(thread, [](HWND window, LPARAM context) -> BOOL {
        if (::GetDlgItem(window, IDC_UPDATE_ANIMATION) && ::GetDlgItem(window, IDC_UPDATE_STATUS)) {
            *reinterpret_cast<HWND*>(context) = window;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

class CEnvironmentValue
{
public:
    CEnvironmentValue(const char* name, const std::string& value) : m_name(name)
    {
        char old[MAX_PATH * 2] = {};
        const DWORD length = ::GetEnvironmentVariableA(name, old, sizeof(old));
        m_had = length > 0 && length < sizeof(old);
        m_old = old;
        ::SetEnvironmentVariableA(name, value.c_str());
    }
    ~CEnvironmentValue() { ::SetEnvironmentVariableA(m_name.c_str(), m_had ? m_old.c_str() : nullptr); }

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

class UpdateTest : public PagesTest
{
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        ASSERT_TRUE(m_server.IsListening());
        m_installer = ReadWholeFile(BinFile("stub_installer.exe"));
        ASSERT_GT(m_installer.size(), 1000u);
        UseFreshDownloadFolder();
        m_record = m_folder->PathOf("installer-ran.txt");
        m_recordValue.reset(new CEnvironmentValue("KELVARA_STUB_RECORD", m_record));
        SetSite(m_server.Url(""));
        HttpRoute installer;
        installer.body = m_installer;
        m_server.SetRoute(kDownloadPath, installer);
    }
    void TearDown() override
    {
        EXPECT_TRUE(TestApp().m_updateWorkers.WaitAll(kWorkerLimit));
        m_recordValue.reset();
        m_temp.reset();
        m_tmp.reset();
        m_downloads.reset();
        PagesTest::TearDown();
    }

    // The temporary folder of this process: a fresh one, so that a test sees every file left.
    void UseFreshDownloadFolder()
    {
        m_temp.reset();
        m_tmp.reset();
        m_downloads.reset(new CTempFolder);
        m_tmp.reset(new CEnvironmentValue("TMP", m_downloads->Path()));
        m_temp.reset(new CEnvironmentValue("TEMP", m_downloads->Path()));
    }
    static void SetSite(const std::string& site)
    {
        CSettingsKey key;
        ASSERT_TRUE(key.Open());
        key.WriteString(kUpdateSiteValue, site.c_str());
    }
    void SetReply(int status, const std::string& body)
    {
        HttpRoute reply;
        reply.status = status;
        reply.body = Replace(body, "{installer}", m_server.Url(kDownloadPath));
        m_server.SetRoute(kCheckPath, reply);
    }
    // Opens the dialog as the main window does, and returns once it and its worker have ended.
    void RunUpdate(bool automatic)
    {
        OpenUpdate(automatic);
        EXPECT_TRUE(TestApp().m_updateWorkers.WaitAll(kWorkerLimit));
    }
    void OpenUpdate(bool automatic)
    {
        if (automatic)
            m_main->SendMessage(WM_AUTO_UPDATE_CHECK);
        else
            Click(*m_main, IDC_UPDATE_BUTTON);
    }
    int DownloadRequests() const
    {
        int count = 0;
        for (const std::string& target : m_server.Requests())
            count += target == kDownloadPath;
        return count;
    }
    // What the started installer recorded ("<its path>|<engine state of its starter>"), or an
    // empty text when it did not record within the limit.
    std::string WaitForInstallerRecord()
    {
        // The stub creates its record and then writes it: wait for the whole line.
        std::string record;
        for (int i = 0; i < 600; ++i) {
            record = FileExists(m_record) ? ReadWholeFile(m_record) : std::string();
            if (!record.empty() && record.back() == '\n')
                break;
            ::Sleep(50);
        }
        return record;
    }

    CLocalHttpServer m_server;
    std::string m_installer;
    std::string m_record;
    std::unique_ptr<CTempFolder> m_downloads;
    std::unique_ptr<CEnvironmentValue> m_tmp;
    std::unique_ptr<CEnvironmentValue> m_temp;
    std::unique_ptr<CEnvironmentValue> m_recordValue;
};

struct UpdateCase
{
    const char* name;
    bool automatic;
    int status;               // of the version reply
    const char* reply;        // "{installer}" stands for the installer's address on the server
    HttpRoute download;       // the installer's answer; an empty body serves the stub installer
    int downloadAnswer;
    int installAnswer;
    std::vector<std::string> boxes;
    int downloads;            // requests for the installer
    bool installerLeft;       // a complete installer stays in the temporary folder
    bool installs;            // the installer starts once the engine is released, the program closes
};

// The stand-in installer made for a machine that no system runs: a whole program by its headers
// that cannot be started.
std::string ForNoMachine(std::string program)
{
    LONG peOffset = 0;
    memcpy(&peOffset, &program[0x3C], sizeof(peOffset));
    const WORD machine = 0x1234;
    memcpy(&program[static_cast<size_t>(peOffset) + 4], &machine, sizeof(machine));
    return program;
}

HttpRoute Served(int status = 200, long contentLength = -1, const char* body = "")
{
    HttpRoute route;
    route.status = status;
    route.contentLength = contentLength;
    route.body = body;
    return route;
}

} // namespace

TEST_F(UpdateTest, EachReplyAndDownloadEndsWithItsBoxesItsFilesAndItsInstaller)
{
    const long cut = static_cast<long>(m_installer.size()) + 1000;
    const long longer = static_cast<long>(m_installer.size()) - 1000;
    const UpdateCase cases[] = {
        { "latest, manual", false, 200, "noupdate", Served(), IDYES, IDYES, { kLatest }, 0, false, false },
        { "latest, at start-up", true, 200, "noupdate", Served(), IDYES, IDYES, { kLatest }, 0, false, false },
        { "install", false, 200, "available {installer}<br>", Served(), IDYES, IDYES,
          { kDownloadQuestion, kInstallQuestion }, 1, true, true },
        { "install at start-up", true, 200, "available  {installer} ", Served(), IDYES, IDYES,
          { kDownloadQuestion, kInstallQuestion }, 1, true, true },
        { "downloaded, not installed", true, 200, "available {installer}", Served(), IDYES, IDNO,
          { kDownloadQuestion, kInstallQuestion }, 1, true, false },
        { "not downloaded", false, 200, "available {installer}", Served(), IDNO, IDYES, { kDownloadQuestion }, 0,
          false, false },
        { "no installer named", false, 200, "available<br>", Served(), IDYES, IDYES, {}, 0, false, false },
        { "local path, manual", false, 200, "available C:\\windows\\notepad.exe", Served(), IDYES, IDYES,
          { kCommunication }, 0, false, false },
        { "local path, at start-up", true, 200, "available C:\\windows\\notepad.exe", Served(), IDYES, IDYES, {}, 0,
          false, false },
        { "other scheme", false, 200, "available ftp://127.0.0.1/setup.exe", Served(), IDYES, IDYES,
          { kCommunication }, 0, false, false },
        { "empty, manual", false, 200, "", Served(), IDYES, IDYES, { kCommunication }, 0, false, false },
        { "empty, at start-up", true, 200, "", Served(), IDYES, IDYES, {}, 0, false, false },
        { "unexpected, manual", false, 200, "<html>maintenance</html>", Served(), IDYES, IDYES, { kCommunication }, 0,
          false, false },
        { "unexpected, at start-up", true, 200, "<html>maintenance</html>", Served(), IDYES, IDYES, {}, 0, false,
          false },
        { "404 page, manual", false, 404, "available {installer}", Served(), IDYES, IDYES, { kCommunication }, 0,
          false, false },
        { "404 page, at start-up", true, 404, "available {installer}", Served(), IDYES, IDYES, {}, 0, false, false },
        { "500 page", false, 500, "available {installer}", Served(), IDYES, IDYES, { kCommunication }, 0, false,
          false },
        { "installer is a 404 page", false, 200, "available {installer}", Served(404), IDYES, IDYES,
          { kDownloadQuestion, kDownloadError }, 1, false, false },
        { "installer cut short", true, 200, "available {installer}", Served(200, cut), IDYES, IDYES,
          { kDownloadQuestion, kDownloadError }, 1, false, false },
        // The site announces less than it sends: what is read is a program cut short.
        { "installer longer than announced", false, 200, "available {installer}", Served(200, longer), IDYES, IDYES,
          { kDownloadQuestion, kDownloadError }, 1, false, false },
        { "installer is no program", false, 200, "available {installer}",
          Served(200, -1, "available http://127.0.0.1/setup.exe"), IDYES, IDYES,
          { kDownloadQuestion, kDownloadError }, 1, false, false },
        { "installer's host gone", false, 200, "available http://127.0.0.1:1/setup.exe", Served(), IDYES, IDYES,
          { kDownloadQuestion, kDownloadError }, 0, false, false },
        // Told, deleted, and the program stays with its engine.
        { "installer cannot start", false, 200, "available {installer}", Served(200, -1, "no machine"), IDYES, IDYES,
          { kDownloadQuestion, kInstallQuestion, kCannotStart }, 1, false, false },
    };
    CQuillonApp& app = TestApp();
    for (const UpdateCase& c : cases) {
        SCOPED_TRACE(c.name);
        UseFreshDownloadFolder();
        ::DeleteFileA(m_record.c_str());
        m_main->ShowWindow(SW_SHOW);
        const int downloadsBefore = DownloadRequests();
        SetReply(c.status, c.reply);
        HttpRoute download = c.download;
        if (download.body.empty())
            download.body = m_installer;
        else if (download.body == "no machine")
            download.body = ForNoMachine(m_installer);
        m_server.SetRoute(kDownloadPath, download);
        CMessageBoxRecorder recorder;
        CMessageBoxRecorder::SetAnswerFor(kDownloadQuestion, c.downloadAnswer);
        CMessageBoxRecorder::SetAnswerFor(kInstallQuestion, c.installAnswer);

        RunUpdate(c.automatic);

        EXPECT_EQ(c.boxes, CMessageBoxRecorder::TextsNow());
        EXPECT_EQ(c.downloads, DownloadRequests() - downloadsBefore);
        const std::vector<std::string> files = FilesIn(m_downloads->Path());
        std::string installer;
        if (c.installerLeft) {
            ASSERT_EQ(1u, files.size());
            // The system's temporary names take three letters of the prefix.
            EXPECT_EQ(0u, files[0].find("reg"));
            EXPECT_EQ(".exe", files[0].substr(files[0].size() - 4));
            installer = m_downloads->PathOf(files[0]);
            EXPECT_TRUE(ReadWholeFile(installer) == m_installer);
        } else {
            EXPECT_EQ(std::vector<std::string>(), files);
        }
        // Installing releases the engine, starts the installer and closes the program through its
        // close guard; an installer that cannot start leaves the program as it was.
        EXPECT_EQ(!c.installs, ::IsWindowVisible(m_main->m_hWnd) != FALSE);
        EXPECT_EQ(!c.installs, app.m_pProcess != nullptr);
        EXPECT_TRUE(::IsWindowEnabled(m_main->m_hWnd));
        if (c.installs) {
            EXPECT_EQ(installer + "|released\n", WaitForInstallerRecord());
            // The next row is a program started afresh.
            ASSERT_TRUE(app.LoadEngine());
            app.m_pProcess = app.m_pEngineInterface->CreateEngineProcessNoDatabase();
        } else {
            EXPECT_FALSE(FileExists(m_record));
        }
    }
}

TEST_F(UpdateTest, AnUnreachableUpdateSiteIsToldOnlyWhenAskedFor)
{
    SetSite(kDeadSite);
    for (bool automatic : { false, true }) {
        CMessageBoxRecorder recorder;
        RunUpdate(automatic);
        EXPECT_EQ(automatic ? std::vector<std::string>() : std::vector<std::string>{ kNoServer },
                  CMessageBoxRecorder::TextsNow());
    }
    EXPECT_EQ(std::vector<std::string>(), FilesIn(m_downloads->Path()));
}

TEST_F(UpdateTest, ClosingTheDialogDuringADrippingDownloadStopsItAndLeavesNothing)
{
    SetReply(200, "available {installer}");
    // A byte now and then: each read would wait for hours to fill its buffer.
    HttpRoute dripping;
    dripping.body = m_installer;
    dripping.holdOnRequest = 1;
    dripping.holdAfter = 8192;
    dripping.dripMs = 50;
    m_server.SetRoute(kDownloadPath, dripping);
    CMessageBoxRecorder recorder(IDYES);

    const DWORD windowThread = ::GetCurrentThreadId();
    std::string statusWhileHeld;
    std::thread user([&] {
        if (!m_server.WaitHeld())
            return;
        m_server.ReleaseHold();
        HWND dialog = FindUpdateDialog(windowThread);
        if (!dialog)
            return;
        char status[256] = {};
        ::GetDlgItemTextA(dialog, IDC_UPDATE_STATUS, status, sizeof(status));
        statusWhileHeld = status;
        ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    OpenUpdate(false);
    user.join();
    EXPECT_EQ("Downloading latest version of Bellwort Registry Reriraz", statusWhileHeld);

    // The dialog is gone and its worker ends at the next byte, while the site still drips.
    EXPECT_TRUE(TestApp().m_updateWorkers.WaitAll(kWorkerLimit));
    EXPECT_EQ(std::vector<std::string>{ kDownloadQuestion }, CMessageBoxRecorder::TextsNow());
    EXPECT_EQ(std::vector<std::string>(), FilesIn(m_downloads->Path()));
    EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));
    EXPECT_FALSE(FileExists(m_record));
}

TEST_F(UpdateTest, ClosingTheDialogDuringADrippingCheckEndsItsRequestAtOnce)
{
    // The reply comes a byte now and then: the check would go on until its deadline.
    HttpRoute dripping;
    dripping.body = "noupdate" + std::string(4000, ' ');
    dripping.holdOnRequest = 1;
    dripping.holdAfter = 3;
    dripping.dripMs = 50;
    m_server.SetRoute(kCheckPath, dripping);
    CMessageBoxRecorder recorder(IDYES);

    const DWORD windowThread = ::GetCurrentThreadId();
    std::thread user([&] {
        if (!m_server.WaitHeld())
            return;
        m_server.ReleaseHold();
        if (HWND dialog = FindUpdateDialog(windowThread))
            ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    OpenUpdate(false);
    user.join();
    EXPECT_EQ(nullptr, FindUpdateDialog(windowThread));

    // Its worker ends at the next byte, well before the site has sent its reply, and asks
    // nothing more of it.
    EXPECT_TRUE(TestApp().m_updateWorkers.WaitAll(10000));
    EXPECT_EQ(std::vector<std::string>(), CMessageBoxRecorder::TextsNow());
    const size_t requests = m_server.Requests().size();
    EXPECT_EQ(1u, requests);
    EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));
}

TEST_F(UpdateTest, AnInstallerIsNotLeftForTheExitWhileAJobRuns)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(3000);
    TickOnly(SCAN_SUI);
    Click(app.m_scanPage, IDC_SCAN_START);
    Click(app.m_scanningPage, IDC_SCANNING_PAUSE);
    ASSERT_TRUE(app.m_pProcess->IsRunning());

    SetReply(200, "available {installer}");
    CMessageBoxRecorder recorder(IDYES);
    RunUpdate(false);
    EXPECT_EQ((std::vector<std::string>{ kDownloadQuestion, kInstallQuestion, kJobRuns }),
              CMessageBoxRecorder::TextsNow());
    EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));
    EXPECT_FALSE(FileExists(m_record));
    EXPECT_EQ(1u, FilesIn(m_downloads->Path()).size());

    Click(app.m_scanningPage, IDC_SCANNING_CANCEL);
    WaitForEngineJob(app.m_pProcess);
}
