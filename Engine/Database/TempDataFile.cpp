#include "TempDataFile.h"

CTempDataFile::CTempDataFile()
{
    char folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH)
        return;
    char name[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(folder, "spr", 0, name))
        m_path = name;
}

CTempDataFile::~CTempDataFile()
{
    Delete();
}

void CTempDataFile::Delete()
{
    if (!m_path.IsEmpty())
        ::DeleteFileA(m_path);
}
