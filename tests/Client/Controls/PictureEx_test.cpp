// The animated picture: splitting the program's GIFs into frames, one animation thread that
// stops at once, still pictures, and data that is not a whole GIF.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DemoDialog.h"
#include "WindowCapture.h"

namespace {

class PictureExTest : public testing::Test
{
protected:
    void SetUp() override
    {
        HWND hWnd = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 600, 10, 10, 10, CDemoDialog::Get(),
                                      nullptr, nullptr, nullptr);
        ASSERT_TRUE(m_picture.SubclassWindow(hWnd));
    }
    BOOL LoadBytes(const std::vector<unsigned char>& bytes)
    {
        HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        memcpy(::GlobalLock(block), bytes.data(), bytes.size());
        ::GlobalUnlock(block);
        const BOOL loaded = m_picture.LoadFromMemory(block, static_cast<DWORD>(bytes.size()));
        ::GlobalFree(block);
        return loaded;
    }
    static std::vector<unsigned char> Resource(UINT id)
    {
        HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), "GIF");
        const auto* bytes = static_cast<const unsigned char*>(::LockResource(::LoadResource(nullptr, found)));
        return std::vector<unsigned char>(bytes, bytes + ::SizeofResource(nullptr, found));
    }
    CPictureEx m_picture;
};

TEST_F(PictureExTest, ProgramGifsSplitIntoTheirFrames)
{
    struct Case
    {
        UINT id;
        size_t frames;
        int width, height, delay, disposal;
    } cases[] = { { 334, 8, 16, 16, 10, 0 }, { 361, 13, 128, 15, 10, 2 }, { 339, 35, 374, 19, 10, 2 } };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_picture.Load(MAKEINTRESOURCEA(c.id))) << c.id;
        EXPECT_TRUE(m_picture.IsAnimatedGIF());
        ASSERT_EQ(c.frames, m_picture.GetFrameCount()) << c.id;
        for (size_t i = 0; i < c.frames; ++i) {
            EXPECT_EQ(c.delay, m_picture.GetFrame(i).m_nDelay);
            EXPECT_EQ(c.disposal, m_picture.GetFrame(i).m_nDisposal);
            EXPECT_EQ(c.width, m_picture.GetFrame(i).m_nWidth);
        }
        CRect rect;
        m_picture.GetClientRect(&rect);
        EXPECT_EQ(c.width, rect.Width());
        EXPECT_EQ(c.height, rect.Height());
        EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), m_picture.GetBkColor());
    }
    EXPECT_FALSE(m_picture.Load(MAKEINTRESOURCEA(4242)));
}

TEST_F(PictureExTest, OneAnimationThreadThatStopsAtOnce)
{
    // Frames that would each stay for 655 s: only the stop event can end the thread's wait
    // before Stop gives up on it (after 5 s).
    std::vector<unsigned char> slow = Resource(334);
    for (size_t at = 0; at + 6 <= slow.size(); ++at) {
        if (slow[at] == 0x21 && slow[at + 1] == 0xF9 && slow[at + 2] == 4)
            slow[at + 4] = slow[at + 5] = 0xFF;
    }
    ASSERT_TRUE(LoadBytes(slow));
    m_picture.Draw();
    HANDLE thread = m_picture.GetThreadHandle();
    ASSERT_NE(nullptr, thread);
    m_picture.Draw();
    EXPECT_EQ(thread, m_picture.GetThreadHandle());
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_picture.IsAnimating() != FALSE; }));

    HANDLE watched = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), &watched, SYNCHRONIZE, FALSE, 0));
    m_picture.Stop();
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(watched, 0));
    ::CloseHandle(watched);
    EXPECT_EQ(nullptr, m_picture.GetThreadHandle());
    EXPECT_FALSE(m_picture.IsAnimating());
    m_picture.Stop();  // not animating: only flags and the event

    // Draw again after a stop, then unload while it runs: the thread is gone first.
    m_picture.Draw();
    EXPECT_NE(nullptr, m_picture.GetThreadHandle());
    m_picture.UnLoad();
    EXPECT_EQ(nullptr, m_picture.GetThreadHandle());
    EXPECT_FALSE(m_picture.IsInitialised());
    EXPECT_EQ(0u, m_picture.GetFrameCount());
    EXPECT_EQ(RGB(255, 255, 255), m_picture.GetBkColor());

    // The control is reused for another picture.
    ASSERT_TRUE(m_picture.Load(MAKEINTRESOURCEA(361)));
    m_picture.Draw();
    m_picture.SetBkColor(RGB(255, 255, 255));
    // A frame of the bar shows.
    EXPECT_TRUE(PumpMessagesUntil([&] {
        const CWindowPixels shown = CaptureWindow(m_picture);
        for (DWORD p : shown.pixels) {
            if (p == 0x1fa6a0)
                return true;
        }
        return false;
    }));
}

