// CRestorePoint: one System Restore point around a repair. It is begun before the repair and,
// with the sequence number the system gave it, ended when the repair has run or cancelled when
// the repair did not. The system's function is bound at run time (System Restore is missing on
// server systems) and can be replaced, so that both of its answers can be tried.
#pragma once

#include <windows.h>
#include <srrestoreptapi.h>

#include "AfxString.h"

typedef BOOL(WINAPI* PFN_SR_SET_RESTORE_POINT)(PRESTOREPOINTINFOA, PSTATEMGRSTATUS);

class CRestorePoint
{
public:
    CRestorePoint() = default;
    CRestorePoint(const CRestorePoint&) = delete;
    CRestorePoint& operator=(const CRestorePoint&) = delete;

    // Replaces the system's function for every restore point; null restores the system's.
    static void SetFunction(PFN_SR_SET_RESTORE_POINT function);

    // Asks for a new point; FALSE when the system refused it (or has no System Restore).
    BOOL Begin(const CString& description);
    // The point is complete: the system keeps it.
    BOOL End();
    // The change did not happen: the system drops the point.
    BOOL Cancel();

    bool IsOpen() const { return m_open; }
    INT64 GetSequenceNumber() const { return m_sequenceNumber; }
    // The system's status code of the last call.
    DWORD GetLastStatus() const { return m_lastStatus; }

private:
    BOOL Finish(DWORD restorePointType);

    bool m_open = false;
    INT64 m_sequenceNumber = 0;
    DWORD m_lastStatus = 0;
};
