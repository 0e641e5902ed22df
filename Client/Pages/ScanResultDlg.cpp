#include "ScanResultDlg.h"

#include "Kelvara.h"
#include "ScanCategories.h"

BEGIN_MESSAGE_MAP(CScanResultDlg, CSkinPage)
    ON_BN_CLICKED(IDC_RESULTS_BACK, OnBack)
    ON_BN_CLICKED(IDC_RESULTS_NEXT, OnRepair)
END_MESSAGE_MAP()

BOOL CScanResultDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    m_bTransparentStatics = FALSE;
    m_title.SubclassDlgItem(IDC_RESULTS_TITLE, this);
    m_found.SubclassDlgItem(IDC_RESULTS_FOUND, this);
    m_selected.SubclassDlgItem(IDC_RESULTS_SELECTED, this);
    m_junk.SubclassDlgItem(IDC_RESULTS_JUNK, this);
    m_back.SubclassDlgItem(IDC_RESULTS_BACK, this);
    m_next.SubclassDlgItem(IDC_RESULTS_NEXT, this);
    m_back.SetSkin(320, 322, 322, 0);
    m_next.SetSkin(323, 325, 325, 0);
    m_title.SetFontName("Arial")->SetFontSize(12)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x248624);
    for (CLabel* label : { &m_found, &m_junk })
        label->SetFontName("Myriad Pro")->SetFontSize(14)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x9D);
    m_selected.SetFontName("Tahoma")->SetFontSize(10)->SetTransparent(TRUE)->SetTextColor(0);
    return TRUE;
}

int CScanResultDlg::CountPerCategory(CAbstractScanItemsInfo* items, int counts[24])
{
    for (int bit = 0; bit < 24; ++bit)
        counts[bit] = 0;
    if (!items)
        return 0;
    int total = 0;
    for (int row = 0; row < kRegistryCategoryCount; ++row) {
        const DWORD category = kScanCategories[row].bit;
        int bitNumber = 0;
        while (!(category & (1u << bitNumber)))
            ++bitNumber;
        counts[bitNumber] = items->CountCategory(static_cast<int>(category));
        total += counts[bitNumber];
    }
    return total;
}

int CScanResultDlg::CountPerCategory(int counts[24])
{
    CQuillonApp* app = QuillonApp();
    return CountPerCategory(app ? app->m_pItems : nullptr, counts);
}

CString CScanResultDlg::FormatSize(double kilobytes)
{
    CString text;
    if (kilobytes > 1073741824.0)
        text.Format("%.2fTB", kilobytes / 1073741824.0);
    else if (kilobytes > 1048576.0)
        text.Format("%.1fGB", kilobytes / 1048576.0);
    else if (kilobytes > 1024.0)
        text.Format("%.0fMB", kilobytes / 1024.0);
    else
        text.Format("%.0fKB", kilobytes);
    return text;
}

void CScanResultDlg::FillResults()
{
    CString found;
    if (m_nTotalErrors > 0)
        found.Format("%d Errors Found", m_nTotalErrors);
    else
        found = "No Errors Found";
    m_found.SetText(found);
}

void CScanResultDlg::OnRepair()
{
    // The category tree and the repair job are built by the results page's own work.
}

void CScanResultDlg::OnRegistryErrorsView()
{
}

void CScanResultDlg::OnOtherErrorsView()
{
}

void CScanResultDlg::OnBack()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.ShowStep(7);
}

void CScanResultDlg::EnableBack()
{
    if (m_back.m_hWnd)
        m_back.EnableWindow(TRUE);
}
