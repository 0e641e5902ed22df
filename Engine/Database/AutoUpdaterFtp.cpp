// The FTP variant of the database update: the date check against the site's "/Update.txt" and
// the download of the whole database, which replaces the local one only when it is whole.
#include "AutoUpdater.h"

#include <oleauto.h>
#include <tinyxml.h>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DataFileCipher.h"
#include "DatabaseHandler.h"
#include "TempDataFile.h"
#include "XmlNesting.h"
#include "XmlNoCase.h"

namespace {

const char kUpdateDateFile[] = "/Update.txt";
const char kCountSeparator[] = "##";
const char kDownloadExtension[] = ".tmp";
const DWORD kFtpPiece = 4096;
// "Update.txt" holds a count and a date: anything as long as one piece is no such text.
const size_t kLongestDateFile = kFtpPiece - 1;

// A date as the system reads dates in the user's locale ("2026/12/01", "12/24/2026 10:00").
bool ParseUpdateDate(CString text, DATE* date)
{
    text.Trim();
    if (text.IsEmpty())
        return false;
    const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), wideLength);
    return SUCCEEDED(::VarDateFromStr(wide.data(), LOCALE_USER_DEFAULT, 0, date));
}

// Closes a local file handle on every path.
class CLocalFile
{
public:
    explicit CLocalFile(HANDLE handle) : m_handle(handle) {}
    ~CLocalFile() { Close(); }
    CLocalFile(const CLocalFile&) = delete;
    CLocalFile& operator=(const CLocalFile&) = delete;
    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }
    void Close()
    {
        if (IsOpen())
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle;
};

} // namespace

void CAutoUpdater::SetFtpSite(const _FTP_SITE& site)
{
    m_ftpSite = site;
}

BOOL CAutoUpdater::OpenFtpConnection()
{
    HINTERNET internet = m_internet.load();
    if (!internet || m_ftpSite.Server.IsEmpty() || IsCancelled())
        return FALSE;
    const INTERNET_PORT port = m_ftpSite.Port ? m_ftpSite.Port : static_cast<INTERNET_PORT>(INTERNET_DEFAULT_FTP_PORT);
    const char* user = m_ftpSite.User.IsEmpty() ? nullptr : m_ftpSite.User.GetString();
    const char* password = m_ftpSite.User.IsEmpty() ? nullptr : m_ftpSite.Password.GetString();
    HINTERNET connection = ::InternetConnectA(internet, m_ftpSite.Server, port, user, password, INTERNET_SERVICE_FTP,
                                              INTERNET_FLAG_PASSIVE, 0);
    if (!connection)
        return FALSE;
    CloseFtpConnection();
    m_ftpConnection = connection;
    // A cancel that came while the connection was being made could not close it: do it here.
    if (IsCancelled()) {
        CloseFtpConnection();
        return FALSE;
    }
    return TRUE;
}

void CAutoUpdater::CloseFtpConnection()
{
    if (HINTERNET connection = m_ftpConnection.exchange(nullptr))
        ::InternetCloseHandle(connection);
}

