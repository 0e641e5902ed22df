// The entry point of every test program: COM on the main thread (as in the program), then
// GoogleTest. Message boxes are recorded, never shown, unless a test installs its own handler.
#include <objbase.h>

#include <gtest/gtest.h>

#include "MessageBoxRecorder.h"

int main(int argc, char** argv)
{
    ::CoInitialize(nullptr);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    CMessageBoxRecorder recorder;
    const int result = RUN_ALL_TESTS();
    ::CoUninitialize();
    return result;
}
