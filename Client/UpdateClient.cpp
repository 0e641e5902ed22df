#include "UpdateClient.h"

#include <cstdlib>
#include <cstring>

#include "Kelvara.h"
#include "RegistryKey.h"

const char kDefaultUpdateSite[] = "https://www.bellwort.com";
const char kUpdateSiteValue[] = "UpdateSite";
const char kDownloadCancelled[] = "cancel";

namespace {

const char kCheckPath[] = "/update/versionRead.php";
const DWORD kRequestFlags = INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE;
const DWORD kCheckTimeoutMs = 4000;
const DWORD kDownloadTimeoutMs = 15000;
const DWORD kConnectRetries = 4;
const DWORD kChunk = 4095;
// A version reply is a word and an address: anything longer is not one.
const int kReplyLimit = 64 * 1024;
// Tries at a free "regupd" name whose ".exe" twin does not exist yet.
const int kNameTries = 8;

const char kNoInternet[] = "There was an error connecting to internet, please make sure you are connected";
const char kNoServer[] = "Error connecting to update server, please make sure you are connected to the internet";
const char kCommunicationError[] =
    "Communication error while checking for software update, please make sure you are connected to the internet";
const char kNoInternetForDownload[] =
    "There was an error connecting to internet, Please make sure you are connected to the internet";

bool StartsWith(const CString& text, const char* prefix)
{
    return text.Left(static_cast<int>(std::strlen(prefix))) == prefix;
}

bool StartsWithNoCase(const CString& text, const char* prefix)
{
    return text.Left(static_cast<int>(std::strlen(prefix))).CompareNoCase(prefix) == 0;
}

BOOL IsConnected()
{
    DWORD state = 0;
    return ::InternetGetConnectedState(&state, 0);
}

// An open file of its own: closed when the object goes, and deleted too unless kept.
class CDownloadFile
{
public:
    ~CDownloadFile()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_hFile);
        if (!m_bKeep && !m_strPath.IsEmpty())
            ::DeleteFileA(m_strPath);
    }
    // A new ".exe" beside a fresh temporary name ("regupd", of which the system keeps "reg"), opened so that no
    // other process can read or write it while it is written. The ".tmp" that reserved the name
    // goes again.
    BOOL Create()
    {
        char folder[MAX_PATH] = {};
        const DWORD length = ::GetTempPathA(sizeof(folder), folder);
        if (length == 0 || length >= sizeof(folder))
            return FALSE;
        std::vector<CString> reserved;
        for (int attempt = 0; attempt < kNameTries && m_hFile == INVALID_HANDLE_VALUE; ++attempt) {
            char name[MAX_PATH] = {};
            if (!::GetTempFileNameA(folder, "regupd", 0, name))
                break;
            reserved.push_back(name);
            CString path(name);
            path = path.Left(path.GetLength() - 4) + ".exe";
            m_hFile = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
            if (m_hFile != INVALID_HANDLE_VALUE)
                m_strPath = path;
            else if (::GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        // The names stay reserved until the .exe exists, so no two tries get the same one.
        for (const CString& name : reserved)
            ::DeleteFileA(name);
        return m_hFile != INVALID_HANDLE_VALUE;
    }
    HANDLE Handle() const { return m_hFile; }
    const CString& Path() const { return m_strPath; }
    void Keep() { m_bKeep = TRUE; }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;
    BOOL m_bKeep = FALSE;
};

BOOL ReadAt(HANDLE file, LONGLONG offset, void* buffer, DWORD size)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    DWORD read = 0;
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

} // namespace

CString GetUpdateSite()
{
    CString site;
    CRegistryKey key;
    if (key.Open())
        key.ReadString(kUpdateSiteValue, site);
    site.Trim();
    site.TrimRight('/');
    return site.IsEmpty() ? CString(kDefaultUpdateSite) : site;
}

