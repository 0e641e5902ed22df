// The repair from the results page over the real engine: a whole run from a registry fixture
// through the scan, the tree and the repair to the summary, the statistics and the partial
// backup; a repair the engine refuses; the System Restore point around a repair, and its
// question as a real box over the main window; the automatic repair and shutdown; the scan log;
// the statistics page's own counts; and the repair's end, held through its steps.
#include "ResultsFixture.h"

#include <algorithm>

#include "JobWait.h"
#include "KeyAccess.h"
#include "Messages.h"
#include "ScanItemsInfo.h"
#include "SettingsKey.h"
#include "resource.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunW[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kFonts[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const char kSharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t kSharedDllsW[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kMissing[] = "C:\\KelvaraMissing\\";


// Classes below HKEY_CLASSES_ROOT whose server library is missing.
std::string FixtureKey(int i)
{
    return "CLSID\\KelvaraClass" + std::to_string(i);
}

std::string FixtureItem(int i)
{
    return "HKEY_CLASSES_ROOT\\" + FixtureKey(i);
}

// Keys for a repair that needs no scan, broken as the ActiveX scan finds them: the repair looks
// at each again before it deletes it.
void AddFixtureKeys(int count)
{
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, (FixtureKey(i) + "\\InprocServer32").c_str(), "",
                                   (std::string(kMissing) + "gone.dll").c_str()));
}

std::vector<std::pair<DWORD, std::string>> FixtureFindings(int count)
{
    std::vector<std::pair<DWORD, std::string>> findings;
    for (int i = 0; i < count; ++i)
        findings.push_back({ SCAN_AXO, FixtureItem(i) });
    return findings;
}

class CQuietStatus : public CAbstractStatus
{
public:
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char*, int, int, INT_PTR) override {}
    int OperationFinished(int) override { return 1; }
    int ReportResult(int) override { return 0; }
};

} // namespace

