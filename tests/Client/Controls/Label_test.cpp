// The label: painting frees what it makes, the colours, size, weight and centring it paints,
// fonts, hover text, the notify click, the gradient's bands, flashing, and a text too long for
// its label.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

TEST(LabelTest, PaintingThreeHundredTimesLeavesTheGdiObjectCountFlat)
{
    CDemoDialog& demo = CDemoDialog::Get();
    // The demo's animations make and free objects of their own meanwhile: they rest.
    demo.m_picture.Stop();
    demo.m_bar.Stop();
    PumpMessages(20);
    const int before = LiveGdiObjects();
    for (int i = 0; i < 300; ++i) {
        for (CLabel* label : { &demo.m_gradient, &demo.m_flash, &demo.m_center })
            label->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (i % 5 == 0) {
            demo.m_title.SetFontSize(12 + i % 3)->SetFontBold(i % 2);
            demo.m_gradient.SetBkColor(RGB(i & 0xFF, 53, 86), RGB(79, 209, 197), TRUE);
            demo.m_center.SetBkColor(RGB(238, 244, i & 0xFF));
        }
    }
    PumpMessages(20);
    EXPECT_LT(LiveGdiObjects() - before, 30);
    demo.m_picture.Draw();
    demo.m_bar.Draw();
}

TEST(LabelTest, FaceNameLongerThanTheFieldIsCut)
{
    CDemoDialog& demo = CDemoDialog::Get();
    const std::string longName(40, 'A');
    demo.m_center.SetFontName(longName.c_str());
    EXPECT_EQ(std::string(31, 'A'), std::string(demo.m_center.GetLogFont().lfFaceName));
    demo.m_center.SetFontName("Verdana");
    EXPECT_STREQ("Verdana", demo.m_center.GetLogFont().lfFaceName);
    EXPECT_EQ(0, demo.m_center.GetLogFont().lfCharSet);
    demo.m_center.SetFontBold(TRUE);
    EXPECT_EQ(FW_BOLD, demo.m_center.GetLogFont().lfWeight);
}

// What a label shows: its background colour, and the pixels of its text ("ink").
struct INK
{
    COLORREF background = 0;
    int count = 0;
    int textColoured = 0;  // ink pixels of exactly the text colour
    RECT box = { 10000, 10000, -1, -1 };
};

INK InkOf(CLabel& label, COLORREF textColour)
{
    label.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PumpMessages(30);
    const CWindowPixels shown = CaptureWindow(label);
    INK ink;
    ink.background = shown.At(0, 0);
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const COLORREF pixel = shown.At(x, y);
            if (pixel == ink.background)
                continue;
            ++ink.count;
            ink.textColoured += pixel == textColour;
            ink.box = RECT{ std::min<LONG>(ink.box.left, x), std::min<LONG>(ink.box.top, y),
                            std::max<LONG>(ink.box.right, x + 1), std::max<LONG>(ink.box.bottom, y + 1) };
        }
    }
    return ink;
}

TEST(LabelTest, WhatTheSettersSetIsWhatIsPainted)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CLabel& label = demo.m_center;  // centred text, "Centred"
    CRect client;
    label.GetClientRect(&client);
    label.SetFontName("Tahoma")->SetFontBold(FALSE)->SetFontSize(8);
    label.SetBkColor(RGB(238, 244, 248))->SetTextColor(RGB(200, 0, 0));
    const INK small = InkOf(label, RGB(200, 0, 0));
    EXPECT_EQ(RGB(238, 244, 248), small.background);
    EXPECT_GT(small.textColoured, 0);
    // Centred both ways (the template asks for it), within a pixel or two of rounding.
    EXPECT_LE(std::abs(small.box.left - (client.Width() - small.box.right)), 2);
    EXPECT_LE(std::abs(small.box.top - (client.Height() - small.box.bottom)), 2);

    label.SetBkColor(RGB(10, 60, 120))->SetTextColor(RGB(255, 255, 0));
    const INK recoloured = InkOf(label, RGB(255, 255, 0));
    EXPECT_EQ(RGB(10, 60, 120), recoloured.background);
    EXPECT_GT(recoloured.textColoured, 0);

    label.SetFontSize(14);
    const INK large = InkOf(label, RGB(255, 255, 0));
    EXPECT_GT(large.box.bottom - large.box.top, (small.box.bottom - small.box.top) * 3 / 2);
    label.SetFontBold(TRUE);
    const INK bold = InkOf(label, RGB(255, 255, 0));
    EXPECT_GT(bold.count, large.count);

    label.SetFontName("Verdana")->SetFontBold(FALSE)->SetFontSize(8);
    label.SetBkColor(RGB(238, 244, 248))->SetTextColor(RGB(23, 50, 77));
}

