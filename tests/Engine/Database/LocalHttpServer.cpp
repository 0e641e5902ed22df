#include <winsock2.h>
#include <ws2tcpip.h>

#include "LocalHttpServer.h"

#include <cstdio>
#include <cstring>

namespace {

// The limits of the suite's own waits, so that a loaded machine does not end a response that a
// test needs; the destructor closes what is still open, so no thread waits that long for it.
const DWORD kHoldLimit = 60000;
// A client that stops reading (as the program does with an error page) must not keep a
// connection thread in send() for good.
const DWORD kReceiveTimeout = 60000;
const DWORD kSendTimeout = 60000;

const char* ReasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

CLocalHttpServer::CLocalHttpServer()
{
    m_held = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_stopped = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listener == INVALID_SOCKET)
        return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof(address);
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
        || ::listen(m_listener, 16) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::closesocket(m_listener);
        m_listener = INVALID_SOCKET;
        m_port = 0;
        return;
    }
    m_port = ::ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CLocalHttpServer::~CLocalHttpServer()
{
    m_stop = true;
    EndResponses();
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    {
        // What a client still holds open: closed here, so that a thread blocked on it returns.
        std::lock_guard<std::mutex> guard(m_lock);
        for (UINT_PTR connection : m_open) {
            ::shutdown(connection, SD_BOTH);
            ::closesocket(connection);
        }
        m_open.clear();
    }
    for (std::thread& connection : m_connections)
        connection.join();
    if (m_listener != INVALID_SOCKET)
        ::closesocket(m_listener);
    ::WSACleanup();
    ::CloseHandle(m_held);
    ::CloseHandle(m_release);
    ::CloseHandle(m_stopped);
}

std::string CLocalHttpServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void CLocalHttpServer::SetRoute(const std::string& path, const HttpRoute& route)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_routes[path] = route;
}

std::vector<std::string> CLocalHttpServer::Requests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

bool CLocalHttpServer::WaitHeld(DWORD timeout)
{
    return ::WaitForSingleObject(m_held, timeout) == WAIT_OBJECT_0;
}

void CLocalHttpServer::ReleaseHold()
{
    ::SetEvent(m_release);
}

void CLocalHttpServer::EndResponses()
{
    ::SetEvent(m_stopped);
    ::SetEvent(m_release);
}

void CLocalHttpServer::AcceptLoop()
{
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listener, &readable);
        timeval wait = {0, 50000};
        if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        SOCKET connection = ::accept(m_listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET)
            continue;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_open.insert(connection);
        }
        m_connections.emplace_back([this, connection] { Serve(connection); });
    }
}

bool CLocalHttpServer::SendAll(UINT_PTR connection, const char* data, size_t length)
{
    while (length > 0) {
        const int sent = ::send(connection, data, static_cast<int>(length), 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

void CLocalHttpServer::CloseConnection(UINT_PTR connection)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_open.erase(connection) == 0)
        return;
    ::shutdown(connection, SD_SEND);
    ::closesocket(connection);
}

bool CLocalHttpServer::SendBody(UINT_PTR connection, const HttpRoute& route, size_t from)
{
    if (route.dripMs == 0)
        return SendAll(connection, route.body.data() + from, route.body.size() - from);
    for (size_t at = from; at < route.body.size(); ++at) {
        if (!SendAll(connection, route.body.data() + at, 1) || ::WaitForSingleObject(m_stopped, route.dripMs) == WAIT_OBJECT_0)
            return false;
    }
    return true;
}

void CLocalHttpServer::Serve(UINT_PTR connection)
{
    DWORD receiveTimeout = kReceiveTimeout;
    DWORD sendTimeout = kSendTimeout;
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveTimeout),
                 sizeof(receiveTimeout));
    ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeout), sizeof(sendTimeout));
    std::string request;
    char piece[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
        const int received = ::recv(connection, piece, sizeof(piece), 0);
        if (received <= 0)
            break;
        request.append(piece, static_cast<size_t>(received));
    }
    // "GET <target> HTTP/1.1"
    const size_t targetStart = request.find(' ');
    const size_t targetEnd = targetStart == std::string::npos ? std::string::npos : request.find(' ', targetStart + 1);
    if (targetEnd == std::string::npos) {
        CloseConnection(connection);
        return;
    }
    const std::string target = request.substr(targetStart + 1, targetEnd - targetStart - 1);
    const std::string path = target.substr(0, target.find('?'));

    HttpRoute route;
    int requestNumber = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_requests.push_back(target);
        requestNumber = ++m_requestCounts[path];
        const auto found = m_routes.find(path);
        if (found != m_routes.end()) {
            route = found->second;
        } else {
            route.status = 404;
            route.body = "<html>not found</html>";
        }
    }

    const bool held = route.holdOnRequest == requestNumber;
    if (held && route.stall && route.stallBeforeHeader) {
        ::SetEvent(m_held);
        ::WaitForSingleObject(m_release, INFINITE);
        CloseConnection(connection);
        return;
    }
    const long length = route.contentLength >= 0 ? route.contentLength : static_cast<long>(route.body.size());
    char header[256];
    std::snprintf(header, sizeof(header),
                  "HTTP/1.1 %d %s\r\nContent-Type: application/octet-stream\r\nContent-Length: %ld\r\n"
                  "Connection: close\r\n",
                  route.status, ReasonOf(route.status), length);
    const std::string head =
        header + (route.location.empty() ? std::string() : "Location: " + route.location + "\r\n") + "\r\n";
    bool ok = SendAll(connection, head.data(), head.size());
    size_t sentBody = 0;
    if (ok && held) {
        sentBody = route.holdAfter < route.body.size() ? route.holdAfter : route.body.size();
        ok = SendAll(connection, route.body.data(), sentBody);
        ::SetEvent(m_held);
        // The destructor sets the event too: a stall ends with the server.
        ::WaitForSingleObject(m_release, route.stall ? INFINITE : kHoldLimit);
    }
    if (ok && ::WaitForSingleObject(m_stopped, 0) != WAIT_OBJECT_0 && !SendBody(connection, route, sentBody) &&
        ::WSAGetLastError() == WSAETIMEDOUT) {
        // Without the time-out this thread would wait here for good, and the destructor with it.
        std::fprintf(stderr, "local HTTP server: the client stopped reading the %d reply to %s; a send timed out\n",
                     route.status, target.c_str());
    }
    CloseConnection(connection);
}
