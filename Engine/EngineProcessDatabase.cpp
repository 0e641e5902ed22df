// The signature database services and the update jobs.
#include "EngineProcess.h"

// No signature database is loaded yet: the queries answer as without a database, and the jobs
// that need one are refused.

int CVexaEngineProcess::StartUpdate(const char*, const char*, const char*, const char*, const char*,
                                    CAbstractStatus* status)
{
    if (!status)
        return -1;
    return -1;
}

int CVexaEngineProcess::CancelUpdate()
{
    // With no updater there is nothing to cancel.
    return 0;
}

int CVexaEngineProcess::StartReloadDatabase(CAbstractStatus* status)
{
    if (!status)
        return -1;
    return -1;
}

BOOL CVexaEngineProcess::CheckFileInDatabase(CString, _SPYWARE_INFORMATION*)
{
    return FALSE;
}

void CVexaEngineProcess::GetDatabaseVersion(CString* version)
{
    if (version)
        *version = "-1";
}

int CVexaEngineProcess::RunUpdateJob()
{
    return -1;
}

int CVexaEngineProcess::RunFtpUpdateJob()
{
    return -1;
}

int CVexaEngineProcess::RunReloadDatabaseJob()
{
    return 0;
}
