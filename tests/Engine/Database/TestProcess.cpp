#include "TestProcess.h"

#include <fstream>

#include "TempFolder.h"
#include "TestDataFiles.h"

CEngineDatFile::CEngineDatFile()
{
    char module[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    m_folder = module;
    m_folder.resize(m_folder.rfind('\\') + 1);
    m_path = m_folder + "engine.dat";
    Remove();
}

CEngineDatFile::~CEngineDatFile()
{
    Remove();
    ::DeleteFileA((m_folder + "engine.bak").c_str());
    RemoveFolderTree(m_folder + "updates");
}

void CEngineDatFile::Write(const std::string& xml) const
{
    WriteEncipheredFile(m_path, xml);
}

void CEngineDatFile::WriteRaw(const std::string& bytes) const
{
    std::ofstream out(m_path, std::ios::binary);
    out << bytes;
}

void CEngineDatFile::Remove() const
{
    ::DeleteFileA(m_path.c_str());
}

bool RunToEnd(CVexaEngineProcess& process, CRecordingStatus& status, DWORD timeout)
{
    process.Resume();
    if (!status.WaitFinished(timeout))
        return false;
    const DWORD start = ::GetTickCount();
    while (process.GetThreadHandle()) {
        if (::GetTickCount() - start > timeout)
            return false;
        ::Sleep(5);
    }
    return true;
}
