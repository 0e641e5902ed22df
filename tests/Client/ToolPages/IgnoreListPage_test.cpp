// The ignore-list page over the found-item container's real file: the rows it shows, removal of
// the selected entry only (its category included), and its tabs back to the settings.
#include "PagesFixture.h"

#include "IgnoreListFile.h"
#include "ToolPagesHelpers.h"
#include "resource.h"

TEST_F(PagesTest, TheIgnoreListShowsEachEntryAndRemovesOnlyTheSelectedOne)
{
    CQuillonApp& app = TestApp();
    const std::map<CString, int> entries = {
        { "B^Windows Fonts", 0 },
        { "A^File Associations", 0 },
        { "Same^Windows Fonts", 0 },
        { "Same^File Associations", 0 },
        { "odd^name.lnk^Program Shortcuts", 0 },
    };
    ASSERT_TRUE(app.m_pItems->SaveIgnoreList(&entries));
    CAdvanceSettingsDlg& page = m_main->m_ignoreListPage;
    HWND list = ::GetDlgItem(page.m_hWnd, IDC_IGNORE_LIST);

    m_main->ShowPage(PAGE_IGNORE_LIST);
    const std::vector<std::vector<std::string>> shown = {
        { "A", "File Associations" },
        { "B", "Windows Fonts" },
        { "Same", "File Associations" },
        { "Same", "Windows Fonts" },
        { "odd^name.lnk", "Program Shortcuts" },
    };
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
    EXPECT_EQ(4, ListView_GetItemCount(list));
    std::map<CString, int> stored;
    ASSERT_TRUE(app.m_pItems->LoadIgnoreListForDisplay());
    app.m_pItems->GetIgnoreList(&stored);
    EXPECT_EQ(0u, stored.count("Same^Windows Fonts"));
    EXPECT_EQ(1u, stored.count("Same^File Associations"));
    EXPECT_EQ(4u, stored.size());
    // Still ignored by its other entry.
    EXPECT_EQ(0, app.m_pItems->AddItem("Same", SCAN_FAS, 0, 0));

    // An item text holding "^" is removed by its whole key.
    SelectRow(list, FindRow(list, 0, "odd^name.lnk"));
    Click(page, IDC_IGNORE_REMOVE);
    ASSERT_TRUE(app.m_pItems->LoadIgnoreListForDisplay());
    app.m_pItems->GetIgnoreList(&stored);
    EXPECT_EQ(3u, stored.size());
    EXPECT_EQ(0u, stored.count("odd^name.lnk^Program Shortcuts"));
    EXPECT_EQ(1, app.m_pItems->AddItem("odd^name.lnk", SCAN_SRC, 0, 0));

    m_main->ShowPage(PAGE_IGNORE_LIST);
    const std::vector<std::vector<std::string>> left = {
        { "A", "File Associations" }, { "B", "Windows Fonts" }, { "Same", "File Associations" } };
    EXPECT_EQ(left, ListRows(list));
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
