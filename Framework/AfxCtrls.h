// Thin wrappers of the standard controls and of menus, as the MFC classes of those names.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "AfxGdi.h"
#include "AfxWin.h"

class CButton : public CWnd
{
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
    UINT GetButtonStyle() const { return GetStyle() & 0xFF; }

    // Owner-drawn buttons draw themselves: the parent hands WM_DRAWITEM back to the button.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CStatic : public CWnd
{
public:
    HBITMAP SetBitmap(HBITMAP bitmap)
    {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
    HICON SetIcon(HICON icon)
    {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
    }
};

class CProgressCtrl : public CWnd
{
public:
    void SetRange(short lower, short upper) { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int SetStep(int step) { return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step))); }
    int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

class CListCtrl : public CWnd
{
public:
    int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT, int width = -1);
    BOOL DeleteColumn(int column) { return ListView_DeleteColumn(m_hWnd, column); }
    int GetColumnCount() const;
    int InsertItem(int item, const char* text, int image = -1);
    BOOL SetItemText(int item, int subItem, const char* text);
    CString GetItemText(int item, int subItem) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    DWORD_PTR GetItemData(int item) const;
    BOOL SetItemState(int item, UINT state, UINT mask);
    UINT GetItemState(int item, UINT mask) const { return ListView_GetItemState(m_hWnd, item, mask); }
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    BOOL DeleteItem(int item) { return ListView_DeleteItem(m_hWnd, item); }
    BOOL DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd); }
    int GetNextItem(int start, int flags) const { return ListView_GetNextItem(m_hWnd, start, flags); }
    UINT GetSelectedCount() const { return ListView_GetSelectedCount(m_hWnd); }
    BOOL GetCheck(int item) const { return ListView_GetCheckState(m_hWnd, item); }
    BOOL SetCheck(int item, BOOL check = TRUE);
    int HitTest(LVHITTESTINFO* info) const { return ListView_HitTest(m_hWnd, info); }
    BOOL RedrawItems(int first, int last) { return ListView_RedrawItems(m_hWnd, first, last); }
    BOOL GetItemRect(int item, LPRECT rect, UINT code) const;
    BOOL EnsureVisible(int item, BOOL partialOK) { return ListView_EnsureVisible(m_hWnd, item, partialOK); }
    DWORD SetExtendedStyle(DWORD style) { return ListView_SetExtendedListViewStyle(m_hWnd, style); }
    DWORD GetExtendedStyle() const { return ListView_GetExtendedListViewStyle(m_hWnd); }
    HIMAGELIST SetImageList(CImageList* list, int kind);
    HIMAGELIST GetImageList(int kind) const { return ListView_GetImageList(m_hWnd, kind); }
    HWND GetHeaderCtrl() const { return ListView_GetHeader(m_hWnd); }
};

class CMenu
{
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // From the resource module (AfxGetResourceHandle).
    BOOL LoadMenu(UINT resourceId);
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();

    // A popup of this menu; the object belongs to this menu and does not destroy the popup.
    CMenu* GetSubMenu(int position);
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    CString GetMenuString(UINT item, UINT flags) const;
    BOOL SetDefaultItem(UINT item, BOOL byPosition = FALSE) { return ::SetMenuDefaultItem(m_hMenu, item, byPosition); }
    UINT GetDefaultItem(UINT flags, BOOL byPosition = FALSE) const
    {
        return ::GetMenuDefaultItem(m_hMenu, byPosition, flags);
    }
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, LPCRECT rect = nullptr);

private:
    bool m_owned = false;
    std::vector<std::unique_ptr<CMenu>> m_subMenus;
};
