// Windows XP has no GetTickCount64, yet the static thread runtime that every binary of this build
// links (winpthreads) imports it: such a binary does not load there. This object, linked into
// every program and library, defines the function and its import slot itself, so the linker takes
// neither from kernel32. The function binds the system's GetTickCount64 at its first call and,
// where there is none, extends GetTickCount to 64 bits.
#include "TickCount64.h"

#include <atomic>

// The names the compiler gives GetTickCount64 and its import slot: i686 decorates the
// __stdcall name.
#if defined(__i386__)
#define KELVARA_TICK_COUNT_64 "_GetTickCount64@0"
#define KELVARA_TICK_COUNT_64_IMPORT "__imp__GetTickCount64@0"
#else
#define KELVARA_TICK_COUNT_64 "GetTickCount64"
#define KELVARA_TICK_COUNT_64_IMPORT "__imp_GetTickCount64"
#endif

namespace {

typedef ULONGLONG(WINAPI* TickCount64Function)();

CTickCountExtender g_extender;
volatile LONG g_extenderBusy = 0;

// The 64-bit count from GetTickCount. The reading is taken under the lock, so readings reach the
// extender in the order they were taken.
ULONGLONG WINAPI ExtendedTickCount()
{
    while (::InterlockedExchange(&g_extenderBusy, 1) != 0)
        ::Sleep(0);
    const ULONGLONG ticks = g_extender.Extend(::GetTickCount());
    ::InterlockedExchange(&g_extenderBusy, 0);
    return ticks;
}

TickCount64Function BindTickCount64()
{
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const FARPROC system = kernel ? ::GetProcAddress(kernel, "GetTickCount64") : nullptr;
    if (!system)
        return ExtendedTickCount;
    return reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(system));
}

std::atomic<TickCount64Function> g_tickCount64{nullptr};

} // namespace

extern "C" ULONGLONG WINAPI KelvaraTickCount64() __asm__(KELVARA_TICK_COUNT_64);

extern "C" ULONGLONG WINAPI KelvaraTickCount64()
{
    TickCount64Function function = g_tickCount64.load(std::memory_order_acquire);
    if (!function) {
        // Two threads may both bind; they store the same function.
        function = BindTickCount64();
        g_tickCount64.store(function, std::memory_order_release);
    }
    return function();
}

// The import slot that callers compiled against the system headers read.
extern "C" TickCount64Function kelvaraTickCount64Import __asm__(KELVARA_TICK_COUNT_64_IMPORT);
TickCount64Function kelvaraTickCount64Import = KelvaraTickCount64;
