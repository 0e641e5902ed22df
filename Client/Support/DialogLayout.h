// The skin's bitmaps are drawn for dialogs whose font measures 6 x 13 pixels per 4 x 8 dialog
// units. Where the system's dialog font measures otherwise (other fonts, other DPI settings,
// Wine's substitutes), the controls would no longer sit on their pictures; this moves a dialog
// and its controls to where that standard font would have put them.
#pragma once

#include "Afx.h"

// Call first in OnInitDialog, before the background bitmap cuts the window's shape.
void FitDialogToSkin(CWnd* dialog);

// A rectangle laid out at `actual` pixels per 4 x 8 units, moved to the standard 6 x 13.
RECT ScaleToSkinUnits(const RECT& rect, SIZE actual);
