#include <winsock2.h>
#include <ws2tcpip.h>

#include "LocalFtpServer.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace {

const DWORD kSocketTimeout = 60000;    // every send and receive
const DWORD kDataConnectWait = 60000;  // for the client's data connection
const DWORD kHoldLimit = 60000;        // for ReleaseHold
const DWORD kThreadsEndWait = 20000;   // for the threads when the server goes
const size_t kLongestCommand = 1024;

std::string FileKey(const std::string& path)
{
    return !path.empty() && path[0] == '/' ? path.substr(1) : path;
}

void SetTimeouts(SOCKET socket)
{
    const DWORD timeout = kSocketTimeout;
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
}

bool SendAll(SOCKET socket, const char* data, size_t length)
{
    while (length > 0) {
        const int sent = ::send(socket, data, static_cast<int>(length), 0);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool Reply(SOCKET socket, const std::string& line)
{
    const std::string text = line + "\r\n";
    return SendAll(socket, text.data(), text.size());
}

// A listening socket on 127.0.0.1 and a port the system picks; INVALID_SOCKET on failure.
SOCKET Listen(unsigned short* port)
{
    SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET)
        return INVALID_SOCKET;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof(address);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::closesocket(listener);
        return INVALID_SOCKET;
    }
    *port = ::ntohs(address.sin_port);
    return listener;
}

// Waits a bounded time for a connection on the listener.
SOCKET AcceptWithin(SOCKET listener, DWORD milliseconds)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener, &readable);
    timeval wait = {static_cast<long>(milliseconds / 1000), static_cast<long>((milliseconds % 1000) * 1000)};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0)
        return INVALID_SOCKET;
    SOCKET connection = ::accept(listener, nullptr, nullptr);
    if (connection != INVALID_SOCKET)
        SetTimeouts(connection);
    return connection;
}

} // namespace

struct CLocalFtpServer::State {
    std::string user;
    std::string password;
    SOCKET listener = INVALID_SOCKET;
    unsigned short port = 0;
    bool started = false;
    std::atomic<bool> stop{false};
    mutable std::mutex lock;
    std::map<std::string, FtpFile> files;
    std::vector<std::string> commands;
    // The sockets of the sessions, closed by the server's end if still open.
    std::set<SOCKET> open;
    std::atomic<int> liveThreads{0};
    HANDLE threadsEnded = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE held = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stopped = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);

    ~State()
    {
        if (listener != INVALID_SOCKET)
            ::closesocket(listener);
        if (started)
            ::WSACleanup();
        ::CloseHandle(threadsEnded);
        ::CloseHandle(held);
        ::CloseHandle(release);
        ::CloseHandle(stopped);
    }

    // Makes a socket the server's to close at its end; false (and closed) when it is ending.
    bool Track(SOCKET socket)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (stop) {
            ::closesocket(socket);
            return false;
        }
        open.insert(socket);
        return true;
    }
    // Closes a socket unless the server's end has closed it already.
    void Close(SOCKET socket)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (open.erase(socket) == 0)
            return;
        ::shutdown(socket, SD_BOTH);
        ::closesocket(socket);
    }
    void CloseAll()
    {
        std::lock_guard<std::mutex> guard(lock);
        for (SOCKET socket : open) {
            ::shutdown(socket, SD_BOTH);
            ::closesocket(socket);
        }
        open.clear();
    }

    void Record(const std::string& command)
    {
        std::lock_guard<std::mutex> guard(lock);
        commands.push_back(command);
    }
    bool FindFile(const std::string& path, FtpFile* file) const
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = files.find(FileKey(path));
        if (found == files.end())
            return false;
        *file = found->second;
        return true;
    }
};

