// CWnd and its message maps, as the MFC classes of those names: a C++ object bound to a window
// handle through a handle map, whose window procedure dispatches through the class's message map
// and passes what it does not handle to the window's original procedure.
#pragma once

#include <windows.h>

#include "AfxString.h"

#include <utility>

class CWnd;
class CDC;
class CDataExchange;

// ---- Geometry --------------------------------------------------------------------------------

class CPoint : public POINT
{
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int px, int py) { x = px; y = py; }
    CPoint(POINT pt) { x = pt.x; y = pt.y; }
    // The point packed in a message's lParam (signed 16-bit words).
    explicit CPoint(LPARAM packed)
    {
        x = static_cast<short>(LOWORD(packed));
        y = static_cast<short>(HIWORD(packed));
    }
    friend bool operator==(const CPoint& a, const CPoint& b) { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const CPoint& a, const CPoint& b) { return !(a == b); }
};

class CSize : public SIZE
{
public:
    CSize() { cx = 0; cy = 0; }
    CSize(int w, int h) { cx = w; cy = h; }
};

class CRect : public RECT
{
public:
    CRect() { ::SetRectEmpty(this); }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& rc) { ::CopyRect(this, &rc); }
    CRect(POINT topLeft, SIZE size) { left = topLeft.x; top = topLeft.y; right = left + size.cx; bottom = top + size.cy; }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    BOOL PtInRect(POINT pt) const { return ::PtInRect(this, pt); }
    void SetRect(int l, int t, int r, int b) { ::SetRect(this, l, t, r, b); }
    void SetRectEmpty() { ::SetRectEmpty(this); }
    void OffsetRect(int dx, int dy) { ::OffsetRect(this, dx, dy); }
    void InflateRect(int dx, int dy) { ::InflateRect(this, dx, dy); }
    void DeflateRect(int dx, int dy) { ::InflateRect(this, -dx, -dy); }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    friend bool operator==(const CRect& a, const CRect& b) { return ::EqualRect(&a, &b) != FALSE; }
    friend bool operator!=(const CRect& a, const CRect& b) { return !(a == b); }
};

// ---- Message maps ----------------------------------------------------------------------------

// Messages that a parent hands back to the control that sent them (WM_NOTIFY, WM_COMMAND,
// WM_DRAWITEM, WM_CTLCOLOR) arrive in the control's map under this base plus the message.
constexpr UINT WM_REFLECT_BASE = 0xBC00;
// All WM_CTLCOLORxxx messages are dispatched as the one message WM_CTLCOLOR (0x0019) with the
// kind (CTLCOLOR_xxx).
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif

typedef LRESULT (*AFX_MSG_HANDLER)(CWnd* wnd, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT nMessage;     // window message, WM_COMMAND, WM_NOTIFY or WM_REFLECT_BASE + message
    UINT nCode;        // notification code for WM_COMMAND and WM_NOTIFY; 0 otherwise
    UINT nID;          // first control id for WM_COMMAND and WM_NOTIFY; 0 otherwise
    UINT nLastID;      // last control id of the range
    AFX_MSG_HANDLER pfn;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                      \
protected:                                         \
    static const AFX_MSGMAP* GetThisMessageMap();  \
    virtual const AFX_MSGMAP* GetMessageMap() const;

// Each entry's handler is a small function that casts the window to the class of the map and
// calls the member with the message's arguments unpacked, so the compiler checks every signature.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                 \
    {                                                                               \
        typedef theClass ThisClass;                                                 \
        typedef baseClass TheBaseClass;                                             \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                  \
            { 0, 0, 0, 0, nullptr }                                        \
        };                                                                 \
        static const AFX_MSGMAP map = { &TheBaseClass::GetThisMessageMap, entries }; \
        return &map;                                                       \
    }

#define AFX_MSG_CALL(...)                                                              \
    [](CWnd* afxWnd, WPARAM wParam, LPARAM lParam) -> LRESULT {                         \
        ThisClass* self = static_cast<ThisClass*>(afxWnd);                             \
        (void)self; (void)wParam; (void)lParam;                                        \
        __VA_ARGS__                                                                    \
    }

#define ON_MESSAGE(message, memberFxn) \
    { message, 0, 0, 0, AFX_MSG_CALL(return self->memberFxn(wParam, lParam);) },
#define ON_COMMAND(id, memberFxn) \
    { WM_COMMAND, 0, id, id, AFX_MSG_CALL(self->memberFxn(); return 0;) },
#define ON_COMMAND_RANGE(id, lastId, memberFxn) \
    { WM_COMMAND, 0, id, lastId, AFX_MSG_CALL(self->memberFxn(LOWORD(wParam)); return 0;) },
