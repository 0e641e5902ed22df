#include "AfxWin.h"

#include <map>

#include "AfxDialog.h"
#include "AfxGdi.h"
#include "AfxWinApp.h"

namespace {

// Windows bound to an object, for every thread (a window's messages arrive on its own thread,
// but objects may be looked up from any).
class CHandleMap
{
public:
    CHandleMap() { ::InitializeCriticalSection(&m_lock); }
    ~CHandleMap() { ::DeleteCriticalSection(&m_lock); }

    CWnd* Find(HWND hWnd)
    {
        ::EnterCriticalSection(&m_lock);
        auto it = m_windows.find(hWnd);
        CWnd* found = it == m_windows.end() ? nullptr : it->second;
        ::LeaveCriticalSection(&m_lock);
        return found;
    }
    bool Add(HWND hWnd, CWnd* wnd)
    {
        ::EnterCriticalSection(&m_lock);
        const bool added = m_windows.emplace(hWnd, wnd).second;
        ::LeaveCriticalSection(&m_lock);
        return added;
    }
    void Remove(HWND hWnd, CWnd* wnd)
    {
        ::EnterCriticalSection(&m_lock);
        auto it = m_windows.find(hWnd);
        if (it != m_windows.end() && it->second == wnd)
            m_windows.erase(it);
        ::LeaveCriticalSection(&m_lock);
    }

private:
    CRITICAL_SECTION m_lock;
    std::map<HWND, CWnd*> m_windows;
};

CHandleMap& PermanentMap()
{
    // Never destroyed: windows still get messages while the process ends (a window object of a
    // global is destroyed after every function-local static), and each looks itself up here.
    static CHandleMap* const map = new CHandleMap;
    return *map;
}

// Objects made by FromHandle for windows that have none, per thread.
thread_local std::map<HWND, CWnd*>* t_tempMap = nullptr;
// The message being handled, for Default().
thread_local MSG t_currentMsg = {};
// The object that the next window created on this thread is bound to (CBT hook).
thread_local CWnd* t_wndInit = nullptr;
thread_local HHOOK t_createHook = nullptr;

HINSTANCE g_resourceHandle = nullptr;

const char kDefaultClassName[] = "KelvaraWnd";

bool IsCtlColorMessage(UINT message)
{
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

} // namespace

LRESULT CALLBACK AfxCbtFilterHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_wndInit) {
        CWnd* wnd = t_wndInit;
        t_wndInit = nullptr;
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        if (wnd->Attach(hWnd)) {
            wnd->m_pfnSuper = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
        }
    }
    return ::CallNextHookEx(t_createHook, code, wParam, lParam);
}

void AfxHookWindowCreate(CWnd* wnd)
{
    if (!t_createHook)
        t_createHook = ::SetWindowsHookExA(WH_CBT, &AfxCbtFilterHook, nullptr, ::GetCurrentThreadId());
    t_wndInit = wnd;
}

BOOL AfxUnhookWindowCreate()
{
    if (t_createHook) {
        ::UnhookWindowsHookEx(t_createHook);
        t_createHook = nullptr;
    }
    const BOOL bound = t_wndInit == nullptr;
    t_wndInit = nullptr;
    return bound;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = PermanentMap().Find(hWnd);
    if (!wnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    const MSG saved = t_currentMsg;
    t_currentMsg.hwnd = hWnd;
    t_currentMsg.message = message;
    t_currentMsg.wParam = wParam;
    t_currentMsg.lParam = lParam;
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        wnd->OnFinalDestroy();
    t_currentMsg = saved;
    return result;
}

LRESULT afxWithDC(WPARAM hdc, LRESULT (*call)(CDC*, void*), void* context)
{
    CDC dc;
    dc.Attach(reinterpret_cast<HDC>(hdc));
    const LRESULT result = call(&dc, context);
    dc.Detach();
    return result;
}

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

// ---- CWnd: handle map --------------------------------------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_hWnd && PermanentMap().Find(m_hWnd) == this) {
        // The derived parts are gone: the window's last messages go to its original procedure.
        HWND hWnd = UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? PermanentMap().Find(hWnd) : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    if (CWnd* permanent = PermanentMap().Find(hWnd))
        return permanent;
    if (!t_tempMap)
        t_tempMap = new std::map<HWND, CWnd*>;
    CWnd*& temp = (*t_tempMap)[hWnd];
    if (!temp) {
        temp = new CWnd;
        temp->m_hWnd = hWnd;
    }
    return temp;
}

void AfxDeleteTempMap()
{
    if (!t_tempMap)
        return;
    for (auto& entry : *t_tempMap) {
        entry.second->m_hWnd = nullptr;
        delete entry.second;
    }
    delete t_tempMap;
    t_tempMap = nullptr;
}

CWnd* CWnd::WindowFromPoint(POINT point)
{
    return FromHandle(::WindowFromPoint(point));
}

CWnd* CWnd::GetFocus()
{
    return FromHandle(::GetFocus());
}

