// The program's pages in this process: the application object with the real engine, a sandboxed
// registry, a throwaway program folder and the main window created modelessly, so that a test
// drives it with messages and reads its controls.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HoldingScanItems.h"
#include "Kelvara.h"
#include "LeftBehind.h"
#include "MessageBoxRecorder.h"
#include "QuillonDlg.h"
#include "RegistrySandbox.h"
#include "TempFolder.h"
#include "TimeBudget.h"
#include "WindowCapture.h"

// The one application object of the test program.
CQuillonApp& TestApp();

// Each slice of the pages' long work does the least it can while it lives: the end of a scan or
// of a repair then takes several slices on any machine.
class CShortestSlices
{
public:
    CShortestSlices() { CTimeBudget::SetSliceMs(0); }
    ~CShortestSlices() { CTimeBudget::SetSliceMs(CTimeBudget::kSliceMs); }
};

class PagesTest : public testing::Test
{
protected:
    void SetUp() override;
    // The main window the test drives; a test may watch it through a class of its own.
    virtual CQuillonDlg* MakeMainWindow() { return new CQuillonDlg; }
    void TearDown() override;
    // Destroys the main window and the application's pages in it, as the program's end does.
    void DestroyMainWindow();

    // Clicks a control of a page as the user would (BM_CLICK), then lets the messages run.
    static void Click(CWnd& page, int id);
    static bool IsShown(CWnd& page, int id);
    static bool IsEnabled(CWnd& page, int id);
    static std::string Text(CWnd& page, int id);
    // Runs the message loop until `done` holds or the time is up; false on time-out.
    template <class F>
    static bool PumpUntil(F done, DWORD timeoutMs = 60000);
    // The same, one message at a time, `done` asked after each: for what holds only between two
    // of the window's messages.
    template <class F>
    static bool PumpEachUntil(F done, DWORD timeoutMs = 60000);
    // Runs the queue until no input and no posted message waits in it: what keys and clicks sent
    // with SendInput have done, and what that posted, is done.
    static bool PumpInputHandled();
    // Saves what the main window shows under the build's screenshot folder.
    void SaveScreenshot(const std::string& name);
    // Saves pixels taken from the screen there (a menu or a message box open over the window).
    static void SavePicture(const CWindowPixels& picture, const std::string& name);
    // Starts a scan of `categories` from the scan page and waits for its end.
    bool ScanAndWait(DWORD categories);
    void TickOnly(DWORD categories);
    DWORD ReadSetting(const char* name);
    std::string ReadSettingText(const char* name);
    // Run-key values whose programs are missing, under HKEY_CURRENT_USER.
    void AddBrokenRunEntries(int count, const char* prefix = "Gone");

    // A scan of the startup items (`findings` broken entries) started from the scan page, its
    // job thread held inside the filing of its first finding: the job surely runs until the
    // test lets it go (m_items) or cancels it. False when the hold was not reached in time.
    bool StartHeldScan(int findings = 3);
    // Cancels the scan from its page, lets the held finding go and waits for the job's end.
    bool CancelHeldScan();
    // The message boxes that `attempt` brought up while a held scan ran (the scan is cancelled
    // afterwards).
    std::vector<std::string> MessagesWhileAScanIsHeld(const std::function<void()>& attempt);
    // With no row of the list selected, clicking each of the buttons changes neither the rows
    // nor the engine and brings up no message.
    void ExpectButtonsNeedASelection(CWnd& page, int listId, std::initializer_list<int> buttons);

    std::unique_ptr<CRegistrySandbox> m_sandbox;
    std::unique_ptr<CTempFolder> m_folder;
    // The engine keeps its folders beside the test program (or, off the Windows drive, at that
    // drive's root): what a test leaves there goes with it.
    std::unique_ptr<CLeftBehind> m_engineFolders;
    CMessageBoxRecorder m_messages;
    CQuillonDlg* m_main = nullptr;
    // The application's found-item container during the test (the application owns it).
    CHoldingScanItems* m_items = nullptr;

private:
    template <class F>
    static bool Pump(F done, DWORD timeoutMs, bool oneAtATime);
};

template <class F>
bool PagesTest::PumpUntil(F done, DWORD timeoutMs)
{
    return Pump(done, timeoutMs, false);
}

template <class F>
bool PagesTest::PumpEachUntil(F done, DWORD timeoutMs)
{
    return Pump(done, timeoutMs, true);
}

template <class F>
bool PagesTest::Pump(F done, DWORD timeoutMs, bool oneAtATime)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        bool handled = false;
        while ((!handled || !oneAtATime) && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            handled = true;
        }
        if (!handled || !oneAtATime)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}
