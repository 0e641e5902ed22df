// The rules of the tool pages that need no window, as tables: how an ignore-list key splits
// into its row, when two program paths name the same program, how a scheduled job is filled
// from the page's choices, how backup files are named, dated and told, what the compaction page
// does with each result code, and the program name in a startup command.
#include <gtest/gtest.h>

#include "AdvanceOptions.h"
#include "AdvanceSettingsDlg.h"
#include "Defrag.h"
#include "Kelvara.h"
#include "ScheduledTasks.h"
#include "StartupManager.h"
#include "TempFolder.h"

namespace {

std::string S(const CString& text)
{
    return std::string(text.GetString());
}

} // namespace

TEST(IgnoreListRows, AKeySplitsAtItsLastCaretIntoItemAndCategory)
{
    const struct { const char* key; const char* item; const char* category; } rows[] = {
        { "HKEY_CURRENT_USER\\Software\\A^File Associations", "HKEY_CURRENT_USER\\Software\\A", "File Associations" },
        // Item texts may hold "^"; category labels never do.
        { "C:\\odd^name.lnk^Program Shortcuts", "C:\\odd^name.lnk", "Program Shortcuts" },
        { "a^b^c^Windows Fonts", "a^b^c", "Windows Fonts" },
        // A key without "^": no item, the whole key as its category.
        { "NoCaret", "", "NoCaret" },
        { "Trailing^", "Trailing", "" },
    };
    for (const auto& row : rows) {
        std::map<CString, int> list = { { row.key, 0 } };
        const std::vector<IGNORE_LIST_ROW> shown = MakeIgnoreListRows(list);
        ASSERT_EQ(1u, shown.size()) << row.key;
        EXPECT_EQ(row.key, S(shown[0].key));
        EXPECT_EQ(row.item, S(shown[0].item)) << row.key;
        EXPECT_EQ(row.category, S(shown[0].category)) << row.key;
    }
}

TEST(IgnoreListRows, RowsFollowKeyOrderAndKeepEachWholeKey)
{
    const std::map<CString, int> list = { { "B^Windows Fonts", 0 }, { "A^File Associations", 0 },
                                          { "A^Windows Fonts", 0 } };
    const std::vector<IGNORE_LIST_ROW> rows = MakeIgnoreListRows(list);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("A", S(rows[0].item));
    EXPECT_EQ("File Associations", S(rows[0].category));
    EXPECT_EQ("A^Windows Fonts", S(rows[1].key));
    EXPECT_EQ("B", S(rows[2].item));
}

TEST(ProgramPaths, TheSameProgramWhateverItsSpelling)
{
    CTempFolder folder;
    const std::string program = folder.WriteFile("Kelvara Folder\\Kelvara.exe", "MZ");
    char shortPath[MAX_PATH] = {};
    ::GetShortPathNameA(program.c_str(), shortPath, sizeof(shortPath));
    std::string upper = program;
    for (char& ch : upper)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    const std::string relativeFolder = folder.Path();
    const struct { std::string a; std::string b; bool same; } rows[] = {
        { program, program, true },
        { "\"" + program + "\"", program, true },
        { "  \"" + program + "\" ", program, true },
        { upper, program, true },
        { shortPath, program, true },
        { folder.Path() + "\\Kelvara Folder\\..\\Kelvara Folder\\Kelvara.exe", program, true },
        { folder.Path() + "\\Other\\Kelvara.exe", program, false },
        { program + ".bak", program, false },
        { "", "", false },
        { "\"\"", "", false },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.same, IsSameProgramPath(row.a.c_str(), row.b.c_str()) != FALSE) << row.a << " / " << row.b;
}

TEST(ScheduledJobs, NamesCarryTheProductAndTheUser)
{
    EXPECT_EQ("Bellwort Registry Reriraz Scheduled Scan - alice", S(ScheduledScanJobName("alice")));
    EXPECT_EQ("Bellwort Registry Reriraz on user logon - alice", S(LogonJobName("alice")));
}

