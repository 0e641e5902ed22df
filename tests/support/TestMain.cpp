// The entry point of every test program: COM on the main thread (as in the program), then
// GoogleTest. Message boxes are recorded, never shown, unless a test installs its own handler.
// A watchdog ends a program whose test hangs, naming the test, long before CTest's own limit.
#include <objbase.h>

#include <gtest/gtest.h>

#include "MessageBoxRecorder.h"
#include "TestWatchdog.h"

namespace {

// Seconds one test may take unless KELVARA_TEST_TIMEOUT says otherwise.
const DWORD kTestLimitSeconds = 120;

} // namespace

int main(int argc, char** argv)
{
    ::CoInitialize(nullptr);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    // Owned by GoogleTest's listener list from here on; it lives until the process ends, so the
    // program's own end (static objects, the engine's release) is watched as well.
    auto* watchdog = new CTestWatchdog(kTestLimitSeconds);
    testing::UnitTest::GetInstance()->listeners().Append(watchdog);
    CMessageBoxRecorder recorder;
    const int result = RUN_ALL_TESTS();
    watchdog->Enter("(end of the program)");
    ::CoUninitialize();
    return result;
}
