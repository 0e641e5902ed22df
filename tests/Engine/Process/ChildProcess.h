// A child process that a test starts from a copy of the test child program, and always ends.
#pragma once

#include <windows.h>
#include <string>

class CChildProcess
{
public:
    // Copies the child program to `image` (unless it is there) and starts it with the arguments; waits until it runs
    // (and has opened its file, when holding one). A child that does not get that far counts as not started.
    CChildProcess(const std::string& image, const std::string& arguments = "sleep");
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return m_process != nullptr; }
    // Why the child did not start (the system's error code), 0 when it did.
    DWORD StartError() const { return m_process ? 0 : m_error; }
    DWORD Id() const { return m_id; }
    // True when the process ended within the time.
    bool WaitEnded(DWORD timeout);
    DWORD ExitCode() const;

    static std::string ChildProgram();

private:
    bool WaitReady() const;

    HANDLE m_process = nullptr;
    DWORD m_id = 0;
    DWORD m_error = 0;
};