TEST(ScheduledJobs, FilledFromThePagesChoices)
{
    SYSTEMTIME today = {};
    today.wYear = 2026;
    today.wMonth = 12;
    today.wDay = 8;
    today.wHour = 17;
    const struct { bool byDefault; int type; int day; WORD hour, minute; int expectedType; WORD expectedDay, expectedHour, expectedMinute; WORD mask; } rows[] = {
        // The first-run job: weekly, Sunday, 03:00, whatever the controls hold.
        { true, 0, 4, 11, 30, CTask::SCHEDULE_WEEKLY, 0, 3, 0, 1 },
        { false, 0, 4, 11, 30, CTask::SCHEDULE_DAILY, 4, 11, 30, 0 },
        { false, 1, 3, 22, 5, CTask::SCHEDULE_WEEKLY, 3, 22, 5, 8 },
        { false, 1, 6, 0, 0, CTask::SCHEDULE_WEEKLY, 6, 0, 0, 64 },
        // No day or one out of range counts as Sunday.
        { false, 1, -1, 9, 0, CTask::SCHEDULE_WEEKLY, 0, 9, 0, 1 },
        { false, 1, 7, 9, 0, CTask::SCHEDULE_WEEKLY, 0, 9, 0, 1 },
    };
    for (const auto& row : rows) {
        SCHEDULE_CHOICE choice;
        choice.defaultTask = row.byDefault;
        choice.typeSelection = row.type;
        choice.daySelection = row.day;
        choice.time.wHour = row.hour;
        choice.time.wMinute = row.minute;
        CTask task;
        FillScheduledScanJob(task, "C:\\Program Files\\Kelvara\\Kelvara.exe", "alice", today, choice, "Schedule Scan");
        EXPECT_EQ(row.expectedType, task.m_nScheduleType);
        EXPECT_EQ(row.expectedDay, task.m_start.wDayOfWeek);
        EXPECT_EQ(row.expectedHour, task.m_start.wHour);
        EXPECT_EQ(row.expectedMinute, task.m_start.wMinute);
        EXPECT_EQ(2026, task.m_start.wYear);
        EXPECT_EQ(8, task.m_start.wDay);
        EXPECT_EQ("SCHEDULE", S(task.m_strParameters));
        EXPECT_EQ("C:\\Program Files\\Kelvara\\", S(task.m_strWorkingDirectory));
        EXPECT_EQ("alice", S(task.m_strAccount));
        EXPECT_EQ("Schedule Scan", S(task.m_strScheduleText));
        const TASK_TRIGGER trigger = task.MakeTrigger();
        if (row.expectedType == CTask::SCHEDULE_WEEKLY) {
            EXPECT_EQ(TASK_TIME_TRIGGER_WEEKLY, trigger.TriggerType);
            EXPECT_EQ(row.mask, trigger.Type.Weekly.rgfDaysOfTheWeek);
            EXPECT_EQ(1, trigger.Type.Weekly.WeeksInterval);
        } else {
            EXPECT_EQ(TASK_TIME_TRIGGER_DAILY, trigger.TriggerType);
            EXPECT_EQ(1, trigger.Type.Daily.DaysInterval);
        }
    }

    CTask logon;
    FillLogonJob(logon, "C:\\K\\Kelvara.exe", "alice", today, "On Logon");
    EXPECT_EQ(TASK_EVENT_TRIGGER_AT_LOGON, logon.MakeTrigger().TriggerType);
    EXPECT_EQ(17, logon.m_start.wHour);
    EXPECT_TRUE(logon.m_strParameters.IsEmpty());
}

