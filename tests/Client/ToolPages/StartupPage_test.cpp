// The startup manager page in its window over a sandboxed registry and temporary Startup
// folders: its rows and columns (every header and fixed text whole), the selected row's name and
// command whole under the list, the button that fits the selection or the list, everything
// disabled and enabled again exactly, removal of the selected row by its real name, and what the
// user is told when an action cannot be done.
#include "PagesFixture.h"

#include <algorithm>

#include "RealInput.h"
#include "RegistryValues.h"
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
        m_folders = StartupFoldersIn(*m_folder);
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
    std::map<std::wstring, std::string> FilesNow() { return FolderContents(Wide(m_folder->Path())); }
    bool ShowsEnable() { return IsShown(Page(), IDC_STARTUP_ENABLE_SELECTED) && !IsShown(Page(), IDC_STARTUP_DISABLE_SELECTED); }
    bool ShowsDisable() { return IsShown(Page(), IDC_STARTUP_DISABLE_SELECTED) && !IsShown(Page(), IDC_STARTUP_ENABLE_SELECTED); }

    // Every title is drawn whole: its text between the header's two margins, inside the item's
    // edge; the location and status columns are as wide as the list itself finds their texts
    // need; and the columns together fit the list.
    void ExpectTextsFit()
    {
        const HWND header = ListView_GetHeader(List());
        const int margin = static_cast<int>(::SendMessageA(header, HDM_GETBITMAPMARGIN, 0, 0));
        const HDC dc = ::GetDC(header);
        const HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(header, WM_GETFONT, 0, 0)));
        for (int column = 0; column < Header_GetItemCount(header); ++column) {
            char title[64] = {};
            HDITEMA item = {};
            item.mask = HDI_TEXT;
            item.pszText = title;
            item.cchTextMax = sizeof(title);
            Header_GetItem(header, column, &item);
            SIZE text = {};
            ::GetTextExtentPoint32A(dc, title, lstrlenA(title), &text);
            RECT rect = {};
            Header_GetItemRect(header, column, &rect);
            EXPECT_GE(rect.right - rect.left, text.cx + 2 * margin + ::GetSystemMetrics(SM_CXEDGE)) << title;
        }
        ::SelectObject(dc, oldFont);
        ::ReleaseDC(header, dc);
        for (int column : { 2, 3 }) {
            const int width = ListView_GetColumnWidth(List(), column);
            ListView_SetColumnWidth(List(), column, LVSCW_AUTOSIZE);
            EXPECT_GE(width, ListView_GetColumnWidth(List(), column)) << column;
            ListView_SetColumnWidth(List(), column, width);
        }
        RECT client = {};
        ::GetClientRect(List(), &client);
        int total = 0;
        for (int column = 0; column < 4; ++column)
            total += ListView_GetColumnWidth(List(), column);
        EXPECT_LE(total, client.right);
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
    ASSERT_TRUE(CreateShortcut(m_folders.user + L"\\Tool.lnk", L"C:\\windows\\notepad.exe"));
    ASSERT_TRUE(CreateShortcut(m_folders.common + L"\\Shared.lnk", L"C:\\windows\\regedit.exe"));
    const RegistrySnapshot registryBefore = RegistryNow();
    const auto filesBefore = FilesNow();

    m_main->ShowPage(PAGE_STARTUP);
    const std::vector<std::vector<std::string>> shown = {
        { "Tray", "C:\\Tools\\Tray.exe /min", "HKCU", "Enabled" },
        { "Agent", "%ProgramFiles%\\Agent\\agent.exe", "HKLM", "Enabled" },
        { "Pair", "C:\\a.exe", "HKLM", "Enabled" },
        { "Pair", "C:\\b.exe", "HKLM", "Enabled" },
        { "Tray", "C:\\Tools\\Tray.exe /all", "HKLM", "Enabled" },
        { "Tool", "C:\\windows\\notepad.exe", "Startup", "Enabled" },
        { "Shared", "C:\\windows\\regedit.exe", "Common Startup", "Enabled" },
    };
    EXPECT_EQ(shown, ListRows(List()));
    ExpectTextsFit();
    EXPECT_TRUE(ShowsDisable());
    SaveScreenshot("startup-page");

    // One string of the list: the other stays where it was.
    SelectRow(List(), 3);
    EXPECT_TRUE(ShowsDisable());
    Click(Page(), IDC_STARTUP_DISABLE_SELECTED);
    const int disabled = FindRow(List(), 1, "C:\\b.exe");
    ASSERT_GE(disabled, 0);
    EXPECT_EQ("Disabled", CellText(List(), disabled, 3));
    EXPECT_GE(FindRow(List(), 1, "C:\\a.exe"), 0);
    SelectRow(List(), disabled);
    EXPECT_TRUE(ShowsEnable());
    Click(Page(), IDC_STARTUP_ENABLE_SELECTED);
    EXPECT_EQ("", CompareSnapshots(registryBefore, RegistryNow()));

    // With nothing left to disable, the button says what it can do.
    Click(Page(), IDC_STARTUP_DISABLE_ALL);
    for (const std::vector<std::string>& row : ListRows(List()))
        EXPECT_EQ("Disabled", row[3]) << row[0];
    EXPECT_EQ(7, ListView_GetItemCount(List()));
    EXPECT_FALSE(FileExistsW(m_folders.user + L"\\Tool.lnk"));
    EXPECT_TRUE(ShowsEnable());
    ExpectTextsFit();
    SaveScreenshot("startup-page-disabled");

    Click(Page(), IDC_STARTUP_ENABLE_ALL);
    for (const std::vector<std::string>& row : ListRows(List()))
        EXPECT_EQ("Enabled", row[3]) << row[0];
    EXPECT_TRUE(ShowsDisable());
    EXPECT_EQ("", CompareSnapshots(registryBefore, RegistryNow()));
    EXPECT_EQ(filesBefore, FilesNow());

    // Removed: the selected row only.
    SelectRow(List(), FindRow(List(), 1, "C:\\Tools\\Tray.exe /all"));
    Click(Page(), IDC_STARTUP_REMOVE_SELECTED);
    EXPECT_EQ(6, ListView_GetItemCount(List()));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kRunKey, "Tray"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kRunKey, "Tray"));
    ExpectButtonsNeedASelection(Page(), IDC_STARTUP_LIST, { IDC_STARTUP_REMOVE_SELECTED, IDC_STARTUP_DISABLE_SELECTED });
}

