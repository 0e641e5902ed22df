// The hive analysis and compaction job.
#include "EngineProcess.h"

int CVexaEngineProcess::StartDefrag(int, CAbstractStatus* status)
{
    if (!status)
        return -1;
    return -1;
}

int CVexaEngineProcess::RunDefragJob()
{
    return 0;
}
