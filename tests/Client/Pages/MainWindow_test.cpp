// The main window: which page each way of getting there shows, with which caption and navigation
// state (one table for every page), captions drawn on screen after each switch, the window's
// place, texts that fit their places in width and height (also at 120 dots per inch), the
// statistics' numbers on their rows' lines, the scan summary's words, the tray icon's menu, the
// close guard on every way of closing, and the requests a second instance forwards.
#include "PagesFixture.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "Messages.h"
#include "SharedInstance.h"
#include "WindowCapture.h"
#include "resource.h"

namespace {

bool Visible(CWnd& window)
{
    return window.m_hWnd && ::IsWindowVisible(window.m_hWnd);
}

CLabel* LabelOf(CWnd& page, int id)
{
    return dynamic_cast<CLabel*>(CWnd::FromHandlePermanent(::GetDlgItem(page.m_hWnd, id)));
}

// The height of one line in the font a label draws its text in: a label lower than that cuts
// off the bottom of its text (underscores, descenders) while its width check still passes.
int LineHeightOf(const CLabel& label)
{
    const LOGFONTA shown = label.GetShownFont();
    HFONT font = ::CreateFontIndirectA(&shown);
    HDC dc = ::GetDC(label.m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICA metrics = {};
    ::GetTextMetricsA(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(label.m_hWnd, dc);
    ::DeleteObject(font);
    return metrics.tmHeight;
}

// The screen's resolution, which the run may set (a second run of these tests at 120): the
// fonts take more pixels above 96, and the skin's pictures and the places on them do not.
int ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

bool IsInk(COLORREF pixel)
{
    return GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 128;
}

bool ColumnHasInk(const CWindowPixels& shown, int x, int top, int bottom)
{
    for (int y = top; y < bottom; ++y) {
        if (IsInk(shown.At(x, y)))
            return true;
    }
    return false;
}

// The line a text stands on between rows `top` and `bottom`: the lowest row of ink of the first
// glyph drawn from column `left` on (so a descender further on does not count); -1 without ink.
int FirstGlyphFoot(const CWindowPixels& shown, int left, int right, int top, int bottom)
{
    int x = left;
    while (x < right && !ColumnHasInk(shown, x, top, bottom))
        ++x;
    int foot = -1;
    for (; x < right && ColumnHasInk(shown, x, top, bottom); ++x) {
        for (int y = top; y < bottom; ++y) {
            if (IsInk(shown.At(x, y)))
                foot = std::max(foot, y);
        }
    }
    return foot;
}

// Every label, plain check box and skin button of a window that is meant to show: its text fits,
// in width and in height (labels measure themselves; a check box needs its text and the box), and
// a skin button's picture fits the button.
void ExpectEverythingFits(CWnd& window, const char* name)
{
    for (HWND child = ::GetWindow(window.m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!(::GetWindowLongPtrA(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        const int id = ::GetDlgCtrlID(child);
        CWnd* control = CWnd::FromHandlePermanent(child);
        CRect client;
        ::GetClientRect(child, &client);
        if (CLabel* label = dynamic_cast<CLabel*>(control)) {
            EXPECT_FALSE(label->IsTextCut()) << name << " " << id << ": " << label->GetWindowText().GetString();
            if (!label->GetWindowText().IsEmpty()) {
                EXPECT_LE(LineHeightOf(*label), client.Height())
                    << name << " " << id << ": " << label->GetWindowText().GetString();
            }
        } else if (CxSkinButton* button = dynamic_cast<CxSkinButton*>(control)) {
            EXPECT_LE(button->GetSkinSize().cx, client.Width()) << name << " " << id;
            EXPECT_LE(button->GetSkinSize().cy, client.Height()) << name << " " << id;
        } else if ((::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX &&
                   ::GetWindowTextLengthA(child) > 0) {
            char text[256] = {};
            ::GetWindowTextA(child, text, sizeof(text));
            HDC dc = ::GetDC(child);
            HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(child, WM_GETFONT, 0, 0)));
            SIZE extent = {};
            ::GetTextExtentPoint32A(dc, text, ::lstrlenA(text), &extent);
            ::SelectObject(dc, old);
            ::ReleaseDC(child, dc);
            // The box, its gap and the focus frame around the text take about 20 pixels.
            EXPECT_LE(extent.cx + 20, client.Width()) << name << " " << id << ": " << text;
        }
    }
}

// Our own open menu: another program's may be open on the same display.
HWND OurOpenMenu()
{
    HWND menu = nullptr;
    while ((menu = ::FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(menu, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

// What the tray icon's menu showed while it was open: its items, and the screen around it and
// the window it opened from.
struct TRAY_MENU_SEEN
{
    std::vector<std::string> items;
    int defaultItem = -1;
    RECT area = {};  // the screen taken
    CWindowPixels picture;
};
TRAY_MENU_SEEN g_trayMenu;
HWND g_trayMenuOwner = nullptr;

// A thread timer, run by the menu's own loop: once the menu is drawn, read and take it, close it.
void CALLBACK TakeTrayMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND menuWindow = OurOpenMenu();
    if (!menuWindow || HasPendingPaint(menuWindow))
        return;
    ::KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(::SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    for (int item = 0; item < ::GetMenuItemCount(menu); ++item) {
        char text[64] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(item), text, sizeof(text), MF_BYPOSITION);
        g_trayMenu.items.push_back(text);
    }
    g_trayMenu.defaultItem = static_cast<int>(::GetMenuDefaultItem(menu, TRUE, 0));
    RECT menuRect;
    RECT ownerRect;
    ::GetWindowRect(menuWindow, &menuRect);
    ::GetWindowRect(g_trayMenuOwner, &ownerRect);
    ::UnionRect(&g_trayMenu.area, &menuRect, &ownerRect);
    g_trayMenu.picture = CaptureScreen(g_trayMenu.area);
    ::EndMenu();
}

} // namespace

TEST_F(PagesTest, CaptionAndStepLabelAreDrawnAfterEveryPageSwitch)
{
    // Pages switched as the user switches them; each time what the labels hold is what the
    // screen shows, with no repaint asked for: a label with text differs from the background
    // behind it, an empty one shows the background untouched (nothing of the last text stays).
    struct
    {
        CWnd* owner;
        int button;
        const char* caption;
        const char* step;
    } const clicks[] = {
        { m_main, IDC_NAV_STARTUP, "MANAGE STARTUP", "" },
        { m_main, IDC_NAV_SCAN, "SCAN", "Step 1 of 3" },
        { m_main, IDC_NAV_BACKUP, "BACKUP", "" },
        { m_main, IDC_NAV_SCAN, "SCAN", "Step 1 of 3" },
        { m_main, IDC_SETTINGS_BUTTON, "SETTINGS - GENERAL", "" },
        { &m_main->m_settingsPage, IDC_SETTINGS_TAB_SCHEDULE, "SETTINGS - SCHEDULE", "" },
        { &m_main->m_settingsPage, IDC_SETTINGS_TAB_IGNORE, "SETTINGS - IGNORE LIST", "" },
        { m_main, IDC_NAV_STATISTICS, "RESULTS", "" },
        { m_main, IDC_NAV_DEFRAG, "", "" },
        { m_main, IDC_NAV_SCAN, "SCAN", "Step 1 of 3" },
    };
    for (const auto& click : clicks) {
        Click(*click.owner, click.button);
        ASSERT_TRUE(WaitUntilDrawn(m_main->m_hWnd));
        EXPECT_EQ(CString(click.caption), m_main->GetCaption());
        EXPECT_EQ(CString(click.step), m_main->GetStepText());
        for (const auto& label : { std::make_pair(IDC_CAPTION_LABEL, click.caption),
                                   std::make_pair(IDC_STEP_LABEL, click.step) }) {
            const int drawn = PixelsOverBackground(m_main->m_hWnd, ::GetDlgItem(m_main->m_hWnd, label.first), 129);
            if (*label.second)
                EXPECT_GT(drawn, 30) << click.button << ": \"" << label.second << "\" is not drawn";
            else
                EXPECT_EQ(0, drawn) << click.button << ": label " << label.first << " should be empty";
        }
    }
}

TEST_F(PagesTest, TheMainWindowOpensInTheMiddleOfTheScreen)
{
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(m_main->m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor));
    CRect window;
    m_main->GetWindowRect(&window);
    const CRect& area = monitor.rcWork;
    EXPECT_NEAR(area.left + area.Width() / 2, window.left + window.Width() / 2, 1);
    EXPECT_NEAR(area.top + area.Height() / 2, window.top + window.Height() / 2, 1);
}

TEST_F(PagesTest, EveryTextFitsItsPlace)
{
    CQuillonApp& app = TestApp();
    if (const char* dpi = std::getenv("KELVARA_EXPECTED_DPI")) {
        ASSERT_EQ(std::atoi(dpi), ScreenDpi()) << "the run's resolution did not reach the program";
    }
    // The longest texts the pages write into their labels.
    struct
    {
        CWnd* page;
        int id;
        const char* text;
    } const longest[] = {
        { m_main, IDC_CAPTION_LABEL, "SETTINGS - IGNORE LIST" },
        { m_main, IDC_STEP_LABEL, "Step 3 of 3" },
        { &app.m_scanningPage, IDC_SCANNING_ERRORS, "99999 Errors Found!" },
        { &app.m_scanningPage, IDC_SCANNING_JUNK, "1024.00GB Junk Files Found!" },
        // A count of each column of rows: however large, it is never cut.
        { &app.m_scanningPage, kScanCategories[0].countLabel, "2147483647" },
        { &app.m_scanningPage, kScanCategories[7].countLabel, "2147483647" },
        { &app.m_scanningPage, kScanCategories[13].countLabel, "2147483647" },
        { &app.m_resultsPage, IDC_RESULTS_FOUND, "99999 Errors Found" },
        { &app.m_resultsPage, IDC_RESULTS_JUNK, "1024.00GB Junk Files Found" },
        { &app.m_resultsPage, IDC_RESULTS_SELECTED, "99999 of 99999 Errors Selected for Repair" },
        { &app.m_summaryPage, IDC_SUMMARY_STATUS, "No errors found" },
        { &app.m_summaryPage, IDC_SUMMARY_TIME, CRepairResultDlg::FormatDuration(86399000) },
        { &app.m_summaryPage, IDC_SUMMARY_SCANNED, "2147483647" },
        { &m_main->m_statisticsPage, IDC_STATS_LAST_SCAN, "30 September 2026, 12:59PM" },
        { &m_main->m_statisticsPage, IDC_STATS_CLEANED_TO_DATE, "2147483647" },
        { &m_main->m_statisticsPage, IDC_STATS_JUNK_TO_DATE, "1024.0GB" },
        { &m_main->m_settingsPage, IDC_SETTINGS_SCHEDULE_TEXT,
          "At 23:59 every Wednesday of every week, starting 12/31/2026" },
        { &app.m_scanningPage, IDC_SCANNING_ACTIVITY, "HKEY_CLASSES_ROOT\\CLSID" },
    };
    for (const auto& text : longest) {
        CLabel* label = LabelOf(*text.page, text.id);
        ASSERT_NE(nullptr, label) << text.id;
        label->SetText(text.text);
        EXPECT_FALSE(label->IsTextCut()) << text.id << ": " << label->GetShownText().GetString();
        CRect client;
        label->GetClientRect(&client);
        EXPECT_LE(LineHeightOf(*label), client.Height()) << text.id << ": " << text.text;
    }

    // Every page, with the views the settings page switches between.
    const std::pair<CWnd*, const char*> pages[] = {
        { m_main, "main window" },
        { &app.m_scanPage, "scan page" },
        { &app.m_scanningPage, "scanning page" },
        { &app.m_resultsPage, "results page" },
        { &app.m_summaryPage, "summary page" },
        { &m_main->m_statisticsPage, "statistics page" },
        { &m_main->m_startupPage, "startup page" },
        { &m_main->m_backupPage, "backup page" },
        { &m_main->m_defragPage, "compaction page" },
        { &m_main->m_ignoreListPage, "ignore-list page" },
    };
    for (const auto& page : pages)
        ExpectEverythingFits(*page.first, page.second);
    for (int view : { CSettingDlg::VIEW_GENERAL, CSettingDlg::VIEW_GENERAL_MORE, CSettingDlg::VIEW_SCHEDULE }) {
        m_main->m_settingsPage.SetView(view);
        ExpectEverythingFits(m_main->m_settingsPage, "settings page");
    }
}

TEST_F(PagesTest, TheStatisticsNumbersStandOnTheLinesOfTheirRows)
{
    // Each row's number stands on the line its name stands on in the page's picture: the name's
    // first letter (a capital) and the digit end on the same row of pixels, give or take one.
    CStatusDlg& statistics = m_main->m_statisticsPage;
    m_main->ShowPage(PAGE_STATISTICS);
    for (int row = 0; row < kCategoryCount; ++row)
        statistics.SetErrorText(row, "1");
    ASSERT_TRUE(WaitUntilDrawn(m_main->m_hWnd));
    const CWindowPixels shown = CaptureWindow(statistics.m_hWnd);
    for (int row = 0; row < kCategoryCount; ++row) {
        CRect number;
        ::GetWindowRect(::GetDlgItem(statistics.m_hWnd, kScanCategories[row].statisticsErrorLabel), &number);
        statistics.ScreenToClient(&number);
        const int numberFoot = FirstGlyphFoot(shown, number.left, number.right, number.top, number.bottom);
        const int nameFoot = FirstGlyphFoot(shown, 0, number.left, number.top, number.bottom);
        ASSERT_GE(numberFoot, 0) << kScanCategories[row].name;
        ASSERT_GE(nameFoot, 0) << kScanCategories[row].name;
        EXPECT_NEAR(nameFoot, numberFoot, 1) << kScanCategories[row].name;
    }
}

TEST_F(PagesTest, TheScanSummarySaysWhatTheRepairDid)
{
    CRepairResultDlg& summary = TestApp().m_summaryPage;
    // The picture's colour at its middle: the green tick, or the amber sign of errors left.
    const COLORREF tick = RGB(0x23, 0xA5, 0x5A);
    const COLORREF left = RGB(0xF2, 0xA3, 0x3A);
    const struct
    {
        int found, repaired, skipped;
        const char* status;
        COLORREF picture;
    } cases[] = {
        { 8, 8, 0, "Cleaned", tick },
        { 8, 0, 8, "Not cleaned", left },
        { 8, 3, 5, "Partly cleaned", left },
        { 8, 6, 0, "Partly cleaned", left },  // two the repair could not remove
        { 0, 0, 0, "No errors found", tick },
    };
    for (const auto& c : cases) {
        summary.ShowValues(100, c.found, c.repaired, c.skipped, 1000);
        EXPECT_EQ(c.status, Text(summary, IDC_SUMMARY_STATUS)) << c.found << "/" << c.repaired;
        const HBITMAP picture = reinterpret_cast<HBITMAP>(
            ::SendDlgItemMessageA(summary.m_hWnd, IDC_SUMMARY_DONE_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(nullptr, picture);
        HDC screen = ::GetDC(nullptr);
        const CWindowPixels pixels = CaptureBitmap(screen, picture);
        ::ReleaseDC(nullptr, screen);
        EXPECT_EQ(c.picture, pixels.At(8, 24)) << c.status;
    }
    // Finish is one of the page's skin buttons, not a plain system button.
    EXPECT_NE(nullptr, dynamic_cast<CxSkinButton*>(CWnd::FromHandlePermanent(::GetDlgItem(summary.m_hWnd, IDC_SUMMARY_FINISH))));

    // The buttons' pictures carry their words, and so do the buttons' own texts, which are not
    // drawn over the pictures a second time.
    TestApp().m_scanPage.ShowStep(STEP_SUMMARY);
    ::ShowWindow(::GetDlgItem(summary.m_hWnd, IDC_SUMMARY_BACK), SW_SHOW);
    ASSERT_TRUE(WaitUntilDrawn(m_main->m_hWnd));
    const struct { int id; const char* text; UINT picture; } buttons[] = {
        { IDC_SUMMARY_FINISH, "Finish", 392 }, { IDC_SUMMARY_BACK, "Back", 320 },
    };
    for (const auto& button : buttons) {
        EXPECT_EQ(button.text, Text(summary, button.id));
        // The focus mark aside: the other button holds the focus while this one is looked at.
        ::SetFocus(::GetDlgItem(summary.m_hWnd, button.id == IDC_SUMMARY_FINISH ? IDC_SUMMARY_BACK : IDC_SUMMARY_FINISH));
        ASSERT_TRUE(WaitUntilDrawn(m_main->m_hWnd));
        const CWindowPixels shown = CaptureWindow(::GetDlgItem(summary.m_hWnd, button.id));
        const CWindowPixels picture = CaptureResourceBitmap(button.picture);
        ASSERT_EQ(picture.width, shown.width) << button.text;
        ASSERT_EQ(picture.height, shown.height) << button.text;
        EXPECT_TRUE(shown.pixels == picture.pixels) << button.text << " is drawn otherwise than its picture";
    }
    Click(summary, IDC_SUMMARY_FINISH);
    EXPECT_FALSE(IsShown(summary, IDC_SUMMARY_BACK));
}

TEST_F(PagesTest, TheResultsCountsAreInTheSizesThePageAsks)
{
    CScanResultDlg& results = TestApp().m_resultsPage;
    const struct { int id; int points; } sizes[] = {
        { IDC_RESULTS_FOUND, 14 }, { IDC_RESULTS_JUNK, 14 }, { IDC_RESULTS_SELECTED, 10 },
    };
    for (const auto& size : sizes)
        EXPECT_EQ(-::MulDiv(size.points, ScreenDpi(), 72), LabelOf(results, size.id)->GetLogFont().lfHeight) << size.id;
}

TEST_F(PagesTest, EachWayToAPageShowsItAloneWithItsCaptionAndNavigation)
{
    CQuillonApp& app = TestApp();
    EXPECT_EQ(m_main->m_hWnd, GetSharedMainWindow());
    CWnd* const pages[] = { &app.m_scanPage, &m_main->m_statisticsPage, &m_main->m_startupPage,
                            &m_main->m_settingsPage, &m_main->m_ignoreListPage, &m_main->m_backupPage,
                            &m_main->m_defragPage };
    const int navButtons[] = { IDC_NAV_STATISTICS, IDC_NAV_SCAN, IDC_NAV_STARTUP, IDC_NAV_BACKUP, IDC_NAV_DEFRAG };
    // The way there, the page shown, its caption and step texts, and the navigation button that
    // is off (0: every one is on).
    const struct {
        const char* way;
        std::function<void()> go;
        CWnd* page;
        const char* caption;
        const char* step;
        int navOff;
    } rows[] = {
        { "start", [] {}, &app.m_scanPage, "SCAN", "Step 1 of 3", IDC_NAV_SCAN },
        { "results button", [&] { Click(*m_main, IDC_NAV_STATISTICS); }, &m_main->m_statisticsPage, "RESULTS", "",
          IDC_NAV_STATISTICS },
        { "startup button", [&] { Click(*m_main, IDC_NAV_STARTUP); }, &m_main->m_startupPage, "MANAGE STARTUP", "",
          IDC_NAV_STARTUP },
        { "settings button", [&] { Click(*m_main, IDC_SETTINGS_BUTTON); }, &m_main->m_settingsPage,
          "SETTINGS - GENERAL", "", 0 },
        { "schedule tab", [&] { Click(m_main->m_settingsPage, IDC_SETTINGS_TAB_SCHEDULE); }, &m_main->m_settingsPage,
          "SETTINGS - SCHEDULE", "", 0 },
        { "ignore-list tab", [&] { Click(m_main->m_settingsPage, IDC_SETTINGS_TAB_IGNORE); },
          &m_main->m_ignoreListPage, "SETTINGS - IGNORE LIST", "", 0 },
        { "its schedule tab", [&] { Click(m_main->m_ignoreListPage, IDC_IGNORE_TAB_SCHEDULE); },
          &m_main->m_settingsPage, "SETTINGS - SCHEDULE", "", 0 },
        { "ignore list", [&] { m_main->ShowPage(PAGE_IGNORE_LIST); }, &m_main->m_ignoreListPage,
          "SETTINGS - IGNORE LIST", "", 0 },
        { "its general tab", [&] { Click(m_main->m_ignoreListPage, IDC_IGNORE_TAB_GENERAL); },
          &m_main->m_settingsPage, "SETTINGS - GENERAL", "", 0 },
        { "backup button", [&] { Click(*m_main, IDC_NAV_BACKUP); }, &m_main->m_backupPage, "BACKUP", "",
          IDC_NAV_BACKUP },
        { "compaction button", [&] { Click(*m_main, IDC_NAV_DEFRAG); }, &m_main->m_defragPage, "", "",
          IDC_NAV_DEFRAG },
        { "scan button", [&] { Click(*m_main, IDC_NAV_SCAN); }, &app.m_scanPage, "SCAN", "Step 1 of 3",
          IDC_NAV_SCAN },
    };
    for (const auto& row : rows) {
        row.go();
        for (CWnd* page : pages)
            EXPECT_EQ(page == row.page, Visible(*page)) << row.way;
        EXPECT_EQ(CString(row.caption), m_main->GetCaption()) << row.way;
        EXPECT_EQ(CString(row.step), m_main->GetStepText()) << row.way;
        for (int id : navButtons)
            EXPECT_EQ(id != row.navOff, IsEnabled(*m_main, id)) << row.way << " " << id;
    }
    SaveScreenshot("main-scan-page");
    m_main->ShowPage(PAGE_STATISTICS);
    EXPECT_EQ("Never", Text(m_main->m_statisticsPage, IDC_STATS_LAST_SCAN));
    SaveScreenshot("main-statistics-page");

    // No such page: the wizard's pages hide and the labels empty, the rest stays as it was.
    m_main->ShowPage(PAGE_BACKUP);
    m_main->ShowPage(7);
    EXPECT_TRUE(Visible(m_main->m_backupPage));
    EXPECT_EQ(CString(""), m_main->GetCaption());
    EXPECT_FALSE(IsEnabled(*m_main, IDC_NAV_BACKUP));
}

TEST_F(PagesTest, TheTrayIconsMenuOffersRestoreMinimiseAndExit)
{
    CQuillonApp& app = TestApp();
    ASSERT_NE(nullptr, app.m_tray.m_hWnd);
    // The menu opens where the mouse is: on the icon, as after a right click on it. Without a
    // desktop's notification area Wine shows the icons in a window of its own; where there is
    // none, the menu opens over the main window.
    HWND iconsWindow = ::FindWindowA("__winex11_standalone_tray", nullptr);
    g_trayMenuOwner = iconsWindow ? iconsWindow : m_main->m_hWnd;
    CRect area;
    ::GetWindowRect(g_trayMenuOwner, &area);
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    ::SetCursorPos(area.left + 12, area.bottom - 12);
    g_trayMenu = TRAY_MENU_SEEN();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &TakeTrayMenu);
    app.m_tray.SendMessage(WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP);
    // The icon opens its menu from a message it posts itself, after the click.
    PumpUntil([] { return !g_trayMenu.picture.pixels.empty(); }, 10000);
    ::KillTimer(nullptr, timer);
    ::SetCursorPos(cursor.x, cursor.y);
    EXPECT_EQ((std::vector<std::string>{ "&Restore", "&Minimize to Tray", "E&xit" }), g_trayMenu.items);
    EXPECT_EQ(0, g_trayMenu.defaultItem);
    ASSERT_FALSE(g_trayMenu.picture.pixels.empty()) << "the menu was not seen open";
    SavePicture(g_trayMenu.picture, "tray-menu");
}

TEST_F(PagesTest, EveryWayOfClosingIsRefusedWhileAJobRuns)
{
    CQuillonApp& app = TestApp();
    const std::vector<std::string> refused = MessagesWhileAScanIsHeld([&] {
        Click(*m_main, IDC_CLOSE_BUTTON);
        m_main->SendMessage(WM_CLOSE);
        m_main->SendMessage(WM_COMMAND, ID_TRAY_EXIT);
        PumpUntil([] { return false; }, 50);
        EXPECT_TRUE(::IsWindowVisible(m_main->m_hWnd));
        // A forwarded request while the job runs is dropped.
        app.m_scanningPage.m_nScanMode = SCAN_MODE_SCHEDULED;
        SetSharedPath("C:\\windows");
        m_main->SendMessage(WM_SCAN_PATH_REQUEST);
        EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);
    });
    EXPECT_EQ(std::vector<std::string>(3, "Please stop active operation before closing."), refused);

    CMessageBoxRecorder::ClearTexts();
    Click(*m_main, IDC_CLOSE_BUTTON);
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());
}

TEST_F(PagesTest, ForwardedRequestsStartTheirScans)
{
    CQuillonApp& app = TestApp();
    AddBrokenRunEntries(2);
    TickOnly(SCAN_SUI);
    m_main->SendMessage(WM_SCHEDULED_SCAN_REQUEST, SCAN_MODE_SCHEDULED);
    EXPECT_EQ(SCAN_MODE_SCHEDULED, app.m_scanningPage.m_nScanMode);
    EXPECT_EQ(STEP_SCANNING, app.m_scanPage.GetStep());
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }));

    SetSharedPath("C:\\windows\\win.ini");
    m_main->SendMessage(WM_SCAN_PATH_REQUEST);
    EXPECT_EQ(SCAN_MODE_PATH, app.m_scanningPage.m_nScanMode);
    EXPECT_EQ(CString("C:\\windows\\win.ini"), app.m_scanningPage.m_strScanPath);
    ASSERT_TRUE(PumpUntil([&] { return IsEnabled(app.m_scanningPage, IDC_SCANNING_NEXT); }));
    EXPECT_EQ("2 Errors Found!", Text(app.m_scanningPage, IDC_SCANNING_ERRORS));
}
