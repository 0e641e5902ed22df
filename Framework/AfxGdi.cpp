#include "AfxGdi.h"

#include <cstring>

// ---- CGdiObject ------------------------------------------------------------------------------

BOOL CGdiObject::Attach(HGDIOBJ object)
{
    if (!object || m_hObject)
        return FALSE;
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject()
{
    if (!m_hObject)
        return FALSE;
    const BOOL deleted = ::DeleteObject(Detach());
    return deleted;
}

int CGdiObject::GetObject(int size, void* buffer) const
{
    return m_hObject ? ::GetObjectA(m_hObject, size, buffer) : 0;
}

// ---- CBitmap, CBrush, CPen, CFont, CRgn --------------------------------------------------------

BOOL CBitmap::LoadBitmap(UINT resourceId)
{
    DeleteObject();
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(resourceId)));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    DeleteObject();
    return Attach(::CreateCompatibleBitmap(dc->m_hDC, width, height));
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    DeleteObject();
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

int CBitmap::GetBitmap(BITMAP* info) const
{
    return GetObject(sizeof(BITMAP), info);
}

CSize CBitmap::GetSize() const
{
    BITMAP info = {};
    if (!GetBitmap(&info))
        return CSize();
    return CSize(info.bmWidth, info.bmHeight);
}

BOOL CBrush::CreateSolidBrush(COLORREF colour)
{
    DeleteObject();
    return Attach(::CreateSolidBrush(colour));
}

BOOL CBrush::CreateSysColorBrush(int index)
{
    return CreateSolidBrush(::GetSysColor(index));
}

BOOL CPen::CreatePen(int style, int width, COLORREF colour)
{
    DeleteObject();
    return Attach(::CreatePen(style, width, colour));
}

BOOL CFont::CreateFontIndirect(const LOGFONTA* font)
{
    DeleteObject();
    return font && Attach(::CreateFontIndirectA(font));
}

BOOL CFont::CreatePointFont(int pointSizeTenths, const char* faceName, CDC* dc)
{
    LOGFONTA font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    if (faceName)
        ::lstrcpynA(font.lfFaceName, faceName, LF_FACESIZE);
    HDC screen = dc ? dc->m_hDC : ::GetDC(nullptr);
    // Tenths of a point to device units, then to a character height (negative in LOGFONT).
    POINT size = { 0, ::MulDiv(pointSizeTenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720) };
    POINT origin = { 0, 0 };
    ::DPtoLP(screen, &size, 1);
    ::DPtoLP(screen, &origin, 1);
    if (!dc)
        ::ReleaseDC(nullptr, screen);
    font.lfHeight = -abs(size.y - origin.y);
    return CreateFontIndirect(&font);
}

int CFont::GetLogFont(LOGFONTA* font) const
{
    return GetObject(sizeof(LOGFONTA), font);
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom)
{
    DeleteObject();
    return Attach(::CreateRectRgn(left, top, right, bottom));
}

BOOL CRgn::CreateRectRgnIndirect(const RECT* rect)
{
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode)
{
    return ::CombineRgn(*this, *a, b ? static_cast<HRGN>(*b) : nullptr, mode);
}

BOOL CRgn::PtInRegion(int x, int y) const
{
    return ::PtInRegion(*this, x, y);
}

// ---- CDC -------------------------------------------------------------------------------------

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    if (!dc || m_hDC)
        return FALSE;
    m_hDC = dc;
    return TRUE;
}

HDC CDC::Detach()
{
    HDC dc = m_hDC;
    m_hDC = nullptr;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr));
}

BOOL CDC::DeleteDC()
{
    if (!m_hDC)
        return FALSE;
    return ::DeleteDC(Detach());
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object)
{
    return object ? ::SelectObject(m_hDC, object) : nullptr;
}

CPoint CDC::SetViewportOrg(int x, int y)
{
    POINT old = {};
    ::SetViewportOrgEx(m_hDC, x, y, &old);
    return CPoint(old);
}

CPoint CDC::GetViewportOrg() const
{
    POINT origin = {};
    ::GetViewportOrgEx(m_hDC, &origin);
    return CPoint(origin);
}

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int srcX, int srcY, DWORD rop)
{
    return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, srcX, srcY, rop);
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int srcX, int srcY, int srcWidth,
                     int srcHeight, DWORD rop)
{
    return ::StretchBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, srcX, srcY, srcWidth,
                        srcHeight, rop);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF colour)
{
    const COLORREF old = ::SetBkColor(m_hDC, colour);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, old);
}

int CDC::DrawText(const CString& text, LPRECT rect, UINT format)
{
    return ::DrawTextA(m_hDC, text, text.GetLength(), rect, format);
}

BOOL CDC::TextOut(int x, int y, const CString& text)
{
    return ::TextOutA(m_hDC, x, y, text, text.GetLength());
}

CSize CDC::GetTextExtent(const CString& text) const
{
    SIZE size = {};
    ::GetTextExtentPoint32A(m_hDC, text, text.GetLength(), &size);
    return CSize(size.cx, size.cy);
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
    Detach();
}

CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr)
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

// ---- CImageList ------------------------------------------------------------------------------

BOOL CImageList::Create(UINT bitmapId, int imageWidth, int grow, COLORREF mask)
{
    DeleteImageList();
    m_hImageList = ::ImageList_LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(bitmapId), imageWidth, grow,
                                          mask, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    return m_hImageList != nullptr;
}

BOOL CImageList::Create(int width, int height, UINT flags, int initial, int grow)
{
    DeleteImageList();
    m_hImageList = ::ImageList_Create(width, height, flags, initial, grow);
    return m_hImageList != nullptr;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask)
{
    return ::ImageList_AddMasked(m_hImageList, *bitmap, mask);
}

int CImageList::GetImageCount() const
{
    return m_hImageList ? ::ImageList_GetImageCount(m_hImageList) : 0;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT point, UINT style)
{
    return ::ImageList_Draw(m_hImageList, image, dc->m_hDC, point.x, point.y, style);
}

BOOL CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return FALSE;
    const BOOL destroyed = ::ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return destroyed;
}

bool AfxReadBitmapPixels(HBITMAP bitmap, HDC dc, std::vector<DWORD>* pixels, int* width, int* height)
{
    BITMAP info = {};
    if (!bitmap || !pixels || !::GetObjectA(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return false;
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    pixels->assign(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight), 0);
    HDC screen = dc ? nullptr : ::GetDC(nullptr);
    const int rows = ::GetDIBits(dc ? dc : screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels->data(),
                                 &header, DIB_RGB_COLORS);
    if (screen)
        ::ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight)
        return false;
    if (width)
        *width = info.bmWidth;
    if (height)
        *height = info.bmHeight;
    return true;
}
