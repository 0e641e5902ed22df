#include "PagesFixture.h"

#include <commctrl.h>
#include <shlwapi.h>

#include "JobWait.h"
#include "ScanItemsInfo.h"
#include "ScheduledTasks.h"
#include "SettingsKey.h"
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

// The first column of every row.
std::vector<std::string> RowNames(HWND list)
{
    std::vector<std::string> names;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        char text[1024] = {};
        ListView_GetItemText(list, row, 0, text, sizeof(text));
        names.push_back(text);
    }
    return names;
}

} // namespace

CQuillonApp& TestApp()
{
    static CQuillonApp app;
    return app;
}

void PagesTest::SetUp()
{
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, sizeof(windows));
    const std::string beside = ProgramFolder() + "\\";
    m_engineFolders.reset(new CLeftBehind({ beside + "Backup", beside + "RegistryDefrag", beside + "IgnoreList.dat",
                                            beside + "Scan Logs", beside + "WhileList.dat",
                                            std::string(windows, 2) + "\\Bellwort Registry Reriraz" }));
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
    m_items = new CHoldingScanItems((m_folder->Path() + "\\").c_str());
    app.m_pItems = m_items;
    m_main = MakeMainWindow();
    app.m_pMainWnd = m_main;
    ASSERT_TRUE(m_main->Create(IDD_MAIN));
    m_main->ShowWindow(SW_SHOW);
    app.m_scanPage.ShowStep(STEP_SELECT);
    PumpUntil([] { return false; }, 200);
    // The rest of the start (the Task Scheduler's jobs read on their own thread) is over before
    // a test looks at the pages.
    ASSERT_TRUE(PumpUntil([this] { return m_main->IsStartDone(); }));
}

void PagesTest::TearDown()
{
    CQuillonApp& app = TestApp();
    if (m_items && app.m_pItems == m_items)
        m_items->Disarm();
    if (app.m_pProcess && app.m_pProcess->IsRunning()) {
        app.m_pProcess->Stop(1);
        app.m_pProcess->Resume();
    }
    WaitForEngineJob(app.m_pProcess);
    DestroyMainWindow();
    // The settings page keeps the program's jobs in the prefix's Task Scheduler.
    CString user;
    if (GetJobUserName(&user)) {
        CTask().Delete(ScheduledScanJobName(user));
        CTask().Delete(LogonJobName(user));
    }
    m_sandbox.reset();
    m_folder.reset();
    m_engineFolders.reset();
}

void PagesTest::DestroyMainWindow()
{
    CQuillonApp& app = TestApp();
    // The wizard's pages belong to the application: they go with the main window they live in.
    for (CWnd* page : { static_cast<CWnd*>(&app.m_scanPage), static_cast<CWnd*>(&app.m_scanningPage),
                        static_cast<CWnd*>(&app.m_resultsPage), static_cast<CWnd*>(&app.m_summaryPage) }) {
        if (page->m_hWnd)
            page->DestroyWindow();
    }
    if (app.m_tray.m_hWnd)
        app.m_tray.DestroyWindow();
    if (m_main) {
        m_main->DestroyWindow();
        delete m_main;
        m_main = nullptr;
    }
    app.m_pMainWnd = nullptr;
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

bool PagesTest::PumpInputHandled()
{
    return PumpUntil([] { return (HIWORD(::GetQueueStatus(QS_INPUT | QS_POSTMESSAGE | QS_SENDMESSAGE))) == 0; }, 10000);
}

void PagesTest::SaveScreenshot(const std::string& name)
{
    // What the user sees: no repaint is asked for, the window's own painting is waited for.
    WaitUntilDrawn(m_main->m_hWnd);
    SavePicture(CaptureWindow(m_main->m_hWnd), name);
}

void PagesTest::SavePicture(const CWindowPixels& picture, const std::string& name)
{
    ::CreateDirectoryA(KELVARA_SCREENSHOT_DIR, nullptr);
    // A run at another resolution than 96 dots per inch keeps its pictures apart.
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const std::string suffix = dpi == 96 ? std::string() : "-" + std::to_string(dpi) + "dpi";
    SavePng(picture, std::string(KELVARA_SCREENSHOT_DIR) + "/" + name + suffix + ".png");
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
    CSettingsKey key;
    DWORD value = 0xFFFFFFFF;
    if (!key.Open() || !key.ReadDword(name, value))
        return 0xFFFFFFFF;
    return value;
}

std::string PagesTest::ReadSettingText(const char* name)
{
    CSettingsKey key;
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

bool PagesTest::StartHeldScan(int findings)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(findings);
    m_main->ShowPage(PAGE_WIZARD);
    TickOnly(SCAN_SUI);
    m_items->Arm();
    Click(app.m_scanPage, IDC_SCAN_START);
    return m_items->WaitHeld() && app.m_pProcess->IsRunning();
}

bool PagesTest::CancelHeldScan()
{
    CQuillonApp& app = TestApp();
    if (!IsEnabled(app.m_scanningPage, IDC_SCANNING_CANCEL))
        Click(app.m_scanningPage, IDC_SCANNING_RESUME);
    Click(app.m_scanningPage, IDC_SCANNING_CANCEL);
    m_items->Disarm();
    return PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }) &&
           WaitForEngineJob(app.m_pProcess, 30000);
}

std::vector<std::string> PagesTest::MessagesWhileAScanIsHeld(const std::function<void()>& attempt)
{
    if (!StartHeldScan()) {
        ADD_FAILURE() << "the scan was not held";
        return {};
    }
    CMessageBoxRecorder::ClearTexts();
    attempt();
    const std::vector<std::string> texts = CMessageBoxRecorder::Texts();
    EXPECT_TRUE(TestApp().m_pProcess->IsRunning()) << "the attempt ended the held scan";
    EXPECT_TRUE(CancelHeldScan());
    return texts;
}

void PagesTest::ExpectButtonsNeedASelection(CWnd& page, int listId, std::initializer_list<int> buttons)
{
    HWND list = ::GetDlgItem(page.m_hWnd, listId);
    ASSERT_NE(nullptr, list);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const std::vector<std::string> rows = RowNames(list);
    CMessageBoxRecorder::ClearTexts();
    for (int button : buttons) {
        Click(page, button);
        EXPECT_EQ(rows, RowNames(list)) << button;
        EXPECT_FALSE(TestApp().m_pProcess->IsRunning()) << button;
    }
    EXPECT_EQ(std::vector<std::string>(), CMessageBoxRecorder::Texts());
}
