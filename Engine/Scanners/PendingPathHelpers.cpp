// Placeholder until the shared path helpers land; removed at the merge.
#include "EngineProcess.h"

#include <shlwapi.h>

BOOL CVexaEngineProcess::FileExistsRedirected(CString path)
{
    if (!m_wow64 || path.GetLength() < 8)
        return FALSE;
    path.MakeLower();
    if (!path.Replace("syswow64", "system32"))
        path.Replace("program files (x86)", "program files");
    return ::PathFileExistsA(path);
}
