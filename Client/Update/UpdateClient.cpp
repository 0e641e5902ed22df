#include "UpdateClient.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "Product.h"
#include "SettingsKey.h"

const char kDefaultUpdateSite[] = "https://www.bellwort.com";
const char kUpdateSiteValue[] = "UpdateSite";
const char kDownloadCancelled[] = "cancel";

namespace {

const char kCheckPath[] = "/update/versionRead.php";
// Never a cached copy, never a copy in the cache; redirects are the client's to follow.
const DWORD kRequestFlags = INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                            INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_UI;
const DWORD kConnectRetries = 4;
const DWORD kPermanentRedirect = 308;
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

bool IsRedirect(DWORD status)
{
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD ||
           status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == kPermanentRedirect;
}

// Where a redirect leads: its Location taken relative to the address that answered; empty when
// it has none.
CString RedirectTarget(HINTERNET request, const CString& address)
{
    char location[INTERNET_MAX_URL_LENGTH + 1] = {};
    DWORD size = sizeof(location) - 1;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr) || !location[0])
        return CString();
    char combined[INTERNET_MAX_URL_LENGTH + 1] = {};
    size = sizeof(combined);
    if (!::InternetCombineUrlA(address, location, combined, &size, ICU_NO_ENCODE))
        return CString();
    return CString(combined);
}

// NtSetInformationFile's class and record for a file's delete disposition (ntdll; the Win32 call
// for it arrived only with Vista).
const ULONG kFileDispositionInformation = 13;
struct FILE_DISPOSITION_RECORD
{
    BOOLEAN deleteFile;
};
struct IO_STATUS_RECORD
{
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};
typedef LONG(NTAPI* PFN_NT_SET_INFORMATION_FILE)(HANDLE, IO_STATUS_RECORD*, PVOID, ULONG, ULONG);

// Marks the open file to be deleted when its last handle closes, or takes that mark off again.
// The system carries the mark out also when the process ends without closing the handle.
BOOL SetDeleteOnClose(HANDLE file, BOOL deleteOnClose)
{
    static const auto setInformation = reinterpret_cast<PFN_NT_SET_INFORMATION_FILE>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtSetInformationFile")));
    if (!setInformation)
        return FALSE;
    IO_STATUS_RECORD status = {};
    FILE_DISPOSITION_RECORD disposition = { static_cast<BOOLEAN>(deleteOnClose ? TRUE : FALSE) };
    return setInformation(file, &status, &disposition, sizeof(disposition), kFileDispositionInformation) >= 0;
}

// The installer's file while it downloads: opened so that no other process can open it, and
// marked for deletion from its creation until Keep, so that a download that fails, is cancelled
// or is cut off by the end of the process leaves nothing behind.
class CDownloadFile
{
public:
    ~CDownloadFile()
    {
        if (m_hFile != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_hFile);
    }
    // A new ".exe" beside a fresh temporary name ("regupd", of which the system keeps "reg").
    // The ".tmp" that reserved the name goes again.
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
            m_hFile = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
            if (m_hFile != INVALID_HANDLE_VALUE)
                m_strPath = path;
            else if (::GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        // The names stay reserved until the .exe exists, so no two tries get the same one.
        for (const CString& name : reserved)
            ::DeleteFileA(name);
        if (m_hFile != INVALID_HANDLE_VALUE && !SetDeleteOnClose(m_hFile, TRUE)) {
            // Without the mark the file could outlive a download cut off by the end of the process.
            ::CloseHandle(m_hFile);
            m_hFile = INVALID_HANDLE_VALUE;
            ::DeleteFileA(m_strPath);
            m_strPath.Empty();
        }
        return m_hFile != INVALID_HANDLE_VALUE;
    }
    HANDLE Handle() const { return m_hFile; }
    const CString& Path() const { return m_strPath; }
    BOOL Keep() { return SetDeleteOnClose(m_hFile, FALSE); }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    CString m_strPath;
};