TEST(ScheduledJobs, DaysOfTheWeekAndTriggerTexts)
{
    const struct { int mask; int day; } days[] = { { 1, 0 }, { 2, 1 }, { 4, 2 }, { 8, 3 }, { 16, 4 }, { 32, 5 },
                                                   { 64, 6 }, { 0, 0 }, { 3, 0 }, { 20, 0 }, { 128, 0 } };
    for (const auto& row : days)
        EXPECT_EQ(row.day, CTask::DayOfWeekFromMask(row.mask)) << row.mask;

    TASK_TRIGGER weekly = {};
    weekly.TriggerType = TASK_TIME_TRIGGER_WEEKLY;
    weekly.Type.Weekly.rgfDaysOfTheWeek = 1 | 8;
    weekly.wStartHour = 3;
    weekly.wBeginYear = 2026;
    weekly.wBeginMonth = 12;
    weekly.wBeginDay = 6;
    EXPECT_EQ("At 03:00 every Sunday, Wednesday of every week, starting 12/6/2026", S(CTask::DescribeTrigger(weekly)));
    TASK_TRIGGER daily = weekly;
    daily.TriggerType = TASK_TIME_TRIGGER_DAILY;
    daily.wStartHour = 14;
    daily.wStartMinute = 5;
    EXPECT_EQ("At 14:05 every day, starting 12/6/2026", S(CTask::DescribeTrigger(daily)));
    TASK_TRIGGER logon = {};
    logon.TriggerType = TASK_EVENT_TRIGGER_AT_LOGON;
    EXPECT_EQ("At logon", S(CTask::DescribeTrigger(logon)));
}

TEST(BackupList, NamesDatesAndMessages)
{
    const struct { const char* file; const char* name; } names[] = {
        { "08122026_140509_FULL_REGBACKUP.rbk", "08122026_140509_FULL_REGBACKUP" },
        { "a.b.rbk", "a.b" },
        { ".rbk", ".rbk" },
        { "plain", "plain" },
    };
    for (const auto& row : names)
        EXPECT_EQ(row.name, S(BackupNameOf(row.file))) << row.file;

    SYSTEMTIME time = {};
    time.wYear = 2009;
    time.wMonth = 3;
    time.wDay = 3;
    time.wHour = 14;
    time.wMinute = 5;
    time.wSecond = 9;
    EXPECT_EQ("March 03, 2009 (14:05:09)", S(FormatBackupDate(time)));
    time.wMonth = 12;
    time.wDay = 31;
    time.wHour = 0;
    EXPECT_EQ("December 31, 2009 (00:05:09)", S(FormatBackupDate(time)));
    time.wMonth = 0;
    EXPECT_EQ("", S(FormatBackupDate(time)));

    // What is told follows the job's own result.
    EXPECT_EQ("Backup successfully created.", S(BackupFinishedMessage(false, 1)));
    EXPECT_EQ("Backup successfully restored.", S(BackupFinishedMessage(true, 1)));
    EXPECT_NE(BackupFinishedMessage(false, 1), BackupFinishedMessage(false, 0));
    EXPECT_NE(BackupFinishedMessage(true, 1), BackupFinishedMessage(true, 0));
    EXPECT_NE(std::string::npos, S(BackupFinishedMessage(true, 0)).find("kept"));
}

TEST(BackupList, ListsBackupFilesInReverseSearchOrder)
{
    CTempFolder folder;
    EXPECT_TRUE(EnumerateBackups(folder.PathOf("Missing").c_str()).empty());
    folder.WriteFile("first.rbk", "x");
    folder.WriteFile("a.b.rbk", "x");
    folder.WriteFile("notes.txt", "x");
    folder.MakeFolder("folder.rbk");
    std::vector<std::string> searched;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(folder.PathOf("*.rbk").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            searched.push_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);

    const std::vector<BACKUP_RECORD> backups = EnumerateBackups(folder.Path().c_str());
    ASSERT_EQ(2u, backups.size());
    ASSERT_EQ(2u, searched.size());
    EXPECT_EQ(folder.PathOf(searched[1]), S(backups[0].path));
    EXPECT_EQ(folder.PathOf(searched[0]), S(backups[1].path));
    for (const BACKUP_RECORD& backup : backups) {
        EXPECT_TRUE(backup.name == "a.b" || backup.name == "first") << S(backup.name);
        EXPECT_FALSE(backup.date.IsEmpty());
    }
}

