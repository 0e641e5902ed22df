// The settings page over the prefix's real Task Scheduler: the first run's default scan, the
// schedule written as the user leaves each control, the start at logon, jobs of other copies of
// the program and our own jobs in another spelling, and the options stored when the page is left.
#include "PagesFixture.h"

#include <commctrl.h>

#include "RealInput.h"
#include "ScheduledTasks.h"
#include "resource.h"

namespace {

void Command(CWnd& page, int id, int code)
{
    ::SendMessageA(page.m_hWnd, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(::GetDlgItem(page.m_hWnd, id)));
}

int Selection(CWnd& page, int id)
{
    return static_cast<int>(::SendDlgItemMessageA(page.m_hWnd, id, CB_GETCURSEL, 0, 0));
}

void Select(CWnd& page, int id, int index)
{
    ::SendDlgItemMessageA(page.m_hWnd, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Command(page, id, CBN_SELCHANGE);
}

class SettingsPageTest : public PagesTest
{
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        ASSERT_TRUE(GetJobUserName(&m_user));
        m_scanJob = ScheduledScanJobName(m_user);
        m_logonJob = LogonJobName(m_user);
    }
    CSettingDlg& Page() { return m_main->m_settingsPage; }
    bool Checked(int id) { return Page().IsDlgButtonChecked(id) == BST_CHECKED; }
    bool JobExists(const CString& name) { return SUCCEEDED(CTask().Load(name)); }
    // A job of ours as another copy or another spelling would have left it.
    void SaveJob(const CString& name, const CString& program, int type, WORD hour, WORD minute)
    {
        CTask task;
        task.m_strApplication = program;
        task.m_strParameters = type == CTask::SCHEDULE_AT_LOGON ? "" : "SCHEDULE";
        task.m_nScheduleType = type;
        ::GetLocalTime(&task.m_start);
        task.m_start.wHour = hour;
        task.m_start.wMinute = minute;
        ASSERT_EQ(S_OK, task.Save(name));
    }

    CString m_user;
    CString m_scanJob;
    CString m_logonJob;
};

} // namespace

TEST_F(SettingsPageTest, TheFirstRunCreatesAWeeklyScanThatThePageShowsAsSaved)
{
    CTask job;
    ASSERT_EQ(S_OK, job.Load(m_scanJob));
    EXPECT_EQ(GetProgramPath(), job.GetApplicationName());
    EXPECT_EQ(CString("SCHEDULE"), job.GetParameters());
    EXPECT_EQ(CTask::SCHEDULE_WEEKLY, job.m_nLoadedType);
    EXPECT_EQ(0, job.m_start.wDayOfWeek);
    EXPECT_EQ(3, job.m_start.wHour);
    EXPECT_EQ(0, job.m_start.wMinute);
    SYSTEMTIME today;
    ::GetLocalTime(&today);
    EXPECT_EQ(today.wYear, job.m_start.wYear);
    EXPECT_EQ(today.wDay, job.m_start.wDay);

    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_FALSE(IsEnabled(Page(), IDC_SETTINGS_TAB_GENERAL));
    EXPECT_TRUE(IsShown(Page(), IDC_SETTINGS_START_ON_STARTUP));
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_DISABLE_SCHEDULE));
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_APPLY));
    SaveScreenshot("settings-general");

    Click(Page(), IDC_SETTINGS_TAB_SCHEDULE);
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_START_ON_STARTUP));
    // Read back as saved, though this system cannot word the trigger itself.
    EXPECT_FALSE(Checked(IDC_SETTINGS_DISABLE_SCHEDULE));
    EXPECT_EQ(1, Selection(Page(), IDC_SETTINGS_TYPE));
    EXPECT_EQ(0, Selection(Page(), IDC_SETTINGS_DAY));
    EXPECT_TRUE(IsEnabled(Page(), IDC_SETTINGS_DAY));
    EXPECT_FALSE(Text(Page(), IDC_SETTINGS_SCHEDULE_TEXT).empty());
    EXPECT_EQ(3, Page().m_time.wHour);
    SaveScreenshot("settings-schedule");

    // Once deleted, it is not made again by a later showing of the page.
    Click(Page(), IDC_SETTINGS_DISABLE_SCHEDULE);
    EXPECT_FALSE(JobExists(m_scanJob));
    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_FALSE(JobExists(m_scanJob));
    EXPECT_TRUE(Checked(IDC_SETTINGS_DISABLE_SCHEDULE));
}

