// CVexaEngineInterface: the factory that the library's export hands out.
#pragma once

#include "VexaEngine.h"

class CVexaEngineInterface : public CAbstractVexaEngineInterface
{
public:
    CAbstractProcess* CreateEngineProcess() override;
    void ReleaseEngineProcess(CAbstractProcess* process) override;
    CAbstractConfigHandler* CreateConfigHandler() override;
    void ReleaseConfigHandler(CAbstractConfigHandler* handler) override;
    CAbstractProcess* CreateEngineProcessNoDatabase() override;
};
