#include "Defrag.h"

#include "ChildVisibility.h"
#include "Kelvara.h"
#include "Messages.h"

namespace {

const UINT kProgressIntervalMs = 100;
const UINT kStartBackground = 391;
const UINT kAnalysedBackground = 386;

const char kAnalysisFailed[] = "Registry analysis failed, please follow the below instructions and then retry;\n"
                               "Close all running applications\nFree some disk space";
const char kCompactionFailed[] = "Registry defragmentation failed, please follow the below instructions and then retry;\n"
                                 "Close all running applications\nFree some disk space\n"
                                 "Restart your system if you have already run defragmentation once";

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

CDefrag::CDefrag()
    : CSkinPage(IDD_DEFRAG, kStartBackground), m_job(*this, *this, WM_DEFRAG_RESULT, kProgressIntervalMs)
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
    m_progress.SetRange(0, CSteppedProgress::kRange);
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
        EnableChild(m_analyse, true);
        ShowChild(m_analyse, true);
        ShowChild(m_progress, true);
        EnableChild(m_defrag, false);
        ShowChild(m_defrag, false);
        ShowChild(m_reset, false);
        break;
    case DEFRAG_STATE_ANALYSED:
        EnableChild(m_analyse, false);
        ShowChild(m_analyse, false);
        ShowChild(m_progress, false);
        ShowChild(m_defrag, true);
        EnableChild(m_defrag, true);
        ShowChild(m_reset, true);
        EnableChild(m_reset, true);
        SetBackground(kAnalysedBackground);
        Invalidate();
        break;
    case DEFRAG_STATE_FAILED:
        EnableChild(m_analyse, true);
        EnableChild(m_defrag, false);
        ShowChild(m_reset, true);
        EnableChild(m_reset, true);
        break;
    case DEFRAG_STATE_RESTART_NEEDED:
        EnableChild(m_analyse, false);
        EnableChild(m_defrag, false);
        EnableChild(m_reset, false);
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
    if (!CPageJob::IsEngineFree(app->m_pProcess, busy))
        return;
    const char* question =
        analyse ? "Before running registry analysis, please save your work and close all running applications and "
                  "make sure you have some free disk space.\nPress OK to continue else Cancel."
                : "Before running registry defragmentation, please save your work and close all running applications "
                  "and make sure you have some free disk space.\nPress OK to continue else Cancel.";
    if (AfxMessageBox(question, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
        return;
    m_bAnalyseWasEnabled = m_analyse.m_hWnd && m_analyse.IsWindowEnabled();
    m_bDefragWasEnabled = m_defrag.m_hWnd && m_defrag.IsWindowEnabled();
    EnableChild(m_analyse, false);
    EnableChild(m_defrag, false);
    m_nMode = mode;
    m_nResultCode = 0;
    m_job.Start(app->m_pProcess, busy);
}

int CDefrag::StartEngineJob(CAbstractProcess* process)
{
    return process->StartDefrag(m_nMode, this);
}

void CDefrag::OnEngineJobRefused()
{
    // Nothing was discarded, and the buttons are as they were.
    EnableChild(m_analyse, m_bAnalyseWasEnabled);
    EnableChild(m_defrag, m_bDefragWasEnabled);
}

void CDefrag::OnEngineJobTaken()
{
    // The items of the last scan are discarded before every analysis and compaction, and with
    // them what the wizard would still show or repair of them. The job is not yet running.
    if (CQuillonApp* app = QuillonApp())
        app->DiscardScanResults();
}

// ---- CAbstractStatus: the engine's job thread ---------------------------------------------------

void CDefrag::SetProgress(int phase)
{
    m_steps.OnPhase(phase, 0, 3);
}

int CDefrag::ReportResult(int code)
{
    m_nResultCode = code;
    m_job.PostEnd();
    return 1;
}

// ---- The window thread ----------------------------------------------------------------------------

void CDefrag::DrawJobProgress()
{
    m_steps.DrawOn(m_progress);
}

void CDefrag::OnTimer(UINT_PTR id)
{
    m_job.OnTimer(id);
}

LRESULT CDefrag::OnDefragResult(WPARAM, LPARAM)
{
    // Whatever the user does next starts only after the job's thread has ended.
    CQuillonApp* app = QuillonApp();
    m_job.Finish(app ? app->m_pProcess : nullptr);
    EnableChild(m_analyse, true);
    EnableChild(m_defrag, false);
    const DEFRAG_OUTCOME outcome = DefragOutcome(m_nResultCode, m_nMode);
    ApplyState(outcome.state);
    AfxMessageBox(outcome.message, MB_OK | MB_ICONINFORMATION);
    m_steps.Reset();
    m_steps.DrawOn(m_progress);
    return 1;
}