namespace {

using State = CLocalFtpServer::State;

// Runs work on a thread of its own that keeps the state alive and is counted, so that the
// server can wait for every thread to end.
template <class Work>
void StartThread(const std::shared_ptr<State>& state, Work work)
{
    if (state->liveThreads++ == 0)
        ::ResetEvent(state->threadsEnded);
    std::thread([state, work]() mutable {
        work();
        if (--state->liveThreads == 0)
            ::SetEvent(state->threadsEnded);
    }).detach();
}

// One line of the control connection, without its CR LF; false when the client is gone, silent
// past the time-out, or the server stops.
bool ReadCommand(SOCKET control, std::string* pending, std::string* line)
{
    size_t end;
    while ((end = pending->find("\r\n")) == std::string::npos) {
        if (pending->size() > kLongestCommand)
            return false;
        char piece[512];
        const int received = ::recv(control, piece, sizeof(piece), 0);
        if (received <= 0)
            return false;
        pending->append(piece, static_cast<size_t>(received));
    }
    *line = pending->substr(0, end);
    pending->erase(0, end + 2);
    return true;
}

// Sends bytes one at a time, dripMs apart; false when the client went or the server ends.
bool Drip(State& state, SOCKET data, const char* bytes, size_t length, DWORD dripMs)
{
    for (size_t at = 0; at < length; ++at) {
        if (!SendAll(data, bytes + at, 1) || ::WaitForSingleObject(state.stopped, dripMs) == WAIT_OBJECT_0)
            return false;
    }
    return true;
}

// Sends a file over the data connection as its table entry says; false when it was cut.
bool SendFile(State& state, SOCKET data, const FtpFile& file)
{
    size_t length = file.body.size();
    if (file.cutAfter >= 0 && static_cast<size_t>(file.cutAfter) < length)
        length = static_cast<size_t>(file.cutAfter);
    size_t sent = 0;
    if (file.holdAfter >= 0 && static_cast<size_t>(file.holdAfter) < length) {
        sent = static_cast<size_t>(file.holdAfter);
        if (!SendAll(data, file.body.data(), sent))
            return false;
        ::SetEvent(state.held);
        // The server's end sets the event too: a stall ends with the server.
        ::WaitForSingleObject(state.release, file.stall ? INFINITE : kHoldLimit);
        if (::WaitForSingleObject(state.stopped, 0) == WAIT_OBJECT_0)
            return false;
    }
    const bool whole = file.dripMs ? Drip(state, data, file.body.data() + sent, length - sent, file.dripMs)
                                   : SendAll(data, file.body.data() + sent, length - sent);
    return whole && length == file.body.size();
}

class CControlSession
{
public:
    CControlSession(State& state, SOCKET control) : m_state(state), m_control(control) {}
    ~CControlSession()
    {
        CloseData();
        m_state.Close(m_control);
    }

    void Run()
    {
        if (!Reply(m_control, "220 Kelvara test server"))
            return;
        std::string pending, line;
        while (!m_state.stop && ReadCommand(m_control, &pending, &line)) {
            const size_t blank = line.find(' ');
            std::string verb = line.substr(0, blank);
            for (char& ch : verb)
                ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
            const std::string argument = blank == std::string::npos ? std::string() : line.substr(blank + 1);
            m_state.Record(verb == "PASS" ? verb : line);
            if (!Answer(verb, argument))
                return;
        }
    }

private:
    // False when the session ends.
    bool Answer(const std::string& verb, const std::string& argument)
    {
        if (verb == "QUIT") {
            Reply(m_control, "221 Bye");
            return false;
        }
        if (verb == "USER") {
            m_user = argument;
            return Reply(m_control, "331 Password required");
        }
        if (verb == "PASS") {
            m_loggedIn = m_user == m_state.user && argument == m_state.password;
            return Reply(m_control, m_loggedIn ? "230 Logged in" : "530 Login incorrect");
        }
        if (!m_loggedIn)
            return Reply(m_control, "530 Not logged in");
        if (verb == "SYST")
            return Reply(m_control, "215 UNIX Type: L8");
        if (verb == "TYPE" || verb == "NOOP" || verb == "MODE" || verb == "STRU")
            return Reply(m_control, "200 OK");
        if (verb == "PWD")
            return Reply(m_control, "257 \"/\" is the current directory");
        if (verb == "CWD")
            return Reply(m_control, "250 OK");
        if (verb == "PASV")
            return Passive();
        if (verb == "SIZE") {
            FtpFile file;
            if (!m_state.FindFile(argument, &file))
                return Reply(m_control, "550 No such file");
            return Reply(m_control, "213 " + std::to_string(file.body.size()));
        }
        if (verb == "RETR")
            return Retrieve(argument);
        return Reply(m_control, "502 Command not implemented");
    }

