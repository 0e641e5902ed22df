// Every message box of the system goes through AfxMessageBox, so that a test can install a
// handler that records the text instead of showing a window.
#pragma once

#include <windows.h>

using AfxMessageBoxHandler = int (*)(HWND owner, const char* text, const char* caption, UINT type);

int AfxMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr, const char* caption = nullptr);
// Installs a handler for this module and returns the previous one; null restores MessageBoxA.
AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);
