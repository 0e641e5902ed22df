// CUpdaterSlot: the process object's live updater. The update job uses it on the job thread;
// CancelUpdate reaches it from the program's thread. The lock keeps a cancel from touching an
// updater that the job is deleting.
#pragma once

#include <mutex>

class CAutoUpdater;

class CUpdaterSlot
{
public:
    CUpdaterSlot() = default;
    ~CUpdaterSlot();
    CUpdaterSlot(const CUpdaterSlot&) = delete;
    CUpdaterSlot& operator=(const CUpdaterSlot&) = delete;

    // Takes ownership of updater, deleting the one held before.
    void Replace(CAutoUpdater* updater);
    // Deletes the held updater and clears the slot.
    void Reset() { Replace(nullptr); }
    // The held updater, for the job that owns it; null when none.
    CAutoUpdater* Get() const;

    enum CancelResult { NoUpdater, Cancelled, Busy };
    CancelResult Cancel();

private:
    mutable std::mutex m_lock;
    CAutoUpdater* m_updater = nullptr;
};
