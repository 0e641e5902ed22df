// Showing, hiding, enabling and disabling a page's child windows, each of which may not be made.
#pragma once

#include "Afx.h"

// Shows or hides a child window (nothing for a window not made). A hidden child's place is
// erased with its parent's next paint, not at once: Wine erases the parent then and there on
// ShowWindow(SW_HIDE), and a skinned page's erase draws its whole background bitmap, so a page
// that hides a dozen children would draw it a dozen times in one message.
void ShowChild(CWnd& window, bool show);
// Enables or disables a child window (nothing for a window not made).
void EnableChild(CWnd& window, bool enable);
