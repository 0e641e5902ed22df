// The library's entry points: its application object and the two exports.
#include <new>

#include "AfxWinApp.h"
#include "EngineInterface.h"

namespace {

class CVexaEngineApp : public CWinApp
{
public:
    BOOL InitInstance() override { return CWinApp::InitInstance(); }
};

CVexaEngineApp theApp;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        AfxSetInstanceHandle(instance);
        theApp.m_hInstance = instance;
        return theApp.InitInstance();
    }
    if (reason == DLL_PROCESS_DETACH)
        theApp.ExitInstance();
    return TRUE;
}

VEXA_ENGINE_API CAbstractVexaEngineInterface* CreateVexaEngineInterface()
{
    return new (std::nothrow) CVexaEngineInterface();
}

VEXA_ENGINE_API void ReleaseVexaEngineInterface(CAbstractVexaEngineInterface* engineInterface)
{
    delete engineInterface;
}
