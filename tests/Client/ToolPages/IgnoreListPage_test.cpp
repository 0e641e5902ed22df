// The ignore-list page over the found-item container's real file: the rows it shows, removal of
// the selected entry only (its category included), a list of thousands of entries with a text too
// long for its column, and its tabs back to the settings.
#include "PagesFixture.h"

#include <cstdio>

#include "IgnoreListFile.h"
#include "ToolPagesHelpers.h"
#include "resource.h"

TEST_F(PagesTest, TheIgnoreListShowsEachEntryAndRemovesOnlyTheSelectedOne)
{
    CQuillonApp& app = TestApp();
    // Entries as Ignore Selected stores them: one key ignored under two categories, and a
    // shortcut whose name holds the "^" that ends an item in the file.
    const std::string shortcut = "C:\\Users\\Public\\Desktop\\Notes ^ Ideas.lnk";
    const std::string association = "HKEY_CLASSES_ROOT\\.oldnotes";
    const std::string server = "HKEY_CLASSES_ROOT\\CLSID\\{6F2E0D5A-41C8-4B5D-9D10-2B7C3E8A9F01}\\InprocServer32";
    const std::string startup = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\xAC" "OldUpdater";
    const std::string font = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\xAC"
                             "Old Sans (TrueType)";
    const std::vector<std::vector<std::string>> shown = {
        { shortcut, "Program Shortcuts" },
        { association, "File Associations" },
        { server, "ActiveX Objects" },
        { server, "Invalid Typelib" },
        { startup, "Windows Startup Items" },
        { font, "Windows Fonts" },
    };
    std::map<CString, int> entries;
    for (const auto& row : shown)
        entries.insert({ CString((row[0] + "^" + row[1]).c_str()), 0 });
    ASSERT_TRUE(app.m_pItems->SaveIgnoreList(&entries));
    CAdvanceSettingsDlg& page = m_main->m_ignoreListPage;
    HWND list = ::GetDlgItem(page.m_hWnd, IDC_IGNORE_LIST);

    m_main->ShowPage(PAGE_IGNORE_LIST);
    EXPECT_EQ(shown, ListRows(list));
    EXPECT_EQ("Registry Key", [&] {
        char title[64] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = sizeof(title);
        ListView_GetColumn(list, 0, &column);
        return std::string(title);
    }());
    SaveScreenshot("ignore-list");

    ExpectButtonsNeedASelection(page, IDC_IGNORE_LIST, { IDC_IGNORE_REMOVE });

    // The entry of the selected row, and only that one, though another shares its text.
    SelectRow(list, 3);
    Click(page, IDC_IGNORE_REMOVE);
    EXPECT_EQ(5, ListView_GetItemCount(list));
    std::map<CString, int> stored;
    ASSERT_TRUE(app.m_pItems->LoadIgnoreListForDisplay());
    app.m_pItems->GetIgnoreList(&stored);
    EXPECT_EQ(0u, stored.count((server + "^Invalid Typelib").c_str()));
    EXPECT_EQ(1u, stored.count((server + "^ActiveX Objects").c_str()));
    EXPECT_EQ(5u, stored.size());
    // Still ignored by its other entry.
    EXPECT_EQ(0, app.m_pItems->AddItem(server.c_str(), SCAN_ITL, 0, 0));

    // An item text holding "^" is removed by its whole key.
    SelectRow(list, FindRow(list, 0, shortcut));
    Click(page, IDC_IGNORE_REMOVE);
    ASSERT_TRUE(app.m_pItems->LoadIgnoreListForDisplay());
    app.m_pItems->GetIgnoreList(&stored);
    EXPECT_EQ(4u, stored.size());
    EXPECT_EQ(0u, stored.count((shortcut + "^Program Shortcuts").c_str()));
    EXPECT_EQ(1, app.m_pItems->AddItem(shortcut.c_str(), SCAN_SRC, 0, 0));

    m_main->ShowPage(PAGE_IGNORE_LIST);
    const std::vector<std::vector<std::string>> left = { shown[1], shown[2], shown[4], shown[5] };
    EXPECT_EQ(left, ListRows(list));
}

