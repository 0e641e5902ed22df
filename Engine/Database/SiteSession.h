// CSiteSession: the engine's one way to talk to an update site, over HTTP or FTP, with every wait
// bounded. Each blocking call runs on the session's worker (CSiteWorker) and is waited for only
// as long as
//   - the stage's deadline allows (BeginStage: a whole check, or the whole download of a file),
//   - the session is not cancelled (Cancel, from any thread: the wait ends at once),
//   - the job's own test says go on (SetKeepGoing, asked every CSiteWorker::kSliceMs),
// and each wait for the site (connecting, sending, the next bytes) carries the connect, send and
// receive time-outs on the connection and the request or file themselves, where WinINet heeds
// them. Nothing is read from or written to WinINet's cache; HTTP redirects are followed by the
// session, at most kMostRedirects, each to an http or https address. Once a wait has ended
// without its call, the session is spent: every later call gives the same result.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>

#include "AfxString.h"
#include "SiteWorker.h"

// The FTP site of the FTP variant of the database update: the server's name or address, its
// port (0: the FTP port) and the account (an empty user logs in anonymously).
struct _FTP_SITE {
    CString Server;
    INTERNET_PORT Port = 0;
    CString User;
    CString Password;
};

enum SITE_RESULT {
    SITE_OK,
    SITE_FAILED,    // unreachable, refused, a wait timed out, a bad answer or redirect
    SITE_STOPPED,   // cancelled, or the job's test said stop
    SITE_TOO_LONG,  // the stage's deadline passed
};

class CSiteSession
{
public:
    // waitMs: the time-out of each wait for the site.
    CSiteSession(const char* agent, DWORD waitMs);
    ~CSiteSession();
    CSiteSession(const CSiteSession&) = delete;
    CSiteSession& operator=(const CSiteSession&) = delete;

    // The time-out of each wait for the site, for the handles opened from here on.
    void SetWaitTime(DWORD waitMs) { m_waitMs = waitMs; }
    // Opens the Internet handle (once); false when it cannot be had.
    bool Open();
    // Asked between the slices of every wait; false ends the wait (the job was stopped).
    void SetKeepGoing(std::function<bool()> keepGoing) { m_keepGoing = std::move(keepGoing); }
    // From any thread: the pending wait ends at once and no call is made any more.
    void Cancel();
    bool IsCancelled() const { return m_cancelled; }
    // The deadline of the calls that follow: now plus limitMs.
    void BeginStage(DWORD limitMs);

    // GET of an http or https address, the answer's status and headers read. Redirects are
    // followed; one too many, one to another scheme, or one that mayFollow (when given) refuses,
    // fails.
    int OpenUrl(const CString& address, const std::function<bool(const CString&)>& mayFollow = nullptr);
    DWORD GetStatusCode() const { return m_statusCode; }
    // The announced length, when the answer has one that is a number below 4 GB.
    bool GetContentLength(DWORD* length) const;

    // Connects and logs in to the site (passive transfers).
    int ConnectFtp(const _FTP_SITE& site);
    // Opens a file of the connected FTP site for a binary read.
    int OpenFtpFile(const CString& remoteName);

    // The next bytes of the open response or file, up to size, once at least one has come;
    // *read is 0 at the end.
    int Read(char* buffer, DWORD size, DWORD* read);
    int CloseFile();

    static const int kMostRedirects = 5;

private:
    int Call(SiteCall call);
    // One request of OpenUrl; *next gets the redirect's target when the answer is one.
    int SendRequest(const CString& address, CString* next);

    CSiteWorker m_worker;
    const CString m_agent;
    DWORD m_waitMs;
    HANDLE m_cancelEvent;
    std::atomic<bool> m_cancelled{false};
    std::function<bool()> m_keepGoing;
    DWORD m_deadline;
    // What ended the worker, given again by every later call.
    int m_spent = SITE_OK;
    DWORD m_statusCode = 0;
    bool m_hasLength = false;
    ULONGLONG m_length = 0;
};