TEST_F(ResultsTest, AScanRepairsWhatIsTickedAndItsBackupGivesItBack)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(3);
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Gone (TrueType)", (std::string(kMissing) + "gone.ttf").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kFonts, "Kept (TrueType)", "C:\\windows\\notepad.exe"));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, kSharedDlls, (std::string(kMissing) + "gone.dll").c_str(), 2));
    const std::string appPath = std::string(kAppPaths) + "\\kelvaragone.exe";
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, appPath.c_str(), "", (std::string(kMissing) + "gone.exe").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, appPath.c_str(), "Path", kMissing));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastTotalClnCnt", 40));
    const RegistrySnapshot runBefore = SnapshotOf(HKEY_CURRENT_USER, kRunW);
    const RegistrySnapshot machineBefore = SnapshotOf(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft");
    const RegistrySnapshot sharedBefore = SnapshotOf(HKEY_LOCAL_MACHINE, kSharedDllsW);

    ASSERT_TRUE(ScanAndWait(SCAN_SUI | SCAN_FNT | SCAN_SHD | SCAN_APP));
    Click(app.m_scanningPage, IDC_SCANNING_NEXT);
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ("6 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("6 of 6 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    EXPECT_EQ(3, Tree().GetCategoryCount("Windows Startup Items"));
    for (const char* category : { "Windows Fonts", "Shared DLLs", "Application Paths" })
        EXPECT_EQ(1, Tree().GetCategoryCount(category)) << category;
    const HTREEITEM startup = CategoryRow("Windows Startup Items");
    ASSERT_NE(nullptr, startup);
    // The startup entry of a value name.
    auto RunEntry = [&](const char* name) {
        for (HTREEITEM child = Tree().GetChildItem(startup); child; child = Tree().GetNextSiblingItem(child)) {
            const CString text = Tree().GetEntryText(child);
            if (text.Right(static_cast<int>(strlen(name)) + 1) == CString("\xAC") + name)
                return child;
        }
        return static_cast<HTREEITEM>(nullptr);
    };
    EXPECT_EQ(CString("Windows Startup Items        [3 Error(s)]"), Tree().GetItemText(startup));
    Tree().Expand(startup, TVE_EXPAND);
    Tree().Expand(CategoryRow("Shared DLLs"), TVE_EXPAND);
    SaveScreenshot("results-page-tree");

    // Untick one startup entry and the shared DLL, ignore another startup entry.
    ClickTick(RunEntry("Gone00001"));
    PressSpace(Tree().GetChildItem(CategoryRow("Shared DLLs")));
    Tree().SelectItem(RunEntry("Gone00002"));
    Click(Results(), IDC_RESULTS_IGNORE);
    EXPECT_EQ("5 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("3 of 5 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    EXPECT_EQ(CString("Windows Startup Items        [2 Error(s)]"), Tree().GetItemText(startup));

    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    // Ticked: gone. Unticked or ignored: untouched, byte for byte.
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, "Gone00000"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kFonts, "Gone (TrueType)"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, appPath.c_str()));
    RegistrySnapshot runExpected = runBefore;
    ASSERT_EQ(1u, runExpected[L""].erase(L"Gone00000"));
    EXPECT_EQ("", CompareSnapshots(runExpected, SnapshotOf(HKEY_CURRENT_USER, kRunW)));
    EXPECT_EQ("", CompareSnapshots(sharedBefore, SnapshotOf(HKEY_LOCAL_MACHINE, kSharedDllsW)));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kFonts, "Kept (TrueType)"));

    // The summary and the statistics hold what was removed, and the running total grew from
    // what the registry held.
    EXPECT_EQ(STEP_SUMMARY, app.m_scanPage.GetStep());
    EXPECT_TRUE(::IsWindowVisible(m_main->m_statisticsPage.m_hWnd));
    CRepairResultDlg& summary = app.m_summaryPage;
    EXPECT_EQ("5", Text(summary, IDC_SUMMARY_FOUND));
    EXPECT_EQ("3", Text(summary, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("2", Text(summary, IDC_SUMMARY_SKIPPED));
    CStatusDlg& statistics = m_main->m_statisticsPage;
    const struct { const char* value; int label; DWORD count; } cleaned[] = {
        { "LastStartupCln", 1209, 1 }, { "LastFontCln", 1201, 1 }, { "LastAppPathCln", 1205, 1 },
        { "LastSHDllCln", 1203, 0 }, { "LastActXCln", 1187, 0 },
    };
    for (const auto& row : cleaned) {
        EXPECT_EQ(row.count, ReadSetting(row.value)) << row.value;
        EXPECT_EQ(std::to_string(row.count), Text(statistics, row.label)) << row.value;
    }
    EXPECT_EQ(43u, ReadSetting("LastTotalClnCnt"));
    EXPECT_EQ("43", Text(statistics, IDC_STATS_CLEANED_TO_DATE));
    EXPECT_EQ("1", Text(statistics, 1210));  // the ignored startup entry
    SaveScreenshot("statistics-after-repair");
    Click(*m_main, IDC_NAV_SCAN);
    EXPECT_TRUE(::IsWindowVisible(summary.m_hWnd));
    SaveScreenshot("summary-after-repair");
    Click(summary, IDC_SUMMARY_FINISH);
    EXPECT_EQ(STEP_SELECT, app.m_scanPage.GetStep());

    // The partial backup gives back every entry the repair removed.
    const std::vector<std::string> backups = PartialBackups();
    ASSERT_EQ(1u, backups.size());
    CQuietStatus quiet;
    EXPECT_EQ(1, app.m_pProcess->RestoreBackupNow(&quiet, backups[0].c_str()));
    EXPECT_EQ("", CompareSnapshots(runBefore, SnapshotOf(HKEY_CURRENT_USER, kRunW)));
    EXPECT_EQ("", CompareSnapshots(machineBefore, SnapshotOf(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft")));
}

TEST_F(ResultsTest, ARepairWithoutItsBackupIsRefusedAndCountsNothing)
{
    AddFixtureKeys(3);
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastActXCln", 7));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastTotalClnCnt", 9));
    ShowResults(FixtureFindings(3));
    PressSpace(EntryRow(FixtureItem(0)));
    BlockBackupFolder();

    ASSERT_TRUE(RepairAndWait());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(i).c_str())) << i;
    const std::string refused =
        "The repair was not carried out: its registry backup could not be written. Nothing was deleted.";
    EXPECT_EQ(std::vector<std::string>{ refused }, CMessageBoxRecorder::Texts());
    EXPECT_EQ("Nothing was repaired: the registry backup could not be written.", Text(Results(), IDC_RESULTS_STATUS));
    EXPECT_EQ(7u, ReadSetting("LastActXCln"));
    EXPECT_EQ(9u, ReadSetting("LastTotalClnCnt"));
    // The page is the user's again, as it was.
    EXPECT_EQ(STEP_RESULTS, TestApp().m_scanPage.GetStep());
    EXPECT_TRUE(IsEnabled(Results(), IDC_RESULTS_REPAIR));
    EXPECT_TRUE(Tree().IsWindowEnabled());
    EXPECT_EQ("2 of 3 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    SaveScreenshot("results-repair-refused");

    // Once the backup can be written, the repair follows the ticks as they are now: the entry
    // ticked again is repaired, the one unticked since is not.
    ClearBackupFolder();
    PressSpace(EntryRow(FixtureItem(0)));
    PressSpace(EntryRow(FixtureItem(2)));
    CMessageBoxRecorder::ClearTexts();
    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(1).c_str()));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(2).c_str()));
    EXPECT_EQ(2u, ReadSetting("LastActXCln"));
    EXPECT_EQ(11u, ReadSetting("LastTotalClnCnt"));
}

