#include "AutoUpdater.h"

#include <tinyxml.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AfxFileFind.h"
#include "AfxMessageBox.h"
#include "DataFileCipher.h"
#include "DeviceNames.h"
#include "TempDataFile.h"
#include "XmlNesting.h"
#include "XmlNoCase.h"

namespace {

const char kAgent[] = "Bellwort Registry Reriraz";
const char kArea[] = "Scanning";
const char kSeparator[] = "<br>";
// Far above any real answer to the version check (a word and a list of patch addresses).
const size_t kLargestReply = 64 * 1024;
const char kDatabaseName[] = "engine.dat";
const char kOutputName[] = "engine.bak";
const char kOutputExtension[] = ".bak";

// Where an address points: its scheme, host and port.
struct _SITE {
    INTERNET_SCHEME Scheme = INTERNET_SCHEME_UNKNOWN;
    CString Host;
    INTERNET_PORT Port = 0;
};

bool CrackSite(const CString& address, _SITE* site)
{
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    if (address.IsEmpty() || !::InternetCrackUrlA(address, 0, 0, &parts) || parts.dwHostNameLength == 0)
        return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return false;
    site->Scheme = parts.nScheme;
    site->Host = CString(host, static_cast<int>(parts.dwHostNameLength));
    site->Port = parts.nPort;
    return true;
}

// The addresses between consecutive separators, trimmed; *separators gets their number.
std::vector<CString> SplitPatchList(const CString& list, int* separators)
{
    std::vector<CString> addresses;
    const int separatorLength = static_cast<int>(std::strlen(kSeparator));
    int count = 0;
    int previous = -1;
    for (int at = list.Find(kSeparator); at >= 0; at = list.Find(kSeparator, at + separatorLength)) {
        ++count;
        if (previous >= 0)
            addresses.push_back(list.Mid(previous, at - previous).Trim());
        previous = at + separatorLength;
    }
    *separators = count;
    return addresses;
}

// The position of the last path separator of a file path, -1 when there is none.
int LastSeparator(const CString& path)
{
    const int backslash = path.ReverseFind('\\');
    const int slash = path.ReverseFind('/');
    return backslash > slash ? backslash : slash;
}

// The file name of a patch: what follows the last '/' of its address.
CString PatchNameOf(const CString& address)
{
    return address.Mid(address.ReverseFind('/') + 1);
}

bool SameAttributeText(const TiXmlElement* a, const TiXmlElement* b, const char* name)
{
    return !name || AttributeText(a, name) == AttributeText(b, name);
}

TiXmlElement* FindMatch(TiXmlElement* section, const TiXmlElement* patchEntry, const char* key, const char* secondKey)
{
    for (TiXmlElement* entry = section->FirstChildElement(); entry; entry = entry->NextSiblingElement())
        if (SameAttributeText(entry, patchEntry, key) && SameAttributeText(entry, patchEntry, secondKey))
            return entry;
    return nullptr;
}

} // namespace

CAutoUpdater::CAutoUpdater(CAbstractStatus* status, const char* updateAddress, const char* text2, const char* text3,
                           const char* ftpFileName, const char* databasePath)
    : m_site(new CSiteSession(kAgent, _UPDATE_LIMITS().WaitMs)), m_ftpFileName(ftpFileName),
      m_updateAddress(updateAddress), m_databasePath(databasePath), m_text2(text2), m_text3(text3), m_status(status)
{
    m_updateAddress.Trim();
}

CAutoUpdater::~CAutoUpdater()
{
    // Patches of an update that ended before applying them are no use to the next one.
    DeleteDownloadedPatches();
}

void CAutoUpdater::DeleteDownloadedPatches()
{
    for (const CString& name : m_downloadedFiles)
        ::DeleteFileA(GetPatchFolder() + "\\" + name);
}

void CAutoUpdater::Activity(const char* text)
{
    if (m_status)
        m_status->SetActivity(text, kArea);
}

void CAutoUpdater::Progress(int phase)
{
    if (m_status)
        m_status->SetProgress(phase);
}

BOOL CAutoUpdater::IsConnected() const
{
    DWORD state = 0;
    return ::InternetGetConnectedState(&state, 0);
}

CString CAutoUpdater::GetDatabaseFolder() const
{
    return m_databasePath.Left(LastSeparator(m_databasePath) + 1);
}