BOOL IsWebAddress(const CString& address)
{
    const char* scheme = StartsWithNoCase(address, "http://") ? "http://"
                         : StartsWithNoCase(address, "https://") ? "https://" : nullptr;
    if (!scheme || address.GetLength() == static_cast<int>(std::strlen(scheme)))
        return FALSE;
    for (int i = 0; i < address.GetLength(); ++i) {
        if (static_cast<unsigned char>(address[i]) <= ' ' || address[i] == 0x7F)
            return FALSE;
    }
    return TRUE;
}

UpdateReply ParseUpdateReply(DWORD httpStatus, const CString& body)
{
    UpdateReply reply;
    if (httpStatus != HTTP_STATUS_OK)
        return reply;
    if (StartsWith(body, "noupdate")) {
        reply.kind = UPDATE_REPLY_NONE;
    } else if (StartsWith(body, "available")) {
        CString address = body.Mid(9);
        address.Trim();
        address.Replace("<br>", "");
        address.Trim();
        // The installer is run once downloaded: only an address on the web is one to fetch.
        if (address.IsEmpty() || IsWebAddress(address)) {
            reply.kind = UPDATE_REPLY_AVAILABLE;
            reply.address = address;
        }
    }
    return reply;
}

BOOL HasWindowsProgramHeaders(HANDLE file)
{
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size))
        return FALSE;
    IMAGE_DOS_HEADER dos = {};
    if (size.QuadPart < static_cast<LONGLONG>(sizeof(dos)) || !ReadAt(file, 0, &dos, sizeof(dos)) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return FALSE;
    struct { DWORD signature; IMAGE_FILE_HEADER file; } nt = {};
    if (dos.e_lfanew + static_cast<LONGLONG>(sizeof(nt)) > size.QuadPart ||
        !ReadAt(file, dos.e_lfanew, &nt, sizeof(nt)))
        return FALSE;
    return nt.signature == IMAGE_NT_SIGNATURE && (nt.file.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) &&
           !(nt.file.Characteristics & IMAGE_FILE_DLL);
}

DWORD QueryHttpStatus(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}

// ---- CInternetHandles ----------------------------------------------------------------------------

CInternetHandles::~CInternetHandles()
{
    Cancel();
}

HINTERNET CInternetHandles::OpenInternet(const char* agent, DWORD timeoutMs)
{
    if (IsCancelled())
        return nullptr;
    HINTERNET internet = ::InternetOpenA(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet)
        return nullptr;
    for (DWORD option : { INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_CONTROL_SEND_TIMEOUT,
                          INTERNET_OPTION_CONTROL_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                          INTERNET_OPTION_DATA_RECEIVE_TIMEOUT })
        ::InternetSetOptionA(internet, option, &timeoutMs, sizeof(timeoutMs));
    DWORD retries = kConnectRetries;
    ::InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof(retries));
    return Keep(internet);
}

HINTERNET CInternetHandles::OpenUrl(HINTERNET internet, const char* address)
{
    if (!internet || IsCancelled())
        return nullptr;
    HINTERNET request = ::InternetOpenUrlA(internet, address, nullptr, 0, kRequestFlags, 0);
    return request ? Keep(request) : nullptr;
}

HINTERNET CInternetHandles::Keep(HINTERNET handle)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_cancelled) {
        ::InternetCloseHandle(handle);
        return nullptr;
    }
    m_open.push_back(handle);
    return handle;
}

