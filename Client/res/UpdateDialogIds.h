// Control ids of the program-update dialog.
#pragma once

#define IDD_UPDATE 358
#define IDG_UPDATE_ANIMATION 361
#define IDB_UPDATE_BACKGROUND 363

#define IDC_UPDATE_STATUS 1016
#define IDC_UPDATE_ANIMATION 1224
#define IDC_UPDATE_TITLE 1226