TEST_F(SettingsPageTest, EveryChangeOfTheScheduleIsWrittenWhenTheControlIsLeft)
{
    m_main->ShowPage(PAGE_SETTINGS);
    Click(Page(), IDC_SETTINGS_TAB_SCHEDULE);

    Select(Page(), IDC_SETTINGS_TYPE, 0);
    EXPECT_FALSE(IsEnabled(Page(), IDC_SETTINGS_DAY));
    SYSTEMTIME time;
    ::GetLocalTime(&time);
    time.wHour = 21;
    time.wMinute = 30;
    ::SendDlgItemMessageA(Page().m_hWnd, IDC_SETTINGS_TIME, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    NMHDR left = { ::GetDlgItem(Page().m_hWnd, IDC_SETTINGS_TIME), IDC_SETTINGS_TIME, static_cast<UINT>(NM_KILLFOCUS) };
    ::SendMessageA(Page().m_hWnd, WM_NOTIFY, IDC_SETTINGS_TIME, reinterpret_cast<LPARAM>(&left));
    CTask daily;
    ASSERT_EQ(S_OK, daily.Load(m_scanJob));
    EXPECT_EQ(CTask::SCHEDULE_DAILY, daily.m_nLoadedType);
    EXPECT_EQ(21, daily.m_start.wHour);
    EXPECT_EQ(30, daily.m_start.wMinute);
    EXPECT_EQ(0, Selection(Page(), IDC_SETTINGS_TYPE));
    EXPECT_EQ(0, Selection(Page(), IDC_SETTINGS_DAY));

    Select(Page(), IDC_SETTINGS_TYPE, 1);
    EXPECT_TRUE(IsEnabled(Page(), IDC_SETTINGS_DAY));
    Select(Page(), IDC_SETTINGS_DAY, 3);
    Command(Page(), IDC_SETTINGS_DAY, CBN_KILLFOCUS);
    CTask weekly;
    ASSERT_EQ(S_OK, weekly.Load(m_scanJob));
    EXPECT_EQ(CTask::SCHEDULE_WEEKLY, weekly.m_nLoadedType);
    EXPECT_EQ(3, weekly.m_start.wDayOfWeek);
    EXPECT_EQ(21, weekly.m_start.wHour);
    EXPECT_EQ(3, Selection(Page(), IDC_SETTINGS_DAY));

    // Disabled and enabled again: the default job, and its controls usable again.
    Click(Page(), IDC_SETTINGS_DISABLE_SCHEDULE);
    EXPECT_FALSE(JobExists(m_scanJob));
    EXPECT_TRUE(Text(Page(), IDC_SETTINGS_SCHEDULE_TEXT).empty());
    EXPECT_FALSE(IsEnabled(Page(), IDC_SETTINGS_TYPE));
    EXPECT_FALSE(IsEnabled(Page(), IDC_SETTINGS_TIME));
    Click(Page(), IDC_SETTINGS_DISABLE_SCHEDULE);
    CTask restored;
    ASSERT_EQ(S_OK, restored.Load(m_scanJob));
    EXPECT_EQ(CTask::SCHEDULE_WEEKLY, restored.m_nLoadedType);
    EXPECT_EQ(0, restored.m_start.wDayOfWeek);
    EXPECT_EQ(3, restored.m_start.wHour);
    EXPECT_TRUE(IsEnabled(Page(), IDC_SETTINGS_TYPE));
}

TEST_F(SettingsPageTest, AScheduleChosenWithTheKeysIsWrittenAndShownAtOnce)
{
    m_main->ShowPage(PAGE_SETTINGS);
    Click(Page(), IDC_SETTINGS_TAB_SCHEDULE);
    CComboBox& type = *static_cast<CComboBox*>(Page().GetDlgItem(IDC_SETTINGS_TYPE));
    HWND day = ::GetDlgItem(Page().m_hWnd, IDC_SETTINGS_DAY);
    ::SetForegroundWindow(m_main->m_hWnd);
    type.SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return ::GetFocus() == type.m_hWnd; }, 5000));
    // Keys as the user types them, each followed by what it did, the focus still where it is.
    auto press = [&](std::initializer_list<WORD> keys, bool withAlt = false) {
        if (withAlt)
            ASSERT_TRUE(PressKeyWithAlt(*keys.begin()));
        else
            ASSERT_TRUE(PressKeys(keys));
        ASSERT_TRUE(PumpInputHandled());
    };
    // The page agrees with the job as saved: the type, the day and whether it can be chosen,
    // and the schedule's text.
    auto expectShown = [&](int typeSelection, int daySelection, const char* step) {
        EXPECT_FALSE(type.GetDroppedState()) << step;
        const SCHEDULED_SCAN_STATE job = ReadScheduledScan(m_user, GetProgramPath());
        ASSERT_TRUE(job.found) << step;
        EXPECT_EQ(typeSelection == 0 ? CTask::SCHEDULE_DAILY : CTask::SCHEDULE_WEEKLY, job.loadedType) << step;
        if (typeSelection == 1) {
            EXPECT_EQ(daySelection, job.start.wDayOfWeek) << step;
        }
        EXPECT_EQ(typeSelection, Selection(Page(), IDC_SETTINGS_TYPE)) << step;
        EXPECT_EQ(daySelection, Selection(Page(), IDC_SETTINGS_DAY)) << step;
        EXPECT_EQ(typeSelection == 1, ::IsWindowEnabled(day) != FALSE) << step;
        EXPECT_EQ(std::string(job.text), Text(Page(), IDC_SETTINGS_SCHEDULE_TEXT)) << step;
    };
    expectShown(1, 0, "the first run's weekly scan");

    press({ VK_UP });
    expectShown(0, 0, "Daily by the arrow key");
    press({ VK_DOWN }, true);
    ASSERT_TRUE(type.GetDroppedState()) << "Alt+Down opens the list";
    press({ VK_DOWN, VK_RETURN });
    expectShown(1, 0, "Weekly from the open list with Enter");
    press({ VK_DOWN }, true);
    press({ VK_UP, VK_ESCAPE });
    expectShown(1, 0, "Esc leaves the open list without its item");
    EXPECT_EQ(type.m_hWnd, ::GetFocus());

    press({ VK_TAB });
    ASSERT_EQ(day, ::GetFocus());
    press({ VK_DOWN, VK_DOWN });
    expectShown(1, 2, "Tuesday by the arrow key");
}

