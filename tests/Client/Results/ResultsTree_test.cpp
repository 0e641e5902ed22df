// The results tree: ticks between entries and categories, the selection label, the description
// of the selected row, one entry under several texts and categories, long entry texts, ignoring,
// and a tree of tens of thousands of entries.
#include "ResultsFixture.h"

#include <algorithm>

#include "ResultCategories.h"
#include "ScanItemsInfo.h"
#include "resource.h"

namespace {

std::string AxoKey(int i)
{
    return "HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{Entry" + std::to_string(i) + "}";
}

// The items of the container that the repair would pass over.
std::vector<std::string> ExcludedItems(CAbstractScanItemsInfo* items)
{
    std::vector<std::string> excluded;
    for (BOOL more = items->MoveFirst(); more; more = items->MoveNext()) {
        if (items->IsCurrentItemIgnored())
            excluded.push_back(items->GetCurrentItem());
    }
    return excluded;
}

} // namespace

TEST_F(ResultsTest, TicksPassBetweenEntriesAndTheirCategory)
{
    std::vector<std::pair<DWORD, std::string>> findings;
    for (int i = 0; i < 5; ++i)
        findings.push_back({ SCAN_AXO, AxoKey(i) });
    findings.push_back({ SCAN_FNT, "HKEY_LOCAL_MACHINE\\Fonts\xAC" "Gone (TrueType)" });
    ShowResults(findings);
    CScanResultDlg& results = Results();
    CCheckedTreeCtrl& tree = Tree();
    const HTREEITEM activeX = CategoryRow("ActiveX Objects");
    const HTREEITEM fonts = CategoryRow("Windows Fonts");
    ASSERT_TRUE(activeX && fonts);
    EXPECT_EQ("6 Errors Found", Text(results, IDC_RESULTS_FOUND));
    EXPECT_EQ("6 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    EXPECT_EQ(CString("ActiveX Objects        [5 Error(s)]"), tree.GetItemText(activeX));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, tree.GetTickState(activeX));

    // Two entries unticked, one by the mouse, one by the space key: the category is partly ticked.
    ClickTick(EntryRow(AxoKey(1)));
    PressSpace(EntryRow(AxoKey(3)));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_OFF, tree.GetTickState(EntryRow(AxoKey(1))));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_PARTLY, tree.GetTickState(activeX));
    EXPECT_EQ(3u, tree.GetItemData(activeX));
    EXPECT_EQ("4 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    SaveScreenshot("results-tree-partly-ticked");

    // The partly ticked category, clicked, ticks all its entries: the label counts the two.
    ClickTick(activeX);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, tree.GetTickState(activeX));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, tree.GetTickState(EntryRow(AxoKey(3))));
    EXPECT_EQ("6 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    // Clicked again, it unticks all five.
    ClickTick(activeX);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_OFF, tree.GetTickState(activeX));
    EXPECT_EQ(0u, tree.GetItemData(activeX));
    EXPECT_EQ("1 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    // One entry back, then off again: the last ticked entry of a category unticks it.
    PressSpace(EntryRow(AxoKey(4)));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_PARTLY, tree.GetTickState(activeX));
    PressSpace(EntryRow(AxoKey(4)));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_OFF, tree.GetTickState(activeX));

    // The only entry of a category moves its category's tick and the label alike, both ways.
    const HTREEITEM font = tree.GetChildItem(fonts);
    ClickTick(font);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_OFF, tree.GetTickState(fonts));
    EXPECT_EQ("0 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    ClickTick(fonts);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, tree.GetTickState(font));
    EXPECT_EQ("1 of 6 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    EXPECT_EQ(tree.GetTickedEntries(), results.m_nSelectedErrors);
}

// The text without the line breaks the description area put in.
std::string Unbroken(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
    return text;
}

TEST_F(ResultsTest, TheSelectedRowShowsItsDescriptionOrItsWholeText)
{
    // An entry far wider than the tree, found by a second category too, without a space in its
    // path; and one as short as can be.
    const std::string wide = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0D43FE01-F093-11CF-8940-00A0C9054228}"
                             "\\InprocServer32\xAC" "C:\\Program Files\\Common Files\\SharedToolsVendor\\"
                             "ScriptingComponentsLibrary\\scrrun.dll";
    ShowResults({ { SCAN_AXO, AxoKey(0) }, { SCAN_SUI, "HKEY_CURRENT_USER\\Run\xAC" "Gone" }, { SCAN_AXO, wide },
                  { SCAN_FPR, wide }, { SCAN_ERK, "HKEY_CURRENT_USER\\Software\\Empty" } });
    CScanResultDlg& results = Results();
    CLabel& description = *dynamic_cast<CLabel*>(CWnd::FromHandlePermanent(::GetDlgItem(results, IDC_RESULTS_DESCRIPTION)));
    // The first row is selected when the page fills.
    EXPECT_EQ(static_cast<const char*>(CleanDescription(LoadCategoryDescription(0))),
              Text(results, IDC_RESULTS_DESCRIPTION));
    EXPECT_EQ("Description", Text(results, IDC_RESULTS_DESCRIPTION_HEADING));
    // A click on an entry's text changes no tick and shows the entry whole, with the other
    // category that found it, in lines that fit: nothing is cut.
    ClickText(EntryRow(wide));
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, Tree().GetTickState(EntryRow(wide)));
    EXPECT_EQ("Selected entry", Text(results, IDC_RESULTS_DESCRIPTION_HEADING));
    EXPECT_EQ(wide + "    (also found by File Path Refferences)", Unbroken(Text(results, IDC_RESULTS_DESCRIPTION)));
    EXPECT_FALSE(description.IsTextCut()) << Text(results, IDC_RESULTS_DESCRIPTION);
    EXPECT_NE(std::string::npos, Text(results, IDC_RESULTS_DESCRIPTION).find("\\\r\n"))
        << "the lines end after a backslash";
    SaveScreenshot("results-selected-entry");
    ClickText(EntryRow("HKEY_CURRENT_USER\\Run\xAC" "Gone"));
    EXPECT_EQ("HKEY_CURRENT_USER\\Run\xAC" "Gone", Text(results, IDC_RESULTS_DESCRIPTION));
    // A category shows its description, without the "Description :" the string table holds.
    ClickText(CategoryRow("Windows Startup Items"));
    const std::string startup = Text(results, IDC_RESULTS_DESCRIPTION);
    EXPECT_EQ(0u, startup.find("Errors in this sections refer")) << startup;
    EXPECT_EQ("Description", Text(results, IDC_RESULTS_DESCRIPTION_HEADING));
    ClickText(CategoryRow("Empty Registry Keys"));
    EXPECT_EQ("Empty Registry Keys", Text(results, IDC_RESULTS_DESCRIPTION));
    EXPECT_EQ("4 of 4 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));

    // The other view: the junk boxes instead of the tree; a box unticked skips its kind.
    CAbstractScanItemsInfo* items = TestApp().m_pItems;
    Click(results, IDC_RESULTS_OTHER_VIEW);
    EXPECT_FALSE(Tree().IsWindowVisible());
    EXPECT_TRUE(IsShown(results, IDC_RESULTS_RECYCLE_BOX));
    EXPECT_FALSE(IsEnabled(results, IDC_RESULTS_OTHER_VIEW));
    EXPECT_TRUE(IsEnabled(results, IDC_RESULTS_REGISTRY_VIEW));
    EXPECT_FALSE(items->GetIgnoreRecycleBin());
    Click(results, IDC_RESULTS_RECYCLE_BOX);
    EXPECT_TRUE(items->GetIgnoreRecycleBin());
    EXPECT_FALSE(items->GetIgnoreTempFiles());
    SaveScreenshot("results-other-errors");
    Click(results, IDC_RESULTS_RECYCLE_BOX);
    EXPECT_FALSE(items->GetIgnoreRecycleBin());
    Click(results, IDC_RESULTS_REGISTRY_VIEW);
    EXPECT_TRUE(Tree().IsWindowVisible());
    EXPECT_FALSE(IsShown(results, IDC_RESULTS_TEMP_BOX));
}