#define ON_CONTROL(code, id, memberFxn) \
    { WM_COMMAND, code, id, id, AFX_MSG_CALL(self->memberFxn(); return 0;) },
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_NOTIFY(code, id, memberFxn)                                                        \
    { WM_NOTIFY, (UINT)(code), id, id,                                                        \
      AFX_MSG_CALL(LRESULT result = 0; self->memberFxn(reinterpret_cast<NMHDR*>(lParam), &result); \
                   return result;) },
#define ON_NOTIFY_REFLECT(code, memberFxn)                                                    \
    { WM_REFLECT_BASE + WM_NOTIFY, (UINT)(code), 0, 0,                                        \
      AFX_MSG_CALL(LRESULT result = 0; self->memberFxn(reinterpret_cast<NMHDR*>(lParam), &result); \
                   return result;) },
#define ON_CONTROL_REFLECT(code, memberFxn) \
    { WM_REFLECT_BASE + WM_COMMAND, code, 0, 0, AFX_MSG_CALL(self->memberFxn(); return 0;) },
#define ON_WM_CTLCOLOR_REFLECT() \
    { WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0, \
      AFX_MSG_CALL(return afxCtlColorReflect(self, wParam, lParam, &ThisClass::CtlColor);) },

#define ON_WM_CREATE() \
    { WM_CREATE, 0, 0, 0, AFX_MSG_CALL(return self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));) },
#define ON_WM_DESTROY() { WM_DESTROY, 0, 0, 0, AFX_MSG_CALL(self->OnDestroy(); return 0;) },
#define ON_WM_CLOSE() { WM_CLOSE, 0, 0, 0, AFX_MSG_CALL(self->OnClose(); return 0;) },
#define ON_WM_PAINT() { WM_PAINT, 0, 0, 0, AFX_MSG_CALL(self->OnPaint(); return 0;) },
#define ON_WM_ERASEBKGND() \
    { WM_ERASEBKGND, 0, 0, 0, AFX_MSG_CALL(return afxWithDC(wParam, [self](CDC* dc) { return (LRESULT)self->OnEraseBkgnd(dc); });) },
#define ON_WM_CTLCOLOR()                                                                 \
    { WM_CTLCOLOR, 0, 0, 0,                                                              \
      AFX_MSG_CALL(return afxCtlColor(self, wParam, lParam, &ThisClass::OnCtlColor);) },
#define ON_WM_TIMER() { WM_TIMER, 0, 0, 0, AFX_MSG_CALL(self->OnTimer(static_cast<UINT_PTR>(wParam)); return 0;) },
#define ON_WM_SIZE() \
    { WM_SIZE, 0, 0, 0, AFX_MSG_CALL(self->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;) },
#define ON_WM_SHOWWINDOW() \
    { WM_SHOWWINDOW, 0, 0, 0, AFX_MSG_CALL(self->OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); return 0;) },
#define ON_WM_SYSCOMMAND() \
    { WM_SYSCOMMAND, 0, 0, 0, AFX_MSG_CALL(self->OnSysCommand(static_cast<UINT>(wParam), lParam); return 0;) },
#define ON_WM_QUERYDRAGICON() \
    { WM_QUERYDRAGICON, 0, 0, 0, AFX_MSG_CALL(return reinterpret_cast<LRESULT>(self->OnQueryDragIcon());) },
#define AFX_ON_MOUSE(message, memberFxn) \
    { message, 0, 0, 0, AFX_MSG_CALL(self->memberFxn(static_cast<UINT>(wParam), CPoint(lParam)); return 0;) },
#define ON_WM_LBUTTONDOWN() AFX_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_ON_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_ON_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_ON_MOUSE(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_ON_MOUSE(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEMOVE() AFX_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_MOUSELEAVE() { WM_MOUSELEAVE, 0, 0, 0, AFX_MSG_CALL(self->OnMouseLeave(); return 0;) },
#define ON_WM_KEYDOWN()                                                                              \
    { WM_KEYDOWN, 0, 0, 0,                                                                           \
      AFX_MSG_CALL(self->OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)); return 0;) },
#define ON_WM_KILLFOCUS() \
    { WM_KILLFOCUS, 0, 0, 0, AFX_MSG_CALL(self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))); return 0;) },
#define ON_WM_SETFOCUS() \
    { WM_SETFOCUS, 0, 0, 0, AFX_MSG_CALL(self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))); return 0;) },
#define ON_WM_SETCURSOR()                                                                         \
    { WM_SETCURSOR, 0, 0, 0,                                                                      \
      AFX_MSG_CALL(return self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)),     \
                                            LOWORD(lParam), HIWORD(lParam));) },
#define ON_WM_SYSCOLORCHANGE() { WM_SYSCOLORCHANGE, 0, 0, 0, AFX_MSG_CALL(self->OnSysColorChange(); return 0;) },
#define ON_WM_DRAWITEM()                                                                          \
    { WM_DRAWITEM, 0, 0, 0,                                                                       \
      AFX_MSG_CALL(self->OnDrawItem(static_cast<int>(wParam), reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); \
                   return TRUE;) },

