// The Framework: our own small stand-in for the MFC classes that the engine and the program use.
#pragma once

#include <windows.h>

#include "AfxColl.h"
#include "AfxComboBox.h"
#include "AfxCtrls.h"
#include "AfxDateTimeCtrl.h"
#include "AfxDialog.h"
#include "AfxFile.h"
#include "AfxFileFind.h"
#include "AfxGdi.h"
#include "AfxMessageBox.h"
#include "AfxString.h"
#include "AfxTime.h"
#include "AfxTreeCtrl.h"
#include "AfxWin.h"
#include "AfxWinApp.h"