CString CAutoUpdater::GetPatchFolder() const
{
    return GetDatabaseFolder() + "updates";
}

CString CAutoUpdater::GetOutputPath() const
{
    const CString name = m_databasePath.Mid(LastSeparator(m_databasePath) + 1);
    if (name.IsEmpty())
        return CString();
    CString output;
    if (name.CompareNoCase(kDatabaseName) == 0) {
        output = kOutputName;
    } else {
        const int dot = name.ReverseFind('.');
        output = (dot > 0 ? name.Left(dot) : name) + kOutputExtension;
    }
    // The result never takes the place of the database it was made from.
    if (output.CompareNoCase(name) == 0)
        return CString();
    return GetDatabaseFolder() + output;
}

bool CAutoUpdater::IsPlainFileName(const CString& name)
{
    if (name.IsEmpty() || name == "." || name.Find("..") >= 0 || name.FindOneOf("\\/:*?\"<>|") >= 0)
        return false;
    for (int i = 0; i < name.GetLength(); ++i)
        if (static_cast<unsigned char>(name[i]) < 0x20)
            return false;
    // The system drops a trailing dot or blank, so the file would get another name.
    const char last = name[name.GetLength() - 1];
    return last != '.' && last != ' ' && !IsReservedDeviceName(name);
}

bool CAutoUpdater::IsOnUpdateSite(const CString& address) const
{
    _SITE site, updateSite;
    return CrackSite(address, &site) && CrackSite(m_updateAddress, &updateSite) && site.Scheme == updateSite.Scheme
           && site.Port == updateSite.Port && site.Host.CompareNoCase(updateSite.Host) == 0;
}

// ---- Internet requests ----

bool CAutoUpdater::OpenSite()
{
    m_site->SetWaitTime(m_limits.WaitMs);
    m_site->BeginStage(m_limits.CheckMs);
    return !IsCancelled() && m_site->Open();
}

bool CAutoUpdater::OpenRequest(const CString& address, bool isPatch)
{
    std::function<bool(const CString&)> mayFollow;
    if (isPatch)
        mayFollow = [this](const CString& target) { return IsOnUpdateSite(target); };
    // Only a 200 answer is the document asked for; anything else is an error page.
    return m_site->OpenUrl(address, mayFollow) == SITE_OK && m_site->GetStatusCode() == HTTP_STATUS_OK;
}

bool CAutoUpdater::IsCancelled() const
{
    return m_phase == Cancelled || (m_keepGoing && !m_keepGoing());
}

int CAutoUpdater::FailureCode(int failed) const
{
    return IsCancelled() ? UPDATE_NOT_CONNECTED : failed;
}

void CAutoUpdater::SetKeepGoing(std::function<bool()> keepGoing)
{
    m_keepGoing = keepGoing;
    m_site->SetKeepGoing(std::move(keepGoing));
}

int CAutoUpdater::CancelUpdate()
{
    int phase = Checking;
    if (!m_phase.compare_exchange_strong(phase, Cancelled) && phase == Applying)
        return 1;
    m_site->Cancel();
    return 0;
}

// ---- Version check ----

CString CAutoUpdater::GetLocalVersionInfo()
{
    CTempDataFile head;
    if (!head.IsValid() || !DecryptDataFileHead(m_databasePath, head.Path()))
        return CString();
    CString text;
    {
        FILE* file = std::fopen(head.Path(), "rb");
        if (!file) {
            AfxMessageBox(AfxFormatString("Unable to open file.1%lu", ::GetLastError()), MB_OK);
            return CString();
        }
        char piece[499];
        size_t read;
        while ((read = std::fread(piece, 1, sizeof(piece), file)) > 0)
            text += CString(piece, static_cast<int>(read));
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed)
            return CString();
    }
    const int start = text.Find("<UpdateInfo");
    const int end = start >= 0 ? text.Find("/>", start) : -1;
    if (end < 0)
        return CString();
    CString info = text.Mid(start, end - start);
    info.Replace("<UpdateInfo", "");
    info.Replace("LastUpdateDate", "");
    info.Replace("=", "");
    info.Remove('"');
    info.Remove('/');
    return info.Trim();
}

