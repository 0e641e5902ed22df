// The signature database services and the update jobs.
#include "EngineProcess.h"

#include <new>

#include "AfxMessageBox.h"
#include "Database/AutoUpdater.h"
#include "Database/MD5.h"

namespace {

const char kArea[] = "Scanning";

} // namespace

CString CVexaEngineProcess::DatabaseFilePath()
{
    char module[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    CString path(module, static_cast<int>(length));
    return path.Left(path.ReverseFind('\\') + 1) + "engine.dat";
}

void CVexaEngineProcess::LoadSignatureDatabase()
{
    const CString path = DatabaseFilePath();
    const DWORD attributes = ::GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    std::unique_ptr<CDatabaseHandler> loaded(CDatabaseHandler::LoadFromDataFile(path));
    if (loaded)
        m_database = std::move(loaded);
}

void CVexaEngineProcess::ReportUpdateResult(int code)
{
    if (m_status)
        m_status->ReportResult(code);
}

int CVexaEngineProcess::StartUpdate(const char* updateAddress, const char* text2, const char* text3,
                                    const char* ftpFileName, const char* databasePath, CAbstractStatus* status)
{
    return StartJob(JOB_UPDATE, status, [&] {
        return KeepUpdater(new (std::nothrow)
                               CAutoUpdater(status, updateAddress, text2, text3, ftpFileName, databasePath));
    });
}

int CVexaEngineProcess::StartFtpUpdate(const _FTP_SITE& site, const char* ftpFileName, const char* databasePath,
                                       CAbstractStatus* status)
{
    return StartJob(JOB_FTP_UPDATE, status, [&] {
        CAutoUpdater* updater = new (std::nothrow) CAutoUpdater(status, "", "", "", ftpFileName, databasePath);
        if (updater)
            updater->SetFtpSite(site);
        return KeepUpdater(updater);
    });
}

bool CVexaEngineProcess::KeepUpdater(CAutoUpdater* updater)
{
    // A Stop, or the release of this object, ends every wait of the update for its sites
    // within a moment, as a cancel does.
    if (updater)
        updater->SetKeepGoing([this] { return m_running.load() != 0; });
    m_updater.Replace(updater);
    return updater != nullptr;
}

int CVexaEngineProcess::CancelUpdate()
{
    // The job is never killed: the wait for its site ends at once (the call itself is left to
    // the updater's worker), and the job ends itself with its usual reports, seeing itself
    // stopped.
    switch (m_updater.Cancel()) {
    case CUpdaterSlot::Cancelled:
        RequestStop();
        return 1;
    case CUpdaterSlot::Busy:
        AfxMessageBox("The update process cannot be cancelled at this time", MB_OK);
        return 0;
    case CUpdaterSlot::NoUpdater:
    default:
        return 0;
    }
}

int CVexaEngineProcess::StartReloadDatabase(CAbstractStatus* status)
{
    return StartJob(JOB_RELOAD_DATABASE, status, [] { return true; });
}

const _SPYWARE_INFORMATION* CVexaEngineProcess::FindFileInDatabase(const char* path) const
{
    if (!m_database)
        return nullptr;
    CMD5 md5;
    _SIGNATURE_QUERY query;
    query.Value = path;
    query.Hash = CMD5::ToText(md5.DigestFile(path));
    query.Flags = SIGNATURE_FILE_HASH;
    long id = 0;
    if (!m_database->FindSignature(query, &id))
        return nullptr;
    return m_database->FindSpyware(id);
}

BOOL CVexaEngineProcess::CheckFileInDatabase(CString filePath, _SPYWARE_INFORMATION* info)
{
    const _SPYWARE_INFORMATION* record = FindFileInDatabase(filePath);
    if (!record)
        return FALSE;
    if (info) {
        info->Name = record->Name;
        info->ID = record->ID;
    }
    return TRUE;
}

void CVexaEngineProcess::GetDatabaseVersion(CString* version)
{
    if (version)
        *version = m_database ? m_database->GetVersion() : CString("-1");
}

int CVexaEngineProcess::RunUpdateJob()
{
    CAutoUpdater* updater = m_updater.Get();
    if (!updater)
        return -1;
    ReportActivity("Checking For Updates\r\n", kArea);
    const int checked = updater->CheckForUpdate();
    if (checked == UPDATE_OK) {
        ReportActivity("Please wait, while your computer is being updated with the latest protection against more "
                       "than 500.000 types of threats!",
                       kArea);
        const int downloaded = updater->DownloadUpdates(updater->GetPatchList());
        if (downloaded != UPDATE_OK) {
            ReportUpdateResult(downloaded);
        } else {
            const int applied = updater->ApplyUpdates();
            ReportUpdateResult(applied);
            if (applied == UPDATE_OK)
                ReportProgress(PROGRESS_UPDATE_DONE);
            else
                ReportActivity("Live Update was not completed successfully\r\n", kArea);
        }
    } else {
        ReportUpdateResult(checked);
    }
    m_updater.Reset();
    return 1;
}

int CVexaEngineProcess::RunFtpUpdateJob()
{
    CAutoUpdater* updater = m_updater.Get();
    if (!updater)
        return -1;
    int result = UPDATE_NOT_CONNECTED;
    if (updater->OpenFtpConnection() && updater->IsConnected()) {
        result = updater->CheckUpdateFile();
        if (result == UPDATE_FTP_NEWER) {
            result = updater->DownloadDatabase();
            if (result == UPDATE_OK)
                LoadSignatureDatabase();
        }
    }
    m_updater.Reset();
    return result;
}

int CVexaEngineProcess::RunReloadDatabaseJob()
{
    LoadSignatureDatabase();
    if (m_status)
        m_status->OperationFinished(1);
    return 1;
}
