#include "Defrag.h"

#include "JobWait.h"
#include "Kelvara.h"
#include "Messages.h"

namespace {

const UINT_PTR kProgressTimer = 1;
const UINT kProgressIntervalMs = 100;
const int kProgressRange = 100;
const UINT kStartBackground = 391;
const UINT kAnalysedBackground = 386;

const char kAnalysisFailed[] = "Registry analysis failed, please follow the below instructions and then retry;\n"
                               "Close all running applications\nFree some disk space";
const char kCompactionFailed[] = "Registry defragmentation failed, please follow the below instructions and then retry;\n"
                                 "Close all running applications\nFree some disk space\n"
                                 "Restart your system if you have already run defragmentation once";

void Show(CWnd& window, bool show)
{
    if (window.m_hWnd)
        window.ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void Enable(CWnd& window, bool enable)
{
    if (window.m_hWnd)
        window.EnableWindow(enable);
}

} // namespace

DEFRAG_OUTCOME DefragOutcome(int code, int mode)
{
    const char* text = nullptr;
    DEFRAG_PAGE_STATE state = DEFRAG_STATE_START;
    switch (code) {
    case DEFRAG_HIVE_LIST_UNREADABLE:
    case DEFRAG_NOTHING_SAVED:
        text = kAnalysisFailed;
        break;
    case DEFRAG_REPLACE_FAILED:
        text = kCompactionFailed;
        state = DEFRAG_STATE_FAILED;
        break;
    case 4:
        text = "Error occurred due to low disk space, please empty same disk space and then retry";
        break;
    case DEFRAG_ANALYSIS_DONE:
        text = "Registry analysis completed, press Defrag Button to start defragmentation";
        state = DEFRAG_STATE_ANALYSED;
        break;
    case DEFRAG_RESTART_NEEDED:
        text = "You must restart your system to complete registry defragmentation";
        state = DEFRAG_STATE_RESTART_NEEDED;
        break;
    case DEFRAG_ALREADY_COMPACT:
        text = "Your registry is already defragmented, no need for registry defragmentation";
        break;
    default:
        // Never told as a success: the job did not do what was asked.
        text = mode == CDefrag::MODE_COMPACT ? kCompactionFailed : kAnalysisFailed;
        state = mode == CDefrag::MODE_COMPACT ? DEFRAG_STATE_FAILED : DEFRAG_STATE_START;
        break;
    }
    DEFRAG_OUTCOME outcome;
    outcome.message.Format("%s.", text);
    outcome.state = state;
    return outcome;
}

BEGIN_MESSAGE_MAP(CDefrag, CSkinPage)
    ON_BN_CLICKED(IDC_DEFRAG_ANALYSE, OnAnalyse)
    ON_BN_CLICKED(IDC_DEFRAG_DEFRAG, OnDefrag)
    ON_BN_CLICKED(IDC_DEFRAG_RESET, ResetPage)
    ON_MESSAGE(WM_DEFRAG_RESULT, OnDefragResult)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CDefrag::CDefrag() : CSkinPage(IDD_DEFRAG, kStartBackground)
{
}

CDefrag::~CDefrag() = default;

BOOL CDefrag::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    InitPage();
    return TRUE;
}

void CDefrag::InitPage()
{
    SetBackground(kStartBackground);
    BindSkinButtons(this, {
        { &m_analyse, IDC_DEFRAG_ANALYSE, 389, 390, 390, 0 },
        { &m_defrag, IDC_DEFRAG_DEFRAG, 387, 388, 388, 0 },
        { &m_reset, IDC_DEFRAG_RESET, 178, 179, 179, 0 },
    });
    m_progress.SubclassDlgItem(IDC_DEFRAG_PROGRESS, this);
    m_progress.SetRange(0, kProgressRange);
    ApplyState(DEFRAG_STATE_START);
}

void CDefrag::ResetPage()
{
    ApplyState(DEFRAG_STATE_START);
    SetBackground(kStartBackground);
    Invalidate();
}

void CDefrag::SetBackground(UINT bitmapId)
{
    m_nBackground = bitmapId;
    SetBitmap(bitmapId);
}

