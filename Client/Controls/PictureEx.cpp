#include "PictureEx.h"

#include <process.h>

#include <cstring>

namespace {

const DWORD kStopWaitMs = 5000;
const DWORD kShortestFrameMs = 100;
const size_t kScreenDescriptorEnd = 13;  // "GIF89a" and the logical screen descriptor

int ColourTableSize(BYTE packed)
{
    return 3 * (1 << ((packed & 7) + 1));
}

} // namespace

BEGIN_MESSAGE_MAP(CPictureEx, CStatic)
    ON_WM_PAINT()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CPictureEx::CPictureEx() : m_hExitEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

CPictureEx::~CPictureEx()
{
    UnLoad();
    if (m_hExitEvent)
        ::CloseHandle(m_hExitEvent);
}

DWORD CPictureEx::FrameWaitMs(int delay)
{
    // Under five hundredths of a second, and no delay at all (-1), both show for 100 ms.
    return delay >= 5 ? static_cast<DWORD>(delay) * 10 : kShortestFrameMs;
}

BOOL CPictureEx::Load(LPCSTR resourceName)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = ::FindResourceA(module, resourceName, "GIF");
    if (!resource)
        return FALSE;
    const DWORD size = ::SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || !size)
        return FALSE;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, size);
    if (!block)
        return FALSE;
    void* copy = ::GlobalLock(block);
    if (!copy) {
        ::GlobalFree(block);
        return FALSE;
    }
    memcpy(copy, bytes, size);
    ::GlobalUnlock(block);
    const BOOL loadedOk = LoadFromMemory(block, size);
    ::GlobalFree(block);
    return loadedOk;
}

BOOL CPictureEx::LoadFromMemory(HGLOBAL data, DWORD size)
{
    UnLoad();
    if (!data)
        return FALSE;
    m_pRawData = static_cast<const BYTE*>(::GlobalLock(data));
    if (!m_pRawData)
        return FALSE;
    m_nDataSize = size;

    const bool isGIF = size >= 3 && memcmp(m_pRawData, "GIF", 3) == 0;
    if (!isGIF) {
        m_pRawData = nullptr;
        ::GlobalUnlock(data);
        return LoadStill(data, size);
    }
    m_bIsGIF = TRUE;
    if (size < kScreenDescriptorEnd) {
        m_pRawData = nullptr;
        ::GlobalUnlock(data);
        return FALSE;
    }
    m_pGIFLSDescriptor = m_pRawData + 6;
    m_nWidth = ReadWord(6);
    m_nHeight = ReadWord(8);
    const BYTE packed = m_pRawData[10];
    m_nGlobalCTSize = (packed & 0x80) ? ColourTableSize(packed) : 0;
    const int firstBlock = static_cast<int>(kScreenDescriptorEnd) + m_nGlobalCTSize;

    m_nCurrOffset = firstBlock;
    int graphicBlocks = 0;
    while (SkipNextGraphicBlock())
        ++graphicBlocks;

    if (graphicBlocks <= 1) {
        m_pRawData = nullptr;
        m_pGIFLSDescriptor = nullptr;
        ::GlobalUnlock(data);
        return graphicBlocks == 1 && LoadStill(data, size);
    }

    m_nCurrOffset = firstBlock;
    SIZE frameSize = { m_nWidth, m_nHeight };
    POINT framePosition = { 0, 0 };
    for (;;) {
        UINT length = 0;
        int delay = -1;
        int disposal = 0;
        HGLOBAL frameData = GetNextGraphicBlock(&length, &delay, &frameSize, &framePosition, &disposal);
        if (!frameData)
            break;
        IStream* stream = nullptr;
        if (FAILED(::CreateStreamOnHGlobal(frameData, TRUE, &stream))) {
            ::GlobalFree(frameData);
            continue;
        }
        TFrame frame;
        const HRESULT loaded = ::OleLoadPicture(stream, static_cast<LONG>(length), FALSE, IID_IPicture,
                                                reinterpret_cast<void**>(&frame.m_pPicture));
        stream->Release();
        if (FAILED(loaded) || !frame.m_pPicture)
            continue;
        frame.m_nWidth = frameSize.cx;
        frame.m_nHeight = frameSize.cy;
        frame.m_nLeft = framePosition.x;
        frame.m_nTop = framePosition.y;
        frame.m_nDelay = delay;
        frame.m_nDisposal = disposal;
        m_frames.push_back(frame);
    }
    m_pRawData = nullptr;
    m_pGIFLSDescriptor = nullptr;
    ::GlobalUnlock(data);
    if (m_frames.empty())
        return FALSE;
    return PrepareDC(m_nWidth, m_nHeight);
}

