// The program's own update over WinINet, without a window: the question to the update site, what
// its reply means, and the download of the installer into the temporary folder. The update
// dialog's worker thread runs it; the dialog's thread may cancel it at any time.
#pragma once

#include "Afx.h"

#include <wininet.h>

#include <mutex>
#include <vector>

// The update site when the settings key names none.
extern const char kDefaultUpdateSite[];
// The settings key's text value that points the update check at another site
// ("http://host[:port]" or "https://...").
extern const char kUpdateSiteValue[];
// What DownloadFile returns when it was cancelled.
extern const char kDownloadCancelled[];

// The update site without a trailing slash: the settings key's "UpdateSite" when set, else the
// default.
CString GetUpdateSite();

enum UPDATE_REPLY_KIND {
    UPDATE_REPLY_NONE,        // "noupdate": this is the latest version
    UPDATE_REPLY_AVAILABLE,   // "available": address holds the installer's (may be empty)
    UPDATE_REPLY_UNEXPECTED,  // anything else, an error page, or an address that is not a web address
};

struct UpdateReply
{
    UPDATE_REPLY_KIND kind = UPDATE_REPLY_UNEXPECTED;
    CString address;
};

// What the update site's reply means. Only a 200 answer counts. "available" is followed by the
// installer's address, trimmed and without "<br>"; an address that is neither http nor https
// makes the reply unexpected, an empty one stays empty.
UpdateReply ParseUpdateReply(DWORD httpStatus, const CString& body);
// An "http://" or "https://" address (any case) with a host part and no spaces or control
// characters.
BOOL IsWebAddress(const CString& address);
// TRUE when the open file holds a whole Windows program: the "MZ" header and the "PE" header it
// points to, of an executable image that is not a DLL, and everything those headers place in the
// file (each section's data, the symbol table, the signature) lies inside it. A program cut short,
// as by a site that announced less than it sent, fails.
BOOL IsWholeWindowsProgram(HANDLE file);

// How long the update waits for the site: each wait of the question to the site and of the
// installer's download (connecting, sending, or the next bytes of its answer), and the whole of
// each, however the site sends its bytes.
struct UpdateTimeouts
{
    DWORD checkMs = 4000;
    DWORD downloadMs = 15000;
    DWORD checkDeadlineMs = 15000;
    DWORD downloadDeadlineMs = 10 * 60 * 1000;
};

// The redirects an update request follows at most, each to an http or https address.
const int kMostRedirects = 5;

// Internet handles that another thread may close at any time, which cancels whatever blocks on
// them; each handle is closed exactly once.
class CInternetHandles
{
public:
    CInternetHandles() = default;
    ~CInternetHandles();
    CInternetHandles(const CInternetHandles&) = delete;
    CInternetHandles& operator=(const CInternetHandles&) = delete;

    // An Internet handle for `agent` with every time-out set to `timeoutMs` and 4 connect
    // retries; null on failure or after Cancel.
    HINTERNET OpenInternet(const char* agent, DWORD timeoutMs);
    // The GET request for an http or https `address` (neither read from nor written to the
    // cache), sent and answered: its status and headers can be read. Redirects are followed, at
    // most kMostRedirects, each to an http or https address. Null on failure, after Cancel, when
    // the site did not answer within `timeoutMs`, or past `deadline` (a tick count). The time-outs
    // go on the connection and the request themselves, since WinINet under Wine does not hand
    // those of the Internet handle on to them.
    HINTERNET OpenUrl(HINTERNET internet, const char* address, DWORD timeoutMs, DWORD deadline);
    // Closes one open handle now.
    void Close(HINTERNET handle);
    // Closes every open handle; new ones may follow.
    void CloseAll();
    // Closes every open handle and refuses new ones.
    void Cancel();
    bool IsCancelled() const;

    // Sets every time-out of `handle` to `timeoutMs`.
    static void SetTimeouts(HINTERNET handle, DWORD timeoutMs);

private:
    // One request of OpenUrl; *next gets the target when the answer is a redirect.
    HINTERNET SendRequest(HINTERNET internet, const CString& address, DWORD timeoutMs, CString* next);
    // Keeps `handle` for a later close, or closes it at once when cancelled meanwhile.
    HINTERNET Keep(HINTERNET handle);

    mutable std::mutex m_lock;
    std::vector<HINTERNET> m_open;
    bool m_cancelled = false;
};

// The question to the update site and the installer's download, with their message boxes. No box
// is shown once cancelled.
class CUpdateClient
{
public:
    CUpdateClient(const CString& site, const CString& agent, const UpdateTimeouts& timeouts = UpdateTimeouts());

    // TRUE with the installer's address (possibly empty) when the site announces a newer
    // version. FALSE otherwise, after a box: "already running latest version" always, the
    // connection and communication errors only when not silent.
    BOOL CheckForUpdate(CString& address, BOOL silent);
    // Downloads the installer into the temporary folder: its path once it is as long as the site
    // announced and a whole Windows program, an empty string on failure, or kDownloadCancelled.
    // Until then the file is marked for deletion, so that nothing of it stays behind however the
    // download ends, even when the process ends in the middle of it.
    CString DownloadFile(const CString& address);
    // From any thread: stops the check or the download at once.
    void Cancel() { m_handles.Cancel(); }
    bool IsCancelled() const { return m_handles.IsCancelled(); }
    CString GetCheckAddress() const;

private:
    void Tell(const char* text);
    // Starts the deadline of a check or a download.
    void BeginStage(DWORD deadlineMs);
    // The time-out of the next wait: `waitMs`, or less when the stage's deadline comes sooner; 0
    // once it has passed.
    DWORD NextWait(DWORD waitMs) const;
    // ReadArrived within the next wait; FALSE once cancelled or past the deadline.
    BOOL ReadNext(HINTERNET request, DWORD waitMs, char* buffer, DWORD size, DWORD& read);
    // The reply's status and up to kReplyLimit bytes of its body; FALSE when reading failed.
    BOOL ReadReply(HINTERNET request, DWORD& status, CString& body);
    // Copies the response into the open file; TRUE when exactly `expected` bytes came.
    BOOL CopyResponse(HINTERNET request, HANDLE file, ULONGLONG expected);

    CString m_strSite;
    CString m_strAgent;
    UpdateTimeouts m_timeouts;
    DWORD m_deadline = 0;
    CInternetHandles m_handles;
};

// The HTTP status of a response, 0 when it has none.
DWORD QueryHttpStatus(HINTERNET request);
// Reads what has come of the response, up to `size` bytes, after waiting (within the receive
// time-out) for at least one byte, so that a caller sees a cancel between the bytes of a site that
// sends them one at a time; `read` is 0 at the end. FALSE when the read failed.
BOOL ReadArrived(HINTERNET request, char* buffer, DWORD size, DWORD& read);
