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
    // Under a heavily loaded Wine a copy or a process start now and then fails at once, for no
    // reason of the child's: each is tried a few times before the child counts as not started,
    // and the last error is kept for the test's message.
    const int kTries = 3;
    bool copied = ::GetFileAttributesA(image.c_str()) != INVALID_FILE_ATTRIBUTES;
    for (int attempt = 0; !copied && attempt < kTries; ++attempt) {
        // A second child of the same image runs the copy already there.
        copied = ::CopyFileA(ChildProgram().c_str(), image.c_str(), FALSE) != FALSE;
        if (!copied) {
            m_error = ::GetLastError();
            ::Sleep(200);
        }
    }
    if (!copied)
        return;
    std::string commandLine = "\"" + image + "\" " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    bool created = false;
    for (int attempt = 0; !created && attempt < kTries; ++attempt) {
        std::vector<char> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back('\0');
        created = ::CreateProcessA(image.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &info) != FALSE;
        if (!created) {
            m_error = ::GetLastError();
            ::Sleep(200);
        }
    }
    if (!created)
        return;
    ::CloseHandle(info.hThread);
    m_process = info.hProcess;
    m_id = info.dwProcessId;
    if (!WaitReady()) {
        // A child that never came to hold its file would only make the test fail later, and
        // for a reason that is not the test's.
        m_error = ::WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0 ? ExitCode() : WAIT_TIMEOUT;
        ::TerminateProcess(m_process, 99);
        ::WaitForSingleObject(m_process, 5000);
        ::CloseHandle(m_process);
        m_process = nullptr;
    }
}

bool CChildProcess::WaitReady() const
{
    // It makes its ready event once it has loaded and holds its file. A loaded machine may take
    // seconds to start a Wine process, so the bound is far beyond that.
    char name[64];
    std::snprintf(name, sizeof(name), "kelvara_test_child_ready_%lu", m_id);
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 30000) {
        HANDLE ready = ::OpenEventA(SYNCHRONIZE, FALSE, name);
        if (ready) {
            ::CloseHandle(ready);
            return true;
        }
        if (::WaitForSingleObject(m_process, 10) == WAIT_OBJECT_0)
            return false;
    }
    return false;
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
