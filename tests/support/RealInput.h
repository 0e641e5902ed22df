// Input as the user makes it: keys and mouse events go to the system with SendInput and reach
// whatever window the system gives them to (the focus, the window under the pointer), not a
// window the test picks.
#pragma once

#include <windows.h>

#include <initializer_list>

// Presses and releases a key; with `shift`, while Shift is held.
bool PressKey(WORD key, bool shift = false);
// Presses and releases a key while Alt is held (Alt+Down opens a combo box's list).
bool PressKeyWithAlt(WORD key);
// Presses and releases each key in turn.
bool PressKeys(std::initializer_list<WORD> keys);
// Moves the pointer to a point of the screen.
bool MovePointerTo(POINT screen);
// Moves the pointer to the point and clicks there with the right button at once, in one input.
bool RightClickAt(POINT screen);
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);
