#include "Scanners/SizeText.h"

CString FormatKilobytes(double kilobytes)
{
    CString text;
    if (kilobytes > 1048576.0)
        text.Format("%.2fGB", kilobytes / 1048576.0);
    else if (kilobytes > 1024.0)
        text.Format("%.0fMB", kilobytes / 1024.0);
    else
        text.Format("%.0fKB", kilobytes);
    return text;
}
