#include "EngineInterface.h"

#include <new>

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
    // The configuration store is not part of this build yet.
    return nullptr;
}

void CVexaEngineInterface::ReleaseConfigHandler(CAbstractConfigHandler*)
{
}

CAbstractProcess* CVexaEngineInterface::CreateEngineProcessNoDatabase()
{
    return new (std::nothrow) CVexaEngineProcess(false);
}