CWnd* CWnd::GetCapture()
{
    return FromHandle(::GetCapture());
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd || !PermanentMap().Add(hWnd, this))
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd)
        PermanentMap().Remove(hWnd, this);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!::IsWindow(hWnd) || !Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (!m_pfnSuper) {
        Detach();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    if (m_hWnd && m_pfnSuper &&
        reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == &AfxWndProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    return Detach();
}

void CWnd::OnFinalDestroy()
{
    UnsubclassWindow();
    PostNcDestroy();
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id)
{
    HINSTANCE instance = AfxGetInstanceHandle();
    if (!className) {
        WNDCLASSA existing;
        if (!::GetClassInfoA(instance, kDefaultClassName, &existing)) {
            WNDCLASSA wc = {};
            wc.style = CS_DBLCLKS;
            wc.lpfnWndProc = &::DefWindowProcA;
            wc.hInstance = instance;
            wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = kDefaultClassName;
            ::RegisterClassA(&wc);
        }
        className = kDefaultClassName;
    }
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top,
                                  parent ? parent->m_hWnd : nullptr,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
    AfxUnhookWindowCreate();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd && ::DestroyWindow(m_hWnd);
}

// ---- CWnd: dispatch ------------------------------------------------------------------------------

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, 0, nullptr } };
    static const AFX_MSGMAP map = { nullptr, entries };
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const
{
    return GetThisMessageMap();
}

const AFX_MSGMAP_ENTRY* CWnd::FindEntry(UINT message, UINT code, UINT id) const
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->pfn; ++entry) {
            if (entry->nMessage == message && entry->nCode == code && id >= entry->nID && id <= entry->nLastID)
                return entry;
        }
    }
    return nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(t_currentMsg.message, t_currentMsg.wParam, t_currentMsg.lParam);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY)
        return OnNotify(wParam, lParam, pResult);
    if (message == WM_DRAWITEM || message == WM_MEASUREITEM || message == WM_DELETEITEM ||
        message == WM_COMPAREITEM) {
        // Owner-drawn controls draw themselves; menus are the window's own.
        HWND control = nullptr;
        if (message == WM_DRAWITEM) {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlType != ODT_MENU)
                control = item->hwndItem;
        } else if (wParam) {
            control = ::GetDlgItem(m_hWnd, static_cast<int>(wParam));
        }
        if (control && ReflectLastMsg(control, message, wParam, lParam, pResult))
            return TRUE;
    }
    if (IsCtlColorMessage(message)) {
        AFX_CTLCOLOR_ARGS args(reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX);
        if (const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_CTLCOLOR, 0, 0)) {
            *pResult = entry->pfn(this, wParam, reinterpret_cast<LPARAM>(&args));
        } else {
            *pResult = afxWithDC(wParam, [&](CDC* dc) {
                return reinterpret_cast<LRESULT>(OnCtlColor(dc, CWnd::FromHandle(args.first), args.second));
            });
        }
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* entry = FindEntry(message, 0, 0);
    if (!entry)
        return FALSE;
    *pResult = entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND control = reinterpret_cast<HWND>(lParam);
    LRESULT ignored = 0;
    if (control && ReflectLastMsg(control, WM_COMMAND, wParam, lParam, &ignored))
        return TRUE;
    // Menus and accelerators carry 0 and 1 in the high word; both are plain commands.
    const UINT code = control ? HIWORD(wParam) : 0;
    const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_COMMAND, code, LOWORD(wParam));
    if (!entry)
        return FALSE;
    entry->pfn(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header)
        return FALSE;
    if (header->hwndFrom && header->hwndFrom != m_hWnd &&
        ReflectLastMsg(header->hwndFrom, WM_NOTIFY, wParam, lParam, pResult))
        return TRUE;
    const AFX_MSGMAP_ENTRY* entry = FindEntry(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom));
    if (!entry)
        return FALSE;
    *pResult = entry->pfn(this, wParam, lParam);
    return TRUE;
}

HBRUSH CWnd::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT)
{
    LRESULT result = 0;
    // A control may answer for itself; the window's own request (CTLCOLOR_DLG) is not reflected.
    if (pWnd && pWnd != this && ReflectLastMsg(pWnd->m_hWnd, t_currentMsg.message, reinterpret_cast<WPARAM>(pDC->m_hDC),
                               reinterpret_cast<LPARAM>(pWnd->m_hWnd), &result))
        return reinterpret_cast<HBRUSH>(result);
    return reinterpret_cast<HBRUSH>(Default());
}

