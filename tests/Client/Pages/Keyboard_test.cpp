// The wizard from the keyboard alone: keys sent to the system as the user types them, the focus
// on the new page at every page switch (its default button where it has one), and at every step
// a focused control that is shown, usable and marked as focused.
#include "PagesFixture.h"

#include <commctrl.h>

#include "RealInput.h"
#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

bool RunValueExists(const char* name)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRun, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool exists = ::RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return exists;
}

// The pixels of a tree's row as the screen shows them: the row the focus is on is drawn in the
// highlight colour while the tree has the focus.
bool RowShownInHighlight(HWND tree, HTREEITEM row)
{
    RECT rect = {};
    if (!TreeView_GetItemRect(tree, row, &rect, TRUE))
        return false;
    const CWindowPixels pixels = CaptureWindow(tree);
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    int highlighted = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            highlighted += pixels.At(x, y) == highlight;
    return highlighted > (rect.right - rect.left) * (rect.bottom - rect.top) / 3;
}

class KeyboardTest : public PagesTest
{
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        // The pointer rests outside the window, wherever earlier tests left it: a button under it
        // would be drawn in its hover picture.
        RECT window = {};
        ::GetWindowRect(m_main->m_hWnd, &window);
        ASSERT_TRUE(MovePointerTo({ window.right + 20, window.bottom + 20 }));
        ASSERT_TRUE(InFront());
    }

    // Keys go to the foreground window: a window another program shows on the display meanwhile
    // must not take them.
    bool InFront()
    {
        if (::GetForegroundWindow() != m_main->m_hWnd)
            ::SetForegroundWindow(m_main->m_hWnd);
        return PumpUntil([this] { return ::GetForegroundWindow() == m_main->m_hWnd; }, 10000);
    }

    void Press(WORD key, bool shift = false)
    {
        ASSERT_TRUE(InFront());
        ASSERT_TRUE(PressKey(key, shift));
        ASSERT_TRUE(PumpInputHandled());
    }

    // The control with the focus is `expected`, it can be seen and used, and it shows the focus:
    // a dotted frame on a button or check box, the selected row in the highlight colour on the
    // tree.
    testing::AssertionResult FocusShownOn(HWND expected, const char* step)
    {
        HWND focus = ::GetFocus();
        // No focus at all: a window another program showed on the display took the activation,
        // and the focus comes back with it.
        if (!focus && InFront())
            focus = ::GetFocus();
        if (focus != expected)
            return testing::AssertionFailure() << step << ": the focus is on control " << ::GetDlgCtrlID(focus)
                                               << ", not on " << ::GetDlgCtrlID(expected);
        if (!::IsWindowVisible(focus) || !::IsWindowEnabled(focus))
            return testing::AssertionFailure() << step << ": the focused control is hidden or disabled";
        if (!WaitUntilDrawn(m_main->m_hWnd))
            return testing::AssertionFailure() << step << ": the window was not drawn";
        char className[32] = {};
        ::GetClassNameA(focus, className, sizeof(className));
        const bool tree = lstrcmpiA(className, WC_TREEVIEWA) == 0;
        // What the screen shows may trail the drawing a little on a loaded display; and a window
        // another program shows on the display meanwhile takes the activation, and with it the
        // marks, until the window is in front again.
        const auto shown = [&] {
            return tree ? RowShownInHighlight(focus, TreeView_GetSelection(focus)) : HasDottedLine(CaptureWindow(focus));
        };
        const bool marked = PumpUntil(shown, 5000) || (InFront() && ::GetFocus() == focus && PumpUntil(shown, 5000));
        if (!marked)
            return testing::AssertionFailure() << step << ": control " << ::GetDlgCtrlID(focus) << " shows no focus";
        return testing::AssertionSuccess();
    }

    // Presses Tab (or Shift+Tab) until the focus is on `target`, the focus shown at each stop.
    testing::AssertionResult TabTo(HWND target, bool backwards, const char* step)
    {
        for (int presses = 0; presses < 40 && ::GetFocus() != target; ++presses) {
            if (!InFront() || !PressKey(VK_TAB, backwards) || !PumpInputHandled())
                return testing::AssertionFailure() << step << ": the keys were not handled";
            const HWND focus = ::GetFocus();
            testing::AssertionResult shown = FocusShownOn(focus, step);
            if (!shown)
                return shown;
        }
        return FocusShownOn(target, step);
    }

    HWND Control(CWnd& page, int id) { return ::GetDlgItem(page.m_hWnd, id); }
};

} // namespace

TEST_F(KeyboardTest, EveryPageSwitchPutsTheKeysOnTheNewPage)
{
    // Each button pressed with Enter; the focus never stays on the page that went.
    CSettingDlg& settings = m_main->m_settingsPage;
    struct
    {
        CWnd* owner;
        int button;
        CWnd* page;  // null: the main window's own first control
        int focused;
    } const switches[] = {
        { m_main, IDC_NAV_STARTUP, &m_main->m_startupPage, IDC_STARTUP_LIST },
        { m_main, IDC_NAV_DEFRAG, &m_main->m_defragPage, IDC_DEFRAG_ANALYSE },
        { m_main, IDC_NAV_BACKUP, &m_main->m_backupPage, IDC_BACKUP_LIST },
        { m_main, IDC_NAV_STATISTICS, nullptr, IDC_NAV_SCAN },
        { m_main, IDC_SETTINGS_BUTTON, &settings, IDC_SETTINGS_START_ON_STARTUP },
        { &settings, IDC_SETTINGS_TAB_SCHEDULE, &settings, IDC_SETTINGS_DISABLE_SCHEDULE },
        { &settings, IDC_SETTINGS_TAB_GENERAL, &settings, IDC_SETTINGS_START_ON_STARTUP },
        { &settings, IDC_SETTINGS_TAB_IGNORE, &m_main->m_ignoreListPage, IDC_IGNORE_TAB_GENERAL },
        { m_main, IDC_NAV_SCAN, &TestApp().m_scanPage, IDC_SCAN_START },
    };
    for (const auto& change : switches) {
        ::SetFocus(Control(*change.owner, change.button));
        Press(VK_RETURN);
        const HWND expected = Control(change.page ? *change.page : static_cast<CWnd&>(*m_main), change.focused);
        EXPECT_TRUE(FocusShownOn(expected, "a page switch")) << change.button;
    }
}