TEST(PictureExWaitTest, ShortAndMissingDelaysShowFor100Ms)
{
    const struct
    {
        int delay;
        DWORD ms;
    } cases[] = { { -1, 100 }, { 0, 100 }, { 4, 100 }, { 5, 50 }, { 10, 100 }, { 250, 2500 }, { 65535, 655350 } };
    for (const auto& c : cases)
        EXPECT_EQ(c.ms, CPictureEx::FrameWaitMs(c.delay)) << c.delay;
}

// A 1 x 1 GIF89a with one image after a graphic control extension.
std::vector<unsigned char> OneFrameGif()
{
    return { 'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0,
             0, 0, 0, 0xFF, 0xFF, 0xFF,            // colour table: black, white
             0x21, 0xF9, 4, 1, 0, 0, 0, 0,         // graphic control extension
             0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0,      // image descriptor
             2, 2, 0x44, 1, 0,                     // image data
             0x3B };
}

TEST_F(PictureExTest, SingleFramesAndOtherFormatsAreShownStill)
{
    ASSERT_TRUE(LoadBytes(OneFrameGif()));
    EXPECT_FALSE(m_picture.IsAnimatedGIF());
    m_picture.Draw();
    EXPECT_EQ(nullptr, m_picture.GetThreadHandle());
    EXPECT_EQ(1, m_picture.GetSize().cx);

    // A bitmap file: its own size.
    CBitmap skin;
    skin.LoadBitmap(210);
    const CSize size = skin.GetSize();
    std::vector<unsigned char> bmp(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) +
                                   static_cast<size_t>(size.cx * size.cy * 4));
    auto* file = reinterpret_cast<BITMAPFILEHEADER*>(bmp.data());
    auto* info = reinterpret_cast<BITMAPINFOHEADER*>(bmp.data() + sizeof(BITMAPFILEHEADER));
    file->bfType = 0x4D42;
    file->bfSize = static_cast<DWORD>(bmp.size());
    file->bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    info->biSize = sizeof(BITMAPINFOHEADER);
    info->biWidth = size.cx;
    info->biHeight = size.cy;
    info->biPlanes = 1;
    info->biBitCount = 32;
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, skin, 0, static_cast<UINT>(size.cy), bmp.data() + file->bfOffBits,
                reinterpret_cast<BITMAPINFO*>(info), DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ASSERT_TRUE(LoadBytes(bmp));
    EXPECT_FALSE(m_picture.IsAnimatedGIF());
    EXPECT_EQ(52, m_picture.GetSize().cx);
    EXPECT_EQ(15, m_picture.GetSize().cy);
}

TEST_F(PictureExTest, DataThatIsNotAWholeGifIsRefused)
{
    const std::vector<unsigned char> gif = Resource(334);
    ASSERT_GT(gif.size(), 100u);
    // Where each of its eight frames begins: at its graphic control extension.
    std::vector<size_t> frameStarts;
    for (size_t at = 0; at + 3 <= gif.size(); ++at) {
        if (gif[at] == 0x21 && gif[at + 1] == 0xF9 && gif[at + 2] == 4)
            frameStarts.push_back(at);
    }
    ASSERT_EQ(8u, frameStarts.size());
    // Cut within the header, before the first frame ends: nothing to show. Cut later: the whole
    // frames before the cut animate, the cut one is left out, and nothing past the end is read.
    const struct { size_t cut; size_t frames; } rows[] = {
        { 3, 0 }, { 12, 0 }, { 13, 0 }, { 40, 0 }, { frameStarts[1] - 1, 0 },
        { frameStarts[2], 2 }, { (frameStarts[3] + frameStarts[4]) / 2, 3 }, { frameStarts[7] + 20, 7 },
        { gif.size() - 5, 7 }, { gif.size() - 1, 8 },
    };
    for (const auto& row : rows) {
        std::vector<unsigned char> part(gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(row.cut));
        const BOOL loaded = LoadBytes(part);
        EXPECT_EQ(row.frames >= 2, loaded != FALSE) << row.cut;
        EXPECT_EQ(row.frames >= 2 ? row.frames : 0u, m_picture.GetFrameCount()) << row.cut;
        if (row.frames >= 2) {
            EXPECT_TRUE(m_picture.IsAnimatedGIF()) << row.cut;
        }
        m_picture.UnLoad();
    }
    // A sub-block chain that never ends.
    std::vector<unsigned char> endless = OneFrameGif();
    endless.resize(endless.size() - 5);
    endless.insert(endless.end(), { 2, 60, 60, 60, 60 });
    EXPECT_FALSE(LoadBytes(endless));
}

} // namespace
