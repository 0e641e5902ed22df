// Waiting for the engine's job thread from the user-interface thread without freezing it.
#pragma once

#include "VexaEngine.h"

// Waits until the engine's job thread has ended, dispatching this thread's messages meanwhile,
// so that a job which still reports to a window is never blocked by the wait. FALSE on time-out.
BOOL WaitForEngineJob(CAbstractProcess* process, DWORD timeoutMs = INFINITE);
// Waits until `thread` has ended, dispatching this thread's messages meanwhile. FALSE on time-out.
BOOL WaitForThreadEnd(HANDLE thread, DWORD timeoutMs = INFINITE);
