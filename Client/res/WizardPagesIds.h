// Control ids of the results, summary and statistics pages.
#pragma once

// ---- Results page (the scanning page writes these) -------------------------------------------------
#define IDC_RESULTS_REPAIR 1015
#define IDC_RESULTS_NEXT 1016
#define IDC_RESULTS_BACK 1019
#define IDC_RESULTS_TITLE 1049
#define IDC_RESULTS_FOUND 1053
#define IDC_RESULTS_SELECTED 1167
#define IDC_RESULTS_JUNK 1197

// ---- Statistics page -------------------------------------------------------------------------------
#define IDC_STATS_TOTAL_ERRORS 1219
#define IDC_STATS_CLEANED_TO_DATE 1220
#define IDC_STATS_LAST_SCAN_HEADING 1221
#define IDC_STATS_LAST_SCAN 1222
#define IDC_STATS_JUNK_TO_DATE 1232
