// CAutoUpdater: brings the signature database up to date over HTTP in three phases on the update
// job's thread: ask the update site whether patches exist for the local version, download them
// into the "updates" folder beside the database, and apply them to the deciphered database,
// which is then enciphered as "engine.bak" beside "engine.dat".
//
// The site answers "<address>?UpdateVersion=<version>" with "noupdate", or with "available"
// followed by the patch addresses, each preceded by "<br>", and a closing "<br>". A patch is a
// database document whose "UpdateInfo" carries "PatchType" ("Addition", "Removal" or "Edit"),
// "LastUpdateDate" and "Version", enciphered like the database.
//
// The FTP variant fetches the whole database instead: the site's "/Update.txt" holds a count,
// "##" and the date of the site's database; when that date is later than the local database's
// "LastUpdateDate", the site's database file is downloaded beside the local one (".tmp") and
// takes its place only when it is whole and deciphers and loads as a database.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AfxString.h"
#include "SiteSession.h"
#include "VexaEngine.h"

class TiXmlDocument;
class TiXmlElement;

// Results of the update phases, passed on by the job to ReportResult.
enum UPDATE_RESULT {
    UPDATE_OK = 0,
    UPDATE_NOT_CONNECTED = 1,      // no Internet handle, no connection, cancelled or stopped
    UPDATE_FTP_NO_FILE = 2,        // FTP: the remote file cannot be opened
    UPDATE_FTP_BAD_DATE_FILE = 3,  // FTP: "Update.txt" is empty, too long, or its date cannot be read
    UPDATE_NO_LOCAL_VERSION = 4,   // no local version (FTP: no local date) could be read
    UPDATE_FTP_DOWNLOAD_FAILED = 5,  // FTP: no data, a failed read or write, or a file too large
    UPDATE_FTP_NOT_REPLACED = 6,   // FTP: the download is no whole, newer database, or cannot replace it
    UPDATE_FTP_NO_LOCAL_FILE = 7,  // FTP: the local download file cannot be created
    UPDATE_FTP_NEWER = 8,          // FTP: the site's database is newer; the download follows
    UPDATE_NONE_AVAILABLE = 9,     // no update ("noupdate", or the site's database is not newer)
    UPDATE_BAD_REPLY = 11,
    UPDATE_NO_PATCH_FOLDER = 12,   // the patch folder or a patch file cannot be created
    UPDATE_REQUEST_FAILED = 13,    // request failed or too slow, not answered with 200, no length, short body,
                                   // bad name, too many redirects
    PATCH_ADDITION = 14,
    PATCH_REMOVAL = 15,
    PATCH_EDIT = 16,
    UPDATE_BAD_PATCH = 17,
    UPDATE_DATABASE_FAILED = 18,
};

// How long the update waits for its sites: each wait (connecting, sending, the next bytes), a
// whole check (the version question, or "Update.txt"), and the whole download of one file.
struct _UPDATE_LIMITS {
    DWORD WaitMs = 15 * 1000;
    DWORD CheckMs = 60 * 1000;
    DWORD DownloadMs = 10 * 60 * 1000;
};

class CAutoUpdater
{
public:
    // The texts are copied (null gives empty); text2 and text3 are kept and not read.
    CAutoUpdater(CAbstractStatus* status, const char* updateAddress, const char* text2, const char* text3,
                 const char* ftpFileName, const char* databasePath);
    virtual ~CAutoUpdater();
    CAutoUpdater(const CAutoUpdater&) = delete;
    CAutoUpdater& operator=(const CAutoUpdater&) = delete;

    // The version check; 0 when patches are available (GetPatchList), 9 when none.
    int CheckForUpdate();
    // Downloads every patch of the list into the patch folder.
    int DownloadUpdates(CString patchList);
    // Applies the downloaded patches in order and writes "engine.bak".
    int ApplyUpdates();
    int CheckAndDownload();

    // The local "UpdateInfo" text, read from the deciphered head of the database.
    CString GetLocalVersionInfo();
    int LoadPatch(const CString& fileName);
    int GetPatchType();
    int ApplyAddition(const CString& fileName);
    int ApplyRemoval(const CString& fileName);
    int ApplyEdit(const CString& fileName);

    // ---- The FTP variant (job JOB_FTP_UPDATE) ----

