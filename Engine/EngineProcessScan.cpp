// The scan job: visits the sixteen categories in their fixed order, runs the scanner of every
// selected one and closes with the size totals of the junk categories.
#include "EngineProcess.h"

#include "Database/DatabaseHandler.h"

#include "Scanners/PathText.h"
#include "Wow64.h"

namespace {

// The first examined item of every category is shown at once.
const int kActivityCounterStart = 3001;

const double kKilobytesPerMegabyte = 1024.0;
const double kKilobytesPerGigabyte = 1048576.0;

} // namespace

int CVexaEngineProcess::StartScan(const std::set<CString>* folders, DWORD categories, CAbstractStatus* status,
                                  int scanMode)
{
    if (!folders)
        return -1;
    return StartJob(JOB_SCAN, status, [&] {
        m_scanFolders = *folders;
        m_scheduledScanFolders.clear();
        m_categories = categories;
        m_scanMode = scanMode;
        return true;
    });
}

CString CVexaEngineProcess::FormatSizeText(double kilobytes)
{
    CString text;
    if (kilobytes > kKilobytesPerGigabyte)
        text.Format("%.2fGB", kilobytes / kKilobytesPerGigabyte);
    else if (kilobytes > kKilobytesPerMegabyte)
        text.Format("%.0fMB", kilobytes / kKilobytesPerMegabyte);
    else
        text.Format("%.0fKB", kilobytes);
    return text;
}

int CVexaEngineProcess::RunScanJob()
{
    using Scanner = void (CVexaEngineProcess::*)();
    using FolderScanner = int (CVexaEngineProcess::*)(const char*, int);
    enum FolderKind { NO_FOLDERS, DRIVE_ROOTS, JUNK_FOLDERS };
    struct ScanStep {
        const char* code;
        DWORD bit;
        Scanner scanner;              // null: not built into this engine
        FolderScanner folderScanner;  // the walk for each folder-set entry of folderKind
        FolderKind folderKind;
    };
    // The order in which a scan visits the categories.
    static const ScanStep kScanOrder[] = {
        {"AXO", SCAN_AXO, &CVexaEngineProcess::ScanActiveX, nullptr, NO_FOLDERS},
        {"UIE", SCAN_UIE, &CVexaEngineProcess::ScanDefaultUninstallEntries, nullptr, NO_FOLDERS},
        {"FNT", SCAN_FNT, &CVexaEngineProcess::ScanFonts, nullptr, NO_FOLDERS},
        {"SHD", SCAN_SHD, &CVexaEngineProcess::ScanSharedDlls, nullptr, NO_FOLDERS},
        {"APP", SCAN_APP, &CVexaEngineProcess::ScanAppPaths, nullptr, NO_FOLDERS},
        {"HLP", SCAN_HLP, &CVexaEngineProcess::ScanHelpFiles, nullptr, NO_FOLDERS},
        {"SUI", SCAN_SUI, &CVexaEngineProcess::ScanStartupItems, nullptr, NO_FOLDERS},
        {"FPR", SCAN_FPR, &CVexaEngineProcess::ScanFileReferences, nullptr, NO_FOLDERS},
        {"SRC", SCAN_SRC, nullptr, &CVexaEngineProcess::ScanFolder, DRIVE_ROOTS},
        {"ERK", SCAN_ERK, &CVexaEngineProcess::ScanEmptyKeys, nullptr, NO_FOLDERS},
        {"FAS", SCAN_FAS, &CVexaEngineProcess::ScanFileAssociations, nullptr, NO_FOLDERS},
        {"ITL", SCAN_ITL, &CVexaEngineProcess::ScanTypeLibraries, nullptr, NO_FOLDERS},
        {"SRV", SCAN_SRV, &CVexaEngineProcess::ScanServices, nullptr, NO_FOLDERS},
        {"SAE", SCAN_SAE, &CVexaEngineProcess::ScanSoundEvents, nullptr, NO_FOLDERS},
        {"RCB", SCAN_RCB, &CVexaEngineProcess::ScanRecycleBin, nullptr, NO_FOLDERS},
        {"TPF", SCAN_TPF, nullptr, &CVexaEngineProcess::ScanFolder, JUNK_FOLDERS},
    };

    ReportProgress(PROGRESS_BEGIN);
    m_recycleBinKilobytes = 0;
    m_junkKilobytes = 0;
    m_wow64 = CWow64::IsWow64();
    m_pathVariables.Reset();
    m_fileReferences.Reset();
    m_walkedJunkFolders.clear();
    // The signature tables are built once, on the first scan that has a database.
    if (m_database)
        m_database->LoadDatabase();

    bool recycleBinScanned = false;
    for (const ScanStep& step : kScanOrder) {
        m_activityCounter = kActivityCounterStart;
        ReportActivity("", step.code);
        if (!(m_categories & step.bit) || !KeepRunning())
            continue;
        if (!step.scanner && !step.folderScanner)
            continue;
        if (step.scanner)
            (this->*step.scanner)();
        if (step.folderScanner) {
            const bool driveRoots = step.folderKind == DRIVE_ROOTS;
            for (const CString& folder : FolderSetEntries(m_scanFolders, driveRoots)) {
                if (!KeepRunning())
                    break;
                (this->*step.folderScanner)(folder, driveRoots ? 1 : 0);
            }
        }
        if (step.bit == SCAN_RCB)
            recycleBinScanned = true;
        if (step.bit == SCAN_TPF) {
            // The temporary-file rows come even after a stop: what was measured is shown.
            if (m_status) {
                m_status->ReportItem(FormatSizeText(m_recycleBinKilobytes + m_junkKilobytes), SCAN_TPF, -1, 0);
                m_status->ReportItem(ITEM_SIZE_TOTAL, SCAN_TPF, static_cast<int>(m_junkKilobytes), 0);
            }
        }
    }
    if (recycleBinScanned && m_status)
        m_status->ReportItem(ITEM_SIZE_TOTAL, SCAN_RCB, static_cast<int>(m_recycleBinKilobytes), 0);

    ReportProgress(PROGRESS_END);
    return 0;
}

void CVexaEngineProcess::ReportScanActivity(const char* text, const char* code, int threshold)
{
    if (m_activityCounter > threshold) {
        ReportActivity(text, code);
        m_activityCounter = 0;
    }
    ++m_activityCounter;
}

void CVexaEngineProcess::ReportFinding(const CString& item, DWORD category)
{
    if (m_status)
        m_status->ReportItem(item, static_cast<int>(category), 0, 0);
}

void CVexaEngineProcess::AddScanFolder(const CString& folder)
{
    if (m_scanMode == SCAN_MODE_SCHEDULED && !m_rechecking && !folder.IsEmpty())
        m_scheduledScanFolders.insert(folder);
}
