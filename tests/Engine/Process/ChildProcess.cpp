#include "ChildProcess.h"

#include <cstdio>
#include <vector>

std::string CChildProcess::ChildProgram()
{
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.rfind('\\') + 1);
    return folder + "engine_process_test_child.exe";
}

CChildProcess::CChildProcess(const std::string& image, const std::string& arguments)
{
    // A second child of the same image runs the copy already there.
    if (::GetFileAttributesA(image.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !::CopyFileA(ChildProgram().c_str(), image.c_str(), FALSE))
        return;
    std::string commandLine = "\"" + image + "\" " + arguments;
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(image.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
    // Wait until it has loaded and holds its file: it then makes its ready event.
    char name[64];
    std::snprintf(name, sizeof(name), "kelvara_test_child_ready_%lu", m_id);
    for (int i = 0; i < 1000 && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; ++i) {
        HANDLE ready = ::OpenEventA(SYNCHRONIZE, FALSE, name);
        if (ready) {
            ::CloseHandle(ready);
            break;
        }
        ::Sleep(10);
    }
}

CChildProcess::~CChildProcess()
{
    if (!m_process)
        return;
    if (::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
        ::TerminateProcess(m_process, 99);
    ::WaitForSingleObject(m_process, 5000);
    ::CloseHandle(m_process);
}

bool CChildProcess::WaitEnded(DWORD timeout)
{
    return m_process && ::WaitForSingleObject(m_process, timeout) == WAIT_OBJECT_0;
}

DWORD CChildProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_process)
        ::GetExitCodeProcess(m_process, &code);
    return code;
}
