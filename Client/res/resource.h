// Resource ids of the program: dialog templates, controls, strings. The numbers are fixed (other
// pages, stored settings and the skin refer to them); the names are for reading.
#pragma once

// ---- Dialog templates ----------------------------------------------------------------------------
#define IDD_MAIN 102
#define IDD_STATISTICS 130
#define IDD_SCAN 166
#define IDD_STARTUP 167
#define IDD_SETTINGS 169
#define IDD_SCANNING 173
#define IDD_RESULTS 174
#define IDD_SUMMARY 175
#define IDD_BACKUP 196
#define IDD_IGNORE_LIST 222
#define IDD_DEFRAG 385

#define IDI_MAIN 128
#define IDR_TRAY_MENU 165
#define IDG_SCAN_ANIMATION 334

// ---- Main window -----------------------------------------------------------------------------------
#define IDC_NAV_STATISTICS 1000
#define IDC_NAV_SCAN 1001
#define IDC_NAV_STARTUP 1002
#define IDC_SETTINGS_BUTTON 1003
#define IDC_CLOSE_BUTTON 1004
#define IDC_MINIMIZE_BUTTON 1005
#define IDC_BADGE 1006
#define IDC_UPDATE_BUTTON 1007
#define IDC_HELP_BUTTON 1008
#define IDC_NAV_BACKUP 1009
#define IDC_NAV_DEFRAG 1011
#define IDC_WEB_BUTTON 1012
#define IDC_CAPTION_LABEL 1083
#define IDC_STEP_LABEL 1085
#define IDC_LOGO 1141
#define ID_TRAY_EXIT 32772
#define ID_TRAY_RESTORE 32773
#define ID_TRAY_MINIMIZE 32774

// ---- Scan page -------------------------------------------------------------------------------------
#define IDC_SCAN_START 1017
#define IDC_SCAN_DETAILS 1022
#define IDC_SCAN_SELECT_ALL 1169
#define IDC_SCAN_HEADING_CHECK 1167
#define IDC_SCAN_HEADING_DETAILS 1168
#define IDC_SCAN_HEADING_SELECT_ALL 1170

// ---- Scanning page ---------------------------------------------------------------------------------
#define IDC_SCANNING_CANCEL 1013
#define IDC_SCANNING_PAUSE 1014
#define IDC_SCANNING_RESUME 1015
#define IDC_SCANNING_BACK 1019
#define IDC_SCANNING_NEXT 1020
#define IDC_SCANNING_ACTIVITY 1023
#define IDC_SCANNING_CURRENT_BAR 1046
#define IDC_SCANNING_ITEM_LIST 1047
#define IDC_SCANNING_OVERALL_BAR 1048
#define IDC_SCANNING_ERRORS 1167
#define IDC_SCANNING_JUNK 1197

// ---- Later wizard pages, tool pages and the update dialog, each in its own header ------------------
#include "WizardPagesIds.h"
#include "ToolPagesIds.h"
#include "UpdateDialogIds.h"

// ---- Strings ---------------------------------------------------------------------------------------
#define IDS_DESC_SHORTCUTS 138
#define IDS_DESC_ACTIVEX 139
#define IDS_DESC_FONTS 140
#define IDS_DESC_FILE_ASSOCIATIONS 141
#define IDS_DESC_APP_PATHS 156
#define IDS_DESC_UNINSTALL 157
#define IDS_DESC_SHARED_DLLS 158
#define IDS_DESC_HELP_FILES 159
#define IDS_DESC_STARTUP 161
#define IDS_DESC_FILE_PATHS 181
#define IDS_DESC_EMPTY_KEYS 182
