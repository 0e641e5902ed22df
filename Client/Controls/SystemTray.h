// CSystemTray: one icon in the taskbar's notification area. It keeps the icon's data, can cycle
// the icon through a list for a limited time, shows its popup menu on a right click (the first
// one) and runs the menu's default command on a double click, sending the commands to the main
// window.
#pragma once

#include "Afx.h"

#include <shellapi.h>

class CSystemTray : public CWnd
{
public:
    CSystemTray();
    ~CSystemTray() override;

    // Creates the tray's hidden window and adds the icon; `id` is also the id of the icon's popup
    // menu resource.
    BOOL Create(UINT callbackMessage, const char* tip, HICON icon, UINT id);
    // Cycles the icon through `icons` every `delayMs` for `periodSeconds` (0 or less: until
    // StopAnimation), then puts the current icon back.
    BOOL Animate(const HICON* icons, int count, UINT delayMs, int periodSeconds);
    void StepAnimation();
    void StopAnimation();

    virtual LRESULT OnTrayNotification(WPARAM id, LPARAM event);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    BOOL IsIconShown() const { return m_bEnabled; }
    BOOL IsAnimating() const { return m_uIDTimer != 0; }
    int GetCurrentIcon() const { return m_nCurrentIcon; }
    const NOTIFYICONDATAA& GetIconData() const { return m_tnd; }

protected:
    void OnTimer(UINT_PTR id);
    // Whole seconds since the animation started, rounded to the nearest.
    virtual LONGLONG ElapsedSeconds() const;

    DECLARE_MESSAGE_MAP()

    BOOL m_bEnabled = FALSE;
    BOOL m_bHidden = FALSE;
    NOTIFYICONDATAA m_tnd;
    CArray<HICON, HICON> m_IconList;
    UINT_PTR m_uIDTimer = 0;
    int m_nCurrentIcon = 0;
    ULONGLONG m_StartTime = 0;  // 100-ns units (FILETIME)
    int m_nAnimationPeriod = 0;
    HICON m_hSavedIcon = nullptr;
    UINT m_DefaultMenuItemID = 0;
    BOOL m_DefaultMenuItemByPos = TRUE;

private:
    BOOL ModifyIcon(HICON icon);
    // Shows the icon's popup menu at the cursor; the chosen command goes to the main window.
    void OpenMenu();
    UINT DefaultCommand();
};
