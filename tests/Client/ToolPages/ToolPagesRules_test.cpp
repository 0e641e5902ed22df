// The rules of the tool pages that need no window, as tables: how an ignore-list key splits
// into its row, when two program paths name the same program, how a scheduled job is filled
// from the page's choices, how backup files are named, dated and told, what the compaction page
// does with each result code, and the program name in a startup command.
#include <gtest/gtest.h>

#include <algorithm>

#include "AdvanceOptions.h"
#include "AdvanceSettingsDlg.h"
#include "CodePagePath.h"
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

std::wstring W(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

std::string Narrow(const std::wstring& ascii)
{
    return std::string(ascii.begin(), ascii.end());
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
        const std::vector<IGNORE_LIST_ROW> shown = MakeIgnoreListRows({ row.key });
        ASSERT_EQ(1u, shown.size()) << row.key;
        EXPECT_EQ(row.key, S(shown[0].key));
        EXPECT_EQ(row.item, S(shown[0].Item())) << row.key;
        EXPECT_EQ(row.category, S(shown[0].Category())) << row.key;
    }
}

TEST(IgnoreListRows, RowsFollowKeyOrderAndKeepEachWholeKeyOnce)
{
    const std::vector<IGNORE_LIST_ROW> rows =
        MakeIgnoreListRows({ "B^Windows Fonts", "A^File Associations", "A^Windows Fonts", "B^Windows Fonts" });
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("A", S(rows[0].Item()));
    EXPECT_EQ("File Associations", S(rows[0].Category()));
    EXPECT_EQ("A^Windows Fonts", S(rows[1].key));
    EXPECT_EQ("B", S(rows[2].Item()));
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
    const struct { const wchar_t* file; const wchar_t* name; } names[] = {
        { L"08122026_140509_FULL_REGBACKUP.rbk", L"08122026_140509_FULL_REGBACKUP" },
        { L"a.b.rbk", L"a.b" },
        { L".rbk", L".rbk" },
        { L"plain", L"plain" },
        { L"\x0440\x0435\x0437\x0435\x0440\x0432.rbk", L"\x0440\x0435\x0437\x0435\x0440\x0432" },
    };
    for (const auto& row : names)
        EXPECT_EQ(std::wstring(row.name), BackupNameOf(row.file));

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
    EXPECT_TRUE(EnumerateBackups(W(folder.PathOf("Missing"))).empty());
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

    const std::vector<BACKUP_RECORD> backups = EnumerateBackups(W(folder.Path()));
    ASSERT_EQ(2u, backups.size());
    ASSERT_EQ(2u, searched.size());
    EXPECT_EQ(W(folder.PathOf(searched[1])), backups[0].path);
    EXPECT_EQ(W(folder.PathOf(searched[0])), backups[1].path);
    for (const BACKUP_RECORD& backup : backups) {
        EXPECT_TRUE(backup.name == L"a.b" || backup.name == L"first");
        EXPECT_FALSE(backup.date.IsEmpty());
    }
}

// The restore gets a path that the engine's ANSI calls open as the very file of the row: the
// path itself where the code page spells it and it fits, else its short name on the same terms.
TEST(BackupList, TheRestoreIsHandedAPathThatOpensTheSameFile)
{
    BOOL lost = FALSE;
    char narrow[16] = {};
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\x0440\xff42", -1, narrow, sizeof(narrow), nullptr, &lost);
    if (!lost)
        GTEST_SKIP() << "the code page spells Cyrillic and fullwidth letters";
    const std::wstring folder = L"C:\\Kelvara\\Backup\\";
    const std::wstring fullwidth = folder + L"\xff42\xff41\xff43\xff4b.rbk";
    const std::wstring cyrillic = folder + L"\x0440\x0435\x0437.rbk";
    const std::wstring longPlain = folder + std::wstring(250, L'x') + L".rbk";
    const std::wstring longShort = std::wstring(L"C:\\") + std::wstring(MAX_PATH, L'y');
    const struct {
        std::wstring path;
        std::wstring shortPath;
        BOOL handed;
        const char* expected;
    } rows[] = {
        { folder + L"back.rbk", L"", TRUE, "C:\\Kelvara\\Backup\\back.rbk" },
        // The look-alike "back.rbk" is another file: the short name goes instead.
        { fullwidth, L"C:\\Kelvara\\Backup\\____~EOJ.RBK", TRUE, "C:\\Kelvara\\Backup\\____~EOJ.RBK" },
        { fullwidth, L"", FALSE, "" },
        { cyrillic, L"C:\\Kelvara\\Backup\\___~1.RBK", TRUE, "C:\\Kelvara\\Backup\\___~1.RBK" },
        { cyrillic, L"C:\\Kelvara\\Backup\\\x0440~1.RBK", FALSE, "" },
        { longPlain, L"C:\\Kelvara\\Backup\\XXXXXX~1.RBK", TRUE, "C:\\Kelvara\\Backup\\XXXXXX~1.RBK" },
        { longPlain, longShort, FALSE, "" },
        { longPlain, L"", FALSE, "" },
    };
    for (const auto& row : rows) {
        CString handed;
        EXPECT_EQ(row.handed, ChooseCodePagePath(row.path, row.shortPath, handed)) << row.expected;
        if (row.handed) {
            EXPECT_EQ(row.expected, S(handed));
        }
    }

    // The wide calls take a path of any length in its long form.
    const struct {
        std::wstring path;
        std::wstring callable;
    } forms[] = {
        { folder + L"back.rbk", folder + L"back.rbk" },
        { longPlain, L"\\\\?\\" + longPlain },
        { L"\\\\server\\share\\" + std::wstring(MAX_PATH, L'z'), L"\\\\?\\UNC\\server\\share\\" + std::wstring(MAX_PATH, L'z') },
        { L"\\\\?\\" + longPlain, L"\\\\?\\" + longPlain },
    };
    for (const auto& form : forms)
        EXPECT_EQ(form.callable, GetLongPathForm(form.path));

    // A message names the backup with "?" for what the code page lacks, never with the
    // look-alike letters of another backup's name.
    const CString inUse = BackupRemovalMessage(L"\xff42\xff41\xff43\xff4b", BACKUP_REMOVED_AT_RESTART, ERROR_SHARING_VIOLATION);
    EXPECT_NE(std::string::npos, S(inUse).find("\"????\""));
    EXPECT_EQ(std::string::npos, S(inUse).find("\"back\""));
    EXPECT_EQ(std::string::npos, S(BackupNotRestorableMessage(L"\xff42\xff41\xff43\xff4b")).find("\"back\""));
    EXPECT_TRUE(BackupRemovalMessage(L"x", BACKUP_REMOVED, 0).IsEmpty());
}

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingOperations[] = L"PendingFileRenameOperations";

