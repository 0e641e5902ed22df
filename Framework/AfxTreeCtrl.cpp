#include "AfxTreeCtrl.h"

#include <vector>

BOOL CTreeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateEx(0, WC_TREEVIEWA, "", style, rect, parent, id);
}

HTREEITEM CTreeCtrl::InsertItem(const char* text, int image, int selectedImage, HTREEITEM parent,
                                HTREEITEM insertAfter)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = insertAfter;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text ? text : "");
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return InsertItem(&insert);
}

HTREEITEM CTreeCtrl::InsertItem(TVINSERTSTRUCTA* insert)
{
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(insert)));
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const
{
    // The tree reads the item from the rectangle it is given.
    *reinterpret_cast<HTREEITEM*>(rect) = item;
    return static_cast<BOOL>(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
}

HTREEITEM CTreeCtrl::HitTest(POINT point, UINT* flags) const
{
    TVHITTESTINFO info = {};
    info.pt = point;
    const HTREEITEM item = TreeView_HitTest(m_hWnd, &info);
    if (flags)
        *flags = info.flags;
    return item;
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const
{
    // The tree cuts a text to the buffer it is given: grow it until the text fits with room over.
    std::vector<char> buffer(264);
    for (;;) {
        TVITEMA tvItem = {};
        tvItem.mask = TVIF_TEXT;
        tvItem.hItem = item;
        tvItem.pszText = buffer.data();
        tvItem.cchTextMax = static_cast<int>(buffer.size());
        buffer[0] = '\0';
        if (!SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)))
            return CString();
        const size_t length = ::lstrlenA(tvItem.pszText);
        if (length + 1 < buffer.size())
            return CString(tvItem.pszText);
        buffer.resize(buffer.size() * 4);
    }
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, const char* text)
{
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_TEXT;
    tvItem.hItem = item;
    tvItem.pszText = const_cast<char*>(text ? text : "");
    return static_cast<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)));
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_PARAM;
    tvItem.hItem = item;
    if (!SendMessage(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)))
        return 0;
    return static_cast<DWORD_PTR>(tvItem.lParam);
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data)
{
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_PARAM;
    tvItem.hItem = item;
    tvItem.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)));
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask)
{
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_STATE;
    tvItem.hItem = item;
    tvItem.state = state;
    tvItem.stateMask = mask;
    return static_cast<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)));
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM item, int image, int selectedImage)
{
    TVITEMA tvItem = {};
    tvItem.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tvItem.hItem = item;
    tvItem.iImage = image;
    tvItem.iSelectedImage = selectedImage;
    return static_cast<BOOL>(SendMessage(TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tvItem)));
}

HIMAGELIST CTreeCtrl::SetImageList(CImageList* list, int kind)
{
    return TreeView_SetImageList(m_hWnd, list ? list->m_hImageList : nullptr, kind);
}
