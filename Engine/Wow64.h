// The WOW64 state of this process and the switch of file-system redirection, bound at run time
// because older Windows versions lack the entry points. Tests force the state either way, since
// a 64-bit process never runs under WOW64.
#pragma once

#include <windows.h>

class CWow64
{
public:
    // TRUE when this is a 32-bit process on 64-bit Windows (or the state is forced on).
    static BOOL IsWow64();
    // Turns redirection off for this thread; FALSE (cookie untouched) when not possible.
    static BOOL DisableRedirection(PVOID* cookie);
    static BOOL RevertRedirection(PVOID cookie);

    enum ForcedState { NotForced = -1, ForceOff = 0, ForceOn = 1 };
    static void ForceState(ForcedState state);
};
