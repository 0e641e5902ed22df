#include "PagesFixture.h"

#include <shlwapi.h>

#include "JobWait.h"
#include "RegistryKey.h"
#include "ScanItemsInfo.h"
#include "ScheduledTasks.h"
#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kComputerName[] = "System\\CurrentControlSet\\Control\\ComputerName";

// The Task Scheduler asks for the computer's name, which lives in HKEY_LOCAL_MACHINE: the
// sandbox gets a copy of the prefix's.
void CopyComputerNameIntoSandbox(HKEY realKey)
{
    HKEY copy = nullptr;
    if (!realKey || ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kComputerName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy,
                                      nullptr) != ERROR_SUCCESS)
        return;
    ::SHCopyKeyA(realKey, nullptr, copy, 0);
    ::RegCloseKey(copy);
}

} // namespace

CQuillonApp& TestApp()
{
    static CQuillonApp app;
    return app;
}

void PagesTest::SetUp()
{
    HKEY computerName = nullptr;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kComputerName, 0, KEY_READ, &computerName);
    m_sandbox.reset(new CRegistrySandbox);
    CopyComputerNameIntoSandbox(computerName);
    if (computerName)
        ::RegCloseKey(computerName);
    m_folder.reset(new CTempFolder);
    CMessageBoxRecorder::ClearTexts();
    CQuillonApp& app = TestApp();
    app.SetProgramFolder(m_folder->Path().c_str());
    if (!app.m_hEngine) {
        ASSERT_TRUE(app.LoadEngine()) << "engine.dll beside the test program";
        app.m_pProcess = app.m_pEngineInterface->CreateEngineProcessNoDatabase();
    }
    ASSERT_NE(nullptr, app.m_pProcess);
    app.m_settings = AppSettings();
    app.LoadSettings();
    delete app.m_pItems;
    app.m_pItems = new CScanItemsInfo((m_folder->Path() + "\\").c_str());
    m_main = MakeMainWindow();
    app.m_pMainWnd = m_main;
    ASSERT_TRUE(m_main->Create(IDD_MAIN));
    m_main->ShowWindow(SW_SHOW);
    app.m_scanPage.ShowStep(STEP_SELECT);
    PumpUntil([] { return false; }, 200);
}

void PagesTest::TearDown()
{
    CQuillonApp& app = TestApp();
    if (app.m_pProcess && app.m_pProcess->IsRunning()) {
        app.m_pProcess->Stop(1);
        app.m_pProcess->Resume();
    }
    WaitForEngineJob(app.m_pProcess);
    // The wizard's pages belong to the application: they go with the main window they live in.
    for (CWnd* page : { static_cast<CWnd*>(&app.m_scanPage), static_cast<CWnd*>(&app.m_scanningPage),
                        static_cast<CWnd*>(&app.m_resultsPage), static_cast<CWnd*>(&app.m_summaryPage) }) {
        if (page->m_hWnd)
            page->DestroyWindow();
    }
    if (app.m_tray.m_hWnd)
        app.m_tray.DestroyWindow();
    m_main->DestroyWindow();
    delete m_main;
    m_main = nullptr;
    app.m_pMainWnd = nullptr;
    // The settings page keeps the program's jobs in the prefix's Task Scheduler.
    CString user;
    if (GetJobUserName(&user)) {
        CTask().Delete(ScheduledScanJobName(user));
        CTask().Delete(LogonJobName(user));
    }
    m_sandbox.reset();
    m_folder.reset();
}

void PagesTest::Click(CWnd& page, int id)
{
    ASSERT_NE(nullptr, ::GetDlgItem(page.m_hWnd, id)) << id;
    ::SendMessageA(::GetDlgItem(page.m_hWnd, id), BM_CLICK, 0, 0);
    PumpUntil([] { return false; }, 20);
}

bool PagesTest::IsShown(CWnd& page, int id)
{
    HWND item = ::GetDlgItem(page.m_hWnd, id);
    return item && (::GetWindowLongPtrA(item, GWL_STYLE) & WS_VISIBLE);
}

bool PagesTest::IsEnabled(CWnd& page, int id)
{
    HWND item = ::GetDlgItem(page.m_hWnd, id);
    return item && ::IsWindowEnabled(item);
}

std::string PagesTest::Text(CWnd& page, int id)
{
    return static_cast<const char*>(page.GetDlgItemText(id));
}

void PagesTest::SaveScreenshot(const std::string& name)
{
    ::CreateDirectoryA(KELVARA_SCREENSHOT_DIR, nullptr);
    // What the user sees: no repaint is asked for, the window's own painting is waited for.
    WaitUntilDrawn(m_main->m_hWnd);
    SavePng(CaptureWindow(m_main->m_hWnd), std::string(KELVARA_SCREENSHOT_DIR) + "/" + name + ".png");
}

void PagesTest::TickOnly(DWORD categories)
{
    CScanDlg& scanPage = TestApp().m_scanPage;
    for (const SCAN_CATEGORY_INFO& category : kScanCategories) {
        const bool ticked = scanPage.IsDlgButtonChecked(category.scanBox) == BST_CHECKED;
        if (ticked != ((categories & category.bit) != 0))
            Click(scanPage, category.scanBox);
    }
}

bool PagesTest::ScanAndWait(DWORD categories)
{
    CQuillonApp& app = TestApp();
    TickOnly(categories);
    Click(app.m_scanPage, IDC_SCAN_START);
    return PumpUntil([&] { return IsShown(app.m_scanningPage, IDC_SCANNING_NEXT) && !IsShown(app.m_scanningPage, IDC_SCANNING_CANCEL); });
}

DWORD PagesTest::ReadSetting(const char* name)
{
    CRegistryKey key;
    DWORD value = 0xFFFFFFFF;
    if (!key.Open() || !key.ReadDword(name, value))
        return 0xFFFFFFFF;
    return value;
}

std::string PagesTest::ReadSettingText(const char* name)
{
    CRegistryKey key;
    CString text;
    key.Open();
    key.ReadString(name, text);
    return static_cast<const char*>(text);
}

void PagesTest::AddBrokenRunEntries(int count, const char* prefix)
{
    for (int i = 0; i < count; ++i) {
        char name[64];
        char data[128];
        snprintf(name, sizeof(name), "%s%05d", prefix, i);
        snprintf(data, sizeof(data), "\"C:\\KelvaraMissing\\%s%05d.exe\" /tray", prefix, i);
        ASSERT_TRUE(WriteRegString(HKEY_CURRENT_USER, kRun, name, data));
    }
}
