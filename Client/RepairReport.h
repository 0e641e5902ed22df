// CRepairReport: what the engine's job thread reports during a repair (the junk it removed),
// kept under a lock for the window thread, which reads it once the job has ended.
#pragma once

#include <windows.h>

class CRepairReport
{
public:
    CRepairReport() { ::InitializeCriticalSection(&m_lock); }
    ~CRepairReport() { ::DeleteCriticalSection(&m_lock); }
    CRepairReport(const CRepairReport&) = delete;
    CRepairReport& operator=(const CRepairReport&) = delete;

    void Reset()
    {
        ::EnterCriticalSection(&m_lock);
        m_recycleBinKB = 0;
        m_tempFilesKB = 0;
        ::LeaveCriticalSection(&m_lock);
    }
    // A size row of the repair: the kilobytes removed from the Recycle Bin or the temporary files.
    void OnSizeRow(bool recycleBin, int kilobytes)
    {
        ::EnterCriticalSection(&m_lock);
        (recycleBin ? m_recycleBinKB : m_tempFilesKB) = static_cast<double>(static_cast<DWORD>(kilobytes));
        ::LeaveCriticalSection(&m_lock);
    }
    double GetRecycleBinKB() { return Read(m_recycleBinKB); }
    double GetTempFilesKB() { return Read(m_tempFilesKB); }

private:
    double Read(const double& value)
    {
        ::EnterCriticalSection(&m_lock);
        const double copy = value;
        ::LeaveCriticalSection(&m_lock);
        return copy;
    }

    CRITICAL_SECTION m_lock;
    double m_recycleBinKB = 0;
    double m_tempFilesKB = 0;
};
