// The hive analysis and compaction job.
#include "EngineProcess.h"

int CVexaEngineProcess::StartDefrag(int mode, CAbstractStatus* status)
{
    return StartJob(JOB_DEFRAG, status, [&] {
        m_defragMode = mode;
        return true;
    });
}

int CVexaEngineProcess::DefragAnalysisResult(DWORD hiveSize, DWORD compactedSize)
{
    return compactedSize < hiveSize ? DEFRAG_ANALYSIS_DONE : DEFRAG_ALREADY_COMPACT;
}

int CVexaEngineProcess::RunDefragJob()
{
    m_defrag.SetStatus(m_status);
    int code;
    if (m_defragMode) {
        code = m_defrag.ReplaceHives() ? DEFRAG_RESTART_NEEDED : DEFRAG_REPLACE_FAILED;
    } else if (!m_defrag.ReadHiveList()) {
        code = DEFRAG_HIVE_LIST_UNREADABLE;
    } else if (!m_defrag.CompactHives()) {
        code = DEFRAG_NOTHING_SAVED;
    } else {
        code = DefragAnalysisResult(m_defrag.GetHiveSize(), m_defrag.GetCompactedSize());
    }
    m_defrag.SetStatus(nullptr);
    if (m_status)
        m_status->ReportResult(code);
    return code;
}