TEST_F(ResultsTest, CleanedCountsAreWhatIsReallyGone)
{
    // A font finding that names a key, not a value: the engine deletes only values for fonts, so
    // the key stays and is not counted as cleaned.
    const int keys = 300;
    AddFixtureKeys(keys);
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Fixture\\FontKey", "x", "y"));
    std::vector<std::pair<DWORD, std::string>> findings = FixtureFindings(keys);
    findings.push_back({ SCAN_FNT, "HKEY_CURRENT_USER\\Software\\Fixture\\FontKey" });
    ShowResults(findings);

    // While the repair runs the page is the repair's.
    CQuillonApp& app = TestApp();
    ::SendMessageA(::GetDlgItem(Results().m_hWnd, IDC_RESULTS_REPAIR), BM_CLICK, 0, 0);
    app.m_pProcess->Suspend();
    EXPECT_EQ("Repairing Errors", Text(Results(), IDC_RESULTS_SELECTED));
    EXPECT_EQ("Repairing registry corruption(s)", Text(Results(), IDC_RESULTS_STATUS));
    for (int id : { IDC_RESULTS_REPAIR, IDC_RESULTS_NEXT, IDC_RESULTS_BACK })
        EXPECT_FALSE(IsEnabled(Results(), id)) << id;
    EXPECT_FALSE(IsShown(Results(), IDC_RESULTS_IGNORE));
    SaveScreenshot("results-repairing");
    app.m_pProcess->Resume();
    ASSERT_TRUE(PumpUntil([&] { return app.m_scanPage.GetStep() == STEP_SUMMARY; }));

    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\Fixture\\FontKey"));
    EXPECT_EQ(static_cast<DWORD>(keys), ReadSetting("LastActXCln"));
    EXPECT_EQ(0u, ReadSetting("LastFontCln"));
    EXPECT_EQ(static_cast<DWORD>(keys), ReadSetting("LastTotalClnCnt"));
    EXPECT_EQ(std::to_string(keys + 1), Text(app.m_summaryPage, IDC_SUMMARY_FOUND));
    EXPECT_EQ(std::to_string(keys), Text(app.m_summaryPage, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("0", Text(app.m_summaryPage, IDC_SUMMARY_SKIPPED));
}

TEST_F(ResultsTest, EntriesTheBackupCannotHoldAreLeftAloneAndSaySo)
{
    AddFixtureKeys(3);
    // A key below the first that may not be read: the backup cannot hold the first whole.
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, (FixtureKey(0) + "\\Locked").c_str(), "v", "x"));
    CDeniedKey locked(HKEY_CLASSES_ROOT, (FixtureKey(0) + "\\Locked").c_str(), "KR");
    ASSERT_TRUE(locked.IsActive());
    std::vector<std::pair<DWORD, std::string>> findings = FixtureFindings(3);
    // The same key once more, in other letters: still one entry, left alone as one.
    std::string upper = FixtureItem(0);
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    findings.push_back({ SCAN_AXO, upper });
    ShowResults(findings);
    ASSERT_EQ(3, Tree().GetTotalEntries());

    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(1).c_str()));
    EXPECT_EQ(std::vector<std::string>{ "Not repaired: 1 of the selected entries, whose registry backup could not "
                                        "be written whole." },
              CMessageBoxRecorder::Texts());
    EXPECT_EQ(2u, ReadSetting("LastActXCln"));
    EXPECT_EQ("2", Text(TestApp().m_summaryPage, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("1", Text(TestApp().m_summaryPage, IDC_SUMMARY_SKIPPED));
}

TEST_F(ResultsTest, TheRepairsOutcomeIsCountedAlikeInTheShortestSlices)
{
    // Finding the entry left alone, gathering the ticked entries of two categories and looking at
    // them each take many slices here; the counts must be those of a look in one go.
    CShortestSlices slices;
    const int keys = 150;
    const int fonts = 70;
    AddFixtureKeys(keys);
    // A key late in the tree that the backup cannot hold whole: left alone, in a later slice.
    ASSERT_TRUE(WriteRegString(HKEY_CLASSES_ROOT, (FixtureKey(120) + "\\Locked").c_str(), "v", "x"));
    CDeniedKey locked(HKEY_CLASSES_ROOT, (FixtureKey(120) + "\\Locked").c_str(), "KR");
    ASSERT_TRUE(locked.IsActive());
    std::vector<std::pair<DWORD, std::string>> findings = FixtureFindings(keys);
    for (int i = 0; i < fonts; ++i) {
        const std::string name = "Font" + std::to_string(i);
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kFonts, name.c_str(), (std::string(kMissing) + "gone.ttf").c_str()));
        findings.push_back({ SCAN_FNT, std::string("HKEY_LOCAL_MACHINE\\") + kFonts + "\xAC" + name });
    }
    ShowResults(findings);
    for (int i : { 3, 70, 140 })
        PressSpace(EntryRow(FixtureItem(i)));

    ASSERT_TRUE(RepairAndWait());
    for (int i : { 3, 70, 120, 140 })
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(i).c_str())) << i;
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(121).c_str()));
    EXPECT_EQ(static_cast<DWORD>(keys - 4), ReadSetting("LastActXCln"));
    EXPECT_EQ(static_cast<DWORD>(fonts), ReadSetting("LastFontCln"));
    EXPECT_EQ(std::to_string(keys + fonts), Text(TestApp().m_summaryPage, IDC_SUMMARY_FOUND));
    EXPECT_EQ(std::to_string(keys - 4 + fonts), Text(TestApp().m_summaryPage, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("4", Text(TestApp().m_summaryPage, IDC_SUMMARY_SKIPPED));
    EXPECT_EQ(1u, CMessageBoxRecorder::Texts().size());
}

TEST_F(ResultsTest, TheRestorePointIsBegunAndEndedWithTheSystemsNumber)
{
    TestApp().m_settings.m_bRestorePoint = 1;
    const std::string description = std::string(ProductName()) + " Restore Point before Repair";

    // The system refuses the point; the user would rather not repair without it.
    AddFixtureKeys(2);
    ShowResults(FixtureFindings(2));
    CMessageBoxRecorder::SetAnswer(IDNO);
    Click(Results(), IDC_RESULTS_REPAIR);
    EXPECT_EQ(std::vector<std::string>{ "The System Restore point could not be set.\nDo you want to repair without it?" },
              CMessageBoxRecorder::Texts());
    EXPECT_FALSE(TestApp().m_pProcess->IsRunning());
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    EXPECT_TRUE(PartialBackups().empty());
    EXPECT_TRUE(IsEnabled(Results(), IDC_RESULTS_REPAIR));
    ASSERT_EQ(1u, s_restorePointCalls.size());
    EXPECT_EQ(static_cast<DWORD>(BEGIN_SYSTEM_CHANGE), s_restorePointCalls[0].eventType);
    EXPECT_EQ(static_cast<DWORD>(MODIFY_SETTINGS), s_restorePointCalls[0].restorePointType);
    EXPECT_EQ(description, s_restorePointCalls[0].description);

    // ... and then would: the repair goes on without it.
    CMessageBoxRecorder::SetAnswer(IDYES);
    CMessageBoxRecorder::ClearTexts();
    ASSERT_TRUE(RepairAndWait());
    EXPECT_EQ(1u, CMessageBoxRecorder::Texts().size());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    EXPECT_EQ(2u, s_restorePointCalls.size());

    // The system sets it: the point is ended after the repair with the number it gave.
    s_restorePointCalls.clear();
    AnswerRestorePoints(TRUE, 4711);
    AddFixtureKeys(2);
    ShowResults(FixtureFindings(2));
    CMessageBoxRecorder::ClearTexts();
    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    ASSERT_EQ(2u, s_restorePointCalls.size());
    EXPECT_EQ(0, s_restorePointCalls[0].sequenceNumber);
    EXPECT_EQ(static_cast<DWORD>(END_SYSTEM_CHANGE), s_restorePointCalls[1].eventType);
    EXPECT_EQ(static_cast<DWORD>(MODIFY_SETTINGS), s_restorePointCalls[1].restorePointType);
    EXPECT_EQ(4711, s_restorePointCalls[1].sequenceNumber);

    // A repair the engine refuses cancels its point.
    s_restorePointCalls.clear();
    AddFixtureKeys(2);
    ShowResults(FixtureFindings(2));
    BlockBackupFolder();
    ASSERT_TRUE(RepairAndWait());
    ASSERT_EQ(2u, s_restorePointCalls.size());
    EXPECT_EQ(static_cast<DWORD>(CANCELLED_OPERATION), s_restorePointCalls[1].restorePointType);
    EXPECT_EQ(4711, s_restorePointCalls[1].sequenceNumber);
    ClearBackupFolder();

    // Nothing ticked: no point is asked for, and the repair still runs.
    s_restorePointCalls.clear();
    ShowResults(FixtureFindings(2));
    ClickTick(CategoryRow("ActiveX Objects"));
    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(s_restorePointCalls.empty());
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    EXPECT_EQ(STEP_SUMMARY, TestApp().m_scanPage.GetStep());
}

TEST_F(ResultsTest, TheAutomaticRepairRunsOnceAndTheShutdownWaitsForItsThread)
{
    CQuillonApp& app = TestApp();
    app.m_settings.m_bAutoRepair = 1;
    app.m_settings.m_bAutoShutdown = 1;
    AddBrokenRunEntries(2);
    ASSERT_TRUE(ScanAndWait(SCAN_SUI));
    ASSERT_TRUE(PumpUntil([&] { return Main().m_closeRequests > 0; }));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, "Gone00000"));
    EXPECT_EQ(2u, ReadSetting("LastStartupCln"));
    EXPECT_EQ(1, Main().m_closeRequests);
    EXPECT_TRUE(Main().m_jobThreadEndedAtClose);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    EXPECT_FALSE(::IsWindowVisible(m_main->m_hWnd));
    // The results page keeps the repair's texts; the scan's end did not write over them.
    EXPECT_EQ("Repairing Errors", Text(Results(), IDC_RESULTS_SELECTED));

    // Neither re-showing the results, nor the summary's Back, nor the results' Back starts
    // another repair.
    m_main->ShowWindow(SW_SHOW);
    AddBrokenRunEntries(2, "Again");
    const DWORD repairThread = app.m_pProcess->GetThreadId();
    app.m_summaryPage.OnBack();
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    app.m_scanPage.ShowStep(STEP_RESULTS);
    app.m_scanPage.ShowStep(STEP_RESHOW);
    Click(*m_main, IDC_NAV_STATISTICS);
    Click(*m_main, IDC_NAV_SCAN);
    Results().OnBack();
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(repairThread, app.m_pProcess->GetThreadId());
    EXPECT_EQ(1, Main().m_closeRequests);
}

