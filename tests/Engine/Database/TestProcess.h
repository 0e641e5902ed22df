// The engine's database file beside the test program, and running a job of the process object
// to its very end.
#pragma once

#include <string>

#include "EngineProcess.h"
#include "RecordingStatus.h"

// "engine.dat" in the folder of the test program, where the process object looks for it;
// removed (with "engine.bak" and the "updates" folder) when the object goes.
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
