// The database-driven scans against a database made from plain XML in each test.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Database/MD5.h"
#include "EngineProcess.h"
#include "Process/ProcessList.h"
#include "RecordingStatus.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"

namespace {

const long kSpywareId = 41;
const long kSpywareType = 3;  // reported under the category 1 << 2
const char kClsid[] = "{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";

std::string DigestOf(const std::string& path)
{
    CMD5 md5;
    return std::string(CMD5::ToText(md5.DigestFile(path.c_str())));
}

// A process object that runs the scans on the calling thread as if a job were running.
class CScanProcess : public CVexaEngineProcess
{
public:
    CScanProcess(const CTempFolder& folder, CAbstractStatus* status) : CVexaEngineProcess(false), m_folder(folder)
    {
        m_status = status;
        m_running = 1;
    }
    ~CScanProcess() override
    {
        m_status = nullptr;
        m_running = 0;
    }

    // A database whose signatures are the given hashes (file-hash table) and kClsid (text table).
    bool LoadDatabase(const std::vector<std::string>& hashes)
    {
        std::string signatures = "<Signature Type=\"2\" Value=\"" + std::string(kClsid) + "\" SpywareID=\"41\"/>";
        for (const std::string& hash : hashes)
            signatures += "<Signature Type=\"4\" Value=\"" + hash + "\" SpywareID=\"41\"/>";
        // A signature whose spyware has no record reports nothing.
        signatures += "<Signature Type=\"2\" Value=\"{orphan}\" SpywareID=\"999\"/>";
        const std::string file = m_folder.WriteFile(
            "db.xml", "<Database><UpdateInfo Version=\"2.0\"/><Spywares>"
                      "<Spyware ID=\"41\" Name=\"Keylogger\" Details=\"test\" Type=\"3\"><Items/></Spyware>"
                      "</Spywares><Signatures>" +
                          signatures + "</Signatures></Database>");
        m_database.reset(new CDatabaseHandler(file.c_str()));
        return m_database->LoadDatabase() == 1;
    }

    using CVexaEngineProcess::CanOpenFile;
    using CVexaEngineProcess::CheckClsidInDatabase;
    using CVexaEngineProcess::CheckFileSignature;
    using CVexaEngineProcess::LoadWhiteList;
    using CVexaEngineProcess::ScanDrivers;
    using CVexaEngineProcess::ScanProcessModules;
    using CVexaEngineProcess::ScanTrackingCookies;

    std::string whiteList;
    bool fakeDrivers = true;
    std::set<std::string> presentDrivers;
    std::vector<std::string> driverPaths;

protected:
    CString WhiteListFilePath() override { return whiteList.c_str(); }
    BOOL DriverImageExists(CString& path) override
    {
        if (!fakeDrivers)
            return CVexaEngineProcess::DriverImageExists(path);
        driverPaths.push_back(std::string(path));
        return presentDrivers.count(std::string(path)) ? TRUE : FALSE;
    }

private:
    const CTempFolder& m_folder;
};

// Reads the record that `extra` points at, inside the ReportItem call.
struct CRecordReader : CRecordingStatus {
    std::string name;
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override
    {
        name = reinterpret_cast<const _SPYWARE_INFORMATION*>(extra)->Name.GetString();
        CRecordingStatus::ReportItem(item, category, value, extra);
    }
};

} // namespace

TEST(SpywareScan, KnownFileIsReportedWithItsRecord)
{
    CTempFolder folder;
    const std::string known = folder.WriteFile("known.exe", "payload of a known spyware");
    const std::string other = folder.WriteFile("other.exe", "something else");
    CRecordReader reader;
    CScanProcess readerProcess(folder, &reader);
    ASSERT_TRUE(readerProcess.LoadDatabase({DigestOf(known)}));

    EXPECT_EQ(readerProcess.CheckFileSignature(known.c_str(), FALSE), 1);
    EXPECT_EQ(readerProcess.CheckFileSignature(other.c_str(), FALSE), 1);
    EXPECT_EQ(readerProcess.CheckFileSignature(folder.PathOf("missing.exe").c_str(), TRUE), 1);
    const auto items = reader.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, known);
    EXPECT_EQ(items[0].number, 1 << (kSpywareType - 1));
    EXPECT_EQ(items[0].value, kSpywareId);
    EXPECT_EQ(reader.name, "Keylogger");
    EXPECT_EQ(reader.CountProgress(PROGRESS_STEP), 3);
    // Quiet checks show no activity.
    const auto activities = reader.EventsOf(StatusEvent::Activity);
    ASSERT_EQ(activities.size(), 2u);
    EXPECT_EQ(activities[0].text, known);
    EXPECT_EQ(activities[0].area, "Directories and Files");
}

