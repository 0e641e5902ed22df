// The skin button: its kind from the template style, check boxes and radio groups driven by
// clicks and keys, the bitmap drawn for each state (faded when disabled without a picture of its
// own), the focus shown and passed on when the button can no longer take it, and the skin's
// captions clear of their faces' edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

void Click(CWnd& button, CPoint down, CPoint up)
{
    ::PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
    ::PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
    PumpMessages(30);
}

void Click(CWnd& button)
{
    Click(button, CPoint(5, 5), CPoint(5, 5));
}

class SkinButtonTest : public testing::Test
{
protected:
    void SetUp() override
    {
        CDemoDialog& demo = CDemoDialog::Get();
        for (CxSkinButton* b : { &demo.m_checkA, &demo.m_checkB, &demo.m_radio1, &demo.m_radio2, &demo.m_radio3 }) {
            b->SetCheck(0);
            b->EnableWindow(TRUE);
            b->ShowWindow(SW_SHOW);
        }
        PumpMessages(20);
        demo.m_events.clear();
    }
    CDemoDialog& demo = CDemoDialog::Get();
};

TEST_F(SkinButtonTest, KindComesFromTheTemplateStyle)
{
    struct Case
    {
        DWORD style;
        int kind;
    } cases[] = {
        { BS_PUSHBUTTON, CxSkinButton::KIND_PUSH },       { BS_DEFPUSHBUTTON, CxSkinButton::KIND_PUSH },
        { BS_CHECKBOX, CxSkinButton::KIND_PUSH },         { BS_AUTOCHECKBOX, CxSkinButton::KIND_CHECKBOX },
        { BS_RADIOBUTTON, CxSkinButton::KIND_PUSH },      { BS_AUTORADIOBUTTON, CxSkinButton::KIND_RADIO },
        { BS_OWNERDRAW, CxSkinButton::KIND_CHECKBOX },    // 11 & 3 == 3
    };
    for (const Case& c : cases) {
        HWND hWnd = ::CreateWindowExA(0, "BUTTON", "x", WS_CHILD | c.style, 0, 0, 20, 20, demo, nullptr, nullptr, nullptr);
        CxSkinButton button;
        ASSERT_TRUE(button.SubclassWindow(hWnd));
        EXPECT_EQ(c.kind, button.GetKind()) << c.style;
        EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & BS_OWNERDRAW);
    }
}

