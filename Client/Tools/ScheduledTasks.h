// The two Task Scheduler jobs of the settings page: the scheduled scan, which starts the program
// with "SCHEDULE", and the start of the program at logon. What they are called, how they are
// filled from the page's choices, and whether a job found under our name runs this program.
#pragma once

#include "Task.h"

// The user the jobs are named after and run as; FALSE when the system cannot tell.
BOOL GetJobUserName(CString* user);
// "<product> Scheduled Scan - <user>" and "<product> on user logon - <user>".
CString ScheduledScanJobName(const CString& user);
CString LogonJobName(const CString& user);

// A program path as the system would resolve it: without surrounding quotes or blanks, made
// full, in its long form when the file exists, and in lower case.
CString NormalizeProgramPath(const CString& path);
// Whether two program paths name the same program (quotes, case, relative or short forms aside).
BOOL IsSameProgramPath(const CString& a, const CString& b);

// What the schedule controls hold when a job is saved from them.
struct SCHEDULE_CHOICE
{
    BOOL defaultTask = FALSE;  // the first-run job: weekly, Sunday, 03:00
    int typeSelection = 0;     // 0 "Daily", else "Weekly"
    int daySelection = 0;      // 0 Sunday ... 6 Saturday; anything else counts as Sunday
    SYSTEMTIME time = {};      // local time of day of the picker
};

// Fills a job that runs `programPath` with "SCHEDULE" from `today` (the local date) on the chosen
// schedule, under the user's account.
void FillScheduledScanJob(CTask& task, const CString& programPath, const CString& user, const SYSTEMTIME& today,
                          const SCHEDULE_CHOICE& choice, const CString& comment);
// Fills that job and saves it under the user's scheduled-scan name, over any job there; TRUE when
// it was saved.
BOOL SaveScheduledScanJob(const CString& programPath, const CString& user, const SYSTEMTIME& today,
                          const SCHEDULE_CHOICE& choice, const CString& comment);
// Fills a job that runs `programPath` at logon, beginning `now`.
void FillLogonJob(CTask& task, const CString& programPath, const CString& user, const SYSTEMTIME& now,
                  const CString& comment);

// The scheduled scan as read back from the system.
struct SCHEDULED_SCAN_STATE
{
    BOOL found = FALSE;      // a job under our name that runs this program
    CString text;            // the trigger's text
    SYSTEMTIME start = {};   // begin date and start time; wYear 0 when the job has none
    int loadedType = 0;      // CTask::SCHEDULE_DAILY, CTask::SCHEDULE_WEEKLY, else another trigger
};

// Both jobs as the settings page shows them: plain data, read on any thread with COM initialised.
struct SCHEDULED_JOBS
{
    BOOL logonIsOurs = FALSE;
    SCHEDULED_SCAN_STATE scan;
};

// The scheduled scan under the user's name, if it runs `programPath`.
SCHEDULED_SCAN_STATE ReadScheduledScan(const CString& user, const CString& programPath);
// Whether the logon job under the user's name runs `programPath`; one that starts another copy
// of the program (left by a copy in another folder) is deleted.
BOOL ReadLogonJob(const CString& user, const CString& programPath);
// Both jobs of `programPath`. With `makeDefaultScan` (the program's first run) a missing
// scheduled scan is first made as the default one (weekly, Sunday, 03:00, from `today`).
SCHEDULED_JOBS ReadScheduledJobs(const CString& programPath, BOOL makeDefaultScan, const CString& comment,
                                 const SYSTEMTIME& today);
