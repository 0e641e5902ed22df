// The startup manager page in its window over a sandboxed registry and temporary Startup
// folders: its rows and columns, the button that fits the selected row, everything disabled and
// enabled again exactly, and removal of the selected row.
#include "PagesFixture.h"

#include "StartupFixture.h"
#include "ToolPagesHelpers.h"
#include "resource.h"

namespace {

class StartupPageTest : public PagesTest
{
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kRegStoreKey));
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, kFolderStoreKey));
        m_folders.user = m_folder->MakeFolder("Startup").c_str();
        m_folders.common = m_folder->MakeFolder("Common Startup").c_str();
        m_folders.backup = (m_folder->PathOf("pss") + "\\").c_str();
        Page().GetManager().SetFolders(m_folders);
    }
    CMonitorDlg& Page() { return m_main->m_startupPage; }
    HWND List() { return ::GetDlgItem(Page().m_hWnd, IDC_STARTUP_LIST); }
    RegistrySnapshot RegistryNow()
    {
        RegistrySnapshot all;
        for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
            RegistrySnapshot part;
            TakeSnapshot(root, L"Software\\Microsoft", &part);
            for (const auto& key : part)
                all[(root == HKEY_CURRENT_USER ? L"HKCU" : L"HKLM") + key.first] = key.second;
        }
        return all;
    }

    STARTUP_FOLDERS m_folders;
};

} // namespace

TEST_F(StartupPageTest, ListsEveryEntryAndTurnsThemOffAndOnAgainExactly)
{
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Tray", "C:\\Tools\\Tray.exe /min"));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "Agent", "%ProgramFiles%\\Agent\\agent.exe", REG_EXPAND_SZ));
    ASSERT_TRUE(WriteRegBinary(HKEY_LOCAL_MACHINE, kRunKey, "Pair", "C:\\a.exe\0C:\\b.exe\0\0", 19, REG_MULTI_SZ));
    ASSERT_TRUE(WriteRegString(HKEY_LOCAL_MACHINE, kRunKey, "Tray", "C:\\Tools\\Tray.exe /all"));
    ASSERT_TRUE(CreateShortcut(m_folders.user.GetString() + std::string("\\Tool.lnk"), "C:\\windows\\notepad.exe"));
    const RegistrySnapshot registryBefore = RegistryNow();
    const auto filesBefore = FolderContents(m_folder->Path());

    m_main->ShowPage(PAGE_STARTUP);
    const std::vector<std::vector<std::string>> shown = {
        { "Tray", "C:\\Tools\\Tray.exe /min", "HKCU", "Enabled" },
        { "Agent", "%ProgramFiles%\\Agent\\agent.exe", "HKLM", "Enabled" },
        { "Pair", "C:\\a.exe", "HKLM", "Enabled" },
        { "Pair", "C:\\b.exe", "HKLM", "Enabled" },
        { "Tray", "C:\\Tools\\Tray.exe /all", "HKLM", "Enabled" },
        { "Tool", "C:\\windows\\notepad.exe", "Startup", "Enabled" },
    };
    EXPECT_EQ(shown, ListRows(List()));
    EXPECT_EQ("Program Name", [&] {
        char title[64] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = sizeof(title);
        ListView_GetColumn(List(), 0, &column);
        return std::string(title);
    }());
    SaveScreenshot("startup-page");

    // One string of the list: the other stays where it was.
    SelectRow(List(), 3);
    EXPECT_TRUE(IsShown(Page(), IDC_STARTUP_DISABLE_SELECTED));
    EXPECT_FALSE(IsShown(Page(), IDC_STARTUP_ENABLE_SELECTED));
    Click(Page(), IDC_STARTUP_DISABLE_SELECTED);
    const int disabled = FindRow(List(), 1, "C:\\b.exe");
    ASSERT_GE(disabled, 0);
    EXPECT_EQ("Disabled", CellText(List(), disabled, 3));
    EXPECT_GE(FindRow(List(), 1, "C:\\a.exe"), 0);
    SelectRow(List(), disabled);
    EXPECT_TRUE(IsShown(Page(), IDC_STARTUP_ENABLE_SELECTED));
    EXPECT_FALSE(IsShown(Page(), IDC_STARTUP_DISABLE_SELECTED));
    Click(Page(), IDC_STARTUP_ENABLE_SELECTED);
    EXPECT_EQ("", CompareSnapshots(registryBefore, RegistryNow()));

    Click(Page(), IDC_STARTUP_DISABLE_ALL);
    for (const std::vector<std::string>& row : ListRows(List()))
        EXPECT_EQ("Disabled", row[3]) << row[0];
    EXPECT_EQ(6, ListView_GetItemCount(List()));
    EXPECT_FALSE(FileExists(m_folders.user.GetString() + std::string("\\Tool.lnk")));
    SaveScreenshot("startup-page-disabled");

    Click(Page(), IDC_STARTUP_ENABLE_ALL);
    for (const std::vector<std::string>& row : ListRows(List()))
        EXPECT_EQ("Enabled", row[3]) << row[0];
    EXPECT_EQ("", CompareSnapshots(registryBefore, RegistryNow()));
    EXPECT_EQ(filesBefore, FolderContents(m_folder->Path()));

    // Removed: the selected row only.
    SelectRow(List(), FindRow(List(), 1, "C:\\Tools\\Tray.exe /all"));
    Click(Page(), IDC_STARTUP_REMOVE_SELECTED);
    EXPECT_EQ(5, ListView_GetItemCount(List()));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Tray"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRunKey, "Tray"));
    ExpectButtonsNeedASelection(Page(), IDC_STARTUP_LIST, { IDC_STARTUP_REMOVE_SELECTED, IDC_STARTUP_DISABLE_SELECTED });
}

TEST_F(StartupPageTest, NothingToStartShowsTheColumnsAndNoRow)
{
    m_main->ShowPage(PAGE_STARTUP);
    EXPECT_EQ(0, ListView_GetItemCount(List()));
    EXPECT_EQ(4, Header_GetItemCount(ListView_GetHeader(List())));
}
