// CRegistryManager: the engine's registry access by full text path, used by the backup,
// restore and repair jobs. The process object's Stop reaches a running export through Cancel.
#pragma once

#include <atomic>

#include "VexaEngine.h"

class CRegistryManager
{
public:
    explicit CRegistryManager(CAbstractStatus* status) : m_status(status) {}
    virtual ~CRegistryManager() {}
    CRegistryManager(const CRegistryManager&) = delete;
    CRegistryManager& operator=(const CRegistryManager&) = delete;

    // Clears the continue flag: a running export stops at its next key.
    void Cancel() { m_continue = 0; }
    int IsContinuing() const { return m_continue; }

protected:
    CAbstractStatus* m_status;
    // Written by the user-interface thread, read by the job thread.
    std::atomic<int> m_continue{0};
};
