// CTask: one named job of the Task Scheduler (its 1.0 interfaces) with one trigger: daily, weekly
// or at logon. It creates or replaces such a job from its fields, reads one back into them, and
// deletes one. COM must be initialised on the calling thread.
#pragma once

#include <windows.h>
#include <mstask.h>

#include "Afx.h"

class CTask
{
public:
    enum { SCHEDULE_DAILY = 1, SCHEDULE_WEEKLY = 2, SCHEDULE_AT_LOGON = 3 };

    CTask();
    virtual ~CTask();

    // Creates the job from the fields, replacing a job of the same name.
    HRESULT Save(const char* name);
    // Fills the application, parameters, schedule text, start and loaded type from the job.
    HRESULT Load(const char* name);
    HRESULT Delete(const char* name);

    // The Task Scheduler's service reads a job's file each time it changes and lets nobody
    // delete or write it meanwhile, so a change right after another can meet that read: Save and
    // Delete try again, waiting between attempts (a short sleep unless a test sets its own).
    static constexpr int kSharedFileAttempts = 40;
    using BetweenAttempts = void (*)();
    static BetweenAttempts SetWaitBetweenAttempts(BetweenAttempts wait);

    CString GetApplicationName() const { return m_strApplication; }
    CString GetParameters() const { return m_strParameters; }
    CString GetScheduleText() const { return m_strScheduleText; }

    // 0 for Sunday (mask 1) ... 6 for Saturday (mask 64); 0 for any other mask.
    static int DayOfWeekFromMask(int mask);
    // The text of a trigger as this program words it, for when the system cannot give its own.
    static CString DescribeTrigger(const TASK_TRIGGER& trigger);
    // The trigger that Save sets for the fields.
    TASK_TRIGGER MakeTrigger() const;

    SYSTEMTIME m_start = {};          // begin date and start time; day of week 0 = Sunday
    int m_nScheduleType = 0;          // for saving: SCHEDULE_DAILY, SCHEDULE_WEEKLY, else at logon
    CString m_strApplication;
    CString m_strParameters;
    CString m_strWorkingDirectory;
    CString m_strAccount;
    CString m_strScheduleText;        // for saving: the comment; after loading: the trigger's text
    int m_nLoadedType = 0;            // after loading: 1 daily, 2 weekly, 3 any other trigger
    BOOL m_bNT = TRUE;

private:
    static HRESULT CreateScheduler(ITaskScheduler** scheduler);
    HRESULT FillNewTask(ITask* task);
    void ReadTrigger(ITaskTrigger* trigger);
};
