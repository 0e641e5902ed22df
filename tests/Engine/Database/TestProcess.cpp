#include "TestProcess.h"

#include <shlobj.h>

#include <fstream>
#include <thread>

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
    // What an update that was cut off by the end of its process may have left beside it.
    ::DeleteFileA((m_path + ".tmp").c_str());
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

const char* NameOf(JobEnd end)
{
    switch (end) {
    case JobEnd::Cancel: return "cancel";
    case JobEnd::Stop: return "stop";
    case JobEnd::Release: return "release";
    }
    return "?";
}

namespace {

// The job's thread is gone once its handle is cleared.
bool ThreadGoneWithin(CVexaEngineProcess& process, DWORD bound)
{
    const DWORD start = ::GetTickCount();
    while (process.GetThreadHandle()) {
        if (::GetTickCount() - start > bound)
            return false;
        ::Sleep(5);
    }
    return true;
}

} // namespace

bool EndsWithin(DWORD bound, const std::function<void()>& call, const std::function<void()>& unblockSite)
{
    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        call();
        ::SetEvent(done);
    });
    const bool inTime = ::WaitForSingleObject(done, bound) == WAIT_OBJECT_0;
    if (!inTime)
        unblockSite();
    worker.join();
    ::CloseHandle(done);
    return inTime;
}

bool EndJobWithin(std::unique_ptr<CVexaEngineProcess>& process, CRecordingStatus& status, JobEnd end, DWORD bound,
                  const std::function<void()>& unblockSite)
{
    if (end == JobEnd::Release)
        return EndsWithin(bound, [&] { process.reset(); }, unblockSite);
    const DWORD start = ::GetTickCount();
    if (end == JobEnd::Cancel)
        process->CancelUpdate();
    else
        process->Stop(1);
    const bool finished = status.WaitFinished(bound);
    const DWORD elapsed = ::GetTickCount() - start;
    const bool inTime = finished && ThreadGoneWithin(*process, elapsed < bound ? bound - elapsed : 0);
    if (!inTime) {
        unblockSite();
        ThreadGoneWithin(*process, INFINITE);
    }
    return inTime;
}

namespace {

int CountCacheCopies(const std::string& folder, const std::string& prefix)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            count += CountCacheCopies(folder + "\\" + name, prefix);
        else if (_strnicmp(name.c_str(), prefix.c_str(), prefix.size()) == 0)
            ++count;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}

} // namespace

int CacheCopiesOf(const std::string& stem)
{
    char folder[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return -1;
    return CountCacheCopies(folder, stem + "[");
}
