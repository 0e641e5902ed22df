#include "DrawingPause.h"

CDrawingPause::CDrawingPause(CWnd& window)
{
    // Turning drawing back on shows a window: only a shown one is paused.
    if (!window.m_hWnd || !(window.GetStyle() & WS_VISIBLE))
        return;
    m_hPaused = window.m_hWnd;
    ::SendMessageA(m_hPaused, WM_SETREDRAW, FALSE, 0);
}

CDrawingPause::~CDrawingPause()
{
    if (!m_hPaused || !::IsWindow(m_hPaused))
        return;
    ::SendMessageA(m_hPaused, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(m_hPaused, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
