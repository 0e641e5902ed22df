// The found-item container with its files in a throwaway folder.
#include <gtest/gtest.h>

#include <memory>

#include "ScanItemsInfo.h"
#include "TempFolder.h"

namespace {

class ScanItemsInfoTest : public ::testing::Test
{
protected:
    std::string IgnoreListPath() const { return folder.PathOf("IgnoreList.dat"); }
    void WriteIgnoreList(const std::string& text) const { folder.WriteFile("IgnoreList.dat", text); }
    std::unique_ptr<CScanItemsInfo> MakeItems() const
    {
        return std::unique_ptr<CScanItemsInfo>(new CScanItemsInfo(folder.Path().c_str()));
    }

    // The walk of the engine: every item under the cursor, with its category.
    static std::vector<std::pair<int, std::string>> Walk(CScanItemsInfo& items)
    {
        std::vector<std::pair<int, std::string>> walked;
        if (!items.MoveFirst())
            return walked;
        do
            walked.push_back({items.GetCurrentCategory(), items.GetCurrentItem()});
        while (items.MoveNext());
        return walked;
    }

    // Puts the cursor on the item with this text.
    static bool MoveTo(CScanItemsInfo& items, const char* text)
    {
        if (!items.MoveFirst())
            return false;
        do
            if (CString(items.GetCurrentItem()) == text)
                return true;
        while (items.MoveNext());
        return false;
    }

    CTempFolder folder;
};

} // namespace

TEST_F(ScanItemsInfoTest, RefusesIgnoredItemsButRecordsTheirCategory)
{
    WriteIgnoreList("HKEY_CLASSES_ROOT\\CLSID\\{1}^ActiveX Objects^0;");
    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("HKEY_CLASSES_ROOT\\CLSID\\{1}", SCAN_AXO, 0, 0), 0);
    EXPECT_EQ(items->CountCategory(SCAN_AXO), 0);
    EXPECT_EQ(items->GetFoundCategories(), static_cast<DWORD>(SCAN_AXO));
    // The ignored entry, not its text: another spelling of it is refused too, another entry is not.
    EXPECT_EQ(items->AddItem("HKEY_LOCAL_MACHINE\\Software\\Classes\\clsid\\{1}", SCAN_FPR, 0, 0), 0);
    EXPECT_EQ(items->AddItem("HKEY_CLASSES_ROOT\\CLSID\\{2}", SCAN_AXO, 0, 0), 1);
    EXPECT_EQ(items->CountCategory(SCAN_FPR), 0);
}

TEST_F(ScanItemsInfoTest, KeepsDuplicatesAndCountsPerCategory)
{
    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("C:\\a.tmp", SCAN_TPF, 0, 0), 1);
    EXPECT_EQ(items->AddItem("C:\\a.tmp", SCAN_TPF, 0, 0), 1);
    EXPECT_EQ(items->CountCategory(SCAN_TPF), 2);
    EXPECT_TRUE(items->HasCategory(SCAN_TPF));
    EXPECT_FALSE(items->HasCategory(SCAN_RCB));

    std::vector<const char*> texts;
    EXPECT_FALSE(items->GetItems(&texts, SCAN_RCB));
    EXPECT_TRUE(items->GetItems(&texts, SCAN_TPF));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_STREQ(texts[0], "C:\\a.tmp");
}

TEST_F(ScanItemsInfoTest, CursorWalksByCategoryThenInsertionOrder)
{
    auto items = MakeItems();
    EXPECT_FALSE(items->MoveFirst());
    EXPECT_EQ(items->GetCurrentItem(), nullptr);
    EXPECT_EQ(items->GetCurrentCategory(), 0);

    items->AddItem("erk", SCAN_ERK, 0, 0);
    items->AddItem("axo-2", SCAN_AXO, 0, 0);
    items->AddItem("itl", SCAN_ITL, 0, 0);
    items->AddItem("axo-1", SCAN_AXO, 0, 0);
    const std::vector<std::pair<int, std::string>> expected = {
        {SCAN_ITL, "itl"}, {SCAN_AXO, "axo-2"}, {SCAN_AXO, "axo-1"}, {SCAN_ERK, "erk"}};
    EXPECT_EQ(Walk(*items), expected);

    // Past the end the cursor stays there.
    EXPECT_FALSE(items->MoveNext());
    EXPECT_EQ(items->GetCurrentItem(), nullptr);
    EXPECT_EQ(items->GetCurrentCategory(), 0);
    EXPECT_FALSE(items->IsCurrentItemIgnored());
}