TEST_F(SkinButtonTest, CheckBoxTogglesOnReleaseOverItBeforeTheClickArrives)
{
    Click(demo.m_checkA);
    EXPECT_EQ(BST_CHECKED, demo.m_checkA.GetCheck());
    ASSERT_EQ(1u, demo.m_events.size());
    EXPECT_EQ("clicked 2001 1", demo.m_events[0]);

    // Pressed, dragged off and released elsewhere: no change and no click.
    Click(demo.m_checkA, CPoint(5, 5), CPoint(-40, -40));
    EXPECT_EQ(BST_CHECKED, demo.m_checkA.GetCheck());
    EXPECT_EQ(1u, demo.m_events.size());

    // A double click is a second press: two toggles in all.
    ::PostMessageA(demo.m_checkB, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageA(demo.m_checkB, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    ::PostMessageA(demo.m_checkB, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageA(demo.m_checkB, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PumpMessages(30);
    EXPECT_EQ(BST_UNCHECKED, demo.m_checkB.GetCheck());
}

TEST_F(SkinButtonTest, SpaceAndEnterToggleTheFocusedCheckBox)
{
    demo.m_checkB.SetFocus();
    ::PostMessageA(demo.m_checkB, WM_KEYDOWN, VK_SPACE, 0);
    ::PostMessageA(demo.m_checkB, WM_KEYUP, VK_SPACE, 0xC0000000);
    PumpMessages(30);
    EXPECT_EQ(BST_CHECKED, demo.m_checkB.GetCheck());
    // Enter becomes Space on its way through the dialog: it presses the focused button, not
    // the default one.
    ::PostMessageA(demo.m_checkB, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageA(demo.m_checkB, WM_KEYUP, VK_RETURN, 0xC0000000);
    PumpMessages(30);
    EXPECT_EQ(BST_UNCHECKED, demo.m_checkB.GetCheck());
    EXPECT_EQ((std::vector<std::string>{ "clicked 2002 1", "clicked 2002 0" }), demo.m_events);
}

// The buttons that were told to uncheck themselves (their messages are taken from the queue and
// handled).
std::vector<HWND> ToldToUncheck()
{
    std::vector<HWND> told;
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, WM_SKIN_RADIO_INFO, WM_SKIN_RADIO_INFO, PM_REMOVE)) {
        told.push_back(msg.hwnd);
        ::DispatchMessageA(&msg);
    }
    return told;
}

TEST_F(SkinButtonTest, CheckingARadioUnchecksTheRestOfItsGroup)
{
    demo.m_radio1.SetCheck(1);
    demo.m_checkA.SetCheck(1);  // another group
    PumpMessages(20);
    Click(demo.m_radio2);
    EXPECT_EQ(BST_UNCHECKED, demo.m_radio1.GetCheck());
    EXPECT_EQ(BST_CHECKED, demo.m_radio2.GetCheck());
    EXPECT_EQ(BST_UNCHECKED, demo.m_radio3.GetCheck());
    EXPECT_EQ(BST_CHECKED, demo.m_checkA.GetCheck());

    // Checking tells the rest of the group, and only it.
    demo.m_radio3.SetCheck(1);
    EXPECT_EQ((std::vector<HWND>{ demo.m_radio1.m_hWnd, demo.m_radio2.m_hWnd }), ToldToUncheck());
    EXPECT_EQ(BST_UNCHECKED, demo.m_radio2.GetCheck());

    // Unchecking tells nobody: the group stays as it is and the dialog hears nothing.
    demo.m_events.clear();
    demo.m_radio3.SetCheck(0);
    demo.m_radio1.SendMessage(BM_SETCHECK, 0);
    EXPECT_EQ(std::vector<HWND>(), ToldToUncheck());
    EXPECT_TRUE(demo.m_events.empty());
    demo.m_radio2.SendMessage(WM_SKIN_RADIO_INFO);  // no-op on an unchecked one
    EXPECT_EQ(BST_UNCHECKED, demo.m_radio2.GetCheck());

    // A push button has no check state.
    demo.m_push.SetCheck(1);
    EXPECT_EQ(BST_UNCHECKED, demo.m_push.GetCheck());
}

TEST_F(SkinButtonTest, RadioGroupWithDisabledAndHiddenButtonsEndsItsWalk)
{
    demo.m_radio2.SetCheck(1);
    demo.m_radio3.ShowWindow(SW_HIDE);
    demo.m_radio1.EnableWindow(FALSE);
    PumpMessages(20);
    // The group walk skips the disabled button itself, so it never comes back to it.
    demo.m_radio1.SetCheck(1);
    PumpMessages(20);
    EXPECT_EQ(BST_CHECKED, demo.m_radio1.GetCheck());
    EXPECT_EQ(BST_UNCHECKED, demo.m_radio2.GetCheck());
}

// Draws the button into a bitmap of its size with the given item state.
CWindowPixels DrawButton(CxSkinButton& button, UINT state)
{
    CRect rect;
    button.GetClientRect(&rect);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, rect.Width(), rect.Height());
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(button.GetDlgCtrlID());
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button;
    item.hDC = dc;
    item.rcItem = rect;
    button.DrawItem(&item);
    ::SelectObject(dc, old);
    CWindowPixels pixels = CaptureBitmap(screen, bitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

COLORREF BitmapPixel(UINT id, int x, int y)
{
    return CaptureResourceBitmap(id).At(x, y);
}

TEST_F(SkinButtonTest, EachStateDrawsItsBitmap)
{
    CxSkinButton& nav = demo.m_navScan;  // normal 135, over 137, disabled 136
    const int x = 150, y = 40;
    ::SendMessageA(nav, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(BitmapPixel(135, x, y), DrawButton(nav, 0).At(x, y));
    EXPECT_EQ(BitmapPixel(136, x, y), DrawButton(nav, ODS_DISABLED).At(x, y));
    nav.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(nav.IsHovering());
    EXPECT_EQ(BitmapPixel(137, x, y), DrawButton(nav, 0).At(x, y));
    ::SendMessageA(nav, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(nav.IsHovering());

    // Pressed or checked shows the down image (192 for this button).
    EXPECT_EQ(BitmapPixel(192, 40, 3), DrawButton(demo.m_push, ODS_SELECTED).At(40, 3));
    EXPECT_EQ(BitmapPixel(191, 40, 3), DrawButton(demo.m_push, 0).At(40, 3));

    // Without a normal image: a flat face, even with an over image.
    HWND hWnd = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | BS_PUSHBUTTON, 0, 0, 30, 20, demo, nullptr, nullptr, nullptr);
    CxSkinButton bare;
    bare.SubclassWindow(hWnd);
    bare.SetSkin(0, 0, 137, 0);
    bare.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), DrawButton(bare, 0).At(15, 10));
}

TEST_F(SkinButtonTest, ADisabledButtonWithoutItsOwnPictureLooksDisabled)
{
    // This button has no disabled picture: disabled, it shows its face faded to grey.
    const CWindowPixels normal = DrawButton(demo.m_push, 0);
    const CWindowPixels disabled = DrawButton(demo.m_push, ODS_DISABLED);
    ASSERT_EQ(normal.width, disabled.width);
    int changed = 0;
    int coloured = 0;
    for (int y = 0; y < disabled.height; ++y) {
        for (int x = 0; x < disabled.width; ++x) {
            const COLORREF pixel = disabled.At(x, y);
            changed += pixel != normal.At(x, y);
            coloured += GetRValue(pixel) != GetGValue(pixel) || GetGValue(pixel) != GetBValue(pixel);
        }
    }
    EXPECT_GT(changed, disabled.width * disabled.height / 2);
    EXPECT_EQ(0, coloured);
}

TEST_F(SkinButtonTest, TheFocusedButtonShowsADottedFrame)
{
    // Large and small faces, dark and light: the frame shows on each, and only with the focus
    // (unless the system hides focus frames until the keyboard is used).
    for (CxSkinButton* button : { &demo.m_navScan, &demo.m_push, &demo.m_close, &demo.m_tab }) {
        const int id = button->GetDlgCtrlID();
        EXPECT_FALSE(HasDottedLine(DrawButton(*button, 0))) << id;
        EXPECT_TRUE(HasDottedLine(DrawButton(*button, ODS_FOCUS))) << id;
        EXPECT_FALSE(HasDottedLine(DrawButton(*button, ODS_FOCUS | ODS_NOFOCUSRECT))) << id;
    }
}

TEST_F(SkinButtonTest, AFocusedButtonDisabledOrHiddenPassesTheFocusOn)
{
    // Two buttons in one place, one shown at a time, as Pause and Resume.
    CxSkinButton pause;
    CxSkinButton resume;
    for (CxSkinButton* button : { &pause, &resume }) {
        HWND hWnd = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON, 380, 250, 90, 27, demo,
                                      nullptr, nullptr, nullptr);
        ASSERT_TRUE(button->SubclassWindow(hWnd));
        button->SetSkin(377, 378);
    }
    pause.ShowWindow(SW_SHOW);
    ::SetForegroundWindow(demo);
    pause.SetFocus();
    ASSERT_TRUE(PumpMessagesUntil([&] { return ::GetFocus() == pause.m_hWnd; }, 5000));

    pause.ShowWindow(SW_HIDE);
    resume.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpMessagesUntil([&] { return ::GetFocus() == resume.m_hWnd; }, 5000)) << "to the button in its place";

    // Disabled with nothing in its place: on to another control that takes the focus.
    resume.EnableWindow(FALSE);
    EXPECT_TRUE(PumpMessagesUntil([&] {
        const HWND focus = ::GetFocus();
        return focus && focus != resume.m_hWnd && ::IsWindowVisible(focus) && ::IsWindowEnabled(focus);
    }, 5000)) << "the focus stayed with nothing";
    EXPECT_TRUE(::IsChild(demo, ::GetFocus()));
    pause.DestroyWindow();
    resume.DestroyWindow();
}

// The leftmost and rightmost columns of a bitmap's caption: its white pixels in the middle half of
// its height (the edges and corners of the face are left out).
std::pair<int, int> CaptionColumns(UINT id)
{
    const CWindowPixels pixels = CaptureResourceBitmap(id);
    int left = pixels.width;
    int right = -1;
    for (int y = pixels.height / 4; y < pixels.height * 3 / 4; ++y) {
        for (int x = 2; x < pixels.width - 2; ++x) {
            const COLORREF p = pixels.At(x, y);
            if (GetRValue(p) >= 200 && GetGValue(p) >= 200 && GetBValue(p) >= 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    return { left, pixels.width - 1 - right };
}

TEST(SkinCaptionsTest, EveryCaptionKeepsClearOfTheEdgesOfItsFace)
{
    // The buttons with their caption in the picture (normal faces): a tenth of the width, at
    // least 8 pixels, stays free on either side.
    for (UINT id : { 180u, 191u, 202u, 323u, 320u, 377u, 383u, 356u, 368u, 228u, 230u, 188u, 373u, 389u, 387u, 178u,
                     344u, 346u, 348u, 354u, 350u, 392u }) {
        CBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadBitmap(id)) << id;
        const int margin = std::max(8, static_cast<int>(bitmap.GetSize().cx) / 10) - 1;
        const std::pair<int, int> clear = CaptionColumns(id);
        EXPECT_GE(clear.first, margin) << id;
        EXPECT_GE(clear.second, margin) << id;
    }
    // The navigation column: the caption starts right of the glyph and ends inside the face.
    for (UINT id : { 135u, 138u, 371u, 193u, 131u }) {
        const std::pair<int, int> clear = CaptionColumns(id);
        EXPECT_GE(clear.first, 50) << id;
        EXPECT_GE(clear.second, 7) << id;
    }
}

} // namespace
