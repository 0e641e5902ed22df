// The scanning page's record of a scan, as the engine's job thread fills it: the white list, the
// rules for counting findings and junk rows, the rows entered, and what the window is handed.
#include <gtest/gtest.h>

#include "ScanItemsInfo.h"
#include "ScanProgress.h"
#include "TempFolder.h"

namespace {

const char kRunKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\xAC";

class ScanProgressTest : public testing::Test
{
protected:
    ScanProgressTest() : m_items((m_temp.Path() + "\\").c_str()) {}

    void Begin(const std::string& whiteList)
    {
        m_temp.WriteFile("WhileList.dat", whiteList);
        m_progress.Begin((m_temp.Path() + "\\WhileList.dat").c_str());
    }

    CTempFolder m_temp;
    CScanItemsInfo m_items;
    CScanProgress m_progress;
};

} // namespace

TEST(WhiteListTest, RecordsEndAtTheirSemicolonAndTheFirstEmptyOneEndsTheList)
{
    const struct { const char* file; const char* item; BOOL listed; } rows[] = {
        { "adobe;", "C:\\Program Files\\ADOBE\\reader.exe", TRUE },
        { " Tray ; other;", "HKEY_CURRENT_USER\\Run\xACtray", TRUE },
        { "adobe", "C:\\adobe\\reader.exe", FALSE },             // no ";": never used
        { "first;;adobe;", "C:\\adobe\\reader.exe", FALSE },     // an empty record ends the list
        { "", "anything", FALSE },
    };
    for (const auto& row : rows) {
        CWhiteList list;
        list.Parse(row.file);
        EXPECT_EQ(row.listed, list.IsListed(row.item)) << row.file;
    }
}

TEST_F(ScanProgressTest, WhiteListedFindingsAreNeitherStoredNorCounted)
{
    Begin("skipme;");
    m_progress.OnItem(&m_items, (std::string(kRunKey) + "SkipMe").c_str(), SCAN_SUI, 0, 0);
    m_progress.OnItem(&m_items, (std::string(kRunKey) + "Other").c_str(), SCAN_SUI, 0, 0);
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    EXPECT_EQ(1, view.errorCount);
    EXPECT_EQ(1, m_items.CountCategory(SCAN_SUI));
    // The file is read when the scan begins, not for every finding.
    m_temp.WriteFile("WhileList.dat", "other;");
    m_progress.OnItem(&m_items, (std::string(kRunKey) + "Other2").c_str(), SCAN_SUI, 0, 0);
    m_progress.Take(view);
    EXPECT_EQ(2, view.errorCount);
}

TEST_F(ScanProgressTest, OneEntryCountsOnceAndMarksTheRowOfEachCategoryThatFoundIt)
{
    Begin("");
    const std::string item = std::string(kRunKey) + "Tray";
    std::string upper = item;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string underUsers = "HKEY_USERS\\" + std::string(CItemLocation::CurrentUserSid()) +
                                   "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\xAC" "tray";
    const int startup = FindCategoryRowByCode("SUI");
    const int references = FindCategoryRowByCode("FPR");
    m_progress.OnItem(&m_items, item.c_str(), SCAN_SUI, 0, 0);
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    EXPECT_EQ(1, view.rowCounts[startup]);
    ASSERT_EQ(1u, view.newEntries.size());
    EXPECT_EQ(CString("Windows Startup Items"), view.newEntries[0].category);

    // The same entry again in other letters, then found by the file-reference scan under the
    // user's key: one error, each category's row counts it once and shows its cross.
    m_progress.OnItem(&m_items, upper.c_str(), SCAN_SUI, 0, 0);
    m_progress.OnItem(&m_items, underUsers.c_str(), SCAN_FPR, 0, 0);
    m_progress.Take(view);
    EXPECT_EQ(1, view.errorCount);
    EXPECT_EQ(2, m_items.CountCategory(SCAN_SUI));
    EXPECT_TRUE(view.newEntries.empty());
    EXPECT_EQ(1, view.rowCounts[startup]);
    EXPECT_EQ(1, view.rowCounts[references]);
    EXPECT_EQ((1u << startup) | (1u << references), view.crossedRows);
    EXPECT_EQ((1u << startup) | (1u << references), m_progress.GetFoundRows());

    // Another entry counts as another error.
    m_progress.OnItem(&m_items, (std::string(kRunKey) + "Other").c_str(), SCAN_SUI, 0, 0);
    m_progress.Take(view);
    EXPECT_EQ(2, view.errorCount);
    EXPECT_EQ(2, view.rowCounts[startup]);
}

