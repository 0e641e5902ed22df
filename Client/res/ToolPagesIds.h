// Control ids of the tool pages: startup manager, settings, backups, ignore list, compaction.
#pragma once

// ---- Settings page ---------------------------------------------------------------------------------
#define IDC_SETTINGS_TAB_SCHEDULE 1002
#define IDC_SETTINGS_TAB_IGNORE 1003
#define IDC_SETTINGS_SAVED 1022
#define IDC_SETTINGS_TYPE 1048
#define IDC_SETTINGS_DAY 1049
#define IDC_SETTINGS_TYPE_LABEL 1050
#define IDC_SETTINGS_DAY_LABEL 1051
#define IDC_SETTINGS_TIME_LABEL 1052
#define IDC_SETTINGS_TIME 1074
#define IDC_SETTINGS_APPLY 1075
#define IDC_SETTINGS_UPDATE 1076
#define IDC_SETTINGS_START_ON_STARTUP 1078
#define IDC_SETTINGS_AUTO_SHUTDOWN 1082
#define IDC_SETTINGS_SCHEDULE_TEXT 1083
#define IDC_SETTINGS_AUTO_REPAIR 1085
#define IDC_SETTINGS_CONTEXT_MENU 1087
#define IDC_SETTINGS_RESTORE_POINT 1089
#define IDC_SETTINGS_LOG_SUMMARY 1091
#define IDC_SETTINGS_SOFTWARE_UPDATE 1093
#define IDC_SETTINGS_DISABLE_SCHEDULE 1095
#define IDC_SETTINGS_TAB_GENERAL 1132

// ---- Ignore-list page ------------------------------------------------------------------------------
#define IDC_IGNORE_TAB_SCHEDULE 1002
#define IDC_IGNORE_TAB_IGNORE 1003
#define IDC_IGNORE_TITLE 1023
#define IDC_IGNORE_GENERAL_LINK 1098
#define IDC_IGNORE_ADVANCE_LINK 1099
#define IDC_IGNORE_LIST_BOX 1100
#define IDC_IGNORE_HEADING 1101
#define IDC_IGNORE_DETAILS 1102
#define IDC_IGNORE_REMOVE 1103
#define IDC_IGNORE_CATEGORY_LABEL 1104
#define IDC_IGNORE_CATEGORY 1105
#define IDC_IGNORE_TAB_GENERAL 1132
#define IDC_IGNORE_TAB_SCAN 1133
#define IDC_IGNORE_LIST 1222

// ---- Backup page -----------------------------------------------------------------------------------
#define IDC_BACKUP_INFORMATION 1022
#define IDC_BACKUP_DETAILS 1023
#define IDC_BACKUP_LIST 1069
#define IDC_BACKUP_CREATE 1110
#define IDC_BACKUP_RESTORE 1111
#define IDC_BACKUP_PROGRESS 1112
#define IDC_BACKUP_DELETE 1113

// ---- Compaction page -------------------------------------------------------------------------------
#define IDC_DEFRAG_ANALYSE 1064
#define IDC_DEFRAG_DEFRAG 1065
#define IDC_DEFRAG_RESET 1069
#define IDC_DEFRAG_PROGRESS 1223

// ---- Startup manager page --------------------------------------------------------------------------
#define IDC_STARTUP_ENABLE_ALL 1064
#define IDC_STARTUP_DISABLE_ALL 1065
#define IDC_STARTUP_DISABLE_SELECTED 1066
#define IDC_STARTUP_REMOVE_SELECTED 1067
#define IDC_STARTUP_ENABLE_SELECTED 1068
#define IDC_STARTUP_LIST 1183
#define IDC_STARTUP_INFORMATION 1184
#define IDC_STARTUP_DETAILS 1185
#define IDC_STARTUP_SELECTED_ROW 1186

// ---- Strings ---------------------------------------------------------------------------------------
#define IDS_STARTUP_DETAILS 109
#define IDS_STARTUP_COLUMN_NAME 113
#define IDS_STARTUP_COLUMN_PATH 114
#define IDS_SCHEDULE_SCAN_COMMENT 162
#define IDS_LOGON_COMMENT 163
#define IDS_IGNORE_DETAILS 168
#define IDS_BACKUP_DETAILS 172
#define IDS_STARTUP_COLUMN_LOCATION 179
#define IDS_STARTUP_COLUMN_STATUS 180