    // Where the connection goes; kept until OpenFtpConnection.
    void SetFtpSite(const _FTP_SITE& site);
    // Connects and logs in to the site (passive transfers). FALSE when that fails or the update
    // was cancelled or stopped meanwhile.
    BOOL OpenFtpConnection();
    // Opens a remote file for a binary read; FALSE when it cannot be opened.
    BOOL OpenFtpFile(const CString& remoteName);
    // Compares the date in the site's "/Update.txt" with the local database's: 8 when the site's
    // is later, 9 when not; 2, 3 or 4 when a date cannot be had. Reports the count before "##"
    // when it is a number an int holds.
    int CheckUpdateFile();
    // The "LastUpdateDate" of the local database; empty when it cannot be read.
    CString GetLocalUpdateDate();
    // Downloads the site's database file into localPath: 0, or 2, 5 or 7 with no file left.
    int FtpDownloadFile(const CString& localPath);
    // Downloads the site's database beside the local one and puts it in its place: 0, or the
    // download's code, or 6 when it is no whole database, is dated no later than the local one
    // (or bears no date), or cannot replace it. The local database is untouched and no download
    // file stays behind on any failure, a cancel or a stop.
    int DownloadDatabase();
    // The site's database is never larger than this.
    static const DWORD kLargestDatabase = 64 * 1024 * 1024;

    // Called on another thread while the job runs. Before the apply phase it ends the pending
    // wait for the site at once (the call itself is abandoned to the session's worker), so that
    // the job ends itself, and returns 0; once applying has begun it changes nothing and
    // returns 1.
    int CancelUpdate();
    // The job's test, asked during every wait for the site and before anything downloaded is
    // kept: false ends the update as a cancel does.
    void SetKeepGoing(std::function<bool()> keepGoing);
    BOOL IsConnected() const;

    const CString& GetPatchList() const { return m_patchList; }
    const std::vector<CString>& GetDownloadedFiles() const { return m_downloadedFiles; }
    // The folder of the database file (with its closing '\') and the "updates" folder in it,
    // however the file is named.
    CString GetDatabaseFolder() const;
    CString GetPatchFolder() const;
    // Where the updated database goes: "engine.bak" beside "engine.dat" (in any case), else the
    // database's own name with the extension ".bak"; empty when that would be the database
    // itself or the path names no file.
    CString GetOutputPath() const;

    // A patch name taken from an address: a plain file name, never a path or a device.
    static bool IsPlainFileName(const CString& name);
    // Patches come only from the scheme, host and port of the update address.
    bool IsOnUpdateSite(const CString& address) const;

protected:
    // The largest download the FTP variant takes, and how long it waits for its sites (a test
    // may make them smaller).
    DWORD m_largestDownload = kLargestDatabase;
    _UPDATE_LIMITS m_limits;

private:
    enum Phase { Checking, Applying, Cancelled };

    // Opens the session with the sites, with the limits then in force, and begins a check
    // stage; false without an Internet handle.
    bool OpenSite();
    // Opens a GET of the address answered with 200. A patch is fetched only from the update
    // site, also where a redirect leads.
    bool OpenRequest(const CString& address, bool isPatch);
    // Cancelled, or stopped by the job.
    bool IsCancelled() const;
    // The update code of a failed request or read: 1 when cancelled or stopped, else `failed`.
    int FailureCode(int failed) const;
    int DownloadPatch(const CString& address, const CString& name);
    // Reads the version check's reply: a communication error when it is longer than any real
    // reply, a bad reply when it holds a NUL.
    int ReadReply(CString* reply);
    void DeleteDownloadedPatches();
    int ReadBodyInto(HANDLE file, DWORD expected);
    // The whole open FTP file as text; false when a read fails or it is longer than maxLength.
    bool ReadFtpText(size_t maxLength, std::string* text);
    int CopyFtpFileInto(HANDLE file);
    // Whether the downloaded database is whole and dated later than the local database.
    bool IsNewerWholeDatabase(const CString& download);

    int PrepareApply();
    int FinishApply();
    // Prepares the database, hands every entry of the patch with the database section it
    // belongs to ("Spywares" or "Signatures") to change, and finishes the apply.
    using PatchEntryChange = std::function<void(TiXmlElement* entry, TiXmlElement* section, bool isSpyware)>;
    int ApplyPatchEntries(const PatchEntryChange& change);
    void Activity(const char* text);
    void Progress(int phase);

    std::atomic<int> m_phase{Checking};
    // Made by the constructor, so that a cancel from another thread always finds it; it starts
    // its worker only on the first call.
    std::unique_ptr<CSiteSession> m_site;
    std::function<bool()> m_keepGoing;
    _FTP_SITE m_ftpSite;
    // The local database's date as the date check read it.
    DATE m_localDate = 0;
    CString m_ftpFileName;
    CString m_updateAddress;
    CString m_databasePath;
    CString m_text2;
    CString m_text3;
    CString m_patchList;
    std::vector<CString> m_downloadedFiles;
    std::unique_ptr<TiXmlDocument> m_patch;
    std::unique_ptr<TiXmlDocument> m_database;
    CAbstractStatus* m_status;
};