TEST_F(ScanItemsInfoTest, JunkSwitchesAndExclusionsFromSetIgnore)
{
    auto items = MakeItems();
    items->SetIgnore("", SCAN_RCB, -1);
    items->SetIgnore("", SCAN_TPF, -1);
    EXPECT_EQ(items->GetIgnoreRecycleBin(), 1);
    EXPECT_EQ(items->GetIgnoreTempFiles(), 1);
    items->SetIgnore("", SCAN_RCB, 0);
    EXPECT_EQ(items->GetIgnoreRecycleBin(), 0);
    EXPECT_EQ(items->GetIgnoreTempFiles(), 1);

    items->AddItem("C:\\x.tmp", SCAN_TPF, 0, 0);
    ASSERT_TRUE(items->MoveFirst());
    EXPECT_FALSE(items->IsCurrentItemIgnored()) << "a switch is no exclusion";
}

TEST_F(ScanItemsInfoTest, ClearKeepsIgnoreListSwitchesAndMask)
{
    WriteIgnoreList("kept^Windows Fonts^0;");
    auto items = MakeItems();
    items->AddItem("found", SCAN_FNT, 0, 0);
    items->SetIgnore("found^Windows Fonts", 0, 0);
    items->SetIgnore("", SCAN_TPF, -1);
    items->Clear();

    EXPECT_FALSE(items->MoveFirst());
    EXPECT_EQ(items->CountCategory(SCAN_FNT), 0);
    EXPECT_EQ(items->GetIgnoreTempFiles(), 1);
    EXPECT_EQ(items->GetFoundCategories(), static_cast<DWORD>(SCAN_FNT));
    EXPECT_EQ(items->AddItem("kept", SCAN_FNT, 0, 0), 0);
    // The exclusion went with the old results.
    items->AddItem("found", SCAN_FNT, 0, 0);
    ASSERT_TRUE(MoveTo(*items, "found"));
    EXPECT_FALSE(items->IsCurrentItemIgnored());
}

TEST_F(ScanItemsInfoTest, SavedListIsReadAgainAtTheNextAdd)
{
    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("first", SCAN_SHD, 0, 0), 1);
    const std::map<CString, int> entries = {{"second^Shared DLLs", 0}};
    EXPECT_EQ(items->SaveIgnoreList(&entries), 1);
    EXPECT_EQ(items->AddItem("second", SCAN_SHD, 0, 0), 0);

    // A list that could not be written leaves the file and the loaded list as they were.
    const std::string before = ReadWholeFile(IgnoreListPath());
    CScanItemsInfo nowhere(folder.PathOf("missing\\folder").c_str());
    EXPECT_EQ(nowhere.SaveIgnoreList(&entries), 0);
    EXPECT_EQ(ReadWholeFile(IgnoreListPath()), before);
}

TEST_F(ScanItemsInfoTest, ItemsHoldingSeparatorsSurviveTheIgnoreList)
{
    const char* tricky[] = {"C:\\Temp\\a;b.tmp", "HKEY_CURRENT_USER\\Software\\x^y", "C:\\Temp\\^;%3B.tmp"};
    {
        auto items = MakeItems();
        for (const char* item : tricky)
            items->AddItem(item, SCAN_TPF, 0, 0);
        // Ignoring an entry also excludes it from the repair of the results on screen.
        for (const char* item : tricky)
            EXPECT_EQ(items->AddToIgnoreList(item, "Temp Files", 0x4000, 0), 1);
        for (const char* item : tricky) {
            ASSERT_TRUE(MoveTo(*items, item));
            EXPECT_TRUE(items->IsCurrentItemIgnored()) << item;
        }
    }
    // A later run reads them back whole: none of them is found again.
    auto items = MakeItems();
    for (const char* item : tricky)
        EXPECT_EQ(items->AddItem(item, SCAN_TPF, 0, 0), 0) << item;
    // No piece of them became an entry of its own.
    EXPECT_EQ(items->AddItem("C:\\Temp\\a", SCAN_TPF, 0, 0), 1);
    EXPECT_EQ(items->AddItem("b.tmp", SCAN_TPF, 0, 0), 1);
    EXPECT_EQ(items->AddItem("HKEY_CURRENT_USER\\Software\\x", SCAN_TPF, 0, 0), 1);
    items->LoadIgnoreListForDisplay();
    std::map<CString, int> shown;
    items->GetIgnoreList(&shown);
    EXPECT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown.count("C:\\Temp\\a;b.tmp^Temp Files"), 1u);
}

