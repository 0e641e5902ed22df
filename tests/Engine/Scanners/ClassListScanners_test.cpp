// Lists of class identifiers: entries whose class has a missing in-process server, and browser
// helper objects that the signature database knows.
#include "RegistryScannerTest.h"

#include "Registry/RegistryKey.h"
#include "TestDataFiles.h"

namespace {

const char kMachineClasses[] = "Software\\Classes\\CLSID\\";
const char kList[] = "Software\\Kelvara Test\\Helpers";
const char kHelpers[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const DWORD kListCategory = SCAN_FPR;

const char kMissingServer[] = "{C0000000-0000-0000-0000-000000000001}";
const char kPresentServer[] = "{C0000000-0000-0000-0000-000000000002}";
const char kSystemServer[] = "{C0000000-0000-0000-0000-000000000003}";
const char kMissingControl[] = "{C0000000-0000-0000-0000-000000000004}";
const char kExecutableServer[] = "{C0000000-0000-0000-0000-000000000005}";
const char kUnregistered[] = "{C0000000-0000-0000-0000-000000000006}";
const char kTwoMissing[] = "{C0000000-0000-0000-0000-000000000007}";
const char kFolderServer[] = "{C0000000-0000-0000-0000-000000000008}";
const char kMissingNamedValue[] = "{C0000000-0000-0000-0000-00000000000A}";

// Spyware 41 (kind 3, category 4) is known by its class identifier, stored in upper case;
// spyware 42 (kind 15, category 0x4000) by another.
const char kKnownHelper[] = "{D0000000-0000-0000-0000-0000000000AA}";
const char kOtherKindHelper[] = "{D0000000-0000-0000-0000-0000000000BB}";
const char kUnknownHelper[] = "{D0000000-0000-0000-0000-0000000000CC}";
const DWORD kKnownCategory = 4;
const DWORD kOtherKindCategory = 0x4000;

void SetServerValue(const char* classId, const char* name, const std::string& data)
{
    WriteRegString(HKEY_LOCAL_MACHINE, (std::string(kMachineClasses) + classId + "\\InprocServer32").c_str(), name,
                   data.c_str());
}

void ListEntry(HKEY root, const char* classId)
{
    CreateRegKey(root, (std::string(kList) + "\\" + classId).c_str());
}

std::string ListItem(const char* rootName, const char* classId)
{
    return std::string(rootName) + "\\" + kList + "\\" + classId;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

class CClassListScanner : public CScannerHarness
{
public:
    using CVexaEngineProcess::ScanBrowserHelperObjects;
    using CVexaEngineProcess::ScanMachineClsids;

    bool LoadDatabase(const std::string& file)
    {
        m_database.reset(new CDatabaseHandler(file.c_str()));
        return m_database->LoadDatabase() == 1;
    }
    void SetCategories(DWORD categories) { m_categories = categories; }
};

} // namespace

class MachineClassListScan : public RegistryScannerTest {};

TEST_F(MachineClassListScan, ReportsEntriesWhoseServerLibraryIsMissing)
{
    const struct {
        const char* classId;
        const char* valueName;
        std::string server;
        bool reported;  // this value makes its entry reported
    } rows[] = {
        {kMissingServer, "", Missing("missing.dll"), true},
        {kPresentServer, "", Present("present.dll"), false},
        {kSystemServer, "", "kernel32.dll", false},  // found in the system folder
        {kMissingControl, "", "\"" + Missing("control.ocx") + "\"", true},
        {kExecutableServer, "", Missing("server.exe"), false},  // not a library
        {kFolderServer, "", files.MakeFolder("folder.dll"), false},  // judged by existence
        {kMissingNamedValue, "", Present("named.dll"), false},
        {kMissingNamedValue, "CodeBase", Missing("codebase.dll"), true},
        {kTwoMissing, "", Missing("first.dll"), true},
        {kTwoMissing, "Second", Missing("second.dll"), true},
    };
    std::vector<std::string> expected;
    for (const auto& row : rows) {
        SetServerValue(row.classId, row.valueName, row.server);
        ListEntry(HKEY_LOCAL_MACHINE, row.classId);
        if (row.reported)
            expected.push_back(ListItem("HKEY_LOCAL_MACHINE", row.classId));
    }
    SetServerValue(kPresentServer, "ThreadingModel", "Apartment");
    ListEntry(HKEY_LOCAL_MACHINE, kUnregistered);  // no class to judge
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());

    CClassListScanner scanner;
    scanner.SetActivityCounter(1000);
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, kList, kListCategory);
    // One finding per entry, however many of its values name missing files.
    EXPECT_EQ(scanner.SortedFindings(kListCategory), expected);
    const auto activities = scanner.status.EventsOf(StatusEvent::Activity);
    ASSERT_EQ(activities.size(), 1u);
    EXPECT_EQ(activities[0].area, "Registry");
}

TEST_F(MachineClassListScan, EntriesAreReportedBelowTheRootThatHoldsTheList)
{
    SetServerValue(kMissingServer, "", Missing("missing.dll"));
    SetServerValue(kPresentServer, "", Present("present.dll"));
    ListEntry(HKEY_CURRENT_USER, kMissingServer);
    ListEntry(HKEY_LOCAL_MACHINE, kPresentServer);

    CClassListScanner scanner;
    scanner.ScanMachineClsids(HKEY_CURRENT_USER, kList, kListCategory);
    EXPECT_EQ(scanner.Findings(kListCategory), std::vector<std::string>{ListItem("HKEY_CURRENT_USER", kMissingServer)});
}

