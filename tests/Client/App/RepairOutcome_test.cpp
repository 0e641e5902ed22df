// What a repair removed, as the program finds it afterwards and as it stores it in the
// statistics, and where the scan log goes.
#include <gtest/gtest.h>

#include "KeyAccess.h"
#include "RegistrySandbox.h"
#include "RepairOutcome.h"
#include "ResultCategories.h"
#include "ScanItemsInfo.h"
#include "ScanResultDlg.h"
#include "StatusDlg.h"
#include "TempFolder.h"
#include "TimeBudget.h"

TEST(RepairOutcome, OnlyWhatIsSurelyGoneCountsAsCleaned)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Kept", "Value", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Kept", "", "default"));
    const std::string shortcut = folder.WriteFile("kept.lnk", "x");
    // A key the repair could not delete because nobody may open it: it is there, not gone.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Locked", "Value", "x"));
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Locked", "KA");
    ASSERT_TRUE(locked.IsActive());
    const struct { std::string item; DWORD category; BOOL gone; } rows[] = {
        { "HKEY_CURRENT_USER\\Software\\Kept", SCAN_AXO, FALSE },
        { "hkey_current_user\\SOFTWARE\\KEPT", SCAN_AXO, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Gone", SCAN_AXO, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Gone\\Deeper", SCAN_ERK, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Value", SCAN_SUI, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Other", SCAN_SUI, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Kept\xAC", SCAN_SUI, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Gone\xAC" "Value", SCAN_FNT, TRUE },
        { "HKEY_CURRENT_USER\\Software\\Locked", SCAN_AXO, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Locked\xAC" "Value", SCAN_SUI, FALSE },
        { "HKEY_CURRENT_USER\\Software\\Locked\xAC" "Other", SCAN_SUI, FALSE },
        // Texts that name nothing the registry could have removed.
        { "HKEY_CURRENT_USER", SCAN_AXO, FALSE },
        { "HKEY_NOWHERE\\Software\\Gone", SCAN_AXO, FALSE },
        { "Software\\Gone", SCAN_AXO, FALSE },
        { "HKEY_CURRENT_USER\\\xAC" "Value", SCAN_SUI, FALSE },
        // Shortcuts are files.
        { shortcut, SCAN_SRC, FALSE },
        { folder.PathOf("gone.lnk"), SCAN_SRC, TRUE },
        { folder.PathOf("no folder\\gone.lnk"), SCAN_SRC, TRUE },
        { "", SCAN_SRC, FALSE },
    };
    CRepairOutcome outcome;
    for (const auto& row : rows)
        EXPECT_EQ(row.gone, outcome.IsGone(row.item.c_str(), row.category)) << row.item;

    const std::map<CString, int> gone = outcome.CountGone(
        { { "ActiveX Objects", { "HKEY_CURRENT_USER\\Software\\Kept", "HKEY_CURRENT_USER\\Software\\Gone" } },
          { "Windows Startup Items", { "HKEY_CURRENT_USER\\Software\\Kept\xAC" "Other", "HKEY_CURRENT_USER\\X",
                                       "HKEY_CURRENT_USER\\Software\\Locked\xAC" "Value" } },
          { "Not a category", { "HKEY_CURRENT_USER\\Software\\Gone" } } });
    EXPECT_EQ((std::map<CString, int>{ { "ActiveX Objects", 1 }, { "Windows Startup Items", 2 } }), gone);
}

TEST(RepairOutcome, TicksThatShareAKeyAreCountedKeyByKeyInAnyNumberOfSlices)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const std::string hkcu = "HKEY_CURRENT_USER\\Software\\";
    std::map<CString, std::vector<CString>> ticked;
    std::map<CString, int> expected;
    // One key's values, more than a slice looks at, half of them gone, ticked under two
    // categories in turn.
    for (int i = 0; i < 40; ++i) {
        const std::string name = "V" + std::to_string(i);
        if (i % 2) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Shared", name.c_str(), "x"));
        }
        const char* category = i % 4 < 2 ? "Windows Startup Items" : "Application Paths";
        ticked[category].push_back((hkcu + "Shared\xAC" + name).c_str());
        expected[category] += i % 2 ? 0 : 1;
    }
    // Subkeys of one parent: two gone, two there.
    for (int i = 0; i < 4; ++i) {
        if (i >= 2) {
            ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, ("Software\\Parent\\K" + std::to_string(i)).c_str(), "", "x"));
        }
        ticked["ActiveX Objects"].push_back((hkcu + "Parent\\K" + std::to_string(i)).c_str());
    }
    expected["ActiveX Objects"] = 2;
    // A key gone with its values, and a key left with none: each answers for all of its ticks.
    HKEY emptied = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Parent\\Emptied", 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &emptied, nullptr));
    ::RegCloseKey(emptied);
    for (const char* value : { "a", "b", "c" }) {
        ticked["Windows Fonts"].push_back((hkcu + "Missing\xAC" + value).c_str());
        ticked["Windows Fonts"].push_back((hkcu + "Parent\\Emptied\xAC" + value).c_str());
    }
    expected["Windows Fonts"] = 6;
    // A key nobody may open: its ticked values and its subkey are there for all we know, and
    // none of them counts as cleaned.
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Locked", "a", "x"));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, "Software\\Locked\\Child", "", "x"));
    CDeniedKey locked(HKEY_CURRENT_USER, "Software\\Locked", "KA");
    ASSERT_TRUE(locked.IsActive());
    for (const char* value : { "a", "gone1", "gone2" })
        ticked["Shared DLLs"].push_back((hkcu + "Locked\xAC" + value).c_str());
    ticked["Empty Registry Keys"].push_back((hkcu + "Locked\\Child").c_str());
    expected["Shared DLLs"] = 0;
    expected["Empty Registry Keys"] = 0;

    // Looked at whole, and in the shortest slices the window thread can be given.
    CRepairOutcome whole;
    EXPECT_EQ(expected, whole.CountGone(ticked));
    CRepairOutcome sliced;
    sliced.Begin(ticked);
    int slices = 1;
    while (!sliced.LookSome(CTimeBudget(0)) && slices < 1000)
        ++slices;
    EXPECT_EQ(expected, sliced.GetGone());
    EXPECT_GT(slices, 3);
    // Each entry alone agrees.
    for (const auto& category : ticked) {
        int gone = 0;
        for (const CString& entry : category.second)
            gone += whole.IsGone(entry, kResultCategories[FindResultCategory(category.first)].bit) ? 1 : 0;
        EXPECT_EQ(expected[category.first], gone) << category.first.GetString();
    }
}

