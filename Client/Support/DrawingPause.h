// CDrawingPause: a shown window's drawing held back while many of its children change, and the
// whole window drawn once after. Each change to a child (a new picture, a hidden window, a new
// text) would otherwise erase the parent's background at once, with Wine drawing a skinned
// page's whole bitmap every time. A hidden window is left alone: it is drawn when shown.
#pragma once

#include "Afx.h"

class CDrawingPause
{
public:
    explicit CDrawingPause(CWnd& window);
    ~CDrawingPause();
    CDrawingPause(const CDrawingPause&) = delete;
    CDrawingPause& operator=(const CDrawingPause&) = delete;

private:
    HWND m_hPaused = nullptr;
};
