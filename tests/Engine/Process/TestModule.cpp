// A library for the spyware removal tests: its unregistration leaves a mark in the registry.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer()
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\KelvaraTestModule", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    const DWORD one = 1;
    ::RegSetValueExA(key, "Unregistered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    ::RegCloseKey(key);
    return S_OK;
}