namespace {

DWORD StoredStatistic(const char* name)
{
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    ::RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

} // namespace

TEST(RepairStatistics, TheRepairsCountsReplaceTheLastAndAddToTheTotals)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastTotalClnCnt", 40));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastTotalJnkFileSize", 1000));
    ASSERT_TRUE(WriteRegDword(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "LastFontCln", 9));
    // Each repair: ActiveX and startup entries cleaned, kilobytes of the Recycle Bin and of the
    // temporary files; then the totals as stored.
    const struct { int activeX, startup; double recycleBinKB, tempFilesKB; DWORD cleaned, junkKB; } repairs[] = {
        { 2, 3, 100.7, 50.2, 45, 1150 },
        { 0, 0, 0, 300, 45, 1450 },   // temporary files alone
        { 1, 0, 20, 0, 46, 1470 },    // the Recycle Bin alone
    };
    for (const auto& repair : repairs) {
        REPAIR_COUNTS counts;
        counts.cleaned[0] = repair.activeX;
        counts.cleaned[6] = repair.startup;
        counts.recycleBinKB = repair.recycleBinKB;
        counts.tempFilesKB = repair.tempFilesKB;
        REPAIR_TOTALS totals;
        ASSERT_TRUE(StoreRepairStatistics(counts, &totals));
        EXPECT_EQ(repair.cleaned, totals.cleaned) << repair.tempFilesKB;
        EXPECT_EQ(repair.junkKB, totals.junkKB) << repair.tempFilesKB;
        EXPECT_EQ(repair.cleaned, StoredStatistic("LastTotalClnCnt"));
        EXPECT_EQ(repair.junkKB, StoredStatistic("LastTotalJnkFileSize"));
        EXPECT_EQ(static_cast<DWORD>(repair.activeX), StoredStatistic("LastActXCln"));
        EXPECT_EQ(static_cast<DWORD>(repair.startup), StoredStatistic("LastStartupCln"));
        EXPECT_EQ(0u, StoredStatistic("LastFontCln"));
        EXPECT_EQ(static_cast<DWORD>(repair.recycleBinKB), StoredStatistic("LastRecBinClnSize"));
        EXPECT_EQ(static_cast<DWORD>(repair.tempFilesKB), StoredStatistic("LastTmpFileClnSize"));
    }

    // A settings key that cannot be opened: nothing stored, the totals are the repair's own.
    CDeniedKey locked(HKEY_LOCAL_MACHINE, "Software\\Bellwort\\Kelvara", "KA");
    ASSERT_TRUE(locked.IsActive());
    REPAIR_COUNTS counts;
    counts.cleaned[0] = 4;
    counts.tempFilesKB = 8;
    REPAIR_TOTALS totals;
    EXPECT_FALSE(StoreRepairStatistics(counts, &totals));
    EXPECT_EQ(4u, totals.cleaned);
    EXPECT_EQ(8u, totals.junkKB);
}

TEST(ScanLog, GoesBesideTheProgramOrIntoTheUsersFolderOrFails)
{
    CTempFolder folder;
    struct Row { bool programBlocked; bool otherBlocked; const char* writtenUnder; };
    const Row rows[] = {
        { false, false, "program\\Scan Logs\\" },
        { true, false, "user\\Scan Logs\\" },
        { true, true, nullptr },
    };
    int index = 0;
    for (const Row& row : rows) {
        const std::string base = folder.MakeFolder("case" + std::to_string(index++));
        const std::string program = base + "\\program";
        const std::string user = base + "\\user";
        ::CreateDirectoryA(program.c_str(), nullptr);
        ::CreateDirectoryA(user.c_str(), nullptr);
        // A file where the log folder belongs: nothing can be written into it.
        if (row.programBlocked)
            folder.WriteFile(program.substr(folder.Path().size() + 1) + "\\Scan Logs", "");
        if (row.otherBlocked)
            folder.WriteFile(user.substr(folder.Path().size() + 1) + "\\Scan Logs", "");
        CScanItemsInfo items((program + "\\").c_str());
        items.AddItem("HKEY_CURRENT_USER\\Software\\Found", SCAN_AXO, 0, 0);
        CString path;
        const BOOL written = CScanResultDlg::WriteScanLog(&items, user.c_str(), &path);
        EXPECT_EQ(row.writtenUnder != nullptr, written != FALSE) << index;
        if (!row.writtenUnder)
            continue;
        const std::string expected = base + "\\" + row.writtenUnder;
        EXPECT_EQ(expected, std::string(path.Left(static_cast<int>(expected.size())))) << index;
        EXPECT_NE(std::string::npos, ReadWholeFile(path.GetString()).find("HKEY_CURRENT_USER\\Software\\Found^16384;"));
    }
}