TEST_F(ResultsTest, TheScanLogGoesWhereItCanBeWrittenOrTheUserIsTold)
{
    TestApp().m_settings.m_bLogScanSummary = 1;
    AddFixtureKeys(1);
    ShowResults(FixtureFindings(1));
    // The program's folder cannot take the log: the user's folder does.
    m_folder->WriteFile("Scan Logs", "");
    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((m_folder->PathOf("Documents\\Scan Logs") + "\\*.txt").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    ::FindClose(search);
    const std::string log = ReadWholeFile(m_folder->PathOf("Documents\\Scan Logs") + "\\" + found.cFileName);
    EXPECT_NE(std::string::npos, log.find(FixtureItem(0) + "^16384;"));

    // Neither can: the user hears of it, and the repair still runs.
    AddFixtureKeys(1);
    ShowResults(FixtureFindings(1));
    Results().m_strLogFallbackFolder = m_folder->WriteFile("NotAFolder", "").c_str();
    ASSERT_TRUE(RepairAndWait());
    EXPECT_EQ(std::vector<std::string>{ "The scan log could not be written." }, CMessageBoxRecorder::Texts());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
}

TEST_F(ResultsTest, TheStatisticsPageCountsIgnoredEntriesByTheirLastLabel)
{
    // Item texts may hold '^'; labels never do. Labels the tree does not use count nowhere.
    CAbstractScanItemsInfo* items = TestApp().m_pItems;
    const struct { const char* item; const char* label; } entries[] = {
        { "a", "ActiveX Objects" }, { "HKEY_CURRENT_USER\\x^y", "Windows Fonts" }, { "b^", "ActiveX Objects" },
        { "c", "File/Path References" }, { "d", "File Path Refferences" }, { "e", "Recycle Bin" },
        { "f", " Shared DLLs " },
    };
    for (const auto& entry : entries)
        ASSERT_EQ(1, items->AddToIgnoreList(entry.item, entry.label, SCAN_AXO, 0));
    m_main->ShowPage(PAGE_STATISTICS);
    CStatusDlg& statistics = m_main->m_statisticsPage;
    const struct { int label; const char* count; } rows[] = {
        { 1188, "2" }, { 1202, "1" }, { 1212, "1" }, { 1204, "1" }, { 1195, "0" }, { 1231, "0" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.count, Text(statistics, row.label)) << row.label;
    EXPECT_EQ("0KB", Text(statistics, 1234));
    EXPECT_EQ("Never", Text(statistics, IDC_STATS_LAST_SCAN));
    SaveScreenshot("statistics-page");
}

// Run values as Windows shows them to two scans: the startup scan reads the current user's and
// the machine's Run keys; the file-reference scan walks the user's key under HKEY_USERS and the
// machine's "SOFTWARE", and so names the same values under other texts. (The sandbox keeps the
// user's two views apart, so each holds a copy.)
TEST_F(ResultsTest, AnEntryTwoCategoriesFindIsOneEntryThatIsKeptIgnoredOrRepairedAsOne)
{
    CQuillonApp& app = TestApp();
    const std::string usersRun = std::string(CItemLocation::CurrentUserSid()) + "\\" + kRun;
    const char* const userValues[] = { "Kept", "Ignored", "Repaired" };
    for (const char* name : userValues) {
        const std::string program = std::string(kMissing) + name + ".exe";
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, name, program.c_str()));
        ASSERT_TRUE(WriteRegString(HKEY_USERS, usersRun.c_str(), name, program.c_str()));
    }
    for (const char* name : { "MachineKept", "MachineRepaired" })
        ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRun, name, (std::string(kMissing) + name + ".exe").c_str()));
    const RegistrySnapshot userBefore = SnapshotOf(HKEY_CURRENT_USER, kRunW);

    ASSERT_TRUE(ScanAndWait(SCAN_SUI | SCAN_FPR));
    // The scanning page: both categories found all five, each row counts and crosses them, and
    // the errors count each entry once.
    CScanningDlg& scanning = app.m_scanningPage;
    EXPECT_EQ("5 Errors Found!", Text(scanning, IDC_SCANNING_ERRORS));
    for (const char* code : { "SUI", "FPR" }) {
        const int row = FindCategoryRowByCode(code);
        EXPECT_EQ("5", Text(scanning, kScanCategories[row].countLabel)) << code;
        const LRESULT shown = ::SendDlgItemMessageA(scanning.m_hWnd, kScanCategories[row].resultImage, STM_GETIMAGE,
                                                    IMAGE_BITMAP, 0);
        EXPECT_EQ(reinterpret_cast<LRESULT>(scanning.CrossOf(row)), shown) << code;
    }
    // The statistics count each entry once, under the first category that found it.
    EXPECT_EQ(5u, ReadSetting("LastTotalErrCnt"));
    EXPECT_EQ(5u, ReadSetting(kScanCategories[FindCategoryRowByCode("SUI")].errorValue));
    EXPECT_EQ(0u, ReadSetting(kScanCategories[FindCategoryRowByCode("FPR")].errorValue));

    Click(scanning, IDC_SCANNING_NEXT);
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ("5 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("5 of 5 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    EXPECT_EQ(nullptr, CategoryRow("File Path Refferences"));
    const HTREEITEM startup = CategoryRow("Windows Startup Items");
    ASSERT_NE(nullptr, startup);
    auto Row = [&](const char* name) {
        for (HTREEITEM child = Tree().GetChildItem(startup); child; child = Tree().GetNextSiblingItem(child)) {
            if (Tree().GetEntryText(child).Right(static_cast<int>(strlen(name)) + 1) == CString("\xAC") + name)
                return child;
        }
        return static_cast<HTREEITEM>(nullptr);
    };
    ASSERT_NE(nullptr, Row("Kept"));
    EXPECT_NE(-1, Tree().GetItemText(Row("Kept")).Find("(also found by File Path Refferences)"));
    Tree().Expand(startup, TVE_EXPAND);
    SaveScreenshot("results-entry-of-two-categories");

    ClickTick(Row("Kept"));
    ClickTick(Row("MachineKept"));
    Tree().SelectItem(Row("Ignored"));
    Click(Results(), IDC_RESULTS_IGNORE);
    EXPECT_EQ("4 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("2 of 4 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    ASSERT_TRUE(RepairAndWait());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());

    // Kept and ignored: untouched under both texts. Repaired: gone under both, counted once.
    for (const char* name : { "Kept", "Ignored" }) {
        EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, name)) << name;
        EXPECT_TRUE(RegValueExists(HKEY_USERS, usersRun.c_str(), name)) << name;
    }
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kRun, "MachineKept"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, "Repaired"));
    EXPECT_FALSE(RegValueExists(HKEY_USERS, usersRun.c_str(), "Repaired"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRun, "MachineRepaired"));
    EXPECT_EQ(2u, ReadSetting("LastStartupCln"));
    EXPECT_EQ(0u, ReadSetting("LastFilePathCln"));
    EXPECT_EQ(2u, ReadSetting("LastTotalClnCnt"));
    EXPECT_EQ("4", Text(app.m_summaryPage, IDC_SUMMARY_FOUND));
    EXPECT_EQ("2", Text(app.m_summaryPage, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("2", Text(app.m_summaryPage, IDC_SUMMARY_SKIPPED));
    EXPECT_EQ("1", Text(m_main->m_statisticsPage, 1210));   // ignored under Windows Startup Items
    EXPECT_EQ("0", Text(m_main->m_statisticsPage, 1212));   // and not again under File Path Refferences

    // The partial backup gives the repaired value back.
    const std::vector<std::string> backups = PartialBackups();
    ASSERT_EQ(1u, backups.size());
    CQuietStatus quiet;
    EXPECT_EQ(1, app.m_pProcess->RestoreBackupNow(&quiet, backups[0].c_str()));
    EXPECT_EQ("", CompareSnapshots(userBefore, SnapshotOf(HKEY_CURRENT_USER, kRunW)));

    // The next scan lists the ignored entry under neither category.
    Click(app.m_summaryPage, IDC_SUMMARY_FINISH);
    ASSERT_TRUE(ScanAndWait(SCAN_SUI | SCAN_FPR));
    for (DWORD category : { SCAN_SUI, SCAN_FPR }) {
        std::vector<const char*> texts;
        app.m_pItems->GetItems(&texts, static_cast<int>(category));
        for (const char* text : texts)
            EXPECT_EQ(nullptr, strstr(text, "Ignored")) << text;
        EXPECT_FALSE(texts.empty());
    }
}

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string UninstallEntry(const char* name)
{
    return std::string(kUninstall) + "\\" + name;
}

// An uninstall entry whose program is gone: the uninstall scan finds the key, the file-reference
// scan its two values.
void PlantBrokenUninstallEntry(const char* name)
{
    const std::string folder = std::string(kMissing) + name;
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry(name).c_str(), "UninstallString",
                               (folder + "\\uninst.exe").c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, UninstallEntry(name).c_str(), "InstallLocation", folder.c_str()));
}