void CDefrag::ApplyState(DEFRAG_PAGE_STATE state)
{
    switch (state) {
    case DEFRAG_STATE_START:
        Enable(m_analyse, true);
        Show(m_analyse, true);
        Show(m_progress, true);
        Enable(m_defrag, false);
        Show(m_defrag, false);
        Show(m_reset, false);
        break;
    case DEFRAG_STATE_ANALYSED:
        Enable(m_analyse, false);
        Show(m_analyse, false);
        Show(m_progress, false);
        Show(m_defrag, true);
        Enable(m_defrag, true);
        Show(m_reset, true);
        Enable(m_reset, true);
        SetBackground(kAnalysedBackground);
        Invalidate();
        break;
    case DEFRAG_STATE_FAILED:
        Enable(m_analyse, true);
        Enable(m_defrag, false);
        Show(m_reset, true);
        Enable(m_reset, true);
        break;
    case DEFRAG_STATE_RESTART_NEEDED:
        Enable(m_analyse, false);
        Enable(m_defrag, false);
        Enable(m_reset, false);
        break;
    }
}

void CDefrag::Start(int mode)
{
    CQuillonApp* app = QuillonApp();
    if (!app || !app->m_pProcess)
        return;
    const bool analyse = mode == MODE_ANALYSE;
    const char* busy = analyse ? "Please stop other active operation before starting registry analysis."
                               : "Please stop other active operation before starting registry defragmentation.";
    if (app->m_pProcess->IsRunning()) {
        AfxMessageBox(busy, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const char* question =
        analyse ? "Before running registry analysis, please save your work and close all running applications and "
                  "make sure you have some free disk space.\nPress OK to continue else Cancel."
                : "Before running registry defragmentation, please save your work and close all running applications "
                  "and make sure you have some free disk space.\nPress OK to continue else Cancel.";
    if (AfxMessageBox(question, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    const BOOL analyseWasEnabled = m_analyse.m_hWnd && m_analyse.IsWindowEnabled();
    const BOOL defragWasEnabled = m_defrag.m_hWnd && m_defrag.IsWindowEnabled();
    Enable(m_analyse, false);
    Enable(m_defrag, false);
    m_nMode = mode;
    m_nResultCode = 0;
    if (app->m_pProcess->StartDefrag(mode, this) != 1) {
        // Refused (another job got there first): nothing was discarded, and the page is as it was.
        Enable(m_analyse, analyseWasEnabled != FALSE);
        Enable(m_defrag, defragWasEnabled != FALSE);
        AfxMessageBox(busy, MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The items of the last scan are discarded before every analysis and compaction, and with
    // them what the wizard would still show or repair of them. The job is not yet running.
    app->DiscardScanResults();
    if (m_hWnd && !m_bTimerRunning) {
        SetTimer(kProgressTimer, kProgressIntervalMs);
        m_bTimerRunning = true;
    }
    app->m_pProcess->Resume();
}

// ---- CAbstractStatus: the engine's job thread ---------------------------------------------------

void CDefrag::SetProgress(int phase)
{
    if (phase == PROGRESS_BEGIN) {
        m_position = 0;
        m_step = 3;
    } else if (phase == PROGRESS_STEP) {
        int next = m_position + m_step;
        if (next > kProgressRange)
            next -= kProgressRange;
        m_position = next;
    } else if (phase == PROGRESS_END) {
        m_position = kProgressRange;
    }
}

int CDefrag::ReportResult(int code)
{
    m_nResultCode = code;
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_DEFRAG_RESULT, 0, 0);
    return 1;
}

// ---- The window thread ----------------------------------------------------------------------------

void CDefrag::DrawProgress()
{
    if (m_progress.m_hWnd && m_progress.GetPos() != m_position)
        m_progress.SetPos(m_position);
}

void CDefrag::OnTimer(UINT_PTR id)
{
    if (id == kProgressTimer)
        DrawProgress();
}

LRESULT CDefrag::OnDefragResult(WPARAM, LPARAM)
{
    if (m_bTimerRunning) {
        KillTimer(kProgressTimer);
        m_bTimerRunning = false;
    }
    // Whatever the user does next starts only after the job's thread has ended.
    if (CQuillonApp* app = QuillonApp())
        WaitForEngineJob(app->m_pProcess);
    Enable(m_analyse, true);
    Enable(m_defrag, false);
    const DEFRAG_OUTCOME outcome = DefragOutcome(m_nResultCode, m_nMode);
    ApplyState(outcome.state);
    AfxMessageBox(outcome.message, MB_OK | MB_ICONINFORMATION);
    m_position = 0;
    if (m_progress.m_hWnd)
        m_progress.SetPos(0);
    return 1;
}
