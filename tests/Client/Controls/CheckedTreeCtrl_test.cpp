// The results tree's clicks: a click on a tick selects its row as well, so that one row looks
// selected and the description (a category's text, an entry's whole text) follows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CheckedTreeCtrl.h"
#include "WindowCapture.h"

namespace {

// The focus the tree gains, counted as its messages come: whether it still has the focus after
// the click depends on the activation, which a Wine service starting on the same display may
// take for a moment (the frame, active again, then takes the focus itself).
WNDPROC g_treeProc = nullptr;
int g_treeFocusGains = 0;

LRESULT CALLBACK CountFocusGains(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFOCUS)
        ++g_treeFocusGains;
    return ::CallWindowProcA(g_treeProc, window, message, wParam, lParam);
}

class CRecordingOwner : public CCheckedTreeOwner
{
public:
    void OnSelectedCountChanged(int delta) override { selected += delta; }
    void UpdateDescription(const CString& description) override { this->description = description; }
    void ShowSelectedEntry(const CString& shownText) override { description = "entry " + shownText; }
    int selected = 0;
    CString description;
};

class CheckedTreeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 60, 60, 560, 300, nullptr,
                                    nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_frame);
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                            TVS_SHOWSELALWAYS;
        ASSERT_TRUE(m_tree.Create(style, CRect(0, 0, 560, 300), CWnd::FromHandle(m_frame), 100));
        m_tree.InitImageLists();
        m_tree.SetOwner(&m_owner);
        for (const char* category : { "Windows Fonts", "Shared DLLs" }) {
            const HTREEITEM row = m_tree.AddCategory(CString(category) + "        [2]", CString(category) + " text", 1);
            for (int i = 0; i < 2; ++i) {
                const std::string entry = std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\") + category + "\\Gone" +
                                          std::to_string(i);
                m_entries.push_back(m_tree.AddItem(category, entry.c_str(), 1));
            }
            m_tree.Expand(row, TVE_EXPAND);
            m_categories.push_back(row);
        }
        m_tree.SelectItem(m_categories[0]);
        m_tree.SetFocus();
        ASSERT_TRUE(WaitUntilDrawn(m_frame));
    }
    void TearDown() override
    {
        m_tree.DestroyWindow();
        ::DestroyWindow(m_frame);
    }

    // A click on the row's tick, as the mouse makes it.
    void ClickTick(HTREEITEM row)
    {
        CRect text;
        ASSERT_TRUE(m_tree.GetItemRect(row, &text, TRUE));
        const int y = (text.top + text.bottom) / 2;
        for (int x = text.left - 1; x >= 0; --x) {
            UINT flags = 0;
            if (m_tree.HitTest(CPoint(x, y), &flags) == row && (flags & TVHT_ONITEMSTATEICON)) {
                m_tree.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
                m_tree.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
                ASSERT_TRUE(WaitUntilDrawn(m_frame));
                return;
            }
        }
        FAIL() << "no tick in front of the row";
    }

    // The rows whose text shows on a selection's colour, as the screen shows them. The control
    // draws the selection in the highlight colour while it has the focus and in the face colour
    // when another program's window has taken the activation, which the tests cannot prevent.
    std::vector<HTREEITEM> RowsShownSelected()
    {
        const COLORREF focused = ::GetSysColor(COLOR_HIGHLIGHT);
        const COLORREF unfocused = ::GetSysColor(COLOR_BTNFACE);
        const CWindowPixels shown = CaptureWindow(m_tree);
        std::vector<HTREEITEM> rows;
        for (HTREEITEM row : { m_categories[0], m_entries[0], m_entries[1], m_categories[1], m_entries[2], m_entries[3] }) {
            CRect text;
            m_tree.GetItemRect(row, &text, TRUE);
            int lit = 0;
            for (int x = text.left; x < text.right; ++x) {
                const COLORREF pixel = shown.At(x, text.top + 1);
                lit += pixel == focused || pixel == unfocused;
            }
            if (lit > text.Width() / 2)
                rows.push_back(row);
        }
        return rows;
    }

    HWND m_frame = nullptr;
    CCheckedTreeCtrl m_tree;
    CRecordingOwner m_owner;
    std::vector<HTREEITEM> m_categories;
    std::vector<HTREEITEM> m_entries;
};

TEST_F(CheckedTreeTest, AClickOnATickSelectsItsRowAndOnlyIt)
{
    // Entries and categories of both kinds, one after another: each click unticks the row, makes
    // it the one row selected, on screen as in the control, and shows its category's text or
    // the entry's own.
    const struct
    {
        HTREEITEM row;
        const char* description;
    } clicks[] = {
        { m_entries[1], "entry HKEY_LOCAL_MACHINE\\SOFTWARE\\Windows Fonts\\Gone1" },
        { m_entries[2], "entry HKEY_LOCAL_MACHINE\\SOFTWARE\\Shared DLLs\\Gone0" },
        { m_categories[0], "Windows Fonts text" },
        { m_entries[3], "entry HKEY_LOCAL_MACHINE\\SOFTWARE\\Shared DLLs\\Gone1" },
    };
    g_treeProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(m_tree.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountFocusGains)));
    ASSERT_NE(nullptr, g_treeProc);
    for (const auto& click : clicks) {
        const int before = m_tree.GetTickState(click.row);
        ::SetFocus(m_frame);
        const int focusGains = g_treeFocusGains;
        ClickTick(click.row);
        EXPECT_GT(g_treeFocusGains, focusGains) << "the click took no focus: " << click.description;
        EXPECT_NE(before, m_tree.GetTickState(click.row));
        EXPECT_EQ(click.row, m_tree.GetSelectedItem());
        EXPECT_EQ(std::vector<HTREEITEM>{ click.row }, RowsShownSelected()) << click.description;
        EXPECT_EQ(CString(click.description), m_owner.description);
    }
    ::SetWindowLongPtrA(m_tree.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_treeProc));
}

} // namespace