// Two rows whose names the list shows alike: the one selected is the value removed.
TEST_F(StartupPageTest, RemoveActsOnTheSelectedRowsOwnValue)
{
    const std::wstring foreign = L"\x041F\x03BB\x05E9\x0639\x0E01\x4E2D";
    const std::wstring literal = Wide(Narrow(foreign));
    const std::wstring run = Wide(kRunKey);
    const std::wstring q = L"C:\\q.exe";
    const std::wstring cyr = L"C:\\cyr.exe";
    ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, run.c_str(), literal.c_str(), REG_SZ, q.c_str(), 18));
    ASSERT_TRUE(WriteRegValueW(HKEY_CURRENT_USER, run.c_str(), foreign.c_str(), REG_SZ, cyr.c_str(), 22));
    m_main->ShowPage(PAGE_STARTUP);
    ASSERT_EQ(2, ListView_GetItemCount(List()));
    EXPECT_EQ(CellText(List(), 0, 0), CellText(List(), 1, 0));
    SelectRow(List(), FindRow(List(), 1, "C:\\cyr.exe"));
    Click(Page(), IDC_STARTUP_REMOVE_SELECTED);
    CRegKey64 key;
    ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, run.c_str(), KEY_READ));
    EXPECT_EQ(q, ReadRegText(key, literal.c_str()));
    REG_VALUE_DATA gone;
    EXPECT_FALSE(ReadRegValue(key, foreign.c_str(), &gone));
    EXPECT_EQ(1, ListView_GetItemCount(List()));
}