BOOL CPictureEx::LoadStill(HGLOBAL data, DWORD size)
{
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(data, FALSE, &stream)))
        return FALSE;
    const HRESULT loaded = ::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                            reinterpret_cast<void**>(&m_pPicture));
    stream->Release();
    if (FAILED(loaded) || !m_pPicture) {
        m_pPicture = nullptr;
        return FALSE;
    }
    if (!m_bIsGIF) {
        // Other formats: the picture's own size, from HIMETRIC units to pixels.
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
        m_pPicture->get_Width(&width);
        m_pPicture->get_Height(&height);
        HDC dc = ::GetDC(m_hWnd);
        m_nWidth = ::MulDiv(width, ::GetDeviceCaps(dc, LOGPIXELSX), 2540);
        m_nHeight = ::MulDiv(height, ::GetDeviceCaps(dc, LOGPIXELSY), 2540);
        ::ReleaseDC(m_hWnd, dc);
    }
    return PrepareDC(m_nWidth, m_nHeight);
}

BOOL CPictureEx::PrepareDC(int width, int height)
{
    if (!m_hWnd || width <= 0 || height <= 0)
        return FALSE;
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    HDC windowDC = ::GetDC(m_hWnd);
    if (!windowDC)
        return FALSE;
    m_hMemDC = ::CreateCompatibleDC(windowDC);
    m_hBitmap = ::CreateCompatibleBitmap(windowDC, width, height);
    ::ReleaseDC(m_hWnd, windowDC);
    if (!m_hMemDC || !m_hBitmap) {
        if (m_hMemDC)
            ::DeleteDC(m_hMemDC);
        if (m_hBitmap)
            ::DeleteObject(m_hBitmap);
        m_hMemDC = nullptr;
        m_hBitmap = nullptr;
        return FALSE;
    }
    m_hOldBitmap = ::SelectObject(m_hMemDC, m_hBitmap);
    m_clrBackground = ::GetSysColor(COLOR_BTNFACE);
    RECT all = { 0, 0, width, height };
    ::FillRect(m_hMemDC, &all, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)));
    m_bIsInitialized = TRUE;
    return TRUE;
}

void CPictureEx::RenderPicture(IPicture* picture, int left, int top, int width, int height)
{
    if (!picture)
        return;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    // The source runs bottom-up in HIMETRIC: start at the bottom so the picture is upright.
    if (SUCCEEDED(picture->Render(m_hMemDC, left, top, width, height, 0, hmHeight, hmWidth, -hmHeight, nullptr)))
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPictureEx::FillArea(int left, int top, int width, int height)
{
    HBRUSH brush = ::CreateSolidBrush(m_clrBackground);
    RECT area = { left, top, left + width, top + height };
    ::FillRect(m_hMemDC, &area, brush);
    ::DeleteObject(brush);
}

void CPictureEx::SetBkColor(COLORREF colour)
{
    if (!m_bIsInitialized)
        return;
    m_clrBackground = colour;
    FillArea(0, 0, m_nWidth, m_nHeight);
}

void CPictureEx::Draw()
{
    if (!m_bIsInitialized)
        return;
    if (!IsAnimatedGIF()) {
        RenderPicture(m_pPicture, 0, 0, m_nWidth, m_nHeight);
        return;
    }
    if (m_hThread) {
        // One animation thread per control: a thread that still runs goes on.
        if (::WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT)
            return;
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    ::InterlockedExchange(&m_bExitThread, FALSE);
    ::ResetEvent(m_hExitEvent);
    unsigned threadId = 0;
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CPictureEx::ThreadProc, this, CREATE_SUSPENDED,
                                                        &threadId));
    if (m_hThread)
        ::ResumeThread(m_hThread);
}

