#include "StatusDlg.h"

#include "Kelvara.h"
#include "ResultCategories.h"
#include "SettingsKey.h"

const char* const kCleanedValueNames[kCategoryCount] = {
    "LastActXCln", "LastUnCln", "LastFontCln", "LastSHDllCln", "LastAppPathCln", "LastHlpCln", "LastStartupCln",
    "LastFilePathCln", "LastShortCutCln", "LastEmKeyCln", "LastFACln", "LastInvTypeLibCln", "LastServicesCln",
    "LastSndAppEvntCln", "LastRecBinClnSize", "LastTmpFileClnSize",
};

namespace {

const int kCleanedLabelIds[kCategoryCount] = { 1187, 1193, 1201, 1203, 1205, 1207, 1209, 1211,
                                               1213, 1215, 1217, 1224, 1227, 1230, 1234, 1236 };
const int kIgnoredLabelIds[kRegistryCategoryCount] = { 1188, 1195, 1202, 1204, 1206, 1208, 1210,
                                                       1212, 1214, 1216, 1218, 1225, 1228, 1231 };
// The rows whose counts a new scan clears, in the order they are written.
const int kErrorResetRows[] = { 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0 };
const int kCleanResetRows[] = { 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 11, 12, 13, 14, 15 };

CString Decimal(long value)
{
    CString text;
    text.Format("%ld", value);
    return text;
}

// The skin's pictures are drawn for 96 dots per inch and keep their pixels at any resolution.
const int kSkinDpi = 96;

// Verdana, 9 points as the skin's pictures measure them: the numbers stand beside the category
// names that the page's picture carries, and keep the size they have beside them at 96 dots per
// inch at any resolution, so that they stay on the names' lines.
void StyleGridLabel(CLabel& label)
{
    LOGFONTA font = label.GetLogFont();
    ::lstrcpynA(font.lfFaceName, "Verdana", LF_FACESIZE);
    font.lfCharSet = ANSI_CHARSET;
    font.lfHeight = -::MulDiv(9, kSkinDpi, 72);
    font.lfWidth = 0;
    label.SetFont(font)->SetTransparent(TRUE)->SetTextColor(RGB(0, 0, 0));
}

} // namespace

BOOL CStatusDlg::OnInitDialog()
{
    CSkinPage::OnInitDialog();
    for (int row = 0; row < kCategoryCount; ++row) {
        m_errorLabels[row].SubclassDlgItem(kScanCategories[row].statisticsErrorLabel, this);
        m_cleanedLabels[row].SubclassDlgItem(kCleanedLabelIds[row], this);
        StyleGridLabel(m_errorLabels[row]);
        StyleGridLabel(m_cleanedLabels[row]);
        if (row < kRegistryCategoryCount) {
            m_ignoredLabels[row].SubclassDlgItem(kIgnoredLabelIds[row], this);
            StyleGridLabel(m_ignoredLabels[row]);
        }
    }
    m_lastScan.SubclassDlgItem(IDC_STATS_LAST_SCAN, this);
    m_cleanedToDate.SubclassDlgItem(IDC_STATS_CLEANED_TO_DATE, this);
    m_junkToDate.SubclassDlgItem(IDC_STATS_JUNK_TO_DATE, this);
    m_totalErrors.SubclassDlgItem(IDC_STATS_TOTAL_ERRORS, this);
    m_lastScanHeading.SubclassDlgItem(IDC_STATS_LAST_SCAN_HEADING, this);
    m_lastScan.SetFontName("Tahoma")->SetFontSize(10)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x423A31);
    for (CLabel* total : { &m_cleanedToDate, &m_junkToDate, &m_totalErrors })
        total->SetFontName("Tahoma")->SetFontSize(10)->SetFontBold(TRUE)->SetTransparent(TRUE)->SetTextColor(0x004723);
    m_lastScanHeading.SetFontName("Tahoma")->SetFontSize(12)->SetTransparent(TRUE)->SetTextColor(0x423A31);
    if (CQuillonApp* app = QuillonApp())
        m_lastScan.SetText(app->m_settings.m_strLastScan.IsEmpty() ? CString("Never") : app->m_settings.m_strLastScan);
    return TRUE;
}

void CStatusDlg::LoadStatistics()
{
    CSettingsKey key;
    if (!key.Open())
        return;
    DWORD value = 0;
    for (int row = 0; row < kRegistryCategoryCount; ++row) {
        key.ReadDword(kScanCategories[row].errorValue, value);
        m_errorLabels[row].SetText(Decimal(static_cast<long>(static_cast<int>(value))));
        key.ReadDword(kCleanedValueNames[row], value);
        m_cleanedLabels[row].SetText(Decimal(static_cast<long>(static_cast<int>(value))));
    }
    for (int row = kRecycleBinRow; row <= kTempFilesRow; ++row) {
        key.ReadDword(kScanCategories[row].errorValue, value);
        m_errorLabels[row].SetText(CScanResultDlg::FormatSize(static_cast<double>(static_cast<int>(value))));
        key.ReadDword(kCleanedValueNames[row], value);
        m_cleanedLabels[row].SetText(CScanResultDlg::FormatSize(static_cast<double>(static_cast<int>(value))));
    }
    key.ReadDword("LastTotalErrCnt", value);
    m_totalErrors.SetText(Decimal(static_cast<long>(static_cast<int>(value))));
    key.ReadDword("LastTotalClnCnt", m_nCleanedToDate);
    CString cleaned;
    cleaned.Format("%u", static_cast<unsigned>(m_nCleanedToDate));
    m_cleanedToDate.SetText(cleaned);
    key.ReadDword("LastTotalJnkFileSize", m_nJunkToDateKB);
    m_junkToDate.SetText(CScanResultDlg::FormatSize(static_cast<double>(static_cast<int>(m_nJunkToDateKB))));
}