TEST(SpywareScan, ClsidIsFoundInAnyCase)
{
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    EXPECT_EQ(process.CheckClsidInDatabase(kClsid), 0);  // no database yet
    ASSERT_TRUE(process.LoadDatabase({}));
    CString lower(kClsid);
    lower.MakeLower();
    EXPECT_EQ(process.CheckClsidInDatabase(lower), 1);
    EXPECT_EQ(process.CheckClsidInDatabase("{00000000-0000-0000-0000-000000000000}"), 1);
    EXPECT_EQ(process.CheckClsidInDatabase("{orphan}"), 1);
    const auto items = status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "HKEY_CLASSES_ROOT\\CLSID\\" + std::string(lower));
    EXPECT_EQ(items[0].value, kSpywareId);
    EXPECT_NE(items[0].extra, 0);
}

TEST(SpywareScan, ModulesOfRunningProcessesAreChecked)
{
    CTempFolder folder;
    const std::string image = folder.PathOf("resident.exe");
    CChildProcess child(image);
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    ASSERT_TRUE(process.LoadDatabase({DigestOf(image)}));
    EXPECT_EQ(process.ScanProcessModules(), 1);
    bool found = false;
    for (const StatusEvent& item : status.EventsOf(StatusEvent::Item)) {
        EXPECT_EQ(item.value, kSpywareId);
        found = found || lstrcmpiA(item.text.c_str(), image.c_str()) == 0;
    }
    EXPECT_TRUE(found);
}

TEST(SpywareScan, ModulesWithoutADatabaseAreShownButNotChecked)
{
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    EXPECT_EQ(process.ScanProcessModules(), 1);
    EXPECT_TRUE(status.EventsOf(StatusEvent::Item).empty());
    CModuleList own(::GetCurrentProcessId());
    size_t memory = 0;
    bool ownImageShown = false;
    char image[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, image, MAX_PATH);
    for (const StatusEvent& activity : status.EventsOf(StatusEvent::Activity)) {
        EXPECT_EQ(activity.area, "Memory");
        ++memory;
        ownImageShown = ownImageShown || lstrcmpiA(activity.text.c_str(), image) == 0;
    }
    EXPECT_GE(memory, static_cast<size_t>(own.GetSize()));
    EXPECT_TRUE(ownImageShown);
}

TEST(SpywareScan, StoppedScansEndAtOnce)
{
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    process.Stop(1);
    EXPECT_EQ(process.ScanProcessModules(), 1);
    EXPECT_EQ(process.ScanTrackingCookies(), 1);
    EXPECT_TRUE(status.Events().empty());
}

TEST(SpywareScan, CookieFolderFilesAreEachShownOnce)
{
    char cookies[MAX_PATH + 1] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_COOKIES | CSIDL_FLAG_CREATE, nullptr, 0, cookies)));
    const std::string file = std::string(cookies) + "\\kelvara_test_cookie.txt";
    const std::string subfolder = std::string(cookies) + "\\kelvara_test_folder";
    {
        FILE* out = std::fopen(file.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fputs("cookie", out);
        std::fclose(out);
    }
    ::CreateDirectoryA(subfolder.c_str(), nullptr);
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    EXPECT_EQ(process.ScanTrackingCookies(), 1);
    ::DeleteFileA(file.c_str());
    ::RemoveDirectoryA(subfolder.c_str());

    int shown = 0;
    for (const StatusEvent& activity : status.EventsOf(StatusEvent::Activity)) {
        EXPECT_EQ(activity.area, "Tracking Cookies");
        EXPECT_EQ(activity.text.find("kelvara_test_folder"), std::string::npos);
        shown += lstrcmpiA(activity.text.c_str(), file.c_str()) == 0;
    }
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(status.CountProgress(PROGRESS_STEP), static_cast<int>(status.EventsOf(StatusEvent::Activity).size()));
    EXPECT_TRUE(status.EventsOf(StatusEvent::Item).empty());
}