bool EndsWithNoCase(const CString& text, const std::string& end)
{
    return text.GetLength() >= static_cast<int>(end.size()) &&
           text.Right(static_cast<int>(end.size())).CompareNoCase(end.c_str()) == 0;
}

} // namespace

// What the user keeps in a key reaches through it both ways: an unticked or ignored key keeps the
// values another category found in it, and a ticked key keeps a value the user ignored; and the
// choices, made before the user went Back to the scanning page, outlast a forwarded scan.
TEST_F(ResultsTest, AKeptKeyKeepsItsValuesAndAKeptValueItsKeyThroughTheRepairAndTheNextScan)
{
    CQuillonApp& app = TestApp();
    for (const char* name : { "Unticked", "Ignored", "HoldsIgnored", "Repaired" })
        PlantBrokenUninstallEntry(name);
    ASSERT_TRUE(ScanAndWait(SCAN_UIE | SCAN_FPR));
    Click(app.m_scanningPage, IDC_SCANNING_NEXT);
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    auto Row = [&](const char* category, const std::string& end) {
        const HTREEITEM parent = CategoryRow(category);
        for (HTREEITEM child = parent ? Tree().GetChildItem(parent) : nullptr; child;
             child = Tree().GetNextSiblingItem(child)) {
            if (EndsWithNoCase(Tree().GetEntryText(child), end))
                return child;
        }
        return static_cast<HTREEITEM>(nullptr);
    };
    auto KeyRow = [&](const char* name) { return Row("Uninstall Entries", std::string("\\Uninstall\\") + name); };
    auto ValueRow = [&](const char* name, const char* value) {
        return Row("File Path Refferences", std::string("\\Uninstall\\") + name + "\xAC" + value);
    };
    for (const char* name : { "Unticked", "Ignored", "HoldsIgnored", "Repaired" }) {
        ASSERT_NE(nullptr, KeyRow(name)) << name;
        ASSERT_NE(nullptr, ValueRow(name, "UninstallString")) << name;
        ASSERT_NE(nullptr, ValueRow(name, "InstallLocation")) << name;
    }
    EXPECT_EQ("12 Errors Found", Text(Results(), IDC_RESULTS_FOUND));

    ClickTick(KeyRow("Unticked"));
    Tree().SelectItem(KeyRow("Ignored"));
    Click(Results(), IDC_RESULTS_IGNORE);
    Tree().SelectItem(ValueRow("HoldsIgnored", "InstallLocation"));
    Click(Results(), IDC_RESULTS_IGNORE);
    const std::string selected = "9 of 10 Errors Selected for Repair";
    ASSERT_EQ(selected, Text(Results(), IDC_RESULTS_SELECTED));

    // Back on the scanning page the results still wait for the user: a forwarded scan is dropped.
    Click(Results(), IDC_RESULTS_BACK);
    ASSERT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
    EXPECT_FALSE(app.m_pProcess->IsRunning());
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    Click(app.m_scanningPage, IDC_SCANNING_NEXT);
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ(selected, Text(Results(), IDC_RESULTS_SELECTED));

    ASSERT_TRUE(RepairAndWait());
    // The unticked and the ignored key keep their values; the key holding an ignored value stays
    // whole, its other value goes, as the ticked entry does.
    for (const char* name : { "Unticked", "Ignored" }) {
        EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, UninstallEntry(name).c_str(), "UninstallString")) << name;
        EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, UninstallEntry(name).c_str(), "InstallLocation")) << name;
    }
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, UninstallEntry("HoldsIgnored").c_str(), "InstallLocation"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, UninstallEntry("HoldsIgnored").c_str(), "UninstallString"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, UninstallEntry("Repaired").c_str()));
    // Four values of kept keys and the key holding a kept value: not repaired, and told why.
    EXPECT_EQ("10", Text(app.m_summaryPage, IDC_SUMMARY_FOUND));
    EXPECT_EQ("4", Text(app.m_summaryPage, IDC_SUMMARY_REPAIRED));
    EXPECT_EQ("6", Text(app.m_summaryPage, IDC_SUMMARY_SKIPPED));
    EXPECT_EQ(std::vector<std::string>{ "Not repaired: 5 of the selected entries, which hold or lie inside entries "
                                        "you kept." },
              CMessageBoxRecorder::Texts());

    // The next scan finds nothing of the ignored key nor the ignored value; the unticked key,
    // still broken, comes back with its values. (The key that held the ignored value lost its
    // uninstall command, so it is no longer found.)
    Click(app.m_summaryPage, IDC_SUMMARY_FINISH);
    ASSERT_TRUE(ScanAndWait(SCAN_UIE | SCAN_FPR));
    std::vector<std::string> found;
    for (DWORD category : { SCAN_UIE, SCAN_FPR }) {
        std::vector<const char*> texts;
        app.m_pItems->GetItems(&texts, static_cast<int>(category));
        for (const char* text : texts) {
            if (CString(text).Find("\\Uninstall\\") >= 0)
                found.push_back(CString(text).Mid(CString(text).Find("\\Uninstall\\") + 11).GetString());
        }
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::string>{ "Unticked", "Unticked\xAC" "InstallLocation",
                                         "Unticked\xAC" "UninstallString" }),
              found);
}

