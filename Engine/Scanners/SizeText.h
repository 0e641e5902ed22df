// The size text of the junk categories: kilobytes shown as KB, MB or GB.
#pragma once

#include "AfxString.h"

// "%.2fGB" above 1048576 kilobytes, "%.0fMB" above 1024, else "%.0fKB".
CString FormatKilobytes(double kilobytes);