TEST(LabelTest, HoverTextGoesToTheTargetAndStays)
{
    CDemoDialog& demo = CDemoDialog::Get();
    demo.m_hoverTarget.SetText("Move the mouse over the link");
    demo.m_link.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_STREQ("Opens the maker's web site", demo.m_hoverTarget.GetWindowText());
    demo.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 300));
    EXPECT_STREQ("Opens the maker's web site", demo.m_hoverTarget.GetWindowText());
    EXPECT_STREQ("Visit the web site", demo.m_link.GetWindowText());
    EXPECT_TRUE(demo.m_link.GetStyle() & SS_NOTIFY);
}

TEST(LabelTest, NotifyModeClickOnlyTellsTheParent)
{
    CDemoDialog& demo = CDemoDialog::Get();
    demo.m_events.clear();
    demo.m_link.SetLink(TRUE, TRUE);
    demo.m_link.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    demo.m_link.SetLink(TRUE, FALSE);
    ASSERT_EQ(1u, demo.m_events.size());
    EXPECT_EQ("notify 3003 " + std::to_string(0x8200), demo.m_events[0]);
    demo.m_link.SetLink(FALSE, FALSE);
    EXPECT_FALSE(demo.m_link.GetStyle() & SS_NOTIFY);
    demo.m_link.SetLink(TRUE, FALSE);
}

TEST(LabelTest, SetTextWithoutAWindowDoesNothingAndChains)
{
    CLabel label;
    EXPECT_EQ(&label, label.SetText("early"));
    EXPECT_EQ(&label, label.SetTextColor(RGB(1, 2, 3))->SetFontBold(TRUE));
}