// What the system is asked to delete at the next restart (read only: the prefix's own list).
std::string PendingDeletions()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return std::string();
    DWORD size = 0;
    std::string data;
    if (::RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        ::RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &size);
    }
    ::RegCloseKey(key);
    return data;
}

TEST(BackupList, AFileThatIsGoneAsksNothingOfTheRestart)
{
    CTempFolder folder;
    const std::string gone = folder.PathOf("gone-backup-file.rbk");
    EXPECT_TRUE(DeleteBackupFile(gone.c_str()));
    EXPECT_EQ(std::string::npos, PendingDeletions().find("gone-backup-file.rbk"));
    const std::string free = folder.WriteFile("free-backup-file.rbk", "x");
    EXPECT_TRUE(DeleteBackupFile(free.c_str()));
    EXPECT_FALSE(FileExists(free));
    EXPECT_EQ(std::string::npos, PendingDeletions().find("free-backup-file.rbk"));
}

TEST(DefragOutcome, EveryCodeIsToldAsTheEngineReportedIt)
{
    const std::string analysisFailed = "Registry analysis failed, please follow the below instructions and then retry;\n"
                                       "Close all running applications\nFree some disk space.";
    const std::string compactionFailed =
        "Registry defragmentation failed, please follow the below instructions and then retry;\n"
        "Close all running applications\nFree some disk space\n"
        "Restart your system if you have already run defragmentation once.";
    const struct { int code; int mode; std::string message; DEFRAG_PAGE_STATE state; } rows[] = {
        { 1, 0, analysisFailed, DEFRAG_STATE_START },
        { 2, 0, analysisFailed, DEFRAG_STATE_START },
        { 3, 1, compactionFailed, DEFRAG_STATE_FAILED },
        { 4, 0, "Error occurred due to low disk space, please empty same disk space and then retry.", DEFRAG_STATE_START },
        { 6, 0, "Registry analysis completed, press Defrag Button to start defragmentation.", DEFRAG_STATE_ANALYSED },
        { 7, 1, "You must restart your system to complete registry defragmentation.", DEFRAG_STATE_RESTART_NEEDED },
        { 8, 0, "Your registry is already defragmented, no need for registry defragmentation.", DEFRAG_STATE_START },
        // Codes the engine never sends are never told as a success.
        { 0, 0, analysisFailed, DEFRAG_STATE_START },
        { 5, 0, analysisFailed, DEFRAG_STATE_START },
        { 9, 0, analysisFailed, DEFRAG_STATE_START },
        { -1, 1, compactionFailed, DEFRAG_STATE_FAILED },
        { 0, 1, compactionFailed, DEFRAG_STATE_FAILED },
    };
    for (const auto& row : rows) {
        const DEFRAG_OUTCOME outcome = DefragOutcome(row.code, row.mode);
        EXPECT_EQ(row.message, S(outcome.message)) << row.code;
        EXPECT_EQ(row.state, outcome.state) << row.code;
    }
}

TEST(StartupProgramName, TheNameOfTheProgramInACommandLine)
{
    const struct { const char* command; const char* name; } rows[] = {
        { "C:\\Program Files\\Tool\\Tool.exe /min", "Tool" },
        { "  \"C:\\Program Files\\Tool\\Tray.EXE\" -q", "Tray" },
        { "C:\\a.exe.dir\\b.exe", "a" },  // the first ".exe" decides where the name ends
        { "tool.exe /x", "" },          // no folder before it
        { "C:\\Tools\\run.bat", "" },
        { "C:\\Tools\\Mixed.Exe", "Mixed.Exe" },
        { "", "" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.name, S(CStartupManager::ExtractProgramName(row.command))) << row.command;
}
