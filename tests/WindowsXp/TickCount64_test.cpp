// The GetTickCount64 that every binary of this build carries in place of kernel32's import.
#include <gtest/gtest.h>

#include <windows.h>
#include <vector>

#include "TickCount64.h"

namespace {

typedef ULONGLONG(WINAPI* TickCount64Function)();

TickCount64Function SystemTickCount64()
{
    const FARPROC system = ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetTickCount64");
    return reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(system));
}

} // namespace

// Where the system has GetTickCount64, the program's own call answers with the system's count.
TEST(TickCount64, AnswersWithTheSystemsCountWhereThereIsOne)
{
    const TickCount64Function system = SystemTickCount64();
    ASSERT_NE(system, nullptr);
    for (int i = 0; i < 3; ++i) {
        const ULONGLONG before = system();
        const ULONGLONG ours = ::GetTickCount64();
        const ULONGLONG after = system();
        EXPECT_LE(before, ours);
        EXPECT_LE(ours, after);
    }
}

TEST(TickCount64, CarriesTheThirtyTwoBitCountPastItsWrap)
{
    const struct {
        const char* name;
        std::vector<DWORD> readings;
        std::vector<ULONGLONG> counts;
    } rows[] = {
        {"no wrap", {0, 1000, 0xFFFFFFFF}, {0, 1000, 0xFFFFFFFF}},
        {"equal readings", {7, 7}, {7, 7}},
        {"one wrap", {0xFFFFFFF0, 5, 10}, {0xFFFFFFF0, 0x100000005ull, 0x10000000Aull}},
        {"two wraps", {0xFFFFFFF0, 5, 0xFFFFFFF0, 3}, {0xFFFFFFF0, 0x100000005ull, 0x1FFFFFFF0ull, 0x200000003ull}},
    };
    for (const auto& row : rows) {
        CTickCountExtender extender;
        std::vector<ULONGLONG> counts;
        for (DWORD reading : row.readings)
            counts.push_back(extender.Extend(reading));
        EXPECT_EQ(counts, row.counts) << row.name;
    }
}
