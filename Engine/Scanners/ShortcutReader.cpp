#include "ShortcutReader.h"

#include <objbase.h>
#include <shlobj.h>

CShortcutReader::CShortcutReader()
{
    // S_FALSE (already initialised here) must be balanced too; a thread already in the other
    // apartment model still has COM and may go on without its own initialisation.
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_uninitialize = SUCCEEDED(init);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&m_shellLink)))) {
        m_shellLink = nullptr;
        return;
    }
    if (FAILED(m_shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&m_persistFile))))
        m_persistFile = nullptr;
}

CShortcutReader::~CShortcutReader()
{
    if (m_persistFile)
        m_persistFile->Release();
    if (m_shellLink)
        m_shellLink->Release();
    if (m_uninitialize)
        ::CoUninitialize();
}

bool CShortcutReader::ReadTarget(const char* shortcutPath, CString* target)
{
    if (!IsReady() || !shortcutPath || !target)
        return false;
    WCHAR widePath[MAX_PATH] = {};
    if (!::MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, MAX_PATH))
        return false;
    if (FAILED(m_persistFile->Load(widePath, STGM_READ)))
        return false;
    char buffer[MAX_PATH + 1] = {};
    if (FAILED(m_shellLink->GetPath(buffer, MAX_PATH, nullptr, SLGP_UNCPRIORITY)))
        return false;
    *target = buffer;
    return true;
}