TEST(SpywareScan, DriversWithMissingImagesAreReported)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const char* services = "SYSTEM\\CurrentControlSet\\Services\\";
    struct Service {
        const char* name;
        const char* imagePath;
    } fixtures[] = {
        {"present", "\\SystemRoot\\System32\\drivers\\present.sys"},
        {"quoted", "\"\\??\\C:\\Drivers\\Quoted.SYS\" -arg"},
        {"missing", "system32\\DRIVERS\\missing.sys"},
        {"service", "c:\\program files\\service.exe -k"},
        {"empty", ""},
    };
    for (const Service& service : fixtures)
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (std::string(services) + service.name).c_str(), "ImagePath",
                                   service.imagePath, REG_EXPAND_SZ));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (std::string(services) + "other").c_str(), "DisplayPath",
                               "x\\other.sys"));
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    process.presentDrivers = {"system32\\drivers\\present.sys", "c:\\drivers\\quoted.sys"};

    EXPECT_EQ(process.ScanDrivers(), ERROR_SUCCESS);
    std::multiset<std::string> asked(process.driverPaths.begin(), process.driverPaths.end());
    EXPECT_EQ(asked, (std::multiset<std::string>{"system32\\drivers\\present.sys", "c:\\drivers\\quoted.sys",
                                                   "system32\\drivers\\missing.sys"}));
    const auto items = status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\missing");
    EXPECT_EQ(items[0].number, static_cast<int>(SCAN_FPR));
    EXPECT_EQ(items[0].value, 0);
    EXPECT_EQ(items[0].extra, 0);
}

TEST(SpywareScan, DriverImagesAreResolvedLikeOtherFileReferences)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (services + "mountmgr").c_str(), "ImagePath",
                               "\\SystemRoot\\system32\\drivers\\mountmgr.sys"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (services + "gone").c_str(), "ImagePath",
                               "System32\\drivers\\kelvara_no_such_driver.sys"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, (services + "remote").c_str(), "ImagePath",
                               "\\\\server\\share\\remote.sys"));
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    process.fakeDrivers = false;
    EXPECT_EQ(process.ScanDrivers(), ERROR_SUCCESS);
    EXPECT_EQ(status.Items(), std::vector<std::string>{"HKEY_LOCAL_MACHINE\\" + services + "gone"});
}

TEST(SpywareScan, DriversWithoutServicesKeyGiveTheRegistryError)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    EXPECT_EQ(process.ScanDrivers(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(status.Events().empty());
}

TEST(WhiteList, EntriesEndWithASemicolon)
{
    struct Case {
        const char* file;
        const char* text;
        BOOL expected;
    } cases[] = {
        {"Alpha;beta", "c:\\ALPHA\\x.exe", TRUE},
        {"Alpha;beta", "c:\\beta\\x.exe", FALSE},  // no final ';': not an entry
        {"Alpha;beta;", "c:\\Beta\\x.exe", TRUE},
        {" spaced entry ;", "HKEY_X\\Spaced Entry\\y", TRUE},
        {";alpha;", "alpha", FALSE},  // an empty entry ends the list
        {"alpha; ;beta;", "beta", FALSE},
        {"", "anything", FALSE},
        {"gamma;", "", FALSE},
    };
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    for (const Case& c : cases) {
        process.whiteList = folder.WriteFile("WhileList.dat", c.file);
        EXPECT_EQ(process.LoadWhiteList(c.text), c.expected) << c.file << " / " << c.text;
    }
    // A list longer than one read.
    std::string longList(2000, 'x');
    longList += ";needle;";
    process.whiteList = folder.WriteFile("WhileList.dat", longList);
    EXPECT_FALSE(process.LoadWhiteList("haystack"));
    longList = "abc;" + std::string(1500, 'y') + ";needle;";
    process.whiteList = folder.WriteFile("WhileList.dat", longList);
    EXPECT_TRUE(process.LoadWhiteList("the Needle"));
    // A list of many entries is read to its end (bench/text_bench times it).
    std::string manyEntries;
    for (int i = 0; i < 100000; ++i)
        manyEntries += "entry" + std::to_string(i) + ";";
    process.whiteList = folder.WriteFile("WhileList.dat", manyEntries + "needle;");
    EXPECT_TRUE(process.LoadWhiteList("the Needle"));
    EXPECT_TRUE(process.LoadWhiteList("c:\\ENTRY99999\\x"));
    EXPECT_FALSE(process.LoadWhiteList("haystack"));
    // A missing list is made empty.
    process.whiteList = folder.PathOf("made.dat");
    EXPECT_FALSE(process.LoadWhiteList("alpha"));
    EXPECT_TRUE(FileExists(folder.PathOf("made.dat")));
}

TEST(SpywareScan, CanOpenFileUnlessHeldExclusively)
{
    CTempFolder folder;
    CRecordingStatus status;
    CScanProcess process(folder, &status);
    const std::string file = folder.WriteFile("open.dat", "x");
    EXPECT_TRUE(process.CanOpenFile(file.c_str()));
    EXPECT_FALSE(process.CanOpenFile(folder.PathOf("missing.dat").c_str()));
    HANDLE held = ::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(process.CanOpenFile(file.c_str()));
    ::CloseHandle(held);
    // Shared readers do not stop it.
    held = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
    EXPECT_TRUE(process.CanOpenFile(file.c_str()));
    ::CloseHandle(held);
}
