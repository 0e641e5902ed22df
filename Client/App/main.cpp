// Kelvara.exe's entry point: the one application object and its life.
#include "Kelvara.h"

namespace {

CQuillonApp theApp;

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    AfxSetInstanceHandle(instance);
    theApp.m_hInstance = instance;
    return theApp.RunApplication();
}