int CAutoUpdater::CheckForUpdate()
{
    if (!OpenSite() || !IsConnected())
        return UPDATE_NOT_CONNECTED;
    CString version = GetLocalVersionInfo();
    const int word = version.Find("Version");
    if (word >= 0)
        version = version.Mid(word + 7);
    else
        version = version.GetLength() > 6 ? version.Mid(6) : CString();
    if (version.IsEmpty())
        return UPDATE_NO_LOCAL_VERSION;

    const CString address = m_updateAddress + "?UpdateVersion=" + version;
    m_site->BeginStage(m_limits.CheckMs);
    if (!OpenRequest(address, false))
        return FailureCode(UPDATE_REQUEST_FAILED);
    CString reply;
    const int read = ReadReply(&reply);
    m_site->CloseFile();
    if (IsCancelled())
        return UPDATE_NOT_CONNECTED;
    if (read != UPDATE_OK)
        return read;

    if (reply.Left(8) == "noupdate")
        return UPDATE_NONE_AVAILABLE;
    if (reply.Left(9) == "available") {
        m_patchList = reply.Mid(9);
        return UPDATE_OK;
    }
    return UPDATE_BAD_REPLY;
}

int CAutoUpdater::ReadReply(CString* reply)
{
    char piece[100];
    size_t total = 0;
    for (;;) {
        DWORD read = 0;
        // A reply cut off by the site, or one that comes too slowly, is no reply.
        if (m_site->Read(piece, sizeof(piece) - 1, &read) != SITE_OK)
            return FailureCode(UPDATE_REQUEST_FAILED);
        if (read == 0)
            break;
        total += read;
        if (total > kLargestReply)
            return UPDATE_REQUEST_FAILED;
        if (std::memchr(piece, '\0', read))
            return UPDATE_BAD_REPLY;
        *reply += CString(piece, static_cast<int>(read));
    }
    return UPDATE_OK;
}

int CAutoUpdater::CheckAndDownload()
{
    const int result = CheckForUpdate();
    if (result != UPDATE_OK)
        return result;
    Activity("Please wait, while your computer is being updated with the latest protection against more than "
             "500.000 types of threats!");
    return DownloadUpdates(m_patchList);
}

// ---- Download ----

int CAutoUpdater::DownloadUpdates(CString patchList)
{
    int separators = 0;
    const std::vector<CString> addresses = SplitPatchList(patchList, &separators);
    // The list comes from the network: refuse all of it before anything is fetched when one
    // address leads away from the update site or does not end in a plain file name.
    for (const CString& address : addresses)
        if (!IsOnUpdateSite(address) || !IsPlainFileName(PatchNameOf(address)))
            return UPDATE_REQUEST_FAILED;

    DWORD total = 0;
    for (const CString& address : addresses) {
        if (!OpenSite() || !IsConnected())
            return UPDATE_NOT_CONNECTED;
        DWORD length = 0;
        const bool answered = OpenRequest(address, true) && m_site->GetContentLength(&length);
        m_site->CloseFile();
        if (!answered)
            return FailureCode(UPDATE_REQUEST_FAILED);
        total += length;
    }
    if (m_status)
        m_status->ReportItem(AfxFormatString("%d", separators - 1), 0, static_cast<int>(total / 1024), 0);

    for (const CString& address : addresses) {
        const int result = DownloadPatch(address, PatchNameOf(address));
        if (result != UPDATE_OK)
            return result;
    }
    Progress(PROGRESS_END);
    return UPDATE_OK;
}

int CAutoUpdater::DownloadPatch(const CString& address, const CString& name)
{
    if (!OpenSite() || !IsConnected())
        return UPDATE_NOT_CONNECTED;
    m_site->BeginStage(m_limits.DownloadMs);
    DWORD length = 0;
    if (!OpenRequest(address, true) || !m_site->GetContentLength(&length)) {
        m_site->CloseFile();
        return FailureCode(UPDATE_REQUEST_FAILED);
    }
    if (m_status)
        m_status->ReportItem("", static_cast<int>(length / 1024), 0, 0);

    const CString folder = GetPatchFolder();
    CFileFind find;
    if (!find.FindFile(folder) && !::CreateDirectoryA(folder, nullptr)) {
        m_site->CloseFile();
        return UPDATE_NO_PATCH_FOLDER;
    }
    const CString path = folder + "\\" + name;
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_site->CloseFile();
        return UPDATE_NO_PATCH_FOLDER;
    }
    const int result = ReadBodyInto(file, length);
    ::CloseHandle(file);
    m_site->CloseFile();
    if (result != UPDATE_OK) {
        // A cut or cancelled download is no patch.
        ::DeleteFileA(path);
        return result;
    }
    m_downloadedFiles.push_back(name);
    return UPDATE_OK;
}

