// The skinned dialog base: the window's shape from bitmap 129, the region rule on small bitmaps,
// the background, transparent statics, check boxes that leave no focus frame behind, and the
// Esc/Enter filter. The demo's screenshot is saved for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

class CDemoEnvironment : public testing::Environment
{
public:
    void TearDown() override { CDemoDialog::Destroy(); }
};
testing::Environment* const g_demoEnvironment = testing::AddGlobalTestEnvironment(new CDemoEnvironment);

const COLORREF kMagenta = RGB(255, 0, 255);

// A bitmap drawn from rows of characters: 'M' magenta, anything else grey.
HBITMAP MakeBitmap(const std::vector<std::string>& rows)
{
    const int width = static_cast<int>(rows[0].size());
    const int height = static_cast<int>(rows.size());
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ::SetPixel(dc, x, y, rows[y][x] == 'M' ? kMagenta : RGB(128, 128, 128));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return bitmap;
}

// The region's pixels as rows of '#' (inside) and '.' (outside).
std::vector<std::string> Draw(HRGN region, int width, int height)
{
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x)
            row += ::PtInRegion(region, x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(BitmapRegionTest, EachRowAddsItsRunsOfOpaquePixels)
{
    HBITMAP bitmap = MakeBitmap({ "MMMMMM", "xxxxxx", "MxxMMx", "xMxMxM" });
    struct Case
    {
        SIZE limit;
        POINT offset;
        std::vector<std::string> expected;
    } cases[] = {
        // A client area wider and taller than the bitmap: nothing beyond its edges.
        { { 8, 6 }, { 0, 0 }, { "........", "######..", ".##..#..", "#.#.#...", "........" } },
        // A smaller client area cuts the bitmap.
        { { 4, 3 }, { 0, 0 }, { "........", "####....", ".##.....", "........", "........" } },
        // Moved by the client area's place in the window.
        { { 6, 4 }, { 2, 1 }, { "........", "........", "..######", "...##..#", "..#.#.#." } },
    };
    for (const Case& c : cases) {
        HRGN region = CBitmapDialog::CreateRegionFromBitmap(bitmap, kMagenta, c.limit, c.offset);
        ASSERT_NE(nullptr, region);
        EXPECT_EQ(c.expected, Draw(region, 8, 5));
        ::DeleteObject(region);
    }
    ::DeleteObject(bitmap);
    EXPECT_EQ(nullptr, CBitmapDialog::CreateRegionFromBitmap(nullptr, kMagenta, SIZE{ 4, 4 }, POINT{ 0, 0 }));
}

TEST(BitmapDialogTest, MainWindowTakesTheShapeOfBitmap129)
{
    CDemoDialog& demo = CDemoDialog::Get();
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(demo, region));
    CRect window;
    demo.GetWindowRect(&window);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));                            // rounded corner: a hole
    EXPECT_FALSE(::PtInRegion(region, window.Width() - 1, window.Height() - 1));
    EXPECT_TRUE(::PtInRegion(region, window.Width() / 2, window.Height() / 2));
    EXPECT_TRUE(::PtInRegion(region, 0, window.Height() / 2));
    // Every row of the skin, pixel by pixel: its magenta pixels are holes, all others belong to
    // the window, to the last row and column the window has.
    CBitmap skin;
    ASSERT_TRUE(skin.LoadBitmap(129));
    HDC screen = ::GetDC(nullptr);
    const CWindowPixels pixels = CaptureBitmap(screen, skin);
    ::ReleaseDC(nullptr, screen);
    const int width = std::min(window.Width(), pixels.width);
    const int height = std::min(window.Height(), pixels.height);
    ASSERT_GT(height, 400);
    RECT bounds = {};
    ::GetRgnBox(region, &bounds);
    EXPECT_LE(bounds.right, width);
    EXPECT_LE(bounds.bottom, height);
    int wrongRows = 0;
    for (int y = 0; y < height; ++y) {
        int wrong = 0;
        for (int x = 0; x < width; ++x)
            wrong += (pixels.At(x, y) != kMagenta) != (::PtInRegion(region, x, y) != FALSE);
        if (wrong && ++wrongRows <= 5)
            ADD_FAILURE() << "row " << y << ": " << wrong << " pixel(s) on the wrong side of the window's edge";
    }
    EXPECT_EQ(0, wrongRows);
    ::DeleteObject(region);
    // Clicks in a hole reach what lies below.
    EXPECT_NE(demo.m_hWnd, ::WindowFromPoint(POINT{ window.left + 1, window.top + 1 }));
    EXPECT_EQ(demo.m_hWnd, ::WindowFromPoint(POINT{ window.left + 400, window.top + 20 }));
}

TEST(BitmapDialogTest, BackgroundIsTheBitmapAndStaticsAreTransparent)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CRect client;
    demo.GetClientRect(&client);
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP target = ::CreateCompatibleBitmap(screen, client.Width(), client.Height());
    HGDIOBJ old = ::SelectObject(dc, target);
    EXPECT_EQ(TRUE, demo.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc)));

    CBitmap skin;
    ASSERT_TRUE(skin.LoadBitmap(129));
    const CWindowPixels expected = CaptureBitmap(screen, skin);
    for (POINT p : { POINT{ 100, 20 }, POINT{ 300, 300 }, POINT{ 10, 200 } })
        EXPECT_EQ(expected.At(p.x, p.y), ::GetPixel(dc, p.x, p.y)) << p.x << "," << p.y;

    // A static's colour request: transparent background mode and the null brush.
    ::SetBkMode(dc, OPAQUE);
    const LRESULT brush = demo.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(demo.m_hoverTarget.m_hWnd));
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), brush);
    EXPECT_EQ(TRANSPARENT, ::GetBkMode(dc));
    ::SelectObject(dc, old);
    ::DeleteObject(target);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

