// A small FTP server for the update tests, on 127.0.0.1 and a port the system picks: one account,
// files served from a table, passive data connections only. A file can be cut short (its data
// connection closes early and the transfer ends with 426) or held part-way until ReleaseHold, so
// that a test can act during a download.
//
// It can never hang a test: every socket has send and receive time-outs, every wait (for a data
// connection, a held transfer) has a limit, and the destructor waits a bounded time for its
// threads. The threads share the server's state, so one that outlives that wait touches nothing
// that is gone.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

struct FtpFile {
    std::string body;
    // With cutAfter >= 0 only that many bytes are sent before the data connection closes.
    long cutAfter = -1;
    // With holdAfter >= 0 the transfer stops after that many bytes until ReleaseHold() (or the
    // hold limit of 10 seconds).
    long holdAfter = -1;
};

class CLocalFtpServer
{
public:
    CLocalFtpServer(const std::string& user, const std::string& password);
    ~CLocalFtpServer();
    CLocalFtpServer(const CLocalFtpServer&) = delete;
    CLocalFtpServer& operator=(const CLocalFtpServer&) = delete;

    bool IsListening() const;
    unsigned short Port() const;

    // path as the client names it, with or without its leading '/'.
    void SetFile(const std::string& path, const FtpFile& file);
    void RemoveFile(const std::string& path);
    // The commands received, in order ("PASS" without its argument).
    std::vector<std::string> Commands() const;

    // Waits until a transfer is being held; false on time-out.
    bool WaitHeld(DWORD timeout = 10000);
    void ReleaseHold();

    struct State;

private:
    std::shared_ptr<State> m_state;
};