// What the system is asked to do at the next restart: pairs of strings (a file, then its new
// name or an empty one to delete it), as the system stores them.
std::vector<std::wstring> PendingOperations()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    DWORD size = 0;
    std::wstring data;
    if (::RegQueryValueExW(key, kPendingOperations, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size) {
        data.resize(size / sizeof(wchar_t) + 1);
        ::RegQueryValueExW(key, kPendingOperations, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size / sizeof(wchar_t));
    }
    ::RegCloseKey(key);
    std::vector<std::wstring> strings;
    for (size_t start = 0; start < data.size();) {
        const size_t end = std::min(data.find(L'\0', start), data.size());
        strings.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    // The list's own end: an empty string after the last pair.
    if (strings.size() % 2 == 1 && strings.back().empty())
        strings.pop_back();
    return strings;
}

bool IsPendingDeletion(const std::vector<std::wstring>& operations, const std::wstring& path)
{
    for (size_t i = 0; i + 1 < operations.size(); i += 2) {
        const std::wstring& file = operations[i];
        if (file.size() >= path.size() && file.compare(file.size() - path.size(), path.size(), path) == 0 &&
            operations[i + 1].empty())
            return true;
    }
    return false;
}

// Takes the deletions of `path` out of the prefix's pending operations again.
void ForgetPendingDeletion(const std::wstring& path)
{
    const std::vector<std::wstring> operations = PendingOperations();
    std::wstring kept;
    for (size_t i = 0; i + 1 < operations.size(); i += 2) {
        if (!IsPendingDeletion({ operations[i], operations[i + 1] }, path))
            kept += operations[i] + L'\0' + operations[i + 1] + L'\0';
    }
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (kept.empty()) {
        ::RegDeleteValueW(key, kPendingOperations);
    } else {
        kept += L'\0';
        ::RegSetValueExW(key, kPendingOperations, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                         static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
}

TEST(BackupList, AFileThatIsGoneAsksNothingOfTheRestart)
{
    CTempFolder folder;
    const std::string gone = folder.PathOf("gone-backup-file.rbk");
    EXPECT_EQ(BACKUP_REMOVED, DeleteBackupFile(W(gone)));
    EXPECT_FALSE(IsPendingDeletion(PendingOperations(), W(gone)));
    const std::string free = folder.WriteFile("free-backup-file.rbk", "x");
    EXPECT_EQ(BACKUP_REMOVED, DeleteBackupFile(W(free)));
    EXPECT_FALSE(FileExists(free));
    EXPECT_FALSE(IsPendingDeletion(PendingOperations(), W(free)));
}

// A file in use is left to the restart under its own name, never under the look-alike that the
// code page spells for it (which is the name of another backup beside it).
TEST(BackupList, AFileInUseIsLeftToTheRestartByItsOwnName)
{
    CTempFolder folder;
    const std::wstring lookAlike = W(folder.WriteFile("back.rbk", "plain"));
    const std::wstring inUse = W(folder.Path()) + L"\\\xff42\xff41\xff43\xff4b.rbk";
    HANDLE file = ::CreateFileW(inUse.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD error = 0;
    const BACKUP_REMOVAL removal = DeleteBackupFile(inUse, &error);
    const std::vector<std::wstring> operations = PendingOperations();
    ForgetPendingDeletion(inUse);
    ::CloseHandle(file);
    ::DeleteFileW(inUse.c_str());

    EXPECT_EQ(BACKUP_REMOVED_AT_RESTART, removal);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), error);
    EXPECT_TRUE(IsPendingDeletion(operations, inUse));
    EXPECT_FALSE(IsPendingDeletion(operations, lookAlike));
    EXPECT_FALSE(IsPendingDeletion(PendingOperations(), inUse));
    EXPECT_TRUE(FileExists(Narrow(lookAlike)));
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
