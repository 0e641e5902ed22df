// A small HTTP server for the update tests, on 127.0.0.1 and a port the system picks. It answers
// every GET from a table of routes (path without query -> status, body), records the request
// targets, and can hold a response part-way so that a test can act during a download, stall it,
// or send it a byte at a time. Each connection has its own thread; every wait is bounded, and the
// destructor closes the connections that are still open, so that no thread of it stays blocked.
#pragma once

#include <windows.h>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct HttpRoute {
    int status = 200;
    std::string body;
    // Content-Length sent; -1 sends the body's length. A larger value makes a cut response, a
    // smaller one a response longer than announced (the whole body is sent all the same).
    long contentLength = -1;
    // With holdOnRequest = n, the n-th request for this path gets holdAfter bytes of its body,
    // then waits for ReleaseHold() (or 60 seconds) before the rest.
    int holdOnRequest = 0;
    size_t holdAfter = 0;
    // A held response waits for ReleaseHold() or the server's end, however long: a stalled site.
    // With holdAfter = 0 and no header (stallBeforeHeader) it never answers at all.
    bool stall = false;
    bool stallBeforeHeader = false;
    // The rest of the body one byte every dripMs milliseconds (0: at once): a dripping site.
    DWORD dripMs = 0;
    // Sent as the answer's Location header when not empty (with a status such as 302).
    std::string location;
};

class CLocalHttpServer
{
public:
    CLocalHttpServer();
    ~CLocalHttpServer();
    CLocalHttpServer(const CLocalHttpServer&) = delete;
    CLocalHttpServer& operator=(const CLocalHttpServer&) = delete;

    bool IsListening() const { return m_port != 0; }
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;

    void SetRoute(const std::string& path, const HttpRoute& route);
    std::vector<std::string> Requests() const;

    // Waits until a response is being held; false on time-out.
    bool WaitHeld(DWORD timeout = 10000);
    void ReleaseHold();
    // Ends every held, stalled or dripping response for good (new connections are still
    // answered), as the destructor does.
    void EndResponses();

private:
    void AcceptLoop();
    // Sockets are kept as UINT_PTR (the SOCKET type) so that this header needs no winsock2.h.
    void Serve(UINT_PTR connection);
    // Sends the body from `from` on, at once or a byte at a time; false when the client went.
    bool SendBody(UINT_PTR connection, const HttpRoute& route, size_t from);
    static bool SendAll(UINT_PTR connection, const char* data, size_t length);
    // Closes a connection that the destructor has not closed already.
    void CloseConnection(UINT_PTR connection);

    UINT_PTR m_listener = ~static_cast<UINT_PTR>(0);
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptThread;
    std::vector<std::thread> m_connections;
    mutable std::mutex m_lock;
    std::set<UINT_PTR> m_open;
    std::map<std::string, HttpRoute> m_routes;
    std::map<std::string, int> m_requestCounts;
    std::vector<std::string> m_requests;
    HANDLE m_held;
    HANDLE m_release;
    HANDLE m_stopped;
};