TEST(BitmapDialogTest, BitmapThatDoesNotLoadLeavesNoBackground)
{
    CDemoDialog& demo = CDemoDialog::Get();
    CBitmapDialog page(IDD_PAGE, &demo);
    ASSERT_TRUE(page.Create(IDD_PAGE, &demo));
    EXPECT_TRUE(page.SetBitmap(190));
    EXPECT_FALSE(page.SetBitmap(4242));

    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP target = ::CreateCompatibleBitmap(screen, 20, 20);
    HGDIOBJ old = ::SelectObject(dc, target);
    RECT all = { 0, 0, 20, 20 };
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    page.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc));
    // The dialog's default erase: its face colour, not the old bitmap.
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), ::GetPixel(dc, 5, 5));
    ::SelectObject(dc, old);
    ::DeleteObject(target);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    page.DestroyWindow();
}

TEST(BitmapDialogTest, EscAndEnterAreFilteredOnlyInKeyMessages)
{
    CDemoDialog& demo = CDemoDialog::Get();
    struct Case
    {
        UINT message;
        WPARAM wParam;
        BOOL dropped;
        WPARAM after;
    } cases[] = {
        { WM_KEYDOWN, VK_ESCAPE, TRUE, VK_ESCAPE },
        { WM_KEYUP, VK_ESCAPE, TRUE, VK_ESCAPE },
        { WM_KEYDOWN, VK_RETURN, FALSE, VK_SPACE },
        { WM_KEYUP, VK_RETURN, FALSE, VK_SPACE },
        { WM_TIMER, 27, FALSE, 27 },
        { WM_TIMER, 13, FALSE, 13 },
        { WM_CHAR, 13, FALSE, 13 },
        { WM_LBUTTONDOWN, 13, FALSE, 13 },
        { WM_MOUSEMOVE, 27, FALSE, 27 },
        { WM_USER + 256, 27, FALSE, 27 },
    };
    for (const Case& c : cases) {
        MSG msg = {};
        msg.hwnd = demo.m_hoverTarget;
        msg.message = c.message;
        msg.wParam = c.wParam;
        const BOOL taken = demo.PreTranslateMessage(&msg);
        if (c.dropped) {
            EXPECT_TRUE(taken) << c.message << " " << c.wParam;
        }
        EXPECT_EQ(c.after, msg.wParam) << c.message << " " << c.wParam;
    }
    PumpMessages();
    // Esc through the whole chain leaves the window open.
    ::PostMessageA(demo.m_checkB, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages(50);
    EXPECT_TRUE(demo.IsWindowVisible());
}

TEST(BitmapDialogTest, DemoScreenshot)
{
    CDemoDialog& demo = CDemoDialog::Get();
    demo.m_checkA.SetCheck(1);
    demo.m_radio2.SetCheck(1);
    demo.m_tab.EnableWindow(FALSE);
    demo.m_navScan.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));  // hovered
    ASSERT_TRUE(WaitUntilDrawn(demo));
    const CWindowPixels shot = CaptureWindow(demo);
    ASSERT_GT(shot.width, 0);
    // No magenta shows: those pixels are outside the window.
    int magenta = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            magenta += shot.At(x, y) == kMagenta;
    EXPECT_EQ(0, magenta);

    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string folder(exe);
    folder = folder.substr(0, folder.find_last_of('\\')) + "\\screenshots";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    EXPECT_TRUE(SavePng(shot, folder + "\\controls_demo.png"));
    demo.m_tab.EnableWindow(TRUE);
}

// The pixels of a control of the demo window as the screen shows them.
std::vector<COLORREF> PixelsOf(CDemoDialog& demo, int id)
{
    CRect rect;
    demo.GetDlgItem(id)->GetWindowRect(&rect);
    demo.ScreenToClient(&rect);
    const CWindowPixels shown = CaptureWindow(demo);
    std::vector<COLORREF> pixels;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            pixels.push_back(shown.At(x, y));
    return pixels;
}

TEST(BitmapDialogTest, APlainCheckBoxLeavesNoFocusFrameBehindWhenTheFocusMovesOn)
{
    CDemoDialog& demo = CDemoDialog::Get();
    // Focus frames shown, as once the keyboard has been used.
    demo.SendMessage(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    demo.m_push.SetFocus();
    ASSERT_TRUE(WaitUntilDrawn(demo));
    const std::vector<COLORREF> unfocused = PixelsOf(demo, IDC_PLAIN_CHECK_A);

    for (int round = 0; round < 2; ++round) {
        demo.GetDlgItem(IDC_PLAIN_CHECK_A)->SetFocus();
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_NE(unfocused, PixelsOf(demo, IDC_PLAIN_CHECK_A)) << "the frame shows on the focused box";
        demo.GetDlgItem(IDC_PLAIN_CHECK_B)->SetFocus();
        ASSERT_TRUE(WaitUntilDrawn(demo));
        EXPECT_EQ(unfocused, PixelsOf(demo, IDC_PLAIN_CHECK_A)) << "round " << round;
    }
    demo.m_push.SetFocus();
}

} // namespace
