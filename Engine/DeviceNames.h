// Names that the system gives to devices in every folder ("CON", "NUL", "COM1", ...): a file of
// such a name, with or without an extension, opens the device instead.
#pragma once

#include "AfxString.h"

// Whether a file name (one path part, no folder) names a device.
bool IsReservedDeviceName(const CString& fileName);