unsigned __stdcall CPictureEx::ThreadProc(void* param)
{
    static_cast<CPictureEx*>(param)->ThreadAnimation();
    return 0;
}

void CPictureEx::SaveDisposeArea(const TFrame& frame)
{
    FreeDisposeDC();
    m_hDispMemDC = ::CreateCompatibleDC(m_hMemDC);
    m_hDispMemBM = ::CreateCompatibleBitmap(m_hMemDC, frame.m_nWidth, frame.m_nHeight);
    if (!m_hDispMemDC || !m_hDispMemBM) {
        FreeDisposeDC();
        return;
    }
    m_hDispOldBM = ::SelectObject(m_hDispMemDC, m_hDispMemBM);
    ::BitBlt(m_hDispMemDC, 0, 0, frame.m_nWidth, frame.m_nHeight, m_hMemDC, frame.m_nLeft, frame.m_nTop, SRCCOPY);
}

void CPictureEx::RestoreDisposeArea(const TFrame& frame)
{
    if (!m_hDispMemDC)
        return;
    ::BitBlt(m_hMemDC, frame.m_nLeft, frame.m_nTop, frame.m_nWidth, frame.m_nHeight, m_hDispMemDC, 0, 0, SRCCOPY);
    FreeDisposeDC();
}

void CPictureEx::FreeDisposeDC()
{
    if (m_hDispMemDC) {
        if (m_hDispOldBM)
            ::SelectObject(m_hDispMemDC, m_hDispOldBM);
        ::DeleteDC(m_hDispMemDC);
    }
    if (m_hDispMemBM)
        ::DeleteObject(m_hDispMemBM);
    m_hDispMemDC = nullptr;
    m_hDispMemBM = nullptr;
    m_hDispOldBM = nullptr;
}

void CPictureEx::ThreadAnimation()
{
    ::InterlockedExchange(&m_bIsPlaying, TRUE);
    if (m_nCurrFrame >= m_frames.size())
        m_nCurrFrame = 0;
    {
        // Coming back after a stop: undo what the frame shown last left behind.
        const TFrame& frame = m_frames[m_nCurrFrame];
        if (frame.m_nDisposal == 2)
            FillArea(frame.m_nLeft, frame.m_nTop, frame.m_nWidth, frame.m_nHeight);
        else if (frame.m_nDisposal == 3)
            RestoreDisposeArea(frame);
    }
    while (!m_bExitThread) {
        const TFrame& frame = m_frames[m_nCurrFrame];
        if (frame.m_nDisposal == 3)
            SaveDisposeArea(frame);
        RenderPicture(frame.m_pPicture, frame.m_nLeft, frame.m_nTop, frame.m_nWidth, frame.m_nHeight);
        if (m_bExitThread)
            break;
        ::WaitForSingleObject(m_hExitEvent, FrameWaitMs(frame.m_nDelay));
        if (m_bExitThread)
            break;
        if (frame.m_nDisposal == 2)
            FillArea(frame.m_nLeft, frame.m_nTop, frame.m_nWidth, frame.m_nHeight);
        else if (frame.m_nDisposal == 3)
            RestoreDisposeArea(frame);
        if (++m_nCurrFrame >= m_frames.size()) {
            m_nCurrFrame = 0;
            FillArea(0, 0, m_nWidth, m_nHeight);
        }
    }
    ::InterlockedExchange(&m_bIsPlaying, FALSE);
}

void CPictureEx::Stop()
{
    ::InterlockedExchange(&m_bIsPlaying, FALSE);
    ::InterlockedExchange(&m_bExitThread, TRUE);
    ::SetEvent(m_hExitEvent);
    if (m_hThread) {
        if (::WaitForSingleObject(m_hThread, kStopWaitMs) != WAIT_OBJECT_0)
            return;  // still drawing: it stops at its next test of the exit flag, which stays set
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
    }
    ::ResetEvent(m_hExitEvent);
    ::InterlockedExchange(&m_bExitThread, FALSE);
}