// Disabling a shortcut whose disabled copy is already kept: nothing moves, the earlier record
// still shows its own target, and the user is told why.
TEST_F(StartupPageTest, AShortcutThatCannotBeMovedIsToldAndLeftAsItWas)
{
    const std::wstring tool = m_folders.user + L"\\Tool.lnk";
    ASSERT_TRUE(CreateShortcut(tool, L"C:\\old\\tool.exe"));
    m_main->ShowPage(PAGE_STARTUP);
    SelectRow(List(), 0);
    Click(Page(), IDC_STARTUP_DISABLE_SELECTED);
    ASSERT_TRUE(CreateShortcut(tool, L"C:\\new\\tool.exe"));
    Page().RefreshList();
    const RegistrySnapshot registryBefore = RegistryNow();
    const auto filesBefore = FilesNow();

    const int fresh = FindRow(List(), 1, "C:\\new\\tool.exe");
    ASSERT_GE(fresh, 0);
    SelectRow(List(), fresh);
    Click(Page(), IDC_STARTUP_DISABLE_SELECTED);
    ASSERT_EQ(1u, CMessageBoxRecorder::Texts().size());
    EXPECT_EQ("\"Tool\" could not be disabled: a disabled copy of it is already kept. Enable or remove that entry first.",
              CMessageBoxRecorder::Texts()[0]);
    EXPECT_EQ("", CompareSnapshots(registryBefore, RegistryNow()));
    EXPECT_EQ(filesBefore, FilesNow());
    const std::vector<std::vector<std::string>> shown = {
        { "Tool", "C:\\new\\tool.exe", "Startup", "Enabled" },
        { "Tool", "C:\\old\\tool.exe", "Startup", "Disabled" },
    };
    EXPECT_EQ(shown, ListRows(List()));
}

TEST_F(StartupPageTest, TheSelectedRowShowsWholeUnderTheList)
{
    // A name and a command far wider than their columns, without a space in the command's path.
    const std::string name = "Updater of the Office Suite Components and Language Packs";
    const std::string command = "\"C:\\Program Files (x86)\\Common Files\\VendorSharedComponents\\"
                                "BackgroundIntelligentUpdater\\UpdaterServiceHostForAllUsers.exe\" /background /silent "
                                "/configuration=C:\\ProgramData\\Vendor\\Updater\\settings.xml";
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, name.c_str(), command.c_str()));
    ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRunKey, "Tray", "C:\\Tools\\Tray.exe /min"));
    m_main->ShowPage(PAGE_STARTUP);
    const int row = FindRow(List(), 0, name);
    ASSERT_GE(row, 0);
    RECT cell = {};
    ListView_GetSubItemRect(List(), row, 1, LVIR_LABEL, &cell);
    ASSERT_LT(cell.right - cell.left, ListView_GetStringWidth(List(), command.c_str())) << "the column cuts the command";
    EXPECT_EQ("", Text(Page(), IDC_STARTUP_SELECTED_ROW)) << "no row selected";

    // Chosen with the keys: the list shows the focus on its first row, Down moves to the row.
    ::SetForegroundWindow(m_main->m_hWnd);
    ::SetFocus(List());
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == List(); }, 5000));
    while (ListView_GetNextItem(List(), -1, LVNI_SELECTED) != row) {
        const int before = ListView_GetNextItem(List(), -1, LVNI_FOCUSED);
        ASSERT_TRUE(PressKey(before < row ? VK_DOWN : VK_UP));
        ASSERT_TRUE(PumpInputHandled());
        ASSERT_NE(before, ListView_GetNextItem(List(), -1, LVNI_FOCUSED));
    }
    std::string shown = Text(Page(), IDC_STARTUP_SELECTED_ROW);
    shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
    shown.erase(std::remove(shown.begin(), shown.end(), '\n'), shown.end());
    EXPECT_EQ(name + ": " + command, shown);
    CLabel& line = *dynamic_cast<CLabel*>(CWnd::FromHandlePermanent(::GetDlgItem(Page().m_hWnd, IDC_STARTUP_SELECTED_ROW)));
    EXPECT_FALSE(line.IsTextCut()) << Text(Page(), IDC_STARTUP_SELECTED_ROW);
    SaveScreenshot("startup-selected-row");

    // Another row, then none after the list is read again.
    ::SendMessageA(List(), LVM_ENSUREVISIBLE, 0, FALSE);
    ListView_SetItemState(List(), -1, 0, LVIS_SELECTED);
    SelectRow(List(), FindRow(List(), 0, "Tray"));
    EXPECT_EQ("Tray: C:\\Tools\\Tray.exe /min", Text(Page(), IDC_STARTUP_SELECTED_ROW));
    Page().RefreshList();
    EXPECT_EQ("", Text(Page(), IDC_STARTUP_SELECTED_ROW));
}

TEST_F(StartupPageTest, NothingToStartShowsTheColumnsAndNoRow)
{
    m_main->ShowPage(PAGE_STARTUP);
    EXPECT_EQ(0, ListView_GetItemCount(List()));
    EXPECT_EQ(4, Header_GetItemCount(ListView_GetHeader(List())));
}
