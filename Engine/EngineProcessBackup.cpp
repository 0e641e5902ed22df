// Whole-registry backup and restore jobs.
#include "EngineProcess.h"

// The backup file format arrives with the registry backup writer and reader; until then these
// jobs are refused rather than pretending to have saved anything.

int CVexaEngineProcess::StartBackup(const char* path, CAbstractStatus* status)
{
    if (!path || !status)
        return -1;
    return -1;
}

int CVexaEngineProcess::StartRestore(const char* backupFile, CAbstractStatus* status)
{
    if (!backupFile || !status)
        return -1;
    return -1;
}

int CVexaEngineProcess::RestoreBackupNow(CAbstractStatus*, CString)
{
    return 0;
}

int CVexaEngineProcess::RunBackupJob()
{
    return 0;
}

int CVexaEngineProcess::RunRestoreJob()
{
    return -1;
}