// Between the scan and Fix Errors the user installs a missing program and an application writes
// into a key that was empty: the repair leaves both alone, counts neither as cleaned, and says so.
TEST_F(ResultsTest, EntriesPutRightBetweenTheScanAndTheRepairAreLeftAloneAndNotCounted)
{
    CQuillonApp& app = TestApp();
    const std::string installedLater = m_folder->PathOf("Later.exe");
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, "InstalledLater", installedLater.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, "StillBroken", (std::string(kMissing) + "Gone.exe").c_str()));
    const std::string emptyKey = std::string(CItemLocation::CurrentUserSid()) + "\\Software\\KelvaraWrittenLater";
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_USERS, emptyKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               &created, nullptr));
    ::RegCloseKey(created);

    ASSERT_TRUE(ScanAndWait(SCAN_SUI | SCAN_ERK));
    Click(app.m_scanningPage, IDC_SCANNING_NEXT);
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    for (const char* end : { "\xACInstalledLater", "\xACStillBroken", "\\KelvaraWrittenLater" }) {
        bool shown = false;
        for (HTREEITEM row = Tree().GetRootItem(); row; row = Tree().GetNextSiblingItem(row))
            for (HTREEITEM entry = Tree().GetChildItem(row); entry; entry = Tree().GetNextSiblingItem(entry))
                shown = shown || EndsWithNoCase(Tree().GetEntryText(entry), end);
        ASSERT_TRUE(shown) << end;
    }

    m_folder->WriteFile("Later.exe", "MZ");
    ASSERT_TRUE(WriteRegString(HKEY_USERS, emptyKey.c_str(), "Written", "later"));
    ASSERT_TRUE(WriteRegString(HKEY_USERS, (emptyKey + "\\Sub").c_str(), "Written", "later"));
    CMessageBoxRecorder::ClearTexts();
    ASSERT_TRUE(RepairAndWait());

    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRun, "InstalledLater"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kRun, "StillBroken"));
    EXPECT_TRUE(RegValueExists(HKEY_USERS, emptyKey.c_str(), "Written"));
    EXPECT_TRUE(RegValueExists(HKEY_USERS, (emptyKey + "\\Sub").c_str(), "Written"));
    EXPECT_EQ(1u, ReadSetting("LastStartupCln"));
    EXPECT_EQ(std::vector<std::string>{ "Not repaired: 2 of the selected entries, which were no longer errors when "
                                        "the repair came to them." },
              CMessageBoxRecorder::Texts());
}

