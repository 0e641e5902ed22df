// The repair job: partial backup, then deletion of the found items by category.
#include "EngineProcess.h"

// The repair needs the partial backup writer; without it nothing may be deleted, so the job is
// refused.

int CVexaEngineProcess::StartRepair(CAbstractScanItemsInfo* items, CAbstractStatus* status)
{
    if (!items || !status)
        return -1;
    return -1;
}

int CVexaEngineProcess::RunRepairJob()
{
    return 0;
}
