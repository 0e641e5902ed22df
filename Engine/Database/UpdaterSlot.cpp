#include "UpdaterSlot.h"

#include "AutoUpdater.h"

CUpdaterSlot::~CUpdaterSlot()
{
    Reset();
}

void CUpdaterSlot::Replace(CAutoUpdater* updater)
{
    CAutoUpdater* previous;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        previous = m_updater;
        m_updater = updater;
    }
    delete previous;
}

CAutoUpdater* CUpdaterSlot::Get() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_updater;
}

CUpdaterSlot::CancelResult CUpdaterSlot::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_updater)
        return NoUpdater;
    return m_updater->CancelUpdate() ? Busy : Cancelled;
}