namespace {

// The answer to the restore-point question, given only after a second instance has forwarded
// a scheduled scan and the window has handled it, as happens while the question waits.
HWND g_mainWindow = nullptr;
std::vector<std::string> g_questions;

int ForwardAScanThenAnswerYes(HWND, const char* text, const char*, UINT)
{
    g_questions.push_back(text);
    ::SendMessageA(g_mainWindow, WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
    CQuillonApp* app = QuillonApp();
    // Had the request started a scan, it would end here, behind the question.
    const DWORD start = ::GetTickCount();
    while (app->m_pProcess->IsRunning() && ::GetTickCount() - start < 60000) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return IDYES;
}

} // namespace

TEST_F(ResultsTest, AScanForwardedWhileTheResultsOrTheRepairWaitOnTheUserChangesNothing)
{
    CQuillonApp& app = TestApp();
    const int count = 20;
    AddFixtureKeys(count);
    ShowResults(FixtureFindings(count));
    ClickTick(CategoryRow("ActiveX Objects"));
    ClickTick(EntryRow(FixtureItem(0)));
    ASSERT_EQ("1 of 20 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    // While the results wait for the user, a forwarded scan is dropped.
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
    EXPECT_FALSE(app.m_pProcess->IsRunning());
    EXPECT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_EQ("1 of 20 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    // And while Fix Errors asks whether to go on without a restore point.
    app.m_settings.m_bRestorePoint = 1;
    g_mainWindow = m_main->m_hWnd;
    g_questions.clear();
    const AfxMessageBoxHandler recorder = AfxSetMessageBoxHandler(&ForwardAScanThenAnswerYes);
    const bool repaired = RepairAndWait();
    AfxSetMessageBoxHandler(recorder);
    ASSERT_TRUE(repaired);
    ASSERT_EQ(1u, g_questions.size());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(0).c_str()));
    for (int i = 1; i < count; ++i)
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, FixtureKey(i).c_str())) << i;
    EXPECT_EQ(1u, ReadSetting("LastActXCln"));

    // Once the repair is over, a forwarded scan runs again.
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
    EXPECT_TRUE(PumpUntil([&] { return app.m_scanPage.GetStep() != STEP_SUMMARY && !app.m_pProcess->IsRunning(); }));
}

