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
#include "VexaEngine.h"

class TiXmlDocument;
class TiXmlElement;

// Results of the update phases, passed on by the job to ReportResult.
enum UPDATE_RESULT {
    UPDATE_OK = 0,
    UPDATE_NOT_CONNECTED = 1,      // no Internet handle, no connection, or cancelled
    UPDATE_FTP_NO_FILE = 2,        // FTP: the remote file cannot be opened
    UPDATE_FTP_BAD_DATE_FILE = 3,  // FTP: "Update.txt" is empty, too long, or its date cannot be read
    UPDATE_NO_LOCAL_VERSION = 4,   // no local version (FTP: no local date) could be read
    UPDATE_FTP_DOWNLOAD_FAILED = 5,  // FTP: no data, a failed read or write, or a file too large
    UPDATE_FTP_NOT_REPLACED = 6,   // FTP: the download is no whole database, or cannot replace it
    UPDATE_FTP_NO_LOCAL_FILE = 7,  // FTP: the local download file cannot be created
    UPDATE_FTP_NEWER = 8,          // FTP: the site's database is newer; the download follows
    UPDATE_NONE_AVAILABLE = 9,     // no update ("noupdate", or the site's database is not newer)
    UPDATE_BAD_REPLY = 11,
    UPDATE_NO_PATCH_FOLDER = 12,   // the patch folder or a patch file cannot be created
    UPDATE_REQUEST_FAILED = 13,    // request failed, not answered with 200, no length, short body, bad name
    PATCH_ADDITION = 14,
    PATCH_REMOVAL = 15,
    PATCH_EDIT = 16,
    UPDATE_BAD_PATCH = 17,
    UPDATE_DATABASE_FAILED = 18,
};

// The FTP site of the FTP variant: the server's name or address, its port (0: the FTP port) and
// the account (an empty user logs in anonymously).
struct _FTP_SITE {
    CString Server;
    INTERNET_PORT Port = 0;
    CString User;
    CString Password;
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
    // was cancelled meanwhile.
    BOOL OpenFtpConnection();
    bool HasFtpConnection() const { return m_ftpConnection.load() != nullptr; }
    // Opens a remote file for a binary read as the open request; FALSE when it cannot be opened.
    BOOL OpenFtpFile(const CString& remoteName);
    // Compares the date in the site's "/Update.txt" with the local database's: 8 when the site's
    // is later, 9 when not; 2, 3 or 4 when a date cannot be had. Reports the count before "##".
    int CheckUpdateFile();
    // The "LastUpdateDate" of the local database; empty when it cannot be read.
    CString GetLocalUpdateDate();
    // Downloads the site's database file into localPath: 0, or 2, 5 or 7 with no file left.
    int FtpDownloadFile(const CString& localPath);
    // Downloads the site's database beside the local one and puts it in its place: 0, or the
    // download's code, or 6 when it is no whole database or cannot replace the local one. The
    // local database is untouched and no download file stays behind on any failure.
    int DownloadDatabase();
    // The site's database is never larger than this.
    static const DWORD kLargestDatabase = 64 * 1024 * 1024;

    // Called on another thread while the job runs. Before the apply phase it closes the open
    // request, the FTP connection and the Internet handle, so that a pending call returns and
    // the job ends itself, and returns 0; once applying has begun it changes nothing and
    // returns 1.
    int CancelUpdate();
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
    // The largest download the FTP variant takes (a test may make it smaller).
    DWORD m_largestDownload = kLargestDatabase;

private:
    enum Phase { Checking, Applying, Cancelled };

    bool OpenRequest(const CString& address, DWORD flags);
    void CloseRequest();
    bool QueryContentLength(DWORD* length);
    void CloseInternet();
    bool IsCancelled() const { return m_phase == Cancelled; }
    int DownloadPatch(const CString& address, const CString& name);
    // Reads the version check's reply: a communication error when it is longer than any real
    // reply, a bad reply when it holds a NUL.
    int ReadReply(CString* reply);
    void DeleteDownloadedPatches();
    int ReadBodyInto(HANDLE file, DWORD expected);
    void CloseFtpConnection();
    // The whole open FTP file as text; false when a read fails or it is longer than maxLength.
    bool ReadFtpText(size_t maxLength, std::string* text);
    int CopyFtpFileInto(HANDLE file);

    int PrepareApply();
    int FinishApply();
    // Prepares the database, hands every entry of the patch with the database section it
    // belongs to ("Spywares" or "Signatures") to change, and finishes the apply.
    using PatchEntryChange = std::function<void(TiXmlElement* entry, TiXmlElement* section, bool isSpyware)>;
    int ApplyPatchEntries(const PatchEntryChange& change);
    void Activity(const char* text);
    void Progress(int phase);

    std::atomic<int> m_phase{Checking};
    HANDLE m_downloadFile = nullptr;
    std::atomic<HINTERNET> m_internet{nullptr};
    std::atomic<HINTERNET> m_request{nullptr};
    std::atomic<HINTERNET> m_ftpConnection{nullptr};
    _FTP_SITE m_ftpSite;
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