TEST_F(MachineClassListScan, NoFindingsWithoutAListToName)
{
    SetServerValue(kMissingServer, "", Missing("missing.dll"));
    ListEntry(HKEY_LOCAL_MACHINE, kMissingServer);
    CreateRegKey(HKEY_LOCAL_MACHINE, kMissingServer);  // an entry directly below the root

    CClassListScanner scanner;
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, "Software\\No Such List", kListCategory);
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, "", kListCategory);
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, nullptr, kListCategory);
    // A list opened by the caller has no root name for the item.
    CRegistryKey parent;
    ASSERT_EQ(parent.Open(HKEY_LOCAL_MACHINE, "Software\\Kelvara Test", KEY_READ), ERROR_SUCCESS);
    scanner.ScanMachineClsids(parent, "Helpers", kListCategory);
    scanner.SetRunning(false);
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, kList, kListCategory);
    EXPECT_TRUE(scanner.status.EventsOf(StatusEvent::Item).empty());

    scanner.SetRunning(true);
    scanner.ScanMachineClsids(HKEY_LOCAL_MACHINE, kList, kListCategory);
    EXPECT_EQ(scanner.Findings(kListCategory).size(), 1u);
}

class BrowserHelperScan : public RegistryScannerTest
{
protected:
    void SetUp() override
    {
        RegistryScannerTest::SetUp();
        database = files.WriteFile(
            "signatures.xml",
            DatabaseXml("Version=\"1\"",
                        "<Spyware ID=\"41\" Name=\"Helper\" Details=\"\" Type=\"3\"><Items/></Spyware>"
                        "<Spyware ID=\"42\" Name=\"Toolbar\" Details=\"\" Type=\"15\"><Items/></Spyware>",
                        std::string("<Signature Type=\"2\" Value=\"") + kKnownHelper + "\" SpywareID=\"41\"/>"
                            "<Signature Type=\"2\" Value=\"" + kOtherKindHelper + "\" SpywareID=\"42\"/>"));
        for (const std::string& helper : {Lower(kKnownHelper), std::string(kOtherKindHelper), std::string(kUnknownHelper)})
            CreateRegKey(HKEY_LOCAL_MACHINE, (std::string(kHelpers) + "\\" + helper).c_str());
    }

    std::string database;
};

TEST_F(BrowserHelperScan, ReportsKnownHelpersOfTheSelectedCategories)
{
    CClassListScanner scanner;
    ASSERT_TRUE(scanner.LoadDatabase(database));
    scanner.SetCategories(kKnownCategory | SCAN_FPR | SCAN_UIE);
    EXPECT_EQ(scanner.ScanBrowserHelperObjects(), 1);

    const auto items = scanner.status.EventsOf(StatusEvent::Item);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].text, std::string("HKEY_LOCAL_MACHINE\\") + kHelpers + "\\" + Lower(kKnownHelper));
    EXPECT_EQ(items[0].number, static_cast<int>(kKnownCategory));
    EXPECT_EQ(items[0].value, 41);
    EXPECT_NE(items[0].extra, 0);
    // Every helper is shown and counted, known or not.
    std::vector<std::string> shown;
    for (const StatusEvent& event : scanner.status.EventsOf(StatusEvent::Activity)) {
        EXPECT_EQ(event.area, "Browser Helper Objects");
        shown.push_back(event.text);
    }
    EXPECT_EQ(Sorted(shown), Sorted({Lower(kKnownHelper), kOtherKindHelper, kUnknownHelper}));
    EXPECT_EQ(scanner.status.CountProgress(PROGRESS_STEP), 3);

    CClassListScanner other;
    ASSERT_TRUE(other.LoadDatabase(database));
    other.SetCategories(kOtherKindCategory);
    EXPECT_EQ(other.ScanBrowserHelperObjects(), 1);
    EXPECT_EQ(other.status.Items(),
              std::vector<std::string>{std::string("HKEY_LOCAL_MACHINE\\") + kHelpers + "\\" + kOtherKindHelper});
}

TEST_F(BrowserHelperScan, NothingIsJudgedWithoutSignaturesOrWhenStopped)
{
    CClassListScanner noDatabase;
    noDatabase.SetCategories(0xFFFFFFFF);
    EXPECT_EQ(noDatabase.ScanBrowserHelperObjects(), 0);
    EXPECT_TRUE(noDatabase.status.Events().empty());

    CClassListScanner unreadable;
    unreadable.SetCategories(0xFFFFFFFF);
    EXPECT_FALSE(unreadable.LoadDatabase(files.WriteFile("broken.xml", "<Database><Spywares>")));
    EXPECT_EQ(unreadable.ScanBrowserHelperObjects(), 0);
    EXPECT_TRUE(unreadable.status.Events().empty());

    CClassListScanner stopped;
    ASSERT_TRUE(stopped.LoadDatabase(database));
    stopped.SetCategories(0xFFFFFFFF);
    stopped.SetRunning(false);
    EXPECT_EQ(stopped.ScanBrowserHelperObjects(), 1);
    EXPECT_TRUE(stopped.status.Events().empty());
}
