#include "EngineInterface.h"

#include <new>

#include "Config/ConfigHandler.h"
#include "EngineProcess.h"

CAbstractProcess* CVexaEngineInterface::CreateEngineProcess()
{
    return new (std::nothrow) CVexaEngineProcess(true);
}

void CVexaEngineInterface::ReleaseEngineProcess(CAbstractProcess* process)
{
    delete process;
}

CAbstractConfigHandler* CVexaEngineInterface::CreateConfigHandler()
{
    return new (std::nothrow) CConfigHandler();
}

void CVexaEngineInterface::ReleaseConfigHandler(CAbstractConfigHandler* handler)
{
    delete handler;
}

CAbstractProcess* CVexaEngineInterface::CreateEngineProcessNoDatabase()
{
    return new (std::nothrow) CVexaEngineProcess(false);
}
