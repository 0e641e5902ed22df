#include "Wow64.h"

#include <atomic>

namespace {

std::atomic<int> g_forced{CWow64::NotForced};

template <class Function>
Function BindKernel32(const char* name)
{
    HMODULE kernel = ::GetModuleHandleA("kernel32");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(kernel, name))) : nullptr;
}

} // namespace

BOOL CWow64::IsWow64()
{
    const int forced = g_forced;
    if (forced != NotForced)
        return forced == ForceOn;
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = BindKernel32<IsWow64ProcessFn>("IsWow64Process");
    BOOL wow64 = FALSE;
    if (!isWow64Process || !isWow64Process(::GetCurrentProcess(), &wow64))
        return FALSE;
    return wow64;
}

BOOL CWow64::DisableRedirection(PVOID* cookie)
{
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    const auto disable = BindKernel32<DisableFn>("Wow64DisableWow64FsRedirection");
    return disable && cookie && disable(cookie);
}

BOOL CWow64::RevertRedirection(PVOID cookie)
{
    using RevertFn = BOOL(WINAPI*)(PVOID);
    const auto revert = BindKernel32<RevertFn>("Wow64RevertWow64FsRedirection");
    return revert && revert(cookie);
}

void CWow64::ForceState(ForcedState state)
{
    g_forced = state;
}