BOOL ReadAt(HANDLE file, LONGLONG offset, void* buffer, DWORD size)
{
    LARGE_INTEGER position;
    position.QuadPart = offset;
    DWORD read = 0;
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
           ::ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The end of what the program's headers place in the file: its sections' data, the COFF symbol
// table with its string table, and the signature (whose directory entry holds a file offset).
// -1 when the headers cannot be read whole.
LONGLONG EndOfImageData(HANDLE file, LONG peOffset, const IMAGE_FILE_HEADER& header)
{
    const LONGLONG optionalAt = peOffset + static_cast<LONGLONG>(sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER));
    LONGLONG end = optionalAt + header.SizeOfOptionalHeader;

    WORD magic = 0;
    if (header.SizeOfOptionalHeader < sizeof(magic) || !ReadAt(file, optionalAt, &magic, sizeof(magic)))
        return -1;
    // The data directories sit at another place in the 32-bit and the 64-bit optional header.
    DWORD directoriesAt = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        directoriesAt = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        directoriesAt = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    else
        return -1;
    const DWORD securityAt = directoriesAt + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(IMAGE_DATA_DIRECTORY);
    if (securityAt + sizeof(IMAGE_DATA_DIRECTORY) <= header.SizeOfOptionalHeader) {
        IMAGE_DATA_DIRECTORY security = {};
        if (!ReadAt(file, optionalAt + securityAt, &security, sizeof(security)))
            return -1;
        if (security.Size)
            end = std::max<LONGLONG>(end, static_cast<LONGLONG>(security.VirtualAddress) + security.Size);
    }

    for (WORD i = 0; i < header.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section = {};
        if (!ReadAt(file, optionalAt + header.SizeOfOptionalHeader + static_cast<LONGLONG>(i) * sizeof(section),
                    &section, sizeof(section)))
            return -1;
        end = std::max<LONGLONG>(end, optionalAt + header.SizeOfOptionalHeader + (i + 1LL) * sizeof(section));
        if (section.SizeOfRawData)
            end = std::max<LONGLONG>(end, static_cast<LONGLONG>(section.PointerToRawData) + section.SizeOfRawData);
    }

    if (header.PointerToSymbolTable) {
        // 18 bytes a symbol, then the string table, which begins with its own length.
        const LONGLONG strings = header.PointerToSymbolTable + 18LL * header.NumberOfSymbols;
        DWORD stringsLength = 0;
        if (!ReadAt(file, strings, &stringsLength, sizeof(stringsLength)))
            return -1;
        end = std::max<LONGLONG>(end, strings + std::max<DWORD>(stringsLength, sizeof(stringsLength)));
    }
    return end;
}

} // namespace

CString GetUpdateSite()
{
    CString site;
    CSettingsKey key;
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

BOOL IsWholeWindowsProgram(HANDLE file)
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
    if (nt.signature != IMAGE_NT_SIGNATURE || !(nt.file.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE) ||
        (nt.file.Characteristics & IMAGE_FILE_DLL))
        return FALSE;
    const LONGLONG end = EndOfImageData(file, dos.e_lfanew, nt.file);
    return end >= 0 && end <= size.QuadPart;
}

BOOL ReadArrived(HINTERNET request, char* buffer, DWORD size, DWORD& read)
{
    read = 0;
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request, &available, 0, 0))
        return FALSE;
    if (available == 0)
        return TRUE;
    return ::InternetReadFile(request, buffer, std::min(available, size), &read);
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
    SetTimeouts(internet, timeoutMs);
    DWORD retries = kConnectRetries;
    ::InternetSetOptionA(internet, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof(retries));
    return Keep(internet);
}

HINTERNET CInternetHandles::OpenUrl(HINTERNET internet, const char* address, DWORD timeoutMs, DWORD deadline)
{
    CString current(address);
    for (int redirects = 0;; ++redirects) {
        const LONG left = static_cast<LONG>(deadline - ::GetTickCount());
        if (left <= 0)
            return nullptr;
        CString next;
        HINTERNET request = SendRequest(internet, current, std::min(timeoutMs, static_cast<DWORD>(left)), &next);
        if (!request || next.IsEmpty())
            return request;
        Close(request);
        // A site that sends the request round in circles, or to another kind of address, has no
        // answer to give.
        if (redirects == kMostRedirects || !IsWebAddress(next))
            return nullptr;
        current = next;
    }
}

HINTERNET CInternetHandles::SendRequest(HINTERNET internet, const CString& address, DWORD timeoutMs, CString* next)
{
    if (!internet || IsCancelled())
        return nullptr;
    char host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    char path[INTERNET_MAX_URL_LENGTH] = {};
    char query[INTERNET_MAX_URL_LENGTH] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    parts.lpszExtraInfo = query;
    parts.dwExtraInfoLength = sizeof(query);
    if (!::InternetCrackUrlA(address, 0, 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return nullptr;
    HINTERNET connection = ::InternetConnectA(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection || !Keep(connection))
        return nullptr;
    SetTimeouts(connection, timeoutMs);
    const CString object = CString(path[0] ? path : "/") + query;
    const DWORD flags = kRequestFlags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
    HINTERNET request = ::HttpOpenRequestA(connection, "GET", object, nullptr, nullptr, nullptr, flags, 0);
    if (!request || !Keep(request))
        return nullptr;
    SetTimeouts(request, timeoutMs);
    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0))
        return nullptr;
    if (IsRedirect(QueryHttpStatus(request))) {
        *next = RedirectTarget(request, address);
        if (next->IsEmpty())
            return nullptr;
    }
    return request;
}

