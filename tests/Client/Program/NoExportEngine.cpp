// A library named like the engine that lacks its factory export: the program must say so.
#include <windows.h>

extern "C" __declspec(dllexport) int SomethingElse()
{
    return 0;
}