CWindowPixels Gradient(int width, COLORREF from, COLORREF to)
{
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 260, 4);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECT all = { 0, 0, 260, 4 };
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    CDC wrapper;
    wrapper.Attach(dc);
    CLabel::DrawGradient(to, &wrapper, CRect(0, 0, width, 4), from);
    wrapper.Detach();
    ::SelectObject(dc, old);
    CWindowPixels pixels = CaptureBitmap(screen, bitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

TEST(LabelTest, GradientRunsInAtMostAHundredBands)
{
    // 250 pixels: 100 bands of 2, the last one up to the right edge.
    CWindowPixels wide = Gradient(250, RGB(0, 0, 0), RGB(200, 100, 0));
    EXPECT_EQ(RGB(0, 0, 0), wide.At(0, 0));
    EXPECT_EQ(wide.At(0, 1), wide.At(1, 1));
    EXPECT_NE(wide.At(1, 1), wide.At(2, 1));
    EXPECT_EQ(RGB(198, 99, 0), wide.At(249, 3));
    EXPECT_EQ(RGB(255, 255, 255), wide.At(250, 1));
    // 50 pixels: 50 bands of one pixel.
    CWindowPixels narrow = Gradient(50, RGB(0, 0, 0), RGB(200, 100, 0));
    EXPECT_EQ(RGB(0, 0, 0), narrow.At(0, 0));
    EXPECT_EQ(RGB(4, 2, 0), narrow.At(1, 0));
    EXPECT_EQ(RGB(255, 255, 255), narrow.At(50, 0));
    // Nothing for an empty rectangle.
    EXPECT_EQ(RGB(255, 255, 255), Gradient(0, RGB(0, 0, 0), RGB(0, 0, 0)).At(0, 0));
}

TEST(LabelTest, FlashTimerTogglesTheFlashState)
{
    CDemoDialog& demo = CDemoDialog::Get();
    demo.m_flash.FlashText(TRUE);
    EXPECT_FALSE(demo.m_flash.IsFlashOn());
    demo.m_flash.SendMessage(WM_TIMER, 1);
    EXPECT_TRUE(demo.m_flash.IsFlashOn());
    PumpMessages(1200);  // the 500 ms timer runs on its own
    demo.m_flash.FlashText(FALSE);
    const BOOL stopped = demo.m_flash.IsFlashOn();
    PumpMessages(600);
    EXPECT_EQ(stopped, demo.m_flash.IsFlashOn());
    demo.m_flash.FlashText(TRUE);
}

TEST(LabelTest, ATextTooLongForItsLabelEndsInAnEllipsisAndShowsWholeInATooltip)
{
    CDemoDialog& demo = CDemoDialog::Get();
    const std::string longText = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000000}";
    struct Case
    {
        CLabel* label;  // one line high: centred on one line, and word-wrapped
        const char* name;
    } cases[] = { { &demo.m_center, "centred" }, { &demo.m_hoverTarget, "wrapped" } };
    for (const Case& c : cases) {
        const CString before = c.label->GetWindowText();
        c.label->SetText("Short");
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_FALSE(c.label->IsTextCut()) << c.name;
        EXPECT_EQ(CString(), c.label->GetTooltipText()) << c.name;

        c.label->SetText(longText.c_str());
        ASSERT_TRUE(WaitUntilDrawn(demo));
        const std::string shown = static_cast<const char*>(c.label->GetShownText());
        EXPECT_TRUE(c.label->IsTextCut()) << c.name;
        ASSERT_GT(shown.size(), 3u) << c.name;
        EXPECT_EQ("...", shown.substr(shown.size() - 3)) << c.name;
        EXPECT_EQ(0u, longText.find(shown.substr(0, shown.size() - 3))) << c.name << ": " << shown;
        EXPECT_EQ(CString(longText.c_str()), c.label->GetTooltipText()) << c.name;

        // Short again: whole, and the tooltip is gone.
        c.label->SetText(before);
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_EQ(CString(), c.label->GetTooltipText()) << c.name;
    }
}

TEST(LabelTest, ANumberThatIsNeverCutIsDrawnSmallerAndWhole)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CLabel& label = demo.m_center;  // centred on one line, on its own background
    const CString before = label.GetWindowText();
    const CString number = "123456789012345";
    label.SetFontSize(14)->SetText(number);
    EXPECT_TRUE(label.IsTextCut());
    label.SetNeverCut(TRUE);
    EXPECT_FALSE(label.IsTextCut());
    EXPECT_EQ(number, label.GetShownText());
    EXPECT_LT(std::abs(label.GetShownFont().lfHeight), std::abs(label.GetLogFont().lfHeight));
    ASSERT_TRUE(WaitUntilDrawn(demo));
    EXPECT_EQ(CString(), label.GetTooltipText());
    // Drawn whole: its ink lies inside the label, across most of it.
    CRect client;
    label.GetClientRect(&client);
    const INK ink = InkOf(label, RGB(23, 50, 77));
    EXPECT_GT(ink.box.left, 0);
    EXPECT_LT(ink.box.right, client.Width());
    EXPECT_GT(ink.box.right - ink.box.left, client.Width() * 3 / 4);
    // What fits keeps the label's own size.
    label.SetText("42");
    EXPECT_EQ(label.GetLogFont().lfHeight, label.GetShownFont().lfHeight);
    label.SetNeverCut(FALSE)->SetFontSize(8)->SetText(before);
}

} // namespace