TEST_F(ScanItemsInfoTest, AddToIgnoreListKeepsTheEntriesOfOlderFiles)
{
    WriteIgnoreList("x^ActiveX Objects^0;y^Windows Fonts^3;\r\r\n");
    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("y", SCAN_FNT, 0, 0), 0);
    EXPECT_EQ(items->AddToIgnoreList("new", "Shared DLLs", 0x4000, 0), 1);
    EXPECT_EQ(items->LoadIgnoreListForDisplay(), 1);
    std::map<CString, int> shown;
    EXPECT_EQ(items->GetIgnoreList(&shown), 1);
    const std::map<CString, int> expected = {
        {"new^Shared DLLs", 0}, {"x^ActiveX Objects", 0}, {"y^Windows Fonts", 3}};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(items->AddItem("new", SCAN_SHD, 0, 0), 0);
}

TEST_F(ScanItemsInfoTest, ExclusionRules)
{
    struct Case {
        const char* exclusion;
        const char* item;
        BOOL answer;
    };
    const Case cases[] = {
        {"HKEY_CLASSES_ROOT\\CLSID\\{1}^ActiveX Objects", "HKEY_CLASSES_ROOT\\CLSID\\{1}", ITEM_KEPT},
        // The entry, in any of its texts: the registry ignores letter case.
        {"HKEY_CLASSES_ROOT\\CLSID\\{1}^ActiveX Objects", "HKEY_CLASSES_ROOT\\clsid\\{1}", ITEM_KEPT},
        // What a kept key holds is kept with it.
        {"HKEY_CLASSES_ROOT\\CLSID\\{1}^ActiveX Objects", "HKEY_CLASSES_ROOT\\CLSID\\{1}\\Sub", ITEM_NEXT_TO_KEPT},
        {"HKEY_CLASSES_ROOT\\CLSID\\{1}^ActiveX Objects", "HKEY_CLASSES_ROOT\\CLSID\\{10}", FALSE},
        // Items with '^' or ';' match their own key, and only it.
        {"HKEY_CURRENT_USER\\Software\\a^b^File Path Refferences", "HKEY_CURRENT_USER\\Software\\a^b", ITEM_KEPT},
        {"HKEY_CURRENT_USER\\Software\\a^b^File Path Refferences", "HKEY_CURRENT_USER\\Software\\a", FALSE},
        {"C:\\x;y.lnk^Program Shortcuts", "C:\\x;y.lnk", ITEM_KEPT},
        // A key without '^' names no item.
        {"C:\\plain.lnk", "C:\\plain.lnk", FALSE},
        // By the reduced name: ".txt" dropped, the part after the last '@', no bracketed part.
        {"cookie^Cookies", "user@cookie.txt", ITEM_KEPT},
        {"site^Cookies", "user@site[1].txt", ITEM_KEPT},
        {"other^Cookies", "user@cookie.txt", FALSE},
    };
    for (const Case& test : cases) {
        auto items = MakeItems();
        items->AddItem(test.item, SCAN_AXO, 0, 0);
        items->SetIgnore(test.exclusion, 0, 0);
        ASSERT_TRUE(items->MoveFirst());
        EXPECT_EQ(items->IsCurrentItemIgnored(), test.answer)
            << "exclusion " << test.exclusion << ", item " << test.item;
    }
}

TEST_F(ScanItemsInfoTest, IgnoreListIsReadWithoutWriteAccess)
{
    WriteIgnoreList("C:\\keep.lnk^Program Shortcuts^0;");
    // Another reader that lets nobody write: the file can be read but not opened for writing,
    // as in a program folder without write access.
    HANDLE reader = ::CreateFileA(IgnoreListPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE writer = ::CreateFileA(IgnoreListPath().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE)
        ::CloseHandle(writer);

    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("C:\\keep.lnk", SCAN_SRC, 0, 0), 0);
    EXPECT_EQ(items->LoadIgnoreListForDisplay(), 1);
    ::CloseHandle(reader);
}

TEST_F(ScanItemsInfoTest, MissingListReadsEmptyWithoutCreatingIt)
{
    auto items = MakeItems();
    EXPECT_EQ(items->AddItem("C:\\a.lnk", SCAN_SRC, 0, 0), 1);
    EXPECT_FALSE(FileExists(IgnoreListPath()));
}

