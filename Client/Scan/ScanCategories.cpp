#include "ScanCategories.h"

#include <cstring>

const SCAN_CATEGORY_INFO kScanCategories[kCategoryCount] = {
    { SCAN_AXO, "AXO", "ActiveX Objects", 1145, 139, 1149, 1170, 1182, 1153, SHADE_LIGHT, 0xFFFFFF, "LastActXErr", 1186 },
    { SCAN_UIE, "UIE", "Uninstall Entries", 1146, 157, 1150, 1171, 1183, 1155, SHADE_LIGHT, 0xFEFBFB, "LastUnErr", 1189 },
    { SCAN_FNT, "FNT", "Windows Fonts", 1147, 140, 1151, 1172, 1184, 1157, SHADE_LIGHT, 0xFDFAFA, "LastFontErr", 1190 },
    { SCAN_SHD, "SHD", "Shared DLLs", 1148, 158, 1152, 1173, 1185, 1159, SHADE_DARK, 0xFDF9F8, "LastSHDllErr", 1191 },
    { SCAN_APP, "APP", "Application Paths", 1153, 156, 1154, 1174, 1186, 1161, SHADE_DARK, 0xFBF6F6, "LastAppPathErr", 1192 },
    { SCAN_HLP, "HLP", "Help Files Information", 1155, 159, 1156, 1175, 1187, 1163, SHADE_DARK, 0xFAF5F5, "LastHlpErr", 1194 },
    { SCAN_SUI, "SUI", "Windows Startup Items", 1157, 161, 1158, 1176, 1188, 1165, SHADE_LIGHT, 0xFFFEFE, "LastStartupErr", 1196 },
    { SCAN_FPR, "FPR", "File/Path References", 1159, 181, 1160, 1177, 1189, 1168, SHADE_LIGHT, 0xFEFBFB, "LastFilePathErr", 1197 },
    { SCAN_SRC, "SRC", "Program Shortcuts", 1161, 138, 1162, 1178, 1190, 1181, SHADE_LIGHT, 0xFDFAF9, "LastShortCutErr", 1198 },
    { SCAN_ERK, "ERK", "Empty Registry Keys", 1163, 182, 1164, 1179, 1191, 1193, SHADE_DARK, 0xFDF9F8, "LastEmKeyErr", 1199 },
    { SCAN_FAS, "FAS", "File Associations", 1165, 141, 1166, 1180, 1192, 1195, SHADE_DARK, 0xFBF6F6, "LastFAErr", 1200 },
    { SCAN_ITL, "ITL", "Invalid Typelib", 1171, 0, 0, 1199, 1200, 1198, SHADE_DARK, 0xFFFFFF, "LastInvTypeLibErr", 1223 },
    { SCAN_SRV, "SRV", "Windows Services", 1172, 0, 0, 1202, 1203, 1201, SHADE_LIGHT, 0xFEFBFB, "LastServicesErr", 1226 },
    { SCAN_SAE, "SAE", "Sound & App Events", 1173, 0, 0, 1205, 1206, 1204, SHADE_LIGHT, 0xFDFAFA, "LastSndAppEvntErr", 1229 },
    { SCAN_RCB, "RCB", "Recycle Bin", 1174, 0, 0, 1210, 1211, 0, SHADE_LIGHT, 0xFDF9F8, "LastRecBinErrSize", 1233 },
    { SCAN_TPF, "TPF", "Temp Files", 1175, 0, 0, 1212, 1213, 0, SHADE_DARK, 0xFBF6F6, "LastTmpFileErrSize", 1235 },
};

int FindCategoryRowByCode(const char* code)
{
    if (!code)
        return -1;
    for (int row = 0; row < kCategoryCount; ++row) {
        if (_stricmp(kScanCategories[row].code, code) == 0)
            return row;
    }
    return -1;
}

bool RowHasBit(int row, DWORD bits)
{
    return row >= 0 && row < kCategoryCount && (kScanCategories[row].bit & bits) != 0;
}