TEST_F(ResultsTest, WhatIsNotTickedReachesTheContainerUnderEveryTextOfItsEntry)
{
    // Texts longer than the 260 characters a tree row is usually read back with, and one key
    // found twice in different letter case, once more by another category.
    const std::string longBase = "HKEY_CURRENT_USER\\Software\\" + std::string(120, 'L') + "\\" + std::string(120, 'M');
    const std::string longKept = longBase + "\\Kept";
    const std::string longRepaired = longBase + "\\Repaired";
    const std::string mixed = "HKEY_CURRENT_USER\\Software\\Fixture\\MixedCase";
    const std::string upper = "HKEY_CURRENT_USER\\SOFTWARE\\FIXTURE\\MIXEDCASE";
    const std::string ignored = "HKEY_CURRENT_USER\\Software\\Fixture\\Caret^In^Name";
    ShowResults({ { SCAN_AXO, longKept }, { SCAN_AXO, longRepaired }, { SCAN_AXO, mixed }, { SCAN_AXO, upper },
                  { SCAN_AXO, ignored }, { SCAN_FAS, mixed } });
    CScanItemsInfo* items = TestApp().m_pItems;
    // One row stands for every text of the entry, in whichever category: the first category's
    // row, which says who else found it.
    EXPECT_EQ(4, Tree().GetCategoryCount("ActiveX Objects"));
    EXPECT_EQ(nullptr, CategoryRow("File Associations"));
    EXPECT_EQ(CString(mixed.c_str()) + "    (also found by File Associations)", Tree().GetItemText(EntryRow(mixed)));
    EXPECT_EQ("4 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("4 of 4 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    PressSpace(EntryRow(longKept));
    PressSpace(EntryRow(mixed));
    Tree().SelectItem(EntryRow(ignored));
    Click(Results(), IDC_RESULTS_IGNORE);
    EXPECT_EQ(nullptr, EntryRow(ignored));
    // The labels follow what the tree holds.
    EXPECT_EQ("3 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
    EXPECT_EQ("1 of 3 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    items->ClearRepairExclusions();
    Tree().ExcludeUncheckedEntries(items);
    EXPECT_EQ(2, Tree().GetExcludedCount());
    std::vector<std::string> excluded = ExcludedItems(items);
    std::sort(excluded.begin(), excluded.end());
    // The entry unticked under ActiveX Objects is left alone under File Associations too: a
    // repair never deletes what was unticked anywhere.
    std::vector<std::string> expected = { longKept, mixed, mixed, upper, ignored };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, excluded);
    // The ignore list holds the entry whole, '^' and all.
    std::map<CString, int> list;
    items->LoadIgnoreListForDisplay();
    items->GetIgnoreList(&list);
    EXPECT_EQ(1u, list.count(CString(ignored.c_str()) + "^ActiveX Objects"));
}

TEST_F(ResultsTest, IgnoringTheOnlyUntickedEntryTicksItsCategoryAgain)
{
    ShowResults({ { SCAN_AXO, AxoKey(0) }, { SCAN_AXO, AxoKey(1) }, { SCAN_AXO, AxoKey(2) } });
    const HTREEITEM activeX = CategoryRow("ActiveX Objects");
    ClickTick(EntryRow(AxoKey(1)));
    ASSERT_EQ(CCheckedTreeCtrl::TICK_PARTLY, Tree().GetTickState(activeX));
    Tree().SelectItem(EntryRow(AxoKey(1)));
    Click(Results(), IDC_RESULTS_IGNORE);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_ON, Tree().GetTickState(activeX));
    EXPECT_EQ(2u, Tree().GetItemData(activeX));
    EXPECT_EQ("2 of 2 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    // An ignore list that cannot be written: the user is told, the row stays where it was.
    HANDLE reader = ::CreateFileA((m_folder->Path() + "\\IgnoreList.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    Tree().SelectItem(EntryRow(AxoKey(2)));
    Click(Results(), IDC_RESULTS_IGNORE);
    ::CloseHandle(reader);
    EXPECT_NE(nullptr, EntryRow(AxoKey(2)));
    ASSERT_EQ(1u, CMessageBoxRecorder::Texts().size());
    EXPECT_EQ(0u, CMessageBoxRecorder::Texts()[0].find("The entry could not be put on the ignore list"));
    EXPECT_EQ("2 Errors Found", Text(Results(), IDC_RESULTS_FOUND));
}

TEST_F(ResultsTest, ATreeOfTensOfThousandsOfEntries)
{
    const int count = 30000;
    std::vector<std::pair<DWORD, std::string>> findings;
    for (int i = 0; i < count; ++i)
        findings.push_back({ SCAN_AXO, AxoKey(i) });
    findings.push_back({ SCAN_SHD, "HKEY_LOCAL_MACHINE\\SharedDLLs\xAC" "C:\\gone.dll" });
    ShowResults(findings);
    EXPECT_EQ(count + 1, Tree().GetTotalEntries());
    EXPECT_EQ(static_cast<UINT>(count + 3), Tree().GetCount());
    EXPECT_EQ("30001 Errors Found", Text(Results(), IDC_RESULTS_FOUND));

    const HTREEITEM activeX = CategoryRow("ActiveX Objects");
    ClickTick(activeX);
    EXPECT_EQ("1 of 30001 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));
    PressSpace(EntryRow(AxoKey(count - 1)));
    EXPECT_EQ("2 of 30001 Errors Selected for Repair", Text(Results(), IDC_RESULTS_SELECTED));

    CScanItemsInfo* items = TestApp().m_pItems;
    EXPECT_EQ(count - 1, Tree().ExcludeUncheckedEntries(items));
    const std::vector<std::string> excluded = ExcludedItems(items);
    EXPECT_EQ(static_cast<size_t>(count - 1), excluded.size());
    EXPECT_EQ(excluded.end(), std::find(excluded.begin(), excluded.end(), AxoKey(count - 1)));
}
