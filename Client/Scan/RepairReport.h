// CRepairReport: what the engine's job thread reports during a repair (the junk it removed, the
// items it left alone and why), kept under a lock for the window thread, which reads it once the
// job has ended.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "AfxString.h"
#include "VexaEngine.h"

// The reasons a repair gives for an item it left alone (NOT_DONE_REASON).
const int kNotDoneReasons = NOT_DONE_HOLDS_KEPT + 1;

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
        m_notDone.clear();
        ::LeaveCriticalSection(&m_lock);
    }
    // An item the repair did not delete, and why (NOT_DONE_REASON).
    struct NOT_DONE
    {
        int category;
        CString item;
        int reason;
    };
    void OnNotDone(const char* item, int category, int reason)
    {
        ::EnterCriticalSection(&m_lock);
        m_notDone.push_back(NOT_DONE{ category, CString(item ? item : ""), reason });
        ::LeaveCriticalSection(&m_lock);
    }
    // Every item left alone.
    std::vector<NOT_DONE> GetNotDone()
    {
        ::EnterCriticalSection(&m_lock);
        const std::vector<NOT_DONE> copy = m_notDone;
        ::LeaveCriticalSection(&m_lock);
        return copy;
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
    std::vector<NOT_DONE> m_notDone;
};