BOOL CAutoUpdater::OpenFtpFile(const CString& remoteName)
{
    HINTERNET connection = m_ftpConnection.load();
    if (!connection)
        return FALSE;
    CloseRequest();
    HINTERNET file = ::FtpOpenFileA(connection, remoteName, GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
    if (!file)
        return FALSE;
    m_request = file;
    if (IsCancelled()) {
        CloseRequest();
        return FALSE;
    }
    return TRUE;
}

bool CAutoUpdater::ReadFtpText(size_t maxLength, std::string* text)
{
    char piece[kFtpPiece];
    DWORD read = 0;
    while (::InternetReadFile(m_request.load(), piece, sizeof(piece), &read)) {
        if (read == 0)
            return !IsCancelled();
        if (text->size() + read > maxLength)
            return false;
        text->append(piece, read);
    }
    return false;
}

int CAutoUpdater::CheckUpdateFile()
{
    if (!OpenFtpFile(kUpdateDateFile))
        return IsCancelled() ? UPDATE_NOT_CONNECTED : UPDATE_FTP_NO_FILE;
    std::string text;
    const bool read = ReadFtpText(kLongestDateFile, &text);
    CloseRequest();
    if (IsCancelled())
        return UPDATE_NOT_CONNECTED;
    if (!read || text.empty() || text.find('\0') != std::string::npos)
        return UPDATE_FTP_BAD_DATE_FILE;

    CString dateText(text);
    const int separator = dateText.Find(kCountSeparator);
    if (separator >= 0) {
        if (m_status)
            m_status->ReportItem("", 0, std::atoi(dateText.Left(separator)), 0);
        dateText = dateText.Mid(separator + static_cast<int>(std::strlen(kCountSeparator)));
    }
    DATE siteDate = 0;
    if (!ParseUpdateDate(dateText, &siteDate))
        return UPDATE_FTP_BAD_DATE_FILE;
    DATE localDate = 0;
    if (!ParseUpdateDate(GetLocalUpdateDate(), &localDate))
        return UPDATE_NO_LOCAL_VERSION;
    return siteDate > localDate ? UPDATE_FTP_NEWER : UPDATE_NONE_AVAILABLE;
}

CString CAutoUpdater::GetLocalUpdateDate()
{
    CTempDataFile plain;
    if (!plain.IsValid() || !DecryptDataFile(m_databasePath, plain.Path()))
        return CString();
    TiXmlDocument database;
    if (!LoadXmlFile(&database, plain.Path()))
        return CString();
    plain.Delete();
    return AttributeText(FirstChildElementNoCase(database.RootElement(), "UpdateInfo"), "LastUpdateDate");
}

int CAutoUpdater::FtpDownloadFile(const CString& localPath)
{
    if (!OpenFtpFile("/" + m_ftpFileName))
        return IsCancelled() ? UPDATE_NOT_CONNECTED : UPDATE_FTP_NO_FILE;
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(m_request.load(), &available, 0, 0)) {
        CloseRequest();
        return UPDATE_FTP_DOWNLOAD_FAILED;
    }
    CLocalFile file(::CreateFileA(localPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        CloseRequest();
        return UPDATE_FTP_NO_LOCAL_FILE;
    }
    const int result = CopyFtpFileInto(file.Get());
    CloseRequest();
    file.Close();
    if (result != UPDATE_OK) {
        // A cut, failed or cancelled download is no database.
        ::DeleteFileA(localPath);
        return result;
    }
    Progress(PROGRESS_END);
    return UPDATE_OK;
}

int CAutoUpdater::CopyFtpFileInto(HANDLE file)
{
    char piece[kFtpPiece];
    DWORD received = 0;
    DWORD read = 0;
    while (::InternetReadFile(m_request.load(), piece, sizeof(piece), &read)) {
        if (read == 0)
            return IsCancelled() ? UPDATE_NOT_CONNECTED : UPDATE_OK;
        // Larger than any database: a site that sends without end is not read to its end.
        if (read > m_largestDownload - received)
            return UPDATE_FTP_DOWNLOAD_FAILED;
        received += read;
        DWORD written = 0;
        if (!::WriteFile(file, piece, read, &written, nullptr) || written != read)
            return UPDATE_FTP_DOWNLOAD_FAILED;
        Progress(PROGRESS_STEP);
    }
    return IsCancelled() ? UPDATE_NOT_CONNECTED : UPDATE_FTP_DOWNLOAD_FAILED;
}

int CAutoUpdater::DownloadDatabase()
{
    const CString download = m_databasePath + kDownloadExtension;
    const int downloaded = FtpDownloadFile(download);
    if (downloaded != UPDATE_OK)
        return downloaded;
    // Only a whole database takes the live one's place: a cut or garbled download neither
    // deciphers nor loads as one.
    std::unique_ptr<CDatabaseHandler> check(CDatabaseHandler::LoadFromDataFile(download));
    const bool whole = check != nullptr;
    check.reset();
    if (!whole || IsCancelled() || !::MoveFileExA(download, m_databasePath, MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(download);
        return IsCancelled() ? UPDATE_NOT_CONNECTED : UPDATE_FTP_NOT_REPLACED;
    }
    return UPDATE_OK;
}
