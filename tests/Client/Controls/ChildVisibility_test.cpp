// Hiding children without drawing at once, and holding a page's drawing while its children
// change: what is shown and where the focus goes stay as ShowWindow leaves them.
#include <gtest/gtest.h>

#include "ChildVisibility.h"
#include "DrawingPause.h"

namespace {

HWND MakeWindow(DWORD style, HWND parent)
{
    return ::CreateWindowExA(0, "BUTTON", "", style, 0, 0, 120, 40, parent, nullptr, ::GetModuleHandleA(nullptr),
                             nullptr);
}

bool Visible(HWND window)
{
    return (::GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

TEST(ChildVisibilityTest, HidingKeepsNoFocusAndAPauseKeepsWhatWasShown)
{
    HWND shown = MakeWindow(WS_POPUP | WS_VISIBLE, nullptr);
    HWND hidden = MakeWindow(WS_POPUP, nullptr);
    HWND page = MakeWindow(WS_CHILD | WS_VISIBLE, shown);
    HWND focused = MakeWindow(WS_CHILD | WS_VISIBLE, page);
    HWND other = MakeWindow(WS_CHILD | WS_VISIBLE, shown);
    ASSERT_TRUE(shown && hidden && page && focused && other);

    // The focus does not stay on a window that hides.
    ::SetFocus(focused);
    ASSERT_EQ(focused, ::GetFocus());
    ShowChild(*CWnd::FromHandle(focused), false);
    EXPECT_FALSE(Visible(focused));
    EXPECT_NE(focused, ::GetFocus());

    {
        const CDrawingPause pauseShown(*CWnd::FromHandle(shown));
        const CDrawingPause pauseHidden(*CWnd::FromHandle(hidden));
        ShowChild(*CWnd::FromHandle(other), false);
        ShowChild(*CWnd::FromHandle(focused), true);
    }
    EXPECT_TRUE(::IsWindowVisible(shown));
    EXPECT_FALSE(Visible(hidden));
    EXPECT_FALSE(Visible(other));
    EXPECT_TRUE(::IsWindowVisible(focused));

    for (HWND window : { other, focused, page, hidden, shown })
        ::DestroyWindow(window);
}

} // namespace