void CPictureEx::UnLoad()
{
    Stop();
    if (m_hThread) {
        // The thread draws with the frames and the memory DC: it must be gone before they are.
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
        m_hThread = nullptr;
        ::ResetEvent(m_hExitEvent);
    }
    if (m_pPicture) {
        m_pPicture->Release();
        m_pPicture = nullptr;
    }
    for (TFrame& frame : m_frames) {
        if (frame.m_pPicture)
            frame.m_pPicture->Release();
    }
    m_frames.clear();
    if (m_hMemDC) {
        if (m_hOldBitmap)
            ::SelectObject(m_hMemDC, m_hOldBitmap);
        ::DeleteDC(m_hMemDC);
    }
    if (m_hBitmap)
        ::DeleteObject(m_hBitmap);
    m_hMemDC = nullptr;
    m_hBitmap = nullptr;
    m_hOldBitmap = nullptr;
    FreeDisposeDC();
    m_PictureRect.SetRectEmpty();
    m_pRawData = nullptr;
    m_pGIFLSDescriptor = nullptr;
    m_bIsInitialized = FALSE;
    m_bExitThread = FALSE;
    m_bIsGIF = FALSE;
    m_nGlobalCTSize = 0;
    m_nCurrOffset = 0;
    m_nCurrFrame = 0;
    m_nDataSize = 0;
    m_clrBackground = RGB(255, 255, 255);
}

void CPictureEx::OnPaint()
{
    CPaintDC paint(this);
    if (!m_bIsInitialized)
        return;
    if (m_PictureRect.IsRectEmpty())
        ::BitBlt(paint, 0, 0, m_nWidth, m_nHeight, m_hMemDC, 0, 0, SRCCOPY);
    else
        ::BitBlt(paint, 0, 0, m_PictureRect.Width(), m_PictureRect.Height(), m_hMemDC, m_PictureRect.left,
                 m_PictureRect.top, SRCCOPY);
}

void CPictureEx::OnDestroy()
{
    Stop();
    CStatic::OnDestroy();
}

// ---- The GIF block walk ----------------------------------------------------------------------

WORD CPictureEx::ReadWord(size_t offset) const
{
    if (offset + 2 > m_nDataSize)
        return 0;
    return static_cast<WORD>(m_pRawData[offset] | (m_pRawData[offset + 1] << 8));
}

CPictureEx::GIFBlockType CPictureEx::GetNextBlock() const
{
    const size_t offset = static_cast<size_t>(m_nCurrOffset);
    if (offset >= m_nDataSize)
        return BLOCK_UNKNOWN;
    switch (m_pRawData[offset]) {
    case 0x21:
        if (offset + 1 >= m_nDataSize)
            return BLOCK_UNKNOWN;
        switch (m_pRawData[offset + 1]) {
        case 0x01: return BLOCK_PLAINTEXT;
        case 0xF9: return BLOCK_CONTROLEXT;
        case 0xFE: return BLOCK_COMMEXT;
        case 0xFF: return BLOCK_APPEXT;
        default: return BLOCK_UNKNOWN;
        }
    case 0x2C: return BLOCK_IMAGE;
    case 0x3B: return BLOCK_TRAILER;
    default: return BLOCK_UNKNOWN;
    }
}

int CPictureEx::GetSubBlocksLen(size_t offset) const
{
    // Sub-blocks: a length byte and that many bytes each, up to a zero length; a chain that
    // runs off the data is invalid (0).
    int total = 0;
    while (offset < m_nDataSize) {
        const int length = m_pRawData[offset];
        total += length + 1;
        offset += static_cast<size_t>(length) + 1;
        if (length == 0)
            return total;
    }
    return 0;
}

int CPictureEx::GetNextBlockLen() const
{
    const size_t offset = static_cast<size_t>(m_nCurrOffset);
    auto withChain = [this](size_t fixed, size_t chainAt) {
        const int chain = GetSubBlocksLen(chainAt);
        return chain > 0 ? static_cast<int>(fixed) + chain : 0;
    };
    switch (GetNextBlock()) {
    case BLOCK_APPEXT: return withChain(14, offset + 14);
    case BLOCK_COMMEXT: return withChain(2, offset + 2);
    case BLOCK_CONTROLEXT: return 8;
    case BLOCK_PLAINTEXT: return withChain(15, offset + 15);
    case BLOCK_IMAGE: {
        if (offset + 10 > m_nDataSize)
            return 0;
        const BYTE packed = m_pRawData[offset + 9];
        const size_t localTable = (packed & 0x80) ? static_cast<size_t>(ColourTableSize(packed)) : 0;
        return withChain(localTable + 11, offset + localTable + 11);
    }
    case BLOCK_TRAILER: return 1;
    default: return -1;
    }
}

