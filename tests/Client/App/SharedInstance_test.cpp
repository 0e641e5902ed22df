// What a second instance hands to the first: the shared window handle, the bounded path buffer,
// and the forwarding of a scheduled scan or a path to a live window only.
#include <gtest/gtest.h>

#include <cstring>

#include "CommandLineInfoEx.h"
#include "Messages.h"
#include "SharedInstance.h"

namespace {

// A window of this thread that collects what is posted to it.
class CReceiver
{
public:
    CReceiver()
    {
        m_hWnd = ::CreateWindowExA(0, "STATIC", "receiver", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~CReceiver() { ::DestroyWindow(m_hWnd); }
    std::vector<MSG> Posted()
    {
        std::vector<MSG> messages;
        MSG msg;
        while (::PeekMessageA(&msg, m_hWnd, WM_USER, WM_USER + 0x7FFF, PM_REMOVE))
            messages.push_back(msg);
        return messages;
    }
    HWND m_hWnd;
};

} // namespace

TEST(SharedInstanceTest, TheSectionIsSharedAndTheHandleRoundTrips)
{
    CReceiver receiver;
    SetSharedMainWindow(receiver.m_hWnd);
    EXPECT_EQ(receiver.m_hWnd, GetSharedMainWindow());
    SetSharedMainWindow(nullptr);
    EXPECT_EQ(nullptr, GetSharedMainWindow());

    // The image carries the data in a section of its own that every instance maps once.
    HMODULE image = ::GetModuleHandleA(nullptr);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(image) + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    bool found = false;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (strncmp(reinterpret_cast<const char*>(section->Name), ".SHARED", 8) == 0) {
            found = true;
            EXPECT_NE(0u, section->Characteristics & IMAGE_SCN_MEM_SHARED);
            EXPECT_NE(0u, section->Characteristics & IMAGE_SCN_MEM_WRITE);
        }
    }
    EXPECT_TRUE(found);
}

TEST(SharedInstanceTest, PathsAreBoundedBothWays)
{
    EXPECT_TRUE(SetSharedPath(CString(std::string(260, 'a'))));
    EXPECT_EQ(CString(std::string(260, 'a')), GetSharedPath());
    EXPECT_FALSE(SetSharedPath(CString(std::string(261, 'b'))));
    EXPECT_EQ(CString(std::string(260, 'a')), GetSharedPath());
    // Another instance may have left the buffer without a terminator: the reader stops at its end.
    memset(SharedInstanceData().m_szPath, 'c', sizeof(SharedInstanceData().m_szPath));
    EXPECT_EQ(CString(std::string(261, 'c')), GetSharedPath());
    SetSharedPath("");
}

TEST(SharedInstanceTest, ForwardsToALiveWindowOnly)
{
    CReceiver receiver;
    CCommandLineInfoEx schedule;
    schedule.m_bSchedule = TRUE;
    schedule.m_strPath = "C:\\windows";
    CCommandLineInfoEx path;
    path.m_strPath = "C:\\windows\\win.ini";
    CCommandLineInfoEx longPath;
    longPath.m_strPath = CString(std::string(300, 'x'));

    SetSharedMainWindow(nullptr);
    EXPECT_FALSE(ForwardToRunningInstance(schedule));
    // A window that is gone is not written to either.
    HWND gone = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    SetSharedMainWindow(gone);
    EXPECT_FALSE(ForwardToRunningInstance(schedule));

    SetSharedMainWindow(receiver.m_hWnd);
    EXPECT_TRUE(ForwardToRunningInstance(schedule));
    std::vector<MSG> posted = receiver.Posted();
    ASSERT_EQ(1u, posted.size());
    EXPECT_EQ(WM_SCHEDULED_SCAN_REQUEST, posted[0].message);
    EXPECT_EQ(1u, posted[0].wParam);

    EXPECT_TRUE(ForwardToRunningInstance(path));
    posted = receiver.Posted();
    ASSERT_EQ(1u, posted.size());
    EXPECT_EQ(WM_SCAN_PATH_REQUEST, posted[0].message);
    EXPECT_EQ(CString("C:\\windows\\win.ini"), GetSharedPath());

    EXPECT_FALSE(ForwardToRunningInstance(longPath));
    EXPECT_TRUE(receiver.Posted().empty());
    EXPECT_EQ(CString("C:\\windows\\win.ini"), GetSharedPath());
    SetSharedMainWindow(nullptr);
}

TEST(SharedInstanceTest, AnInstanceForgetsItsOwnWindowOrAGoneOneButNotAnothersLiveOne)
{
    CReceiver own;
    HWND gone = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::DestroyWindow(gone);
    // A live window of another process.
    HWND others = ::GetDesktopWindow();
    DWORD othersProcess = 0;
    ::GetWindowThreadProcessId(others, &othersProcess);
    ASSERT_NE(::GetCurrentProcessId(), othersProcess);

    const struct { HWND window; HWND after; } rows[] = {
        { own.m_hWnd, nullptr },
        { gone, nullptr },
        { others, others },
        { nullptr, nullptr },
    };
    for (const auto& row : rows) {
        SetSharedMainWindow(row.window);
        ForgetSharedMainWindow();
        EXPECT_EQ(row.after, GetSharedMainWindow()) << row.window;
    }
    SetSharedMainWindow(nullptr);
}
