// CPictureEx: a static control that shows a picture from a "GIF" resource. An animated GIF is
// split into one small single-frame GIF per frame, each decoded by the system picture loader, and
// the frames are composed into an off-screen bitmap by an animation thread of the control's own,
// honouring each frame's delay and disposal method. Other pictures are shown still.
#pragma once

#include "Afx.h"

#include <olectl.h>

#include <vector>

class CPictureEx : public CStatic
{
public:
    struct TFrame
    {
        IPicture* m_pPicture = nullptr;
        int m_nWidth = 0;
        int m_nHeight = 0;
        int m_nLeft = 0;
        int m_nTop = 0;
        int m_nDelay = -1;     // hundredths of a second; -1 without a graphic control extension
        int m_nDisposal = 0;
    };

    CPictureEx();
    ~CPictureEx() override;

    BOOL Load(LPCSTR resourceName);
    BOOL LoadFromMemory(HGLOBAL data, DWORD size);
    void Draw();
    void Stop();
    void UnLoad();
    void SetBkColor(COLORREF colour);

    BOOL IsAnimatedGIF() const { return m_bIsGIF && m_frames.size() > 1; }
    BOOL IsAnimating() const { return m_bIsPlaying; }
    BOOL IsInitialised() const { return m_bIsInitialized; }
    HANDLE GetThreadHandle() const { return m_hThread; }
    size_t GetFrameCount() const { return m_frames.size(); }
    const TFrame& GetFrame(size_t index) const { return m_frames.at(index); }
    SIZE GetSize() const { return SIZE{ m_nWidth, m_nHeight }; }
    COLORREF GetBkColor() const { return m_clrBackground; }
    // The wait after a frame: its delay, or 100 ms for a delay under five hundredths (or none).
    static DWORD FrameWaitMs(int delay);

protected:
    void OnPaint();
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    enum GIFBlockType { BLOCK_UNKNOWN, BLOCK_APPEXT, BLOCK_COMMEXT, BLOCK_CONTROLEXT, BLOCK_PLAINTEXT,
                        BLOCK_IMAGE, BLOCK_TRAILER };

    static unsigned __stdcall ThreadProc(void* param);
    void ThreadAnimation();
    BOOL PrepareDC(int width, int height);
    BOOL LoadStill(HGLOBAL data, DWORD size);
    void RenderPicture(IPicture* picture, int left, int top, int width, int height);
    void FillArea(int left, int top, int width, int height);
    void SaveDisposeArea(const TFrame& frame);
    void RestoreDisposeArea(const TFrame& frame);
    void FreeDisposeDC();

    // The GIF block walk over m_pRawData (m_nDataSize bytes) from m_nCurrOffset.
    GIFBlockType GetNextBlock() const;
    int GetSubBlocksLen(size_t offset) const;
    int GetNextBlockLen() const;
    BOOL SkipNextBlock();
    BOOL SkipNextGraphicBlock();
    HGLOBAL GetNextGraphicBlock(UINT* length, int* delay, SIZE* size, POINT* position, int* disposal);
    WORD ReadWord(size_t offset) const;

    CRect m_PictureRect;
    int m_nWidth = 0;
    int m_nHeight = 0;
    COLORREF m_clrBackground = RGB(255, 255, 255);
    UINT m_nCurrFrame = 0;
    UINT m_nDataSize = 0;
    int m_nCurrOffset = 0;
    int m_nGlobalCTSize = 0;
    BOOL m_bIsGIF = FALSE;
    volatile LONG m_bIsPlaying = FALSE;
    volatile LONG m_bExitThread = FALSE;
    BOOL m_bIsInitialized = FALSE;
    HDC m_hMemDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOldBitmap = nullptr;
    HDC m_hDispMemDC = nullptr;
    HBITMAP m_hDispMemBM = nullptr;
    HGDIOBJ m_hDispOldBM = nullptr;
    HANDLE m_hThread = nullptr;
    HANDLE m_hExitEvent = nullptr;
    IPicture* m_pPicture = nullptr;
    const BYTE* m_pRawData = nullptr;
    const BYTE* m_pGIFLSDescriptor = nullptr;
    std::vector<TFrame> m_frames;
};