void CInternetHandles::Close(HINTERNET handle)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const auto found = std::find(m_open.begin(), m_open.end(), handle);
    if (found == m_open.end())
        return;
    m_open.erase(found);
    ::InternetCloseHandle(handle);
}

void CInternetHandles::SetTimeouts(HINTERNET handle, DWORD timeoutMs)
{
    for (DWORD option : { INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_CONTROL_SEND_TIMEOUT,
                          INTERNET_OPTION_CONTROL_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                          INTERNET_OPTION_DATA_RECEIVE_TIMEOUT })
        ::InternetSetOptionA(handle, option, &timeoutMs, sizeof(timeoutMs));
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

void CInternetHandles::CloseAll()
{
    std::lock_guard<std::mutex> guard(m_lock);
    // Requests first, then the connections and Internet handles they came from.
    for (size_t i = m_open.size(); i-- > 0;)
        ::InternetCloseHandle(m_open[i]);
    m_open.clear();
}

void CInternetHandles::Cancel()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_cancelled = true;
    }
    CloseAll();
}

bool CInternetHandles::IsCancelled() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cancelled;
}

// ---- CUpdateClient -------------------------------------------------------------------------------

CUpdateClient::CUpdateClient(const CString& site, const CString& agent, const UpdateTimeouts& timeouts)
    : m_strSite(site), m_strAgent(agent), m_timeouts(timeouts)
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

void CUpdateClient::BeginStage(DWORD deadlineMs)
{
    m_deadline = ::GetTickCount() + deadlineMs;
}

DWORD CUpdateClient::NextWait(DWORD waitMs) const
{
    const LONG left = static_cast<LONG>(m_deadline - ::GetTickCount());
    return left <= 0 ? 0 : std::min(waitMs, static_cast<DWORD>(left));
}

BOOL CUpdateClient::ReadNext(HINTERNET request, DWORD waitMs, char* buffer, DWORD size, DWORD& read)
{
    read = 0;
    const DWORD wait = NextWait(waitMs);
    if (IsCancelled() || wait == 0)
        return FALSE;
    // However the site sends its bytes, the stage ends at its deadline.
    CInternetHandles::SetTimeouts(request, wait);
    return ReadArrived(request, buffer, size, read);
}

BOOL CUpdateClient::CheckForUpdate(CString& address, BOOL silent)
{
    address.Empty();
    BeginStage(m_timeouts.checkDeadlineMs);
    HINTERNET internet = m_handles.OpenInternet(m_strAgent, m_timeouts.checkMs);
    if (!internet || !IsConnected()) {
        m_handles.CloseAll();
        if (!silent)
            Tell(kNoInternet);
        return FALSE;
    }
    const CString checkAddress = GetCheckAddress();
    HINTERNET request = m_handles.OpenUrl(internet, checkAddress, m_timeouts.checkMs, m_deadline);
    if (!request) {
        m_handles.CloseAll();
        if (!silent)
            Tell(kNoServer);
        return FALSE;
    }
    DWORD status = 0;
    CString body;
    const BOOL complete = ReadReply(request, status, body);
    m_handles.CloseAll();

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
    for (;;) {
        DWORD read = 0;
        if (!ReadNext(request, m_timeouts.checkMs, chunk, sizeof(chunk), read))
            return FALSE;
        if (read == 0)
            return TRUE;
        body += CString(chunk, static_cast<int>(read));
        if (body.GetLength() > kReplyLimit)
            return FALSE;
    }
}

CString CUpdateClient::DownloadFile(const CString& address)
{
    BeginStage(m_timeouts.downloadDeadlineMs);
    HINTERNET internet = m_handles.OpenInternet(m_strAgent, m_timeouts.downloadMs);
    if (!internet || !IsConnected()) {
        m_handles.CloseAll();
        Tell(kNoInternetForDownload);
        return IsCancelled() ? CString(kDownloadCancelled) : CString();
    }
    HINTERNET request = m_handles.OpenUrl(internet, address, m_timeouts.downloadMs, m_deadline);
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
    m_handles.CloseAll();
    if (IsCancelled())
        return kDownloadCancelled;
    // Read back through the handle no one else could open; only a whole program loses its
    // deletion mark.
    if (!complete || !IsWholeWindowsProgram(file.Handle()) || !file.Keep())
        return CString();
    return file.Path();
}

BOOL CUpdateClient::CopyResponse(HINTERNET request, HANDLE file, ULONGLONG expected)
{
    ULONGLONG total = 0;
    char chunk[kChunk];
    for (;;) {
        DWORD read = 0;
        const BOOL ok = ReadNext(request, m_timeouts.downloadMs, chunk, sizeof(chunk), read);
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
