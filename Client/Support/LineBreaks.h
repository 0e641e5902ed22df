// Breaking a long text into lines of a given width for a label that wraps only at spaces: a
// registry path or a command line has long stretches without one.
#pragma once

#include <windows.h>

#include "AfxString.h"

// The text in lines ("\r\n" between them) no wider than `width` pixels in the font selected
// into `dc`. A line ends after a backslash, a slash, a space, a comma or the value separator
// (0xAC) where one lets it fit, otherwise where the width runs out; nothing of the text is
// left out or changed.
CString BreakIntoLines(HDC dc, const CString& text, int width);
// The same for a text shown in `window` in `font`: lines as wide as its client area, less a
// pixel for the window's own measuring. The text as it is when the window has no size.
CString BreakIntoLinesFor(HWND window, const LOGFONTA& font, const CString& text);
