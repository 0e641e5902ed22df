// A small FTP server for the update tests, on 127.0.0.1 and a port the system picks: one account,
// files served from a table, passive data connections only. A file can be cut short (its data
// connection closes early and the transfer ends with 426), held part-way until ReleaseHold (so
// that a test can act during a download), stalled part-way for as long as the server lives, or
// sent a byte at a time.
//
// It can never hang a test: every socket has send and receive time-outs, every wait (for a data
// connection, a held transfer) has a limit, and the destructor closes every socket still open,
// so that each thread ends at once, and waits a bounded time for them. The threads share the
// server's state, so one that outlives that wait touches nothing that is gone. The limits are
// those of the suite's own waits, so that a loaded machine does not end a session a test needs.
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
    // hold limit of 60 seconds).
    long holdAfter = -1;
    // A held transfer waits for ReleaseHold() or the server's end, however long: a stalled site.
    bool stall = false;
    // The rest of the file one byte every dripMs milliseconds (0: at once): a dripping site.
    DWORD dripMs = 0;
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
    // Cuts every held, stalled or dripping transfer short for good (new sessions are still
    // answered), as the destructor does.
    void EndTransfers();

    struct State;

private:
    std::shared_ptr<State> m_state;
};