BOOL CPictureEx::SkipNextBlock()
{
    const int length = GetNextBlockLen();
    if (length <= 0 || static_cast<size_t>(m_nCurrOffset) + static_cast<size_t>(length) > m_nDataSize)
        return FALSE;
    m_nCurrOffset += length;
    return TRUE;
}

BOOL CPictureEx::SkipNextGraphicBlock()
{
    for (;;) {
        switch (GetNextBlock()) {
        case BLOCK_APPEXT:
        case BLOCK_COMMEXT:
            if (!SkipNextBlock())
                return FALSE;
            continue;
        case BLOCK_CONTROLEXT:
            if (!SkipNextBlock())
                return FALSE;
            for (GIFBlockType type = GetNextBlock(); type != BLOCK_IMAGE && type != BLOCK_PLAINTEXT;
                 type = GetNextBlock()) {
                if (type == BLOCK_UNKNOWN || type == BLOCK_TRAILER || !SkipNextBlock())
                    return FALSE;
            }
            return SkipNextBlock();
        case BLOCK_IMAGE:
        case BLOCK_PLAINTEXT:
            return SkipNextBlock();
        default:
            return FALSE;
        }
    }
}

HGLOBAL CPictureEx::GetNextGraphicBlock(UINT* length, int* delay, SIZE* size, POINT* position, int* disposal)
{
    *length = 0;
    *delay = -1;
    *disposal = 0;
    int start = -1;
    for (bool done = false; !done;) {
        const size_t offset = static_cast<size_t>(m_nCurrOffset);
        switch (GetNextBlock()) {
        case BLOCK_APPEXT:
        case BLOCK_COMMEXT:
            if (!SkipNextBlock())
                return nullptr;
            break;
        case BLOCK_CONTROLEXT:
            if (offset + 8 > m_nDataSize)
                return nullptr;
            if (start < 0)
                start = m_nCurrOffset;
            *delay = ReadWord(offset + 4);
            *disposal = (m_pRawData[offset + 3] >> 2) & 7;
            if (!SkipNextBlock())
                return nullptr;
            for (GIFBlockType type = GetNextBlock(); type != BLOCK_IMAGE && type != BLOCK_PLAINTEXT;
                 type = GetNextBlock()) {
                if (type == BLOCK_UNKNOWN || type == BLOCK_TRAILER || !SkipNextBlock())
                    return nullptr;
            }
            break;
        case BLOCK_IMAGE:
            if (start < 0)
                start = m_nCurrOffset;
            if (offset + 10 > m_nDataSize)
                return nullptr;
            position->x = ReadWord(offset + 1);
            position->y = ReadWord(offset + 3);
            size->cx = ReadWord(offset + 5);
            size->cy = ReadWord(offset + 7);
            if (!SkipNextBlock())
                return nullptr;
            done = true;
            break;
        case BLOCK_PLAINTEXT:
            if (start < 0)
                start = m_nCurrOffset;
            if (!SkipNextBlock())
                return nullptr;
            done = true;
            break;
        default:
            return nullptr;
        }
    }

    // A GIF of its own: header, screen descriptor and global colour table, the frame, a trailer.
    const size_t header = kScreenDescriptorEnd + static_cast<size_t>(m_nGlobalCTSize);
    const size_t span = static_cast<size_t>(m_nCurrOffset - start);
    const size_t total = header + span + 1;
    HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, total);
    if (!block)
        return nullptr;
    BYTE* bytes = static_cast<BYTE*>(block);
    memcpy(bytes, m_pRawData, header);
    memcpy(bytes + header, m_pRawData + start, span);
    bytes[total - 1] = 0x3B;
    *length = static_cast<UINT>(total);
    return block;
}
