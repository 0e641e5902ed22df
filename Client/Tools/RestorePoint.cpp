#include "RestorePoint.h"

namespace {

PFN_SR_SET_RESTORE_POINT g_replacement = nullptr;

PFN_SR_SET_RESTORE_POINT SystemFunction()
{
    if (g_replacement)
        return g_replacement;
    // Loaded once and kept: the point is ended long after it was begun.
    static HMODULE library = ::LoadLibraryA("srclient.dll");
    if (!library)
        return nullptr;
    return reinterpret_cast<PFN_SR_SET_RESTORE_POINT>(
        reinterpret_cast<void*>(::GetProcAddress(library, "SRSetRestorePointA")));
}

BOOL CallSystem(RESTOREPOINTINFOA* request, STATEMGRSTATUS* status)
{
    const PFN_SR_SET_RESTORE_POINT function = SystemFunction();
    if (!function) {
        status->nStatus = ERROR_CALL_NOT_IMPLEMENTED;
        return FALSE;
    }
    return function(request, status);
}

} // namespace

void CRestorePoint::SetFunction(PFN_SR_SET_RESTORE_POINT function)
{
    g_replacement = function;
}

BOOL CRestorePoint::Begin(const CString& description)
{
    if (m_open)
        return FALSE;
    RESTOREPOINTINFOA request = {};
    request.dwEventType = BEGIN_SYSTEM_CHANGE;
    request.dwRestorePtType = MODIFY_SETTINGS;
    request.llSequenceNumber = 0;
    ::lstrcpynA(request.szDescription, description, MAX_DESC);
    STATEMGRSTATUS status = {};
    const BOOL begun = CallSystem(&request, &status);
    m_lastStatus = status.nStatus;
    if (!begun)
        return FALSE;
    m_open = true;
    m_sequenceNumber = status.llSequenceNumber;
    return TRUE;
}

BOOL CRestorePoint::End()
{
    return Finish(MODIFY_SETTINGS);
}

BOOL CRestorePoint::Cancel()
{
    return Finish(CANCELLED_OPERATION);
}

BOOL CRestorePoint::Finish(DWORD restorePointType)
{
    if (!m_open)
        return FALSE;
    m_open = false;
    RESTOREPOINTINFOA request = {};
    request.dwEventType = END_SYSTEM_CHANGE;
    request.dwRestorePtType = restorePointType;
    request.llSequenceNumber = m_sequenceNumber;
    STATEMGRSTATUS status = {};
    const BOOL finished = CallSystem(&request, &status);
    m_lastStatus = status.nStatus;
    return finished;
}
