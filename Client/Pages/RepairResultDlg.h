// CRepairResultDlg: the scan summary, the wizard's last step: the items the scan looked at, the
// threats or corruptions it found, those the repair removed and those the user left out, and how
// long the scan took. The results page writes the values; Finish leads back to the first step.
#pragma once

#include "Label.h"
#include "SkinPage.h"
#include "xSkinButton.h"
#include "resource.h"

// What the summary says of the system after a repair: its words, picture and colour.
struct SUMMARY_STATUS
{
    const char* text;
    UINT picture;  // bitmap resource
    COLORREF colour;
};
// Clean only when every error found was repaired; "Partly cleaned" when some were left (skipped
// or not removable), "Not cleaned" when none was repaired.
SUMMARY_STATUS SummaryStatus(int found, int repaired);

class CRepairResultDlg : public CSkinPage
{
public:
    CRepairResultDlg();
    ~CRepairResultDlg() override;

    BOOL OnInitDialog() override;

    // Writes the value labels; the scanning time is worded by the system (three digits).
    void ShowValues(int scanned, int found, int repaired, int skipped, DWORD scanMilliseconds);
    // The scanning time as the page words it.
    static CString FormatDuration(DWORD milliseconds);

    // Finish: Enter leads back to the first step.
    HWND GetFocusOnArrival() const override;

    void OnFinish();
    void OnBack();

    CLabel m_labels[13];

protected:
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void SetFonts();
    CLabel& Label(int id);
    void ShowStatus(const SUMMARY_STATUS& status);

    HBRUSH m_hWhiteBrush;
    CxSkinButton m_finish;
    CxSkinButton m_back;
    CBitmap m_statusPictures[2];
};
