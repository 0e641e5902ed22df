#include "AfxCtrls.h"

// ---- CButton ---------------------------------------------------------------------------------

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult)
        *pResult = TRUE;
    return TRUE;
}

// ---- CListCtrl -------------------------------------------------------------------------------

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width)
{
    LVCOLUMNA info = {};
    info.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = format;
    info.pszText = const_cast<char*>(heading ? heading : "");
    info.iSubItem = column;
    if (width >= 0) {
        info.mask |= LVCF_WIDTH;
        info.cx = width;
    }
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::GetColumnCount() const
{
    HWND header = GetHeaderCtrl();
    return header ? Header_GetItemCount(header) : 0;
}

int CListCtrl::InsertItem(int item, const char* text, int image)
{
    LVITEMA info = {};
    info.mask = LVIF_TEXT;
    info.iItem = item;
    info.pszText = const_cast<char*>(text ? text : "");
    if (image >= 0) {
        info.mask |= LVIF_IMAGE;
        info.iImage = image;
    }
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const char* text)
{
    LVITEMA info = {};
    info.iSubItem = subItem;
    info.pszText = const_cast<char*>(text ? text : "");
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // Grow the buffer until the text fits (the control returns the copied length).
    for (int size = 256;; size *= 2) {
        std::string buffer(static_cast<size_t>(size), '\0');
        LVITEMA info = {};
        info.iSubItem = subItem;
        info.pszText = &buffer[0];
        info.cchTextMax = size;
        const int copied = static_cast<int>(
            SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
        if (copied < size - 1 || size >= 65536) {
            buffer.resize(static_cast<size_t>(copied > 0 ? copied : 0));
            return CString(buffer);
        }
    }
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data)
{
    LVITEMA info = {};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    info.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&info)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMA info = {};
    info.mask = LVIF_PARAM;
    info.iItem = item;
    if (!SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info)))
        return 0;
    return static_cast<DWORD_PTR>(info.lParam);
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMA info = {};
    info.state = state;
    info.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&info)));
}

BOOL CListCtrl::SetCheck(int item, BOOL check)
{
    return SetItemState(item, INDEXTOSTATEIMAGEMASK(check ? 2 : 1), LVIS_STATEIMAGEMASK);
}

BOOL CListCtrl::GetItemRect(int item, LPRECT rect, UINT code) const
{
    return ListView_GetItemRect(m_hWnd, item, rect, code);
}

HIMAGELIST CListCtrl::SetImageList(CImageList* list, int kind)
{
    return ListView_SetImageList(m_hWnd, list ? list->m_hImageList : nullptr, kind);
}

// ---- CMenu -----------------------------------------------------------------------------------

BOOL CMenu::LoadMenu(UINT resourceId)
{
    DestroyMenu();
    m_hMenu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(resourceId));
    m_owned = m_hMenu != nullptr;
    return m_owned;
}

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu || m_hMenu)
        return FALSE;
    m_hMenu = menu;
    m_owned = true;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    m_owned = false;
    m_subMenus.clear();
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    const bool owned = m_owned;
    HMENU menu = Detach();
    return owned && menu && ::DestroyMenu(menu);
}

CMenu* CMenu::GetSubMenu(int position)
{
    HMENU popup = ::GetSubMenu(m_hMenu, position);
    if (!popup)
        return nullptr;
    for (auto& sub : m_subMenus)
        if (sub->m_hMenu == popup)
            return sub.get();
    m_subMenus.push_back(std::make_unique<CMenu>());
    m_subMenus.back()->m_hMenu = popup;  // borrowed: destroyed with this menu
    return m_subMenus.back().get();
}

CString CMenu::GetMenuString(UINT item, UINT flags) const
{
    char text[256] = {};
    ::GetMenuStringA(m_hMenu, item, text, sizeof(text), flags);
    return CString(text);
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, LPCRECT rect)
{
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, wnd ? wnd->m_hWnd : nullptr, rect);
}