TEST_F(ScanItemsInfoTest, UnreadableListKeepsTheListInMemory)
{
    WriteIgnoreList("C:\\keep.lnk^Program Shortcuts^0;");
    auto items = MakeItems();
    const std::map<CString, int> same = {{"C:\\keep.lnk^Program Shortcuts", 0}};
    ASSERT_EQ(items->SaveIgnoreList(&same), 1);  // the next add reads the file again

    HANDLE lock = ::CreateFileA(IgnoreListPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(items->LoadIgnoreList(), 0);
    EXPECT_EQ(items->AddItem("C:\\keep.lnk", SCAN_SRC, 0, 0), 0);
    EXPECT_EQ(items->LoadIgnoreListForDisplay(), 0);
    ::CloseHandle(lock);
    // Once the file can be read again it is.
    EXPECT_EQ(items->LoadIgnoreList(), 1);
}

TEST_F(ScanItemsInfoTest, AppendsExclusionsOnlyWhenAsked)
{
    WriteIgnoreList("old^Windows Fonts^3");  // its last record was never ended
    auto items = MakeItems();
    items->SetIgnore("C:\\a;b.lnk^Program Shortcuts", 0, 7);
    EXPECT_EQ(items->AppendIgnoredToFile(), 0);
    EXPECT_EQ(ReadWholeFile(IgnoreListPath()), "old^Windows Fonts^3");

    items->SetSaveIgnored(1);
    EXPECT_EQ(items->AppendIgnoredToFile(), 1);
    EXPECT_EQ(items->LoadIgnoreListForDisplay(), 1);
    std::map<CString, int> shown;
    items->GetIgnoreList(&shown);
    const std::map<CString, int> expected = {{"C:\\a;b.lnk^Program Shortcuts", 7}, {"old^Windows Fonts", 3}};
    EXPECT_EQ(shown, expected);

    // The unended record is found behind more white space than one block of the file's end.
    WriteIgnoreList("old^Windows Fonts^3" + std::string(5000, '\n'));
    EXPECT_EQ(items->AppendIgnoredToFile(), 1);
    EXPECT_EQ(items->LoadIgnoreListForDisplay(), 1);
    items->GetIgnoreList(&shown);
    EXPECT_EQ(shown, expected);
}

TEST_F(ScanItemsInfoTest, ScanLogBytes)
{
    auto items = MakeItems();
    items->AddItem("C:\\b.lnk", SCAN_SRC, 0, 0);
    items->AddItem("HKEY_CLASSES_ROOT\\TypeLib\\{2}", SCAN_ITL, 0, 0);
    items->SetIgnore("C:\\b.lnk^Program Shortcuts", 0, 0);
    SYSTEMTIME at = {};
    at.wYear = 2026;
    at.wMonth = 12;
    at.wDay = 8;
    at.wHour = 14;
    at.wMinute = 5;
    at.wSecond = 7;
    ASSERT_EQ(items->WriteScanLog(at), 1);
    ASSERT_EQ(items->WriteScanLog(at), 1);  // the same second: the same file, appended

    const std::string one =
        "Scan Log Created At :14:5:7\r\r\n"
        "========================Items Detected During Scan=======================\r\r\n"
        "HKEY_CLASSES_ROOT\\TypeLib\\{2}^1;\r\r\n"
        "C:\\b.lnk^32768;\r\r\n"
        "======================= Spyware Items Detected===========================\r\r\n"
        "======================= Items Ignored During Repair=======================\r\r\n"
        "C:\\b.lnk^Program Shortcuts^0;\r\r\n";
    EXPECT_EQ(ReadWholeFile(folder.PathOf("Scan Logs\\81220261457.txt")), one + one);
}

TEST_F(ScanItemsInfoTest, SpywareIsIgnoredByNameAndId)
{
    WriteIgnoreList("Spy Toolbar^Spyware^12;");
    auto items = MakeItems();
    _SPYWARE_INFORMATION record;
    record.Name = "Spy Toolbar";
    record.ID = 12;
    EXPECT_TRUE(items->IsSpywareIgnored("", 0, &record));
    record.ID = 13;
    EXPECT_FALSE(items->IsSpywareIgnored("", 0, &record));
    record.Name = "Other";
    record.ID = 12;
    EXPECT_FALSE(items->IsSpywareIgnored("", 0, &record));
}

// One Run value as two scans report it: the startup scan under HKEY_CURRENT_USER, the
// file-reference scan under the user's own key of HKEY_USERS, in other letters.
TEST_F(ScanItemsInfoTest, OneEntryUnderTwoTextsIsKeptExcludedIgnoredAndCountedAsOne)
{
    const std::string startupText = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\xACTool";
    const std::string referenceText = "HKEY_USERS\\" + std::string(CItemLocation::CurrentUserSid()) +
                                      "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\xACtool";
    const std::string otherText = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\xAC" "Other";
    auto items = MakeItems();
    ASSERT_EQ(items->AddItem(startupText.c_str(), SCAN_SUI, 0, 0), 1);
    ASSERT_EQ(items->AddItem(otherText.c_str(), SCAN_SUI, 0, 0), 1);
    ASSERT_EQ(items->AddItem(referenceText.c_str(), SCAN_FPR, 0, 0), 1);
    // Each category keeps what it found; the entry counts once, under the first of them.
    EXPECT_EQ(items->CountCategory(SCAN_FPR), 1);
    EXPECT_EQ(items->CountFindings(), 2);
    int counts[kRegistryCategoryCount] = {};
    items->CountFindingsOnce(counts);
    EXPECT_EQ(counts[FindCategoryRowByCode("SUI")], 2);
    EXPECT_EQ(counts[FindCategoryRowByCode("FPR")], 0);

    // Kept under one text: the repair's walk skips it under both.
    items->SetIgnore((startupText + "^Windows Startup Items").c_str(), 0, 0);
    ASSERT_TRUE(MoveTo(*items, referenceText.c_str()));
    EXPECT_TRUE(items->IsCurrentItemIgnored());
    ASSERT_TRUE(MoveTo(*items, otherText.c_str()));
    EXPECT_FALSE(items->IsCurrentItemIgnored());

    // Ignored under one text: no later scan lists it under either.
    ASSERT_EQ(items->AddToIgnoreList(referenceText.c_str(), "File Path Refferences", 0x4000, 0), 1);
    auto later = MakeItems();
    EXPECT_EQ(later->AddItem(startupText.c_str(), SCAN_SUI, 0, 0), 0);
    EXPECT_EQ(later->AddItem(referenceText.c_str(), SCAN_FPR, 0, 0), 0);
    EXPECT_EQ(later->AddItem(otherText.c_str(), SCAN_SUI, 0, 0), 1);
}

TEST_F(ScanItemsInfoTest, AnIgnoreThatCannotBeSavedIgnoresNothingAndLosesNothing)
{
    const std::string before = "alpha^Shared DLLs^0;;beta^Shared DLLs^0;\r\r\ngamma^Shared DLLs^0";
    WriteIgnoreList(before);
    auto items = MakeItems();
    items->AddItem("C:\\x.dll", SCAN_SHD, 0, 0);
    {
        // A reader that lets nobody write, as another program may hold the file.
        HANDLE reader = ::CreateFileA(IgnoreListPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_EQ(items->AddToIgnoreList("C:\\x.dll", "Shared DLLs", 0x4000, 0), 0);
        ::CloseHandle(reader);
    }
    EXPECT_EQ(ReadWholeFile(IgnoreListPath()), before);
    ASSERT_TRUE(items->MoveFirst());
    EXPECT_FALSE(items->IsCurrentItemIgnored());

    // Saved at last, the rewrite keeps every record, also those after the empty one and the
    // last one without its ';'.
    ASSERT_EQ(items->AddToIgnoreList("C:\\x.dll", "Shared DLLs", 0x4000, 0), 1);
    ASSERT_EQ(items->LoadIgnoreListForDisplay(), 1);
    std::map<CString, int> shown;
    items->GetIgnoreList(&shown);
    EXPECT_EQ(shown.size(), 4u);
    for (const char* kept : { "alpha^Shared DLLs", "beta^Shared DLLs", "gamma^Shared DLLs", "C:\\x.dll^Shared DLLs" })
        EXPECT_EQ(shown.count(kept), 1u) << kept;
    ASSERT_TRUE(items->MoveFirst());
    EXPECT_TRUE(items->IsCurrentItemIgnored());
}

TEST_F(ScanItemsInfoTest, AKeptKeyKeepsWhatItHoldsAndAKeptEntryKeepsTheKeysAboveIt)
{
    // An uninstall entry found as a key by one category and through its values by another.
    const char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
    const CString key(kKey);
    const CString uninstallString = key + ITEM_VALUE_SEPARATOR + "UninstallString";
    const CString location = key + ITEM_VALUE_SEPARATOR + "InstallLocation";
    // A value whose name holds a backslash lies in its key, not below a key of that name.
    const CString oddValue = key + ITEM_VALUE_SEPARATOR + "Folder\\Sub";
    const CString subKey = key + "\\Parts";
    const CString neighbour = key + "2";
    struct Case {
        const char* how;
        CString kept;   // the entry the user left unticked, or put on the ignore list
        int keptCategory;
        CString item;   // another finding of the same scan
        int itemCategory;
        BOOL answer;
    };
    const Case cases[] = {
        {"key kept, its value", key, SCAN_UIE, uninstallString, SCAN_FPR, ITEM_NEXT_TO_KEPT},
        {"key kept, its subkey", key, SCAN_UIE, subKey, SCAN_ERK, ITEM_NEXT_TO_KEPT},
        {"key kept, its value under another text", key, SCAN_UIE,
         CString("HKEY_LOCAL_MACHINE\\Software\\microsoft\\windows\\currentversion\\uninstall\\app") +
             ITEM_VALUE_SEPARATOR + "InstallLocation",
         SCAN_FPR, ITEM_NEXT_TO_KEPT},
        {"key kept, a neighbour spelt alike", key, SCAN_UIE, neighbour, SCAN_UIE, FALSE},
        {"value kept, its key", location, SCAN_FPR, key, SCAN_UIE, ITEM_NEXT_TO_KEPT},
        {"subkey's value kept, the key above", subKey + ITEM_VALUE_SEPARATOR + "x", SCAN_FPR, key, SCAN_UIE,
         ITEM_NEXT_TO_KEPT},
        {"value kept, a value beside it", location, SCAN_FPR, uninstallString, SCAN_FPR, FALSE},
        {"value kept, a neighbour key", location, SCAN_FPR, neighbour, SCAN_UIE, FALSE},
        {"value named with a backslash kept, a key of that name", oddValue, SCAN_FPR, key + "\\Folder", SCAN_ERK,
         FALSE},
    };
    for (int viaIgnoreList = 0; viaIgnoreList < 2; ++viaIgnoreList) {
        for (const Case& test : cases) {
            const std::string label = std::string(test.how) + (viaIgnoreList ? " (ignore list)" : " (unticked)");
            ::DeleteFileA(IgnoreListPath().c_str());
            auto items = MakeItems();
            ASSERT_EQ(items->AddItem(test.kept, test.keptCategory, 0, 0), 1) << label;
            ASSERT_EQ(items->AddItem(test.item, test.itemCategory, 0, 0), 1) << label;
            if (viaIgnoreList)
                ASSERT_EQ(items->AddToIgnoreList(test.kept, "Kept", 0, 0), 1) << label;
            else
                items->SetIgnore(test.kept + "^Kept", 0, 0);
            ASSERT_TRUE(MoveTo(*items, test.item)) << label;
            EXPECT_EQ(items->IsCurrentItemIgnored(), test.answer) << label;
            ASSERT_TRUE(MoveTo(*items, test.kept)) << label;
            EXPECT_EQ(items->IsCurrentItemIgnored(), ITEM_KEPT) << label;
        }
    }
}

TEST_F(ScanItemsInfoTest, AnIgnoredKeyKeepsWhatItHoldsOutOfLaterScans)
{
    WriteIgnoreList("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tool.exe"
                    "^Application Paths^0;");
    auto items = MakeItems();
    const CString key("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TOOL.EXE");
    EXPECT_EQ(items->AddItem(key + ITEM_VALUE_SEPARATOR + "(Default)", SCAN_FPR, 0, 0), 0);
    EXPECT_EQ(items->AddItem(key + ITEM_VALUE_SEPARATOR + "Path", SCAN_FPR, 0, 0), 0);
    EXPECT_EQ(items->AddItem(key + "\\Sub", SCAN_ERK, 0, 0), 0);
    EXPECT_EQ(items->AddItem(key + "2" + ITEM_VALUE_SEPARATOR + "Path", SCAN_FPR, 0, 0), 1);
    EXPECT_EQ(items->CountCategory(SCAN_ERK), 0);
}
