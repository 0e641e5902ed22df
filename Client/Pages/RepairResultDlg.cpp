#include "RepairResultDlg.h"

#include <shlwapi.h>

#include "Kelvara.h"

namespace {

const int kLabelIds[13] = { IDC_SUMMARY_TITLE, IDC_SUMMARY_STATUS_CAPTION, IDC_SUMMARY_STATUS,
                            IDC_SUMMARY_SCANNED_CAPTION, IDC_SUMMARY_SCANNED, IDC_SUMMARY_FOUND_CAPTION,
                            IDC_SUMMARY_FOUND, IDC_SUMMARY_REPAIRED_CAPTION, IDC_SUMMARY_REPAIRED,
                            IDC_SUMMARY_SKIPPED_CAPTION, IDC_SUMMARY_SKIPPED, IDC_SUMMARY_TIME_CAPTION,
                            IDC_SUMMARY_TIME };
const UINT kCleanPicture = 260;
const UINT kErrorsLeftPicture = 394;
const COLORREF kCleanColour = 0xEA8D59;
const COLORREF kPartlyColour = RGB(0xC7, 0x7C, 0x0E);
const COLORREF kNotCleanedColour = RGB(0xD6, 0x45, 0x41);

CString Decimal(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}

} // namespace

SUMMARY_STATUS SummaryStatus(int found, int repaired)
{
    if (found <= 0)
        return { "No errors found", kCleanPicture, kCleanColour };
    if (repaired >= found)
        return { "Cleaned", kCleanPicture, kCleanColour };
    if (repaired > 0)
        return { "Partly cleaned", kErrorsLeftPicture, kPartlyColour };
    return { "Not cleaned", kErrorsLeftPicture, kNotCleanedColour };
}

BEGIN_MESSAGE_MAP(CRepairResultDlg, CSkinPage)
    ON_BN_CLICKED(IDC_SUMMARY_FINISH, OnFinish)
    ON_BN_CLICKED(IDC_SUMMARY_BACK, OnBack)
    ON_WM_CTLCOLOR()
    ON_WM_DESTROY()
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
    BindSkinButtons(this, {
        { &m_finish, IDC_SUMMARY_FINISH, 392, 393, 393, 0 },
        { &m_back, IDC_SUMMARY_BACK, 320, 322, 322, 0 },
    });
    m_finish.m_bCaptionInPicture = TRUE;
    m_back.m_bCaptionInPicture = TRUE;
    m_statusPictures[0].LoadBitmap(kCleanPicture);
    m_statusPictures[1].LoadBitmap(kErrorsLeftPicture);
    SetFonts();
    ShowStatus(SummaryStatus(0, 0));
    return TRUE;
}

void CRepairResultDlg::OnDestroy()
{
    // The pictures are the page's: the control lets go of them before they are freed.
    ::SendDlgItemMessageA(m_hWnd, IDC_SUMMARY_DONE_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0);
    Default();
}

void CRepairResultDlg::ShowStatus(const SUMMARY_STATUS& status)
{
    CBitmap& picture = m_statusPictures[status.picture == kCleanPicture ? 0 : 1];
    ::SendDlgItemMessageA(m_hWnd, IDC_SUMMARY_DONE_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(picture.GetSafeHandle()));
    Label(IDC_SUMMARY_STATUS).SetText(status.text)->SetTextColor(status.colour);
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
    ShowStatus(SummaryStatus(found, repaired));
}

HWND CRepairResultDlg::GetFocusOnArrival() const
{
    return IsReachable(m_finish) ? m_finish.m_hWnd : CSkinPage::GetFocusOnArrival();
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
