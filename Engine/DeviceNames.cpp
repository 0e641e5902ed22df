#include "DeviceNames.h"

namespace {

const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2",   "COM3",    "COM4",  "COM5",
                                    "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2",   "LPT3",    "LPT4",  "LPT5",
                                    "LPT6", "LPT7", "LPT8", "LPT9", "CONIN$", "CONOUT$", "CLOCK$"};

} // namespace

bool IsReservedDeviceName(const CString& fileName)
{
    // The system looks only at what comes before the first dot, without trailing blanks.
    CString base = fileName;
    const int dot = base.Find('.');
    if (dot >= 0)
        base = base.Left(dot);
    base.TrimRight(' ');
    for (const char* device : kDeviceNames)
        if (base.CompareNoCase(device) == 0)
            return true;
    return false;
}
