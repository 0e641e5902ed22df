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
// TRUE when the open file holds a Windows program: the "MZ" header, and the "PE" header it points
// to inside the file, of an executable image that is not a DLL.
BOOL HasWindowsProgramHeaders(HANDLE file);

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
    // The request for `address` (not cached); null on failure or after Cancel.
    HINTERNET OpenUrl(HINTERNET internet, const char* address);
    void Close(HINTERNET handle);
    // Closes every open handle and refuses new ones.
    void Cancel();
    bool IsCancelled() const;

private:
    // Keeps `handle` for a later Close, or closes it at once when cancelled meanwhile.
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
    CUpdateClient(const CString& site, const CString& agent);

    // TRUE with the installer's address (possibly empty) when the site announces a newer
    // version. FALSE otherwise, after a box: "already running latest version" always, the
    // connection and communication errors only when not silent.
    BOOL CheckForUpdate(CString& address, BOOL silent);
    // Downloads the installer into the temporary folder: its path once complete and verified as
    // a Windows program, an empty string on failure (nothing left behind), or kDownloadCancelled.
    CString DownloadFile(const CString& address);
    // From any thread: stops the check or the download at once.
    void Cancel() { m_handles.Cancel(); }
    bool IsCancelled() const { return m_handles.IsCancelled(); }
    CString GetCheckAddress() const;

private:
    void Tell(const char* text);
    // The reply's status and up to kReplyLimit bytes of its body; FALSE when reading failed.
    BOOL ReadReply(HINTERNET request, DWORD& status, CString& body);
    // Copies the response into the open file; TRUE when exactly `expected` bytes came.
    BOOL CopyResponse(HINTERNET request, HANDLE file, ULONGLONG expected);

    CString m_strSite;
    CString m_strAgent;
    CInternetHandles m_handles;
};

// The HTTP status of a response, 0 when it has none.
DWORD QueryHttpStatus(HINTERNET request);
