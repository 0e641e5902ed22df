// The Explorer verb "Scan with <product>" on every file ("*\shell") and folder ("Folder\shell"),
// which starts the program with the item's path.
#pragma once

#include "Afx.h"

// The verb's command: the program path and %1, each between quotes, one space apart.
CString ContextMenuCommand(const CString& programPath);
void RegisterContextMenu(const CString& programPath);
void UnregisterContextMenu();
