// The threads the program's exit waits for.
#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include "WorkerThreads.h"

namespace {

// A thread that needs this thread's window before it can end.
unsigned __stdcall AskWindow(void* window)
{
    ::SendMessageA(static_cast<HWND>(window), WM_USER, 0, 0);
    return 0;
}

unsigned __stdcall WaitForEvent(void* event)
{
    ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER)
        ++*reinterpret_cast<int*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    return ::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(WorkerThreadsTest, WaitingAnswersTheThreadsWindowMessagesUntilEachHasEnded)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &CountingProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KelvaraWorkerThreadsTest";
    ::RegisterClassA(&windowClass);
    HWND window = ::CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, window);
    int answered = 0;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answered));

    CWorkerThreads threads;
    for (int i = 0; i < 3; ++i)
        threads.Add(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &AskWindow, window, 0, nullptr)));
    EXPECT_TRUE(threads.WaitAll(60000));
    EXPECT_EQ(3, answered);
    EXPECT_EQ(0u, threads.CountRunning());
    ::DestroyWindow(window);
}

TEST(WorkerThreadsTest, AThreadThatDoesNotEndIsLeftRunningAtTheLimit)
{
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stuck = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &WaitForEvent, release, 0, nullptr));
    ASSERT_NE(nullptr, stuck);
    HANDLE ours = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), stuck, ::GetCurrentProcess(), &ours, SYNCHRONIZE, FALSE, 0));

    CWorkerThreads threads;
    threads.Add(stuck);
    EXPECT_FALSE(threads.WaitAll(100));
    EXPECT_EQ(0u, threads.CountRunning());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(ours, 0));

    ::SetEvent(release);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(ours, 60000));
    ::CloseHandle(ours);
    ::CloseHandle(release);
}
