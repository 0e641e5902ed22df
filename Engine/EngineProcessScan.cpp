// The scan job: visits the sixteen categories in their fixed order and runs the scanner of
// every selected one.
#include "EngineProcess.h"

namespace {

struct ScanCategory {
    const char* code;
    DWORD bit;
};

// The order in which a scan visits the categories.
const ScanCategory kScanOrder[] = {
    {"AXO", SCAN_AXO}, {"UIE", SCAN_UIE}, {"FNT", SCAN_FNT}, {"SHD", SCAN_SHD},
    {"APP", SCAN_APP}, {"HLP", SCAN_HLP}, {"SUI", SCAN_SUI}, {"FPR", SCAN_FPR},
    {"SRC", SCAN_SRC}, {"ERK", SCAN_ERK}, {"FAS", SCAN_FAS}, {"ITL", SCAN_ITL},
    {"SRV", SCAN_SRV}, {"SAE", SCAN_SAE}, {"RCB", SCAN_RCB}, {"TPF", SCAN_TPF},
};

// The first examined item of every category is shown at once.
const int kActivityCounterStart = 3001;

} // namespace

int CVexaEngineProcess::StartScan(const std::set<CString>* folders, DWORD categories, CAbstractStatus* status,
                                  int scanMode)
{
    if (!folders)
        return -1;
    return StartJob(JOB_SCAN, status, [&] {
        m_scanFolders = *folders;
        m_categories = categories;
        m_scanMode = scanMode;
        return true;
    });
}

int CVexaEngineProcess::RunScanJob()
{
    ReportProgress(PROGRESS_BEGIN);
    m_recycleBinKilobytes = 0;
    m_junkKilobytes = 0;

    for (const ScanCategory& category : kScanOrder) {
        m_activityCounter = kActivityCounterStart;
        ReportActivity("", category.code);
        if (!(m_categories & category.bit) || !KeepRunning())
            continue;
        // The category scanners are added here as they are built.
    }

    ReportProgress(PROGRESS_END);
    return 0;
}
