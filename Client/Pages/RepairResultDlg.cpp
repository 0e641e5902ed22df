#include "RepairResultDlg.h"

#include <shlwapi.h>

#include "Kelvara.h"

namespace {

const int kLabelIds[13] = { IDC_SUMMARY_TITLE, IDC_SUMMARY_STATUS_CAPTION, IDC_SUMMARY_STATUS,
                            IDC_SUMMARY_SCANNED_CAPTION, IDC_SUMMARY_SCANNED, IDC_SUMMARY_FOUND_CAPTION,
                            IDC_SUMMARY_FOUND, IDC_SUMMARY_REPAIRED_CAPTION, IDC_SUMMARY_REPAIRED,
                            IDC_SUMMARY_SKIPPED_CAPTION, IDC_SUMMARY_SKIPPED, IDC_SUMMARY_TIME_CAPTION,
                            IDC_SUMMARY_TIME };
// The status text's colour once the summary holds a repair's (or a clean scan's) values.
const COLORREF kDoneColour = 0xEA8D59;

CString Decimal(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}

} // namespace

BEGIN_MESSAGE_MAP(CRepairResultDlg, CSkinPage)
    ON_BN_CLICKED(IDC_SUMMARY_FINISH, OnFinish)
    ON_BN_CLICKED(IDC_SUMMARY_BACK, OnBack)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CRepairResultDlg::CRepairResultDlg() : CSkinPage(IDD_SUMMARY, 0)
{
    m_hWhiteBrush = ::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
}

CRepairResultDlg::~CRepairResultDlg()
{
    ::DeleteObject(m_hWhiteBrush);
}

BOOL CRepairResultDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    m_bTransparentStatics = FALSE;
    for (int index = 0; index < 13; ++index)
        m_labels[index].SubclassDlgItem(kLabelIds[index], this);
    SetFonts();
    return TRUE;
}

CLabel& CRepairResultDlg::Label(int id)
{
    for (int index = 0; index < 13; ++index) {
        if (kLabelIds[index] == id)
            return m_labels[index];
    }
    return m_labels[0];
}

void CRepairResultDlg::SetFonts()
{
    const struct { int id; int size; COLORREF colour; } fonts[] = {
        { IDC_SUMMARY_TITLE, 12, 0x248624 }, { IDC_SUMMARY_STATUS, 10, 0xF0 },
        { IDC_SUMMARY_SCANNED_CAPTION, 9, 0x404040 }, { IDC_SUMMARY_SCANNED, 9, 0x404040 },
        { IDC_SUMMARY_FOUND_CAPTION, 9, 0x404040 }, { IDC_SUMMARY_FOUND, 9, 0x0B0BF5 },
        { IDC_SUMMARY_REPAIRED_CAPTION, 9, 0x404040 }, { IDC_SUMMARY_REPAIRED, 9, 0x404040 },
        { IDC_SUMMARY_SKIPPED_CAPTION, 9, 0x404040 }, { IDC_SUMMARY_SKIPPED, 9, 0x404040 },
        { IDC_SUMMARY_TIME_CAPTION, 9, 0x404040 }, { IDC_SUMMARY_TIME, 9, 0x404040 },
    };
    for (const auto& font : fonts)
        Label(font.id).SetFontName("Arial")->SetFontSize(font.size)->SetFontBold(TRUE)->SetTransparent(TRUE)
            ->SetTextColor(font.colour);
}

CString CRepairResultDlg::FormatDuration(DWORD milliseconds)
{
    char text[255] = {};
    ::StrFromTimeIntervalA(text, sizeof(text), milliseconds, 3);
    CString duration(text);
    return duration.Trim();
}

void CRepairResultDlg::ShowValues(int scanned, int found, int repaired, int skipped, DWORD scanMilliseconds)
{
    Label(IDC_SUMMARY_FOUND).SetText(Decimal(found));
    Label(IDC_SUMMARY_SKIPPED).SetText(Decimal(skipped));
    Label(IDC_SUMMARY_SCANNED).SetText(Decimal(scanned));
    Label(IDC_SUMMARY_REPAIRED).SetText(Decimal(repaired));
    Label(IDC_SUMMARY_TIME).SetText(FormatDuration(scanMilliseconds));
    Label(IDC_SUMMARY_STATUS).SetTextColor(kDoneColour);
}

void CRepairResultDlg::OnFinish()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.ShowStep(STEP_SELECT);
    if (CWnd* back = GetDlgItem(IDC_SUMMARY_BACK))
        back->ShowWindow(SW_HIDE);
}

void CRepairResultDlg::OnBack()
{
    if (CQuillonApp* app = QuillonApp())
        app->m_scanPage.ShowStep(STEP_RESULTS);
    if (CWnd* back = GetDlgItem(IDC_SUMMARY_BACK))
        back->ShowWindow(SW_HIDE);
}

HBRUSH CRepairResultDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT ctlColor)
{
    if (pWnd == this)
        return m_hWhiteBrush;
    return CSkinPage::OnCtlColor(pDC, pWnd, ctlColor);
}
