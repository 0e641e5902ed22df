// The process object's path operations, thin doors to the per-scan path helpers.
#include "EngineProcess.h"

BOOL CVexaEngineProcess::ExpandPathVariables(CString& text)
{
    return m_pathVariables.Expand(text);
}

BOOL CVexaEngineProcess::ExtractFilePath(CString& text)
{
    return m_fileReferences.Locate(text);
}

BOOL CVexaEngineProcess::FileExists(CString path)
{
    return m_fileReferences.ExistsAtWow64Alternate(path, false);
}

BOOL CVexaEngineProcess::FileExistsRedirected(CString path)
{
    return m_fileReferences.ExistsAtWow64Alternate(path, true);
}

FILE_STATE CVexaEngineProcess::JudgeFileReference(const CString& text, CString* resolved)
{
    return m_fileReferences.Judge(text, resolved);
}
