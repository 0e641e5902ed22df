// The FTP variant of the database update: the date check against the site's "/Update.txt" and
// the download of the whole database, which replaces the local one only when it is whole and
// newer by its own date.
#include "AutoUpdater.h"

#include <oleauto.h>
#include <tinyxml.h>
#include <cerrno>
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

// The count before "##": a decimal number that an int holds (a long is as wide on this
// system), blanks around it allowed.
bool ParseCount(CString text, int* count)
{
    static_assert(sizeof(long) == sizeof(int), "strtol's range is an int's");
    text.Trim();
    if (text.IsEmpty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno == ERANGE || *end != '\0')
        return false;
    *count = static_cast<int>(value);
    return true;
}

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
    if (m_ftpSite.Server.IsEmpty() || !OpenSite())
        return FALSE;
    return m_site->ConnectFtp(m_ftpSite) == SITE_OK && !IsCancelled();
}

BOOL CAutoUpdater::OpenFtpFile(const CString& remoteName)
{
    return m_site->OpenFtpFile(remoteName) == SITE_OK && !IsCancelled();
}

bool CAutoUpdater::ReadFtpText(size_t maxLength, std::string* text)
{
    char piece[kFtpPiece];
    for (;;) {
        DWORD read = 0;
        if (m_site->Read(piece, sizeof(piece), &read) != SITE_OK)
            return false;
        if (read == 0)
            return !IsCancelled();
        if (text->size() + read > maxLength)
            return false;
        text->append(piece, read);
    }
}

int CAutoUpdater::CheckUpdateFile()
{
    m_site->BeginStage(m_limits.CheckMs);
    if (!OpenFtpFile(kUpdateDateFile))
        return FailureCode(UPDATE_FTP_NO_FILE);
    std::string text;
    const bool read = ReadFtpText(kLongestDateFile, &text);
    m_site->CloseFile();
    if (IsCancelled())
        return UPDATE_NOT_CONNECTED;
    if (!read || text.empty() || text.find('\0') != std::string::npos)
        return UPDATE_FTP_BAD_DATE_FILE;

    CString dateText(text);
    const int separator = dateText.Find(kCountSeparator);
    if (separator >= 0) {
        int count = 0;
        if (m_status && ParseCount(dateText.Left(separator), &count))
            m_status->ReportItem("", 0, count, 0);
        dateText = dateText.Mid(separator + static_cast<int>(std::strlen(kCountSeparator)));
    }
    DATE siteDate = 0;
    if (!ParseUpdateDate(dateText, &siteDate))
        return UPDATE_FTP_BAD_DATE_FILE;
    if (!ParseUpdateDate(GetLocalUpdateDate(), &m_localDate))
        return UPDATE_NO_LOCAL_VERSION;
    return siteDate > m_localDate ? UPDATE_FTP_NEWER : UPDATE_NONE_AVAILABLE;
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
    m_site->BeginStage(m_limits.DownloadMs);
    if (!OpenFtpFile("/" + m_ftpFileName))
        return FailureCode(UPDATE_FTP_NO_FILE);
    CLocalFile file(::CreateFileA(localPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        m_site->CloseFile();
        return UPDATE_FTP_NO_LOCAL_FILE;
    }
    int result = CopyFtpFileInto(file.Get());
    if (m_site->CloseFile() != SITE_OK && result == UPDATE_OK)
        result = FailureCode(UPDATE_FTP_DOWNLOAD_FAILED);
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
    for (;;) {
        DWORD read = 0;
        if (m_site->Read(piece, sizeof(piece), &read) != SITE_OK)
            return FailureCode(UPDATE_FTP_DOWNLOAD_FAILED);
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
}

int CAutoUpdater::DownloadDatabase()
{
    const CString download = m_databasePath + kDownloadExtension;
    const int downloaded = FtpDownloadFile(download);
    if (downloaded != UPDATE_OK)
        return downloaded;
    // A stop that comes while the download is checked still keeps the live database.
    if (IsCancelled() || !IsNewerWholeDatabase(download) || IsCancelled()
        || !::MoveFileExA(download, m_databasePath, MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(download);
        return FailureCode(UPDATE_FTP_NOT_REPLACED);
    }
    return UPDATE_OK;
}

bool CAutoUpdater::IsNewerWholeDatabase(const CString& download)
{
    // Only a whole database takes the live one's place (a cut or garbled download neither
    // deciphers nor loads as one), and only one that says itself that it is newer: a database
    // without a date would leave no date for the next update to compare with.
    std::unique_ptr<CDatabaseHandler> check(CDatabaseHandler::LoadFromDataFile(download));
    if (!check)
        return false;
    if (m_localDate == 0 && !ParseUpdateDate(GetLocalUpdateDate(), &m_localDate))
        return false;
    DATE downloadDate = 0;
    return ParseUpdateDate(check->GetLastUpdateDate(), &downloadDate) && downloadDate > m_localDate;
}