TEST_F(ResultsTest, BetweenTheStepsOfTheRepairsEndNothingReachesThePage)
{
    CQuillonApp& app = TestApp();
    const int count = 5;
    AddFixtureKeys(count);
    ShowResults(FixtureFindings(count));
    ::SetDlgItemTextA(app.m_summaryPage.m_hWnd, IDC_SUMMARY_REPAIRED, "");
    Click(Results(), IDC_RESULTS_REPAIR);
    // One message at a time, until the repair's counts are stored: its end is not shown yet.
    ASSERT_TRUE(PumpEachUntil([&] { return Text(app.m_summaryPage, IDC_SUMMARY_REPAIRED) == std::to_string(count); }));
    ASSERT_EQ(STEP_RESULTS, app.m_scanPage.GetStep());
    EXPECT_FALSE(IsEnabled(Results(), IDC_RESULTS_REPAIR));
    EXPECT_FALSE(IsEnabled(Results(), IDC_RESULTS_NEXT));
    // Neither a forwarded scan nor Fix Errors again starts a job.
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED, 0);
    Results().OnRepair();
    EXPECT_FALSE(app.m_pProcess->IsRunning());

    ASSERT_TRUE(PumpUntil([&] { return app.m_scanPage.GetStep() == STEP_SUMMARY; }));
    EXPECT_EQ(1u, PartialBackups().size());
    EXPECT_TRUE(::IsWindowVisible(m_main->m_statisticsPage.m_hWnd));
    EXPECT_EQ(static_cast<DWORD>(count), ReadSetting("LastActXCln"));
    EXPECT_EQ(std::to_string(count), Text(m_main->m_statisticsPage, 1187));
    EXPECT_EQ(std::to_string(count), Text(m_main->m_statisticsPage, IDC_STATS_CLEANED_TO_DATE));
    EXPECT_EQ(std::to_string(count), Text(app.m_summaryPage, IDC_SUMMARY_FOUND));
    EXPECT_EQ("0", Text(app.m_summaryPage, IDC_SUMMARY_SKIPPED));
    EXPECT_FALSE(Results().IsHoldingUserChoices());
}