TEST_F(KeyboardTest, TheWizardFromTheKeyboardAlone)
{
    CQuillonApp& app = TestApp();
    CScanDlg& scanPage = app.m_scanPage;
    CScanResultDlg& results = app.m_resultsPage;
    AddBrokenRunEntries(3, "Broken");

    // Step 1: the keys start on Start Scan; the categories are chosen with Shift+Tab and Space.
    ASSERT_TRUE(FocusShownOn(Control(scanPage, IDC_SCAN_START), "the first page"));
    Press(VK_TAB, true);
    ASSERT_TRUE(FocusShownOn(Control(scanPage, IDC_SCAN_SELECT_ALL), "Select All"));
    Press(VK_SPACE);
    EXPECT_EQ(0u, scanPage.GetSelectedScanTypes());
    ASSERT_TRUE(TabTo(Control(scanPage, kScanCategories[6].scanBox), true, "to Windows Startup Items"));
    Press(VK_SPACE);
    EXPECT_EQ(static_cast<DWORD>(SCAN_SUI), scanPage.GetSelectedScanTypes());
    ASSERT_TRUE(TabTo(Control(scanPage, IDC_SCAN_START), false, "back to Start Scan"));
    // Esc closes nothing and moves nothing.
    Press(VK_ESCAPE);
    ASSERT_TRUE(FocusShownOn(Control(scanPage, IDC_SCAN_START), "after Esc"));
    EXPECT_EQ(STEP_SELECT, scanPage.GetStep());

    // Step 2: Enter starts the scan; when it has ended the keys are on Next.
    Press(VK_RETURN);
    EXPECT_EQ(STEP_SCANNING, scanPage.GetStep());
    CScanningDlg& scanning = app.m_scanningPage;
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(scanning, IDC_SCANNING_NEXT) && IsShown(scanning, IDC_SCANNING_NEXT); }));
    ASSERT_TRUE(PumpInputHandled());
    ASSERT_TRUE(FocusShownOn(Control(scanning, IDC_SCANNING_NEXT), "the end of the scan"));

    // Step 3: Enter shows the results with the keys in the tree; an entry is unticked with the
    // arrows and Space.
    Press(VK_RETURN);
    ASSERT_EQ(STEP_RESULTS, scanPage.GetStep());
    HWND tree = results.m_tree.m_hWnd;
    ASSERT_TRUE(FocusShownOn(tree, "the results"));
    Press(VK_RIGHT);
    Press(VK_DOWN);
    const HTREEITEM entry = TreeView_GetSelection(tree);
    ASSERT_TRUE(results.m_tree.IsEntry(entry));
    const CString kept = results.m_tree.GetEntryText(entry);
    Press(VK_SPACE);
    EXPECT_EQ(CCheckedTreeCtrl::TICK_OFF, results.m_tree.GetTickState(entry));
    EXPECT_EQ("2 of 3 Errors Selected for Repair", Text(results, IDC_RESULTS_SELECTED));
    ASSERT_TRUE(FocusShownOn(tree, "an entry unticked"));

    // Step 4: Tab to Fix Errors, Esc leaves it be, Enter repairs what is ticked.
    ASSERT_TRUE(TabTo(Control(results, IDC_RESULTS_REPAIR), false, "to Fix Errors"));
    SaveScreenshot("keyboard-fix-errors");
    Press(VK_ESCAPE);
    ASSERT_TRUE(FocusShownOn(Control(results, IDC_RESULTS_REPAIR), "Esc on Fix Errors"));
    Press(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return scanPage.GetStep() == STEP_SUMMARY && !results.IsHoldingUserChoices(); }));
    ASSERT_TRUE(PumpInputHandled());
    const std::string keptName = std::string(kept).substr(std::string(kept).find('\xAC') + 1);
    for (const char* name : { "Broken00000", "Broken00001", "Broken00002" })
        EXPECT_EQ(keptName == name, RunValueExists(name)) << name << ": only the unticked entry is kept";

    // Step 5: the statistics page has no control: the keys are on the first navigation button,
    // which leads back into the wizard, to the scan summary.
    ASSERT_TRUE(::IsWindowVisible(m_main->m_statisticsPage.m_hWnd));
    ASSERT_TRUE(FocusShownOn(Control(*m_main, IDC_NAV_SCAN), "the statistics"));
    Press(VK_RETURN);
    CRepairResultDlg& summary = app.m_summaryPage;
    ASSERT_TRUE(::IsWindowVisible(summary.m_hWnd));
    ASSERT_TRUE(FocusShownOn(Control(summary, IDC_SUMMARY_FINISH), "the summary"));
    EXPECT_EQ("1", Text(summary, IDC_SUMMARY_SKIPPED));

    // Finish: back to the first step, the keys on Start Scan again.
    Press(VK_RETURN);
    EXPECT_EQ(STEP_SELECT, scanPage.GetStep());
    ASSERT_TRUE(FocusShownOn(Control(scanPage, IDC_SCAN_START), "Finish"));
}
