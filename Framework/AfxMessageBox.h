// Every message box of the system goes through AfxMessageBox, so that a test can install a
// handler that records the text instead of showing a window.
//
// A box is always owned by a window of the program when one exists: the owner the caller names
// (its top-level window, since a box owned by a child would leave the rest of the window usable),
// else the active window of the calling thread, else the main window's thread's active window (a
// worker thread's box), else the main window itself. While the box is open its owner takes no
// input; afterwards the owner is enabled and, on its own thread, active again. Before the main
// window exists (start-up) a box has no owner.
#pragma once

#include <windows.h>

using AfxMessageBoxHandler = int (*)(HWND owner, const char* text, const char* caption, UINT type);

int AfxMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr, const char* caption = nullptr);
// The owner a box asked for with `requested` (null: none named) gets.
HWND AfxGetMessageBoxOwner(HWND requested);
// Installs a handler for this module and returns the previous one; null restores MessageBoxA.
// The handler gets the owner chosen above, disabled as a real box disables it.
AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);