int CAutoUpdater::ReadBodyInto(HANDLE file, DWORD expected)
{
    char piece[4095];
    DWORD received = 0;
    for (;;) {
        DWORD read = 0;
        if (m_site->Read(piece, sizeof(piece), &read) != SITE_OK)
            return FailureCode(UPDATE_REQUEST_FAILED);
        if (read == 0)
            break;
        // More than announced is as wrong as less, and is not waited for.
        if (read > expected - received)
            return UPDATE_REQUEST_FAILED;
        DWORD written = 0;
        if (!::WriteFile(file, piece, read, &written, nullptr) || written != read)
            return UPDATE_NO_PATCH_FOLDER;
        received += read;
        Activity("size");
        Progress(PROGRESS_STEP);
    }
    if (IsCancelled())
        return UPDATE_NOT_CONNECTED;
    return received == expected ? UPDATE_OK : UPDATE_REQUEST_FAILED;
}

// ---- Apply ----

int CAutoUpdater::ApplyUpdates()
{
    // A stopped job applies nothing it downloaded.
    if (m_keepGoing && !m_keepGoing())
        return UPDATE_NOT_CONNECTED;
    int phase = Checking;
    if (!m_phase.compare_exchange_strong(phase, Applying))
        return UPDATE_NOT_CONNECTED;  // cancelled before the apply phase began
    Activity("clearsize");
    Progress(PROGRESS_APPLY_BEGIN);

    for (const CString& name : m_downloadedFiles) {
        if (LoadPatch(name) != UPDATE_OK || !m_patch)
            return UPDATE_BAD_PATCH;
        int result;
        switch (GetPatchType()) {
        case PATCH_ADDITION: result = ApplyAddition(name); break;
        case PATCH_REMOVAL: result = ApplyRemoval(name); break;
        case PATCH_EDIT: result = ApplyEdit(name); break;
        default: result = UPDATE_BAD_PATCH; break;
        }
        if (result != UPDATE_OK)
            return result;
        Progress(PROGRESS_PATCH_APPLIED);
    }
    if (!m_database)
        return UPDATE_BAD_PATCH;

    CTempDataFile plain;
    if (!plain.IsValid())
        return UPDATE_DATABASE_FAILED;
    Activity("Finishing Update Process");
    Activity("clearsize");
    const CString output = GetOutputPath();
    if (output.IsEmpty() || !m_database->SaveFile(plain.Path().GetString()))
        return UPDATE_DATABASE_FAILED;
    return EncryptDataFile(plain.Path(), output) ? UPDATE_OK : UPDATE_DATABASE_FAILED;
}

int CAutoUpdater::LoadPatch(const CString& fileName)
{
    m_patch.reset();
    const CString patchPath = GetPatchFolder() + "\\" + fileName;
    // A patch is read once, whether it can be used or not.
    struct CPatchFile {
        const CString& path;
        ~CPatchFile() { ::DeleteFileA(path); }
    } patchFile{patchPath};
    CTempDataFile plain;
    if (!plain.IsValid() || !DecryptDataFile(patchPath, plain.Path()))
        return UPDATE_BAD_PATCH;
    m_patch.reset(new TiXmlDocument);
    if (!LoadXmlFile(m_patch.get(), plain.Path())
        || !FirstChildElementNoCase(m_patch->RootElement(), "UpdateInfo")) {
        m_patch.reset();
        return UPDATE_BAD_PATCH;
    }
    return UPDATE_OK;
}

int CAutoUpdater::GetPatchType()
{
    const TiXmlElement* info = m_patch ? FirstChildElementNoCase(m_patch->RootElement(), "UpdateInfo") : nullptr;
    const CString kind = AttributeText(info, "PatchType");
    if (kind == "Addition")
        return PATCH_ADDITION;
    if (kind == "Removal")
        return PATCH_REMOVAL;
    if (kind == "Edit")
        return PATCH_EDIT;
    m_patch.reset();
    return UPDATE_BAD_PATCH;
}

