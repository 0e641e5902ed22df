#include "SiteSession.h"

#include <algorithm>

namespace {

// Never a cached copy, never a copy in the cache; redirects are the session's to follow.
const DWORD kHttpFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE
                         | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI;
const DWORD kFtpFileFlags = FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

void SetTimeouts(HINTERNET handle, DWORD waitMs)
{
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(handle, option, &waitMs, sizeof(waitMs));
}

void CloseConnection(_SITE_DATA& data)
{
    CSiteWorker::CloseFile(data);
    if (data.Connection)
        ::InternetCloseHandle(data.Connection);
    data.Connection = nullptr;
}

// Where an http or https address points.
struct _HTTP_TARGET {
    CString Host;
    INTERNET_PORT Port = 0;
    bool Secure = false;
    CString Object;  // path and query
};

bool CrackHttpAddress(const CString& address, _HTTP_TARGET* target)
{
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    char path[INTERNET_MAX_URL_LENGTH + 1] = {};
    char extra[INTERNET_MAX_URL_LENGTH + 1] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof(extra);
    if (address.IsEmpty() || !::InternetCrackUrlA(address, 0, 0, &parts) || !host[0])
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    target->Host = host;
    target->Port = parts.nPort;
    target->Secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    target->Object = CString(path[0] ? path : "/") + extra;
    return true;
}

bool IsRedirect(DWORD status)
{
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD
           || status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == 308;
}

// A redirect's target: its Location, taken relative to the address that answered.
CString RedirectTarget(const CString& address, const CString& location)
{
    if (location.IsEmpty())
        return CString();
    char combined[INTERNET_MAX_URL_LENGTH + 1] = {};
    DWORD size = sizeof(combined);
    if (!::InternetCombineUrlA(address, location, combined, &size, ICU_NO_ENCODE))
        return CString();
    return CString(combined);
}

// What a sent request was answered: its status, its redirect target and its length.
void ReadAnswer(_SITE_DATA& data)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (::HttpQueryInfoA(data.File, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        data.Status = status;
    char text[INTERNET_MAX_URL_LENGTH + 1] = {};
    size = sizeof(text) - 1;
    if (::HttpQueryInfoA(data.File, HTTP_QUERY_LOCATION, text, &size, nullptr))
        data.Location = CString(text, static_cast<int>(std::min<DWORD>(size, sizeof(text) - 1)));
    char length[32] = {};
    size = sizeof(length) - 1;
    if (::HttpQueryInfoA(data.File, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr) && length[0]) {
        ULONGLONG value = 0;
        bool digits = true;
        for (const char* at = length; *at && digits; ++at) {
            digits = *at >= '0' && *at <= '9' && value <= (~0ULL - 9) / 10;
            value = value * 10 + static_cast<ULONGLONG>(*at - '0');
        }
        data.HasLength = digits;
        data.Length = digits ? value : 0;
    }
}

} // namespace

CSiteSession::CSiteSession(const char* agent, DWORD waitMs)
    : m_agent(agent), m_waitMs(waitMs), m_cancelEvent(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      m_deadline(::GetTickCount() + waitMs)
{
}

CSiteSession::~CSiteSession()
{
    if (m_cancelEvent)
        ::CloseHandle(m_cancelEvent);
}

void CSiteSession::Cancel()
{
    m_cancelled = true;
    if (m_cancelEvent)
        ::SetEvent(m_cancelEvent);
}

void CSiteSession::BeginStage(DWORD limitMs)
{
    m_deadline = ::GetTickCount() + limitMs;
}

int CSiteSession::Call(SiteCall call)
{
    if (m_spent != SITE_OK)
        return m_spent;
    if (m_cancelled || !m_cancelEvent) {
        m_spent = SITE_STOPPED;
        return m_spent;
    }
    _SITE_WAIT wait;
    wait.CancelEvent = m_cancelEvent;
    wait.KeepGoing = m_keepGoing;
    wait.Deadline = m_deadline;
    switch (m_worker.Run(std::move(call), wait)) {
    case SITE_WAIT_DONE:
        return m_worker.Data().Succeeded ? SITE_OK : SITE_FAILED;
    case SITE_WAIT_CANCELLED:
        m_spent = SITE_STOPPED;
        break;
    case SITE_WAIT_TOO_LONG:
        m_spent = SITE_TOO_LONG;
        break;
    case SITE_WAIT_NO_WORKER:
    default:
        m_spent = SITE_FAILED;
        break;
    }
    return m_spent;
}

bool CSiteSession::Open()
{
    const CString agent = m_agent;
    const DWORD waitMs = m_waitMs;
    return Call([agent, waitMs](_SITE_DATA& data) {
               if (!data.Internet) {
                   data.Internet = ::InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
                   if (data.Internet)
                       SetTimeouts(data.Internet, waitMs);
               }
               data.Succeeded = data.Internet != nullptr;
           })
           == SITE_OK;
}

int CSiteSession::OpenUrl(const CString& address, const std::function<bool(const CString&)>& mayFollow)
{
    m_statusCode = 0;
    m_hasLength = false;
    CString current = address;
    for (int redirects = 0;; ++redirects) {
        CString next;
        const int sent = SendRequest(current, &next);
        if (sent != SITE_OK || next.IsEmpty())
            return sent;
        // A site that sends the request round in circles, or to another kind of address, has
        // no answer to give.
        if (redirects == kMostRedirects || (mayFollow && !mayFollow(next)))
            return SITE_FAILED;
        current = next;
    }
}

int CSiteSession::SendRequest(const CString& address, CString* next)
{
    _HTTP_TARGET target;
    if (!CrackHttpAddress(address, &target))
        return SITE_FAILED;
    const DWORD waitMs = m_waitMs;
    const int sent = Call([target, waitMs](_SITE_DATA& data) {
        CloseConnection(data);
        data.Succeeded = FALSE;
        data.Status = 0;
        data.Location.Empty();
        data.HasLength = false;
        data.Length = 0;
        data.Connection = ::InternetConnectA(data.Internet, target.Host, target.Port, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0);
        if (!data.Connection)
            return;
        SetTimeouts(data.Connection, waitMs);
        const DWORD flags = kHttpFlags | (target.Secure ? INTERNET_FLAG_SECURE : 0);
        data.File = ::HttpOpenRequestA(data.Connection, "GET", target.Object, nullptr, nullptr, nullptr, flags, 0);
        if (!data.File)
            return;
        SetTimeouts(data.File, waitMs);
        if (!::HttpSendRequestA(data.File, nullptr, 0, nullptr, 0))
            return;
        ReadAnswer(data);
        data.Succeeded = TRUE;
    });
    if (sent != SITE_OK)
        return sent;
    const _SITE_DATA& answer = m_worker.Data();
    m_statusCode = answer.Status;
    m_hasLength = answer.HasLength;
    m_length = answer.Length;
    if (IsRedirect(answer.Status)) {
        _HTTP_TARGET ignored;
        *next = RedirectTarget(address, answer.Location);
        if (!CrackHttpAddress(*next, &ignored))
            return SITE_FAILED;
    }
    return SITE_OK;
}

bool CSiteSession::GetContentLength(DWORD* length) const
{
    if (!m_hasLength || m_length > MAXDWORD)
        return false;
    *length = static_cast<DWORD>(m_length);
    return true;
}

int CSiteSession::ConnectFtp(const _FTP_SITE& site)
{
    if (site.Server.IsEmpty())
        return SITE_FAILED;
    const _FTP_SITE target = site;
    const DWORD waitMs = m_waitMs;
    return Call([target, waitMs](_SITE_DATA& data) {
        CloseConnection(data);
        const INTERNET_PORT port = target.Port ? target.Port : static_cast<INTERNET_PORT>(INTERNET_DEFAULT_FTP_PORT);
        const bool anonymous = target.User.IsEmpty();
        data.Connection = ::InternetConnectA(data.Internet, target.Server, port,
                                             anonymous ? nullptr : target.User.GetString(),
                                             anonymous ? nullptr : target.Password.GetString(), INTERNET_SERVICE_FTP,
                                             INTERNET_FLAG_PASSIVE, 0);
        if (data.Connection)
            SetTimeouts(data.Connection, waitMs);
        data.Succeeded = data.Connection != nullptr;
    });
}

int CSiteSession::OpenFtpFile(const CString& remoteName)
{
    const CString name = remoteName;
    const DWORD waitMs = m_waitMs;
    return Call([name, waitMs](_SITE_DATA& data) {
        CSiteWorker::CloseFile(data);
        data.Succeeded = FALSE;
        if (!data.Connection)
            return;
        data.File = ::FtpOpenFileA(data.Connection, name, GENERIC_READ, kFtpFileFlags, 0);
        if (!data.File)
            return;
        SetTimeouts(data.File, waitMs);
        data.CacheFile = CSiteWorker::CacheFileOf(data.File);
        data.Succeeded = TRUE;
    });
}

int CSiteSession::Read(char* buffer, DWORD size, DWORD* read)
{
    *read = 0;
    const int result = Call([size](_SITE_DATA& data) {
        data.Succeeded = FALSE;
        data.Count = 0;
        if (!data.File)
            return;
        // A read waits for its whole buffer: only what has come is asked for, so that a site
        // that sends a byte at a time is seen between its bytes.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(data.File, &available, 0, 0)) {
            // Wine's FTP files answer so when they had to wait: a byte has come.
            if (::GetLastError() != ERROR_IO_PENDING)
                return;
            available = 1;
        } else if (available == 0) {
            data.Succeeded = TRUE;
            return;
        }
        const DWORD wanted = std::min(available, size);
        if (data.Buffer.size() < wanted)
            data.Buffer.resize(wanted);
        DWORD count = 0;
        data.Succeeded = ::InternetReadFile(data.File, data.Buffer.data(), wanted, &count);
        data.Count = data.Succeeded ? std::min(count, wanted) : 0;
    });
    if (result != SITE_OK)
        return result;
    const _SITE_DATA& data = m_worker.Data();
    std::copy(data.Buffer.begin(), data.Buffer.begin() + data.Count, buffer);
    *read = data.Count;
    return SITE_OK;
}

int CSiteSession::CloseFile()
{
    return Call([](_SITE_DATA& data) {
        CSiteWorker::CloseFile(data);
        data.Succeeded = TRUE;
    });
}