TEST_F(SettingsPageTest, OurOwnJobsInAnotherSpellingAreKeptAndOtherCopiesJobsAreNot)
{
    // Our program by another spelling of its path: recognised, neither deleted nor rewritten.
    CString spelled = GetProgramPath();
    spelled.MakeUpper();
    spelled = "\"" + spelled + "\"";
    SaveJob(m_scanJob, spelled, CTask::SCHEDULE_DAILY, 22, 15);
    SaveJob(m_logonJob, spelled, CTask::SCHEDULE_AT_LOGON, 8, 0);
    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_TRUE(Checked(IDC_SETTINGS_START_ON_STARTUP));
    EXPECT_FALSE(Checked(IDC_SETTINGS_DISABLE_SCHEDULE));
    EXPECT_EQ(0, Selection(Page(), IDC_SETTINGS_TYPE));
    CTask scan;
    ASSERT_EQ(S_OK, scan.Load(m_scanJob));
    EXPECT_EQ(spelled, scan.GetApplicationName());
    EXPECT_EQ(22, scan.m_start.wHour);
    CTask logon;
    ASSERT_EQ(S_OK, logon.Load(m_logonJob));
    EXPECT_EQ(spelled, logon.GetApplicationName());

    // Jobs of a copy in another folder: its scan shows as no schedule of ours, its start at
    // logon is removed.
    SaveJob(m_scanJob, "C:\\Other Copy\\Kelvara.exe", CTask::SCHEDULE_WEEKLY, 4, 0);
    SaveJob(m_logonJob, "C:\\Other Copy\\Kelvara.exe", CTask::SCHEDULE_AT_LOGON, 8, 0);
    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_FALSE(Checked(IDC_SETTINGS_START_ON_STARTUP));
    EXPECT_FALSE(JobExists(m_logonJob));
    EXPECT_TRUE(Checked(IDC_SETTINGS_DISABLE_SCHEDULE));
    EXPECT_TRUE(JobExists(m_scanJob));
}

