// The data that every running instance of the program shares (a ".SHARED" section of the image):
// the first instance's main window and a path that a second instance hands over to it.
#pragma once

#include "Afx.h"

struct SHARED_INSTANCE_DATA
{
    // The main window of the running instance. Window handles carry 32 significant bits on every
    // Windows, so the 32-bit and 64-bit builds store the same field.
    DWORD m_hMainWnd;
    char m_szPath[MAX_PATH + 1];
};

// The instance's view of the shared section.
SHARED_INSTANCE_DATA& SharedInstanceData();

void SetSharedMainWindow(HWND window);
HWND GetSharedMainWindow();
// Empties the shared main window when it is one of this process's or no window any more; leaves
// another live instance's window alone.
void ForgetSharedMainWindow();
// Copies a path into the shared buffer; FALSE (nothing written) when it does not fit.
BOOL SetSharedPath(const CString& path);
// The shared path, never read past the buffer even when it holds no terminator.
CString GetSharedPath();

class CCommandLineInfoEx;

// What a second instance does with its command line: brings the running window to the front
// and forwards a scheduled-scan or path request to it. FALSE when there was no live window to
// forward to (or a path too long for the shared buffer).
BOOL ForwardToRunningInstance(const CCommandLineInfoEx& commandLine);