    bool Passive()
    {
        CloseData();
        unsigned short port = 0;
        m_dataListener = Listen(&port);
        if (m_dataListener == INVALID_SOCKET || !m_state.Track(m_dataListener)) {
            m_dataListener = INVALID_SOCKET;
            return Reply(m_control, "425 Cannot open a data connection");
        }
        char text[96];
        std::snprintf(text, sizeof(text), "227 Entering Passive Mode (127,0,0,1,%u,%u)", port >> 8, port & 0xFF);
        return Reply(m_control, text);
    }

    bool Retrieve(const std::string& path)
    {
        if (m_dataListener == INVALID_SOCKET)
            return Reply(m_control, "425 Use PASV first");
        FtpFile file;
        if (!m_state.FindFile(path, &file)) {
            CloseData();
            return Reply(m_control, "550 No such file");
        }
        if (!Reply(m_control, "150 Opening BINARY mode data connection"))
            return false;
        SOCKET data = AcceptWithin(m_dataListener, kDataConnectWait);
        CloseData();
        if (data == INVALID_SOCKET || !m_state.Track(data))
            return Reply(m_control, "425 No data connection");
        const bool whole = SendFile(m_state, data, file);
        m_state.Close(data);
        return Reply(m_control, whole ? "226 Transfer complete" : "426 Connection closed; transfer aborted");
    }

    void CloseData()
    {
        if (m_dataListener != INVALID_SOCKET)
            m_state.Close(m_dataListener);
        m_dataListener = INVALID_SOCKET;
    }

    State& m_state;
    SOCKET m_control;
    SOCKET m_dataListener = INVALID_SOCKET;
    std::string m_user;
    bool m_loggedIn = false;
};

void AcceptLoop(const std::shared_ptr<State>& state)
{
    while (!state->stop) {
        SOCKET control = AcceptWithin(state->listener, 50);
        if (control == INVALID_SOCKET || !state->Track(control))
            continue;
        StartThread(state, [state, control] { CControlSession(*state, control).Run(); });
    }
}

} // namespace

CLocalFtpServer::CLocalFtpServer(const std::string& user, const std::string& password)
    : m_state(std::make_shared<State>())
{
    m_state->user = user;
    m_state->password = password;
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    m_state->started = true;
    m_state->listener = Listen(&m_state->port);
    if (m_state->listener == INVALID_SOCKET)
        return;
    const std::shared_ptr<State> state = m_state;
    StartThread(state, [state] { AcceptLoop(state); });
}

CLocalFtpServer::~CLocalFtpServer()
{
    {
        std::lock_guard<std::mutex> guard(m_state->lock);
        m_state->stop = true;
    }
    ::SetEvent(m_state->release);
    ::SetEvent(m_state->stopped);
    // A thread that waits on a socket returns at once when it is closed; one that does not end
    // by the limit keeps the state alive on its own.
    m_state->CloseAll();
    ::WaitForSingleObject(m_state->threadsEnded, kThreadsEndWait);
}

bool CLocalFtpServer::IsListening() const
{
    return m_state->listener != INVALID_SOCKET;
}

unsigned short CLocalFtpServer::Port() const
{
    return m_state->port;
}

void CLocalFtpServer::SetFile(const std::string& path, const FtpFile& file)
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->files[FileKey(path)] = file;
}

void CLocalFtpServer::RemoveFile(const std::string& path)
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->files.erase(FileKey(path));
}

std::vector<std::string> CLocalFtpServer::Commands() const
{
    std::lock_guard<std::mutex> guard(m_state->lock);
    return m_state->commands;
}

bool CLocalFtpServer::WaitHeld(DWORD timeout)
{
    return ::WaitForSingleObject(m_state->held, timeout) == WAIT_OBJECT_0;
}

void CLocalFtpServer::ReleaseHold()
{
    ::SetEvent(m_state->release);
}

void CLocalFtpServer::EndTransfers()
{
    ::SetEvent(m_state->stopped);
    ::SetEvent(m_state->release);
}
