// CDefrag: the registry compaction page. The user first analyses the registry hives and then,
// when there is room to gain, compacts them; both are jobs of the engine process. The job thread
// only records the progress and the result code and posts WM_DEFRAG_RESULT; the window thread
// draws the progress and turns the code into a message and the page's next state.
#pragma once

#include <atomic>

#include "PageJob.h"
#include "SkinPage.h"
#include "SteppedProgress.h"
#include "VexaEngine.h"
#include "xSkinButton.h"
#include "resource.h"

// The state of the page's buttons after a job's result.
enum DEFRAG_PAGE_STATE {
    DEFRAG_STATE_START,          // Analyse usable, Defrag not
    DEFRAG_STATE_ANALYSED,       // Defrag in Analyse's place, the reset button shown
    DEFRAG_STATE_FAILED,         // a compaction failed: only the reset button leads on
    DEFRAG_STATE_RESTART_NEEDED, // nothing can be pressed until the program starts again
};

struct DEFRAG_OUTCOME
{
    CString message;  // as shown, with its full stop
    DEFRAG_PAGE_STATE state;
};

// What the page tells and does for a result code of an analysis (mode 0) or compaction (mode 1).
// A code the engine does not send is told as the failure of what was asked.
DEFRAG_OUTCOME DefragOutcome(int code, int mode);

class CDefrag : public CSkinPage, public CAbstractStatus, private CAbstractPageJobOwner
{
public:
    enum { MODE_ANALYSE = 0, MODE_COMPACT = 1 };

    CDefrag();
    ~CDefrag() override;

    BOOL OnInitDialog() override;

    void InitPage();
    void ResetPage();
    void OnAnalyse() { Start(MODE_ANALYSE); }
    void OnDefrag() { Start(MODE_COMPACT); }
    int GetResultCode() const { return m_nResultCode; }
    UINT GetBackgroundId() const { return m_nBackground; }

    // CAbstractStatus, called on the engine's job thread.
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int phase) override;
    void ReportItem(const char*, int, int, INT_PTR) override {}
    int OperationFinished(int) override { return 1; }
    int ReportResult(int code) override;

protected:
    LRESULT OnDefragResult(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);
    DECLARE_MESSAGE_MAP()

private:
    void Start(int mode);
    void ApplyState(DEFRAG_PAGE_STATE state);
    void SetBackground(UINT bitmapId);

    // CAbstractPageJobOwner
    int StartEngineJob(CAbstractProcess* process) override;
    void OnEngineJobRefused() override;
    void OnEngineJobTaken() override;
    void DrawJobProgress() override;

    CxSkinButton m_analyse;
    CxSkinButton m_defrag;
    CxSkinButton m_reset;
    CProgressCtrl m_progress;
    UINT m_nBackground = 391;
    int m_nMode = MODE_ANALYSE;
    // Whether Analyse and Defrag could be pressed before the job's start, for a refused start.
    bool m_bAnalyseWasEnabled = false;
    bool m_bDefragWasEnabled = false;
    CPageJob m_job;

    // Written by the job thread, read by the window thread.
    std::atomic<int> m_nResultCode{ 0 };
    CSteppedProgress m_steps{ 3 };
};