// ---- CWnd ------------------------------------------------------------------------------------

class CWnd
{
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    // Stand-ins for the special z-order places of SetWindowPos.
    static const CWnd wndTop;
    static const CWnd wndBottom;
    static const CWnd wndTopMost;
    static const CWnd wndNoTopMost;

    // The handle map. FromHandlePermanent finds only windows bound to an object; FromHandle
    // makes a temporary object for any other window, freed when the message loop goes idle
    // (or by AfxDeleteTempMap), so its result must not be kept.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    static CWnd* WindowFromPoint(POINT point);
    static CWnd* GetFocus();
    static CWnd* GetCapture();

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    BOOL Attach(HWND hWnd);
    HWND Detach();
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id);
    virtual BOOL DestroyWindow();

    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The current message, passed to the window's original procedure.
    LRESULT Default();
    // A child's chance to handle a message it sent to its parent (reflection).
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetNextDlgGroupItem(CWnd* control, BOOL previous = FALSE) const;
    BOOL IsChild(const CWnd* wnd) const;

    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    void SetDlgItemText(int id, const char* text);
    CString GetDlgItemText(int id) const;

    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void UpdateWindow();
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    int SetWindowRgn(HRGN region, BOOL redraw);

    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
    BOOL KillTimer(UINT_PTR id);
    CWnd* SetFocus();
    CWnd* SetCapture();
    HICON SetIcon(HICON icon, BOOL bigIcon);
    void SetFont(HFONT font, BOOL redraw = TRUE);
    HFONT GetFont() const;
    BOOL SetForegroundWindow();
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    HDC GetDC();
    int ReleaseDC(HDC dc);

protected:
    // Called with the handle attached, before the window procedure is replaced.
    virtual void PreSubclassWindow() {}
    // Called after the window's last message; the object no longer has a window.
    virtual void PostNcDestroy() {}
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    static BOOL ReflectLastMsg(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Default handlers: each passes the current message on to the original procedure.
    int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
    void OnDestroy() { Default(); }
    void OnClose() { Default(); }
    void OnPaint() { Default(); }
    BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    void OnTimer(UINT_PTR) { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnShowWindow(BOOL, UINT) { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }
    HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }
    void OnLButtonDblClk(UINT, CPoint) { Default(); }
    void OnRButtonDown(UINT, CPoint) { Default(); }
    void OnRButtonUp(UINT, CPoint) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnMouseLeave() { Default(); }
    void OnKeyDown(UINT, UINT, UINT) { Default(); }
    void OnKillFocus(CWnd*) { Default(); }
    void OnSetFocus(CWnd*) { Default(); }
    BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
    void OnSysColorChange() { Default(); }
    void OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }

    WNDPROC m_pfnSuper = nullptr;

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

private:
    explicit CWnd(HWND placeholder) : m_hWnd(placeholder) {}
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend LRESULT CALLBACK AfxCbtFilterHook(int, WPARAM, LPARAM);
    const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
    void OnFinalDestroy();
};

// Helpers for the map entries: a CDC around a message's HDC for the length of the call.
LRESULT afxWithDC(WPARAM hdc, LRESULT (*call)(CDC*, void*), void* context);
template <class F>
LRESULT afxWithDC(WPARAM hdc, F call)
{
    return afxWithDC(hdc, [](CDC* dc, void* ctx) -> LRESULT { return (*static_cast<F*>(ctx))(dc); }, &call);
}
// WM_CTLCOLOR handlers get the control and the kind through lParam as a (HWND, kind) pair.
typedef std::pair<HWND, UINT> AFX_CTLCOLOR_ARGS;
template <class T, class U>
LRESULT afxCtlColor(T* self, WPARAM hdc, LPARAM packed, HBRUSH (U::*fn)(CDC*, CWnd*, UINT))
{
    const auto* args = reinterpret_cast<const AFX_CTLCOLOR_ARGS*>(packed);
    return afxWithDC(hdc, [&](CDC* dc) {
        return reinterpret_cast<LRESULT>((self->*fn)(dc, CWnd::FromHandle(args->first), args->second));
    });
}
template <class T, class U>
LRESULT afxCtlColorReflect(T* self, WPARAM hdc, LPARAM packed, HBRUSH (U::*fn)(CDC*, UINT))
{
    const auto* args = reinterpret_cast<const AFX_CTLCOLOR_ARGS*>(packed);
    return afxWithDC(hdc, [&](CDC* dc) { return reinterpret_cast<LRESULT>((self->*fn)(dc, args->second)); });
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Offers a message to PreTranslateMessage of each window from its target up to the main window
// (or the top of the chain when there is none); TRUE when one of them took it.
BOOL AfxPreTranslateMessage(MSG* pMsg);
// Frees the temporary CWnd objects that FromHandle made on this thread.
void AfxDeleteTempMap();

CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE resources);