BOOL CWnd::ReflectLastMsg(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    CWnd* control = FromHandlePermanent(child);
    return control && control->OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const AFX_MSGMAP_ENTRY* entry = nullptr;
    if (message == WM_COMMAND) {
        entry = FindEntry(WM_REFLECT_BASE + WM_COMMAND, HIWORD(wParam), 0);
    } else if (message == WM_NOTIFY) {
        entry = FindEntry(WM_REFLECT_BASE + WM_NOTIFY, reinterpret_cast<const NMHDR*>(lParam)->code, 0);
    } else if (IsCtlColorMessage(message)) {
        entry = FindEntry(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0);
        if (!entry)
            return FALSE;
        AFX_CTLCOLOR_ARGS args(reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX);
        const LRESULT brush = entry->pfn(this, wParam, reinterpret_cast<LPARAM>(&args));
        // A control that gives no brush leaves the colours to its parent.
        if (!brush)
            return FALSE;
        *pResult = brush;
        return TRUE;
    } else {
        entry = FindEntry(WM_REFLECT_BASE + message, 0, 0);
    }
    if (!entry)
        return FALSE;
    const LRESULT result = entry->pfn(this, wParam, lParam);
    if (pResult)
        *pResult = result;
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

BOOL CWnd::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    CWnd* mainWnd = AfxGetMainWnd();
    HWND stop = mainWnd ? mainWnd->m_hWnd : nullptr;
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
        if (wnd && wnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == stop)
            break;
    }
    return FALSE;
}

// ---- CWnd: window operations -----------------------------------------------------------------

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

CWnd* CWnd::GetParent() const
{
    return FromHandle(::GetParent(m_hWnd));
}

CWnd* CWnd::GetDlgItem(int id) const
{
    return FromHandle(::GetDlgItem(m_hWnd, id));
}

int CWnd::GetDlgCtrlID() const
{
    return ::GetDlgCtrlID(m_hWnd);
}

CWnd* CWnd::GetNextDlgGroupItem(CWnd* control, BOOL previous) const
{
    return FromHandle(::GetNextDlgGroupItem(m_hWnd, control ? control->m_hWnd : nullptr, previous));
}

BOOL CWnd::IsChild(const CWnd* wnd) const
{
    return wnd && ::IsChild(m_hWnd, wnd->m_hWnd);
}

void CWnd::SetWindowText(const char* text)
{
    ::SetWindowTextA(m_hWnd, text ? text : "");
}

void CWnd::GetWindowText(CString& text) const
{
    const int length = ::GetWindowTextLengthA(m_hWnd);
    std::string buffer(static_cast<size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(m_hWnd, &buffer[0], length + 1);
    buffer.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    text = CString(buffer);
}

CString CWnd::GetWindowText() const
{
    CString text;
    GetWindowText(text);
    return text;
}

void CWnd::SetDlgItemText(int id, const char* text)
{
    ::SetDlgItemTextA(m_hWnd, id, text ? text : "");
}

CString CWnd::GetDlgItemText(int id) const
{
    CString text;
    if (HWND item = ::GetDlgItem(m_hWnd, id)) {
        CWnd wrapper;
        wrapper.m_hWnd = item;
        wrapper.GetWindowText(text);
        wrapper.m_hWnd = nullptr;
    }
    return text;
}

BOOL CWnd::ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(const RECT* rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

BOOL CWnd::RedrawWindow(const RECT* rect, HRGN region, UINT flags)
{
    return ::RedrawWindow(m_hWnd, rect, region, flags);
}

void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
void CWnd::ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }

void CWnd::ClientToScreen(LPRECT rect) const
{
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<LPPOINT>(rect), 2);
}

void CWnd::ScreenToClient(LPRECT rect) const
{
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(rect), 2);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint)
{
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy, flags);
}

int CWnd::SetWindowRgn(HRGN region, BOOL redraw)
{
    return ::SetWindowRgn(m_hWnd, region, redraw);
}

DWORD CWnd::GetStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const
{
    return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE));
}

namespace {

BOOL ModifyWindowLong(HWND hWnd, int index, DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrA(hWnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (style == changed)
        return FALSE;
    ::SetWindowLongPtrA(hWnd, index, static_cast<LONG_PTR>(changed));
    if (flags)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE | flags);
    return TRUE;
}

} // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    return ModifyWindowLong(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags)
{
    return ModifyWindowLong(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    return ::SetTimer(m_hWnd, id, elapse, proc);
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return ::KillTimer(m_hWnd, id);
}

CWnd* CWnd::SetFocus()
{
    return FromHandle(::SetFocus(m_hWnd));
}

CWnd* CWnd::SetCapture()
{
    return FromHandle(::SetCapture(m_hWnd));
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

void CWnd::SetFont(HFONT font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

HFONT CWnd::GetFont() const
{
    return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}

BOOL CWnd::SetForegroundWindow()
{
    return ::SetForegroundWindow(m_hWnd);
}

void CWnd::CheckDlgButton(int id, UINT check)
{
    ::CheckDlgButton(m_hWnd, id, check);
}

UINT CWnd::IsDlgButtonChecked(int id) const
{
    return ::IsDlgButtonChecked(m_hWnd, id);
}

HDC CWnd::GetDC()
{
    return ::GetDC(m_hWnd);
}

int CWnd::ReleaseDC(HDC dc)
{
    return ::ReleaseDC(m_hWnd, dc);
}

// ---- Application-wide -------------------------------------------------------------------------

CWnd* AfxGetMainWnd()
{
    CWinApp* app = AfxGetApp();
    return app ? app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetResourceHandle()
{
    return g_resourceHandle ? g_resourceHandle : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE resources)
{
    g_resourceHandle = resources;
}