TEST_F(ScanProgressTest, JunkRowsFollowTheirOwnRules)
{
    Begin("");
    // The Temp Files scan tells its size even when it found nothing: no junk, no size text.
    m_progress.OnItem(&m_items, "0KB", SCAN_TPF, -1, 0);
    SCAN_PROGRESS_VIEW nothing;
    m_progress.Take(nothing);
    EXPECT_EQ(CString(), nothing.junkLabel);
    EXPECT_EQ(0, nothing.junkCount);
    EXPECT_EQ(CString("No"), m_progress.GetJunkText());

    m_progress.OnItem(&m_items, "-1", SCAN_RCB, 2048, 0);
    m_progress.OnItem(&m_items, "-1", SCAN_TPF, static_cast<int>(0xFFFFFFF0u), 0);
    EXPECT_EQ(2048.0, m_progress.GetRecycleBinKB());
    EXPECT_EQ(4294967280.0, m_progress.GetTempFilesKB());

    // A Recycle Bin size text counts and marks its row; a Temp Files size text only sets the label.
    m_progress.OnItem(&m_items, "2MB", SCAN_RCB, -1, 0);
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    EXPECT_EQ(CString("2MB"), view.junkLabel);
    EXPECT_EQ(1, view.junkCount);
    EXPECT_EQ(1u << kRecycleBinRow, view.crossedRows);

    m_progress.OnItem(&m_items, "3MB", SCAN_TPF, -1, 0);
    m_progress.Take(view);
    EXPECT_EQ(CString("3MB"), view.junkLabel);
    EXPECT_EQ(1, view.junkCount);
    EXPECT_EQ(0u, view.crossedRows & (1u << kTempFilesRow));

    m_temp.WriteFile("old.tmp", "x");
    m_progress.OnItem(&m_items, m_temp.PathOf("old.tmp").c_str(), SCAN_TPF, 1, 0);
    m_progress.Take(view);
    EXPECT_EQ(2, view.junkCount);
    EXPECT_NE(0u, view.crossedRows & (1u << kTempFilesRow));
    EXPECT_EQ(0, view.errorCount);
    EXPECT_EQ(CString("3MB"), m_progress.GetJunkText());
    m_progress.ResetCounts();
    EXPECT_EQ(CString("No"), m_progress.GetJunkText());
    EXPECT_EQ(0, m_progress.GetJunkCount());
}

TEST_F(ScanProgressTest, EachNewAreaIsOneRowAndOneStep)
{
    Begin("");
    m_progress.OnProgress(PROGRESS_BEGIN);
    m_progress.OnActivity("HKEY_CLASSES_ROOT\\CLSID", "AXO");
    m_progress.OnActivity("HKEY_CLASSES_ROOT\\CLSID\\{1}", "axo");
    m_progress.OnActivity("", "Scanning");
    m_progress.OnActivity("uninstall", "UIE");
    m_progress.OnProgress(PROGRESS_STEP);
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    EXPECT_EQ((std::vector<int>{ 0, 1 }), view.enteredRows);
    EXPECT_EQ(2, view.overallPosition);
    EXPECT_EQ(1, view.currentPosition);
    EXPECT_EQ(3, view.scannedItems);
    EXPECT_EQ(CString("uninstall"), view.activity);
    // Handed over once: the next copy holds only what came since.
    m_progress.Take(view);
    EXPECT_TRUE(view.enteredRows.empty());
    m_progress.OnProgress(PROGRESS_END);
    m_progress.Take(view);
    EXPECT_EQ(CScanProgress::kCurrentRange, view.currentPosition);
    EXPECT_EQ(CScanProgress::kOverallRange, view.overallPosition);

}

TEST_F(ScanProgressTest, ACancelledScanShowsHowFarItCame)
{
    Begin("");
    m_progress.OnProgress(PROGRESS_BEGIN);
    m_progress.OnActivity("HKEY_CLASSES_ROOT\\CLSID", "AXO");
    m_progress.OnProgress(PROGRESS_STEP);
    m_progress.OnProgress(PROGRESS_STEP);
    m_progress.OnActivity("", "UIE");
    m_progress.OnActivity("uninstall", "UIE");
    m_progress.OnProgress(PROGRESS_STEP);
    // Scanned to its end: the first row only; the second was being scanned.
    EXPECT_EQ(1u << 0, m_progress.Cancel());
    // The stopped job passes the categories it no longer scans, and ends.
    m_progress.OnActivity("", "FNT");
    m_progress.OnActivity("", "SHD");
    m_progress.OnProgress(PROGRESS_STEP);
    m_progress.OnProgress(PROGRESS_END);
    SCAN_PROGRESS_VIEW view;
    m_progress.Take(view);
    EXPECT_EQ((std::vector<int>{ 0, 1 }), view.enteredRows);
    EXPECT_EQ(2, view.overallPosition);
    EXPECT_EQ(3, view.currentPosition);
}
