// The engine's database file beside the test program, running a job of the process object to
// its very end, ending one that waits for its site, and WinINet's cache.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "EngineProcess.h"
#include "RecordingStatus.h"

// "engine.dat" in the folder of the test program, where the process object looks for it;
// removed (with a left-over ".tmp", "engine.bak" and the "updates" folder) when the object goes.
class CEngineDatFile
{
public:
    CEngineDatFile();
    ~CEngineDatFile();
    const std::string& Path() const { return m_path; }
    const std::string& Folder() const { return m_folder; }
    void Write(const std::string& xml) const;
    void WriteRaw(const std::string& bytes) const;
    void Remove() const;

private:
    std::string m_folder;
    std::string m_path;
};

// Resumes the prepared job and waits until its thread has gone; false on time-out.
bool RunToEnd(CVexaEngineProcess& process, CRecordingStatus& status, DWORD timeout = 30000);

// How a test ends a job that waits for its site.
enum class JobEnd { Cancel, Stop, Release };
const char* NameOf(JobEnd end);

// Ends the running job as `end` says (CancelUpdate, Stop(1), or deleting the object, after which
// *process is null) and waits at most `bound` for its end: the job's OperationFinished and no
// job thread left, or the release returned. False when that took longer; the job is then let go
// by unblockSite and waited for without a bound, so that nothing is left running.
bool EndJobWithin(std::unique_ptr<CVexaEngineProcess>& process, CRecordingStatus& status, JobEnd end, DWORD bound,
                  const std::function<void()>& unblockSite);

// Runs call on a thread of its own and waits at most `bound` for it; false when it took longer
// (the site is then let go by unblockSite, and the call waited for without a bound).
bool EndsWithin(DWORD bound, const std::function<void()>& call, const std::function<void()>& unblockSite);

// The files of WinINet's cache whose names begin with `stem` followed by "[" (as it names the
// copies it keeps of "stem[1].ext").
int CacheCopiesOf(const std::string& stem);