// The start the three appliers share: the patch must be loaded and carry its version, and the
// database document (deciphered on first use) must hold all three sections.
int CAutoUpdater::PrepareApply()
{
    if (!m_patch)
        return UPDATE_BAD_PATCH;
    const TiXmlElement* patchInfo = FirstChildElementNoCase(m_patch->RootElement(), "UpdateInfo");
    if (!FindAttributeNoCase(patchInfo, "LastUpdateDate") || !FindAttributeNoCase(patchInfo, "Version")) {
        m_patch.reset();
        return UPDATE_BAD_PATCH;
    }
    if (!m_database) {
        CTempDataFile plain;
        std::unique_ptr<TiXmlDocument> database;
        if (plain.IsValid() && DecryptDataFile(m_databasePath, plain.Path())) {
            database.reset(new TiXmlDocument);
            if (!LoadXmlFile(database.get(), plain.Path()))
                database.reset();
        }
        if (!database) {
            m_patch.reset();
            return UPDATE_DATABASE_FAILED;
        }
        m_database = std::move(database);
    }
    TiXmlElement* root = m_database->RootElement();
    if (!FirstChildElementNoCase(root, "Spywares") || !FirstChildElementNoCase(root, "Signatures")
        || !FirstChildElementNoCase(root, "UpdateInfo")) {
        m_patch.reset();
        return UPDATE_DATABASE_FAILED;
    }
    return UPDATE_OK;
}

// Copies the patch's date and version into the database and lets the patch go.
int CAutoUpdater::FinishApply()
{
    const TiXmlElement* patchInfo = FirstChildElementNoCase(m_patch->RootElement(), "UpdateInfo");
    TiXmlElement* databaseInfo = FirstChildElementNoCase(m_database->RootElement(), "UpdateInfo");
    SetAttributeNoCase(databaseInfo, "LastUpdateDate", FindAttributeNoCase(patchInfo, "LastUpdateDate"));
    SetAttributeNoCase(databaseInfo, "Version", FindAttributeNoCase(patchInfo, "Version"));
    m_patch.reset();
    return UPDATE_OK;
}

namespace {

// Calls visit(entry, isSpyware) for every "Spyware" and "Signature" element in the patch's
// "Spywares" section and the sections after it.
template <class Visit>
void WalkPatchEntries(TiXmlElement* patchRoot, Visit visit)
{
    for (TiXmlElement* section = FirstChildElementNoCase(patchRoot, "Spywares"); section;
         section = section->NextSiblingElement())
        for (TiXmlElement* entry = section->FirstChildElement(); entry; entry = entry->NextSiblingElement()) {
            if (std::strcmp(entry->Value(), "Spyware") == 0)
                visit(entry, true);
            else if (std::strcmp(entry->Value(), "Signature") == 0)
                visit(entry, false);
        }
}

} // namespace

int CAutoUpdater::ApplyPatchEntries(const PatchEntryChange& change)
{
    const int ready = PrepareApply();
    if (ready != UPDATE_OK)
        return ready;
    TiXmlElement* root = m_database->RootElement();
    TiXmlElement* spywares = FirstChildElementNoCase(root, "Spywares");
    TiXmlElement* signatures = FirstChildElementNoCase(root, "Signatures");
    WalkPatchEntries(m_patch->RootElement(), [&](TiXmlElement* entry, bool isSpyware) {
        change(entry, isSpyware ? spywares : signatures, isSpyware);
    });
    return FinishApply();
}

int CAutoUpdater::ApplyAddition(const CString&)
{
    return ApplyPatchEntries([](TiXmlElement* entry, TiXmlElement* section, bool) {
        section->InsertEndChild(*entry);
    });
}

int CAutoUpdater::ApplyRemoval(const CString& fileName)
{
    Activity("Processing File " + fileName + "\r\n");
    return ApplyPatchEntries([](TiXmlElement* entry, TiXmlElement* section, bool isSpyware) {
        if (TiXmlElement* match = FindMatch(section, entry, isSpyware ? "ID" : "SpywareID", nullptr))
            section->RemoveChild(match);
    });
}

int CAutoUpdater::ApplyEdit(const CString&)
{
    return ApplyPatchEntries([](TiXmlElement* entry, TiXmlElement* section, bool isSpyware) {
        TiXmlElement* match = isSpyware ? FindMatch(section, entry, "ID", nullptr)
                                        : FindMatch(section, entry, "SpywareID", "Type");
        if (!match)
            return;
        section->RemoveChild(match);
        section->InsertEndChild(*entry);
    });
}