namespace {

// What the page puts in the tip of a row, as the list asks for it when the mouse rests there.
std::string TipOf(CAdvanceSettingsDlg& page, HWND list, int row)
{
    char text[1024] = {};
    NMLVGETINFOTIPA tip = {};
    tip.hdr.hwndFrom = list;
    tip.hdr.idFrom = IDC_IGNORE_LIST;
    tip.hdr.code = LVN_GETINFOTIPA;
    tip.pszText = text;
    tip.cchTextMax = sizeof(text);
    tip.iItem = row;
    ::SendMessageA(page.m_hWnd, WM_NOTIFY, IDC_IGNORE_LIST, reinterpret_cast<LPARAM>(&tip));
    return text;
}

} // namespace

TEST_F(PagesTest, AnIgnoreListOfThousandsShowsEveryEntryAndRemovesExactlyTheSelectedOne)
{
    CQuillonApp& app = TestApp();
    const std::string longItem = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000000-1111-2222-3333-444444444444}"
                                 "\\InprocServer32\xAC" "AValueNameThatOnlyATipShowsWhole";
    std::map<CString, int> entries;
    for (int i = 0; i < 3000; ++i) {
        char key[96];
        std::snprintf(key, sizeof(key), "HKEY_CURRENT_USER\\Software\\Entry %04d^Windows Fonts", i);
        entries.insert({ key, 0 });
    }
    entries.insert({ CString((longItem + "^File Associations").c_str()), 0 });
    ASSERT_TRUE(app.m_pItems->SaveIgnoreList(&entries));
    CAdvanceSettingsDlg& page = m_main->m_ignoreListPage;
    HWND list = ::GetDlgItem(page.m_hWnd, IDC_IGNORE_LIST);

    m_main->ShowPage(PAGE_IGNORE_LIST);
    const std::vector<std::vector<std::string>> rows = ListRows(list);
    ASSERT_EQ(entries.size(), rows.size());
    size_t row = 0;
    for (const auto& entry : entries) {
        CString item, category;
        SplitIgnoreKey(entry.first, &item, &category);
        EXPECT_EQ((std::vector<std::string>{ item.GetString(), category.GetString() }), rows[row]) << row;
        ++row;
    }

    // The long item is cut in its column and whole in its row's tip; a short one needs no tip.
    const int longRow = FindRow(list, 0, longItem);
    ASSERT_GE(longRow, 0);
    EXPECT_GT(ListView_GetStringWidth(list, longItem.c_str()), ListView_GetColumnWidth(list, 0));
    EXPECT_EQ(longItem, TipOf(page, list, longRow));
    EXPECT_EQ("", TipOf(page, list, 0));
    ListView_EnsureVisible(list, longRow, FALSE);
    SaveScreenshot("ignore-list-long-item");

    SelectRow(list, 1234);
    const std::string removed = CellText(list, 1234, 0);
    Click(page, IDC_IGNORE_REMOVE);
    EXPECT_EQ(static_cast<int>(entries.size()) - 1, ListView_GetItemCount(list));
    EXPECT_EQ(-1, ListView_GetNextItem(list, -1, LVNI_SELECTED));
    EXPECT_EQ(CellText(list, 1234, 0), "HKEY_CURRENT_USER\\Software\\Entry 1235");
    std::map<CString, int> stored;
    ASSERT_TRUE(app.m_pItems->LoadIgnoreListForDisplay());
    app.m_pItems->GetIgnoreList(&stored);
    entries.erase(CString((removed + "^Windows Fonts").c_str()));
    EXPECT_EQ(entries, stored);
}

TEST_F(PagesTest, TheIgnoreListsTabsLeadToTheSettingsViews)
{
    CAdvanceSettingsDlg& page = m_main->m_ignoreListPage;
    m_main->ShowPage(PAGE_SETTINGS);
    Click(m_main->m_settingsPage, IDC_SETTINGS_TAB_IGNORE);
    EXPECT_TRUE(::IsWindowVisible(page.m_hWnd));
    EXPECT_FALSE(IsEnabled(page, IDC_IGNORE_TAB_IGNORE));
    EXPECT_FALSE(IsShown(page, IDC_IGNORE_TAB_SCAN));

    Click(page, IDC_IGNORE_TAB_SCHEDULE);
    EXPECT_TRUE(::IsWindowVisible(m_main->m_settingsPage.m_hWnd));
    EXPECT_FALSE(::IsWindowVisible(page.m_hWnd));
    EXPECT_EQ(CSettingDlg::VIEW_SCHEDULE, m_main->m_settingsPage.GetView());

    m_main->ShowPage(PAGE_IGNORE_LIST);
    Click(page, IDC_IGNORE_TAB_GENERAL);
    EXPECT_EQ(CSettingDlg::VIEW_GENERAL, m_main->m_settingsPage.GetView());
}