void CInternetHandles::Close(HINTERNET handle)
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (size_t i = 0; i < m_open.size(); ++i) {
        if (m_open[i] == handle) {
            ::InternetCloseHandle(handle);
            m_open.erase(m_open.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void CInternetHandles::Cancel()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_cancelled = true;
    // Requests first, then the Internet handles they came from.
    for (size_t i = m_open.size(); i-- > 0;)
        ::InternetCloseHandle(m_open[i]);
    m_open.clear();
}

bool CInternetHandles::IsCancelled() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cancelled;
}

// ---- CUpdateClient -------------------------------------------------------------------------------

CUpdateClient::CUpdateClient(const CString& site, const CString& agent) : m_strSite(site), m_strAgent(agent)
{
}

CString CUpdateClient::GetCheckAddress() const
{
    CString digits(kVersionText);
    digits.Remove('.');
    return m_strSite + kCheckPath + "?version=" + digits;
}

void CUpdateClient::Tell(const char* text)
{
    if (!IsCancelled())
        AfxMessageBox(text, MB_OK);
}

BOOL CUpdateClient::CheckForUpdate(CString& address, BOOL silent)
{
    address.Empty();
    HINTERNET internet = m_handles.OpenInternet(m_strAgent, kCheckTimeoutMs);
    if (!internet || !IsConnected()) {
        m_handles.Close(internet);
        if (!silent)
            Tell(kNoInternet);
        return FALSE;
    }
    const CString checkAddress = GetCheckAddress();
    HINTERNET request = m_handles.OpenUrl(internet, checkAddress);
    if (!request) {
        m_handles.Close(internet);
        if (!silent)
            Tell(kNoServer);
        return FALSE;
    }
    DWORD status = 0;
    CString body;
    const BOOL complete = ReadReply(request, status, body);
    ::DeleteUrlCacheEntryA(checkAddress);
    m_handles.Close(request);
    m_handles.Close(internet);

    const UpdateReply reply = complete ? ParseUpdateReply(status, body) : UpdateReply();
    if (reply.kind == UPDATE_REPLY_NONE) {
        Tell(CString("You are already running latest version of ") + m_strAgent);
        return FALSE;
    }
    if (reply.kind == UPDATE_REPLY_AVAILABLE) {
        address = reply.address;
        return TRUE;
    }
    if (!silent)
        Tell(kCommunicationError);
    return FALSE;
}

BOOL CUpdateClient::ReadReply(HINTERNET request, DWORD& status, CString& body)
{
    status = QueryHttpStatus(request);
    char chunk[kChunk];
    DWORD read = 0;
    while (::InternetReadFile(request, chunk, sizeof(chunk), &read) && read > 0) {
        body += CString(chunk, static_cast<int>(read));
        if (body.GetLength() > kReplyLimit)
            return FALSE;
    }
    return !IsCancelled();
}

CString CUpdateClient::DownloadFile(const CString& address)
{
    ::DeleteUrlCacheEntryA(address);
    HINTERNET internet = m_handles.OpenInternet(m_strAgent, kDownloadTimeoutMs);
    if (!internet || !IsConnected()) {
        m_handles.Close(internet);
        Tell(kNoInternetForDownload);
        return IsCancelled() ? CString(kDownloadCancelled) : CString();
    }
    HINTERNET request = m_handles.OpenUrl(internet, address);
    CDownloadFile file;
    BOOL complete = FALSE;
    if (request && QueryHttpStatus(request) == HTTP_STATUS_OK) {
        char length[32] = {};
        DWORD size = sizeof(length);
        char* end = nullptr;
        if (::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr)) {
            const ULONGLONG expected = std::strtoull(length, &end, 10);
            const bool isNumber = end != length && *end == '\0' && length[0] != '-';
            complete = isNumber && file.Create() && CopyResponse(request, file.Handle(), expected);
        }
    }
    m_handles.Close(request);
    m_handles.Close(internet);
    if (IsCancelled())
        return kDownloadCancelled;
    // Read back through the handle no one else could write to.
    if (!complete || !HasWindowsProgramHeaders(file.Handle()))
        return CString();
    file.Keep();
    return file.Path();
}

BOOL CUpdateClient::CopyResponse(HINTERNET request, HANDLE file, ULONGLONG expected)
{
    ULONGLONG total = 0;
    char chunk[kChunk];
    for (;;) {
        DWORD read = 0;
        const BOOL ok = ::InternetReadFile(request, chunk, sizeof(chunk), &read);
        if (IsCancelled() || !ok)
            return FALSE;
        if (read == 0)
            break;
        total += read;
        DWORD written = 0;
        if (total > expected || !::WriteFile(file, chunk, read, &written, nullptr) || written != read)
            return FALSE;
    }
    return total == expected;
}