TEST_F(SettingsPageTest, StartOnStartupMakesAndRemovesTheLogonJob)
{
    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_FALSE(Checked(IDC_SETTINGS_START_ON_STARTUP));
    Click(Page(), IDC_SETTINGS_START_ON_STARTUP);
    CTask logon;
    ASSERT_EQ(S_OK, logon.Load(m_logonJob));
    EXPECT_EQ(GetProgramPath(), logon.GetApplicationName());
    EXPECT_EQ(CString(""), logon.GetParameters());
    EXPECT_EQ(CTask::SCHEDULE_AT_LOGON, logon.m_nLoadedType);
    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_TRUE(Checked(IDC_SETTINGS_START_ON_STARTUP));
    Click(Page(), IDC_SETTINGS_START_ON_STARTUP);
    EXPECT_FALSE(JobExists(m_logonJob));
}

TEST_F(SettingsPageTest, LeavingThePageStoresTheOptionsAndShowsSaved)
{
    CQuillonApp& app = TestApp();
    m_main->ShowPage(PAGE_SETTINGS);
    Click(Page(), IDC_SETTINGS_AUTO_REPAIR);
    Click(Page(), IDC_SETTINGS_RESTORE_POINT);
    // Ticking stores nothing yet.
    EXPECT_EQ(0u, ReadSetting("AutoRepair"));
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_SAVED));

    m_main->ShowPage(PAGE_BACKUP);
    EXPECT_EQ(1u, ReadSetting("AutoRepair"));
    EXPECT_EQ(1u, ReadSetting("RestorePoint"));
    EXPECT_EQ(1u, app.m_settings.m_bAutoRepair);
    EXPECT_TRUE(IsShown(Page(), IDC_SETTINGS_SAVED));

    // The second set of options, reached from the ignore-list page.
    m_main->ShowPage(PAGE_IGNORE_LIST);
    m_main->m_ignoreListPage.OnAdvanceTab();
    EXPECT_TRUE(IsShown(Page(), IDC_SETTINGS_CONTEXT_MENU));
    EXPECT_TRUE(IsShown(Page(), IDC_SETTINGS_LOG_SUMMARY));
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_START_ON_STARTUP));
    Click(Page(), IDC_SETTINGS_CONTEXT_MENU);
    m_main->ShowPage(PAGE_STATISTICS);
    EXPECT_EQ(1u, ReadSetting("ContextMenu"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "*\\shell\\Bellwort Registry Reriraz\\command"));

    m_main->ShowPage(PAGE_SETTINGS);
    EXPECT_FALSE(IsShown(Page(), IDC_SETTINGS_SAVED));
    EXPECT_TRUE(Checked(IDC_SETTINGS_AUTO_REPAIR));
    EXPECT_TRUE(Checked(IDC_SETTINGS_CONTEXT_MENU));
}