void CStatusDlg::UpdateFromScanItems()
{
    CQuillonApp* app = QuillonApp();
    std::map<CString, int> ignored;
    if (app && app->m_pItems && app->m_pItems->LoadIgnoreListForDisplay())
        app->m_pItems->GetIgnoreList(&ignored);
    int counts[kRegistryCategoryCount] = {};
    CountIgnoredPerCategory(ignored, counts);
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        m_ignoredLabels[row].SetText(Decimal(counts[row]));
}

void CStatusDlg::ShowRepairCounts(const REPAIR_COUNTS& counts, const REPAIR_TOTALS& totals)
{
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        m_cleanedLabels[row].SetText(Decimal(counts.cleaned[row]));
    m_cleanedLabels[kRecycleBinRow].SetText(CScanResultDlg::FormatSize(counts.recycleBinKB));
    m_cleanedLabels[kTempFilesRow].SetText(CScanResultDlg::FormatSize(counts.tempFilesKB));
    CString cleaned;
    cleaned.Format("%u", static_cast<unsigned>(totals.cleaned));
    m_cleanedToDate.SetText(cleaned);
    m_junkToDate.SetText(CScanResultDlg::FormatSize(static_cast<double>(totals.junkKB)));
    m_nCleanedToDate = totals.cleaned;
    m_nJunkToDateKB = totals.junkKB;
}

BOOL StoreRepairStatistics(const REPAIR_COUNTS& counts, REPAIR_TOTALS* totals)
{
    DWORD cleaned = 0;
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        cleaned += static_cast<DWORD>(counts.cleaned[row]);
    const DWORD junkKB = static_cast<DWORD>(counts.recycleBinKB) + static_cast<DWORD>(counts.tempFilesKB);
    REPAIR_TOTALS result;
    result.cleaned = cleaned;
    result.junkKB = junkKB;
    CSettingsKey key;
    if (!key.Open()) {
        if (totals)
            *totals = result;
        return FALSE;
    }
    for (int row = 0; row < kRegistryCategoryCount; ++row)
        key.WriteDword(kCleanedValueNames[row], static_cast<DWORD>(counts.cleaned[row]));
    key.WriteDword(kCleanedValueNames[kRecycleBinRow], static_cast<DWORD>(counts.recycleBinKB));
    key.WriteDword(kCleanedValueNames[kTempFilesRow], static_cast<DWORD>(counts.tempFilesKB));
    // The totals as stored now, not as a page last showed them: another repair, or another
    // instance of the program, may have added to them since.
    DWORD storedCleaned = 0;
    DWORD storedJunkKB = 0;
    key.ReadDword("LastTotalClnCnt", storedCleaned);
    key.ReadDword("LastTotalJnkFileSize", storedJunkKB);
    result.cleaned += storedCleaned;
    result.junkKB += storedJunkKB;
    key.WriteDword("LastTotalClnCnt", result.cleaned);
    key.WriteDword("LastTotalJnkFileSize", result.junkKB);
    if (totals)
        *totals = result;
    return TRUE;
}

void CStatusDlg::ResetErrorCounts()
{
    for (int row = 0; row < 11; ++row)
        m_errorLabels[row].SetText("0");
    m_totalErrors.SetText("0");
    CSettingsKey key;
    if (!key.Open())
        return;
    for (int row : kErrorResetRows)
        key.WriteDword(kScanCategories[row].errorValue, 0);
    key.WriteDword("LastTotalErrCnt", 0);
}

void CStatusDlg::ResetCleanCounts()
{
    for (int row = 0; row < kCategoryCount; ++row) {
        if (row < 11 || row >= kRecycleBinRow)
            m_cleanedLabels[row].SetText("0");
    }
    CSettingsKey key;
    if (!key.Open())
        return;
    for (int row : kCleanResetRows)
        key.WriteDword(kCleanedValueNames[row], 0);
}

void CStatusDlg::SetErrorText(int row, const CString& text)
{
    if (row >= 0 && row < kCategoryCount)
        m_errorLabels[row].SetText(text);
}

void CStatusDlg::SetTotalErrorsText(const CString& text)
{
    m_totalErrors.SetText(text);
}

void CStatusDlg::SetLastScanText(const CString& text)
{
    m_lastScan.SetText(text);
}
