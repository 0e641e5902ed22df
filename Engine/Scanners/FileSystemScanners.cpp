// The file-system categories: broken program shortcuts (SRC) and temporary files (TPF), both
// found by one folder walk, and the size of the Recycle Bin (RCB).
#include "EngineProcess.h"

#include <shellapi.h>

#include "AfxFileFind.h"
#include "Scanners/FolderFiles.h"
#include "Scanners/ShortcutReader.h"

namespace {

const int kActivityThreshold = 3000;
// In junk mode a running size row follows each temporary file once this many entries have been
// examined since the last activity display.
const int kSizeRowThreshold = 500;
// Anything larger is not a shortcut worth loading.
const ULONGLONG kLargestShortcut = 4096;

bool HasShortcutExtension(const CString& name)
{
    const int dot = name.ReverseFind('.');
    return dot > 0 && name.Mid(dot).CompareNoCase(".lnk") == 0;
}

// A temporary file is only worth reporting when it could be deleted: it opens for reading and
// writing (folders, files in use and read-only files do not), and it lies in the walked folder
// itself, not behind a link that leads elsewhere.
bool IsDeletableJunk(const CFolderFiles& folder, const char* path)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool inFolder = folder.HoldsOpened(file, path);
    ::CloseHandle(file);
    return inFolder;
}

} // namespace

int CVexaEngineProcess::ScanFolder(const char* folder, int shortcutMode)
{
    if (!folder)
        return 1;
    if (shortcutMode) {
        CShortcutReader reader;
        WalkFolder(folder, &reader, nullptr);
    } else {
        // The repair deletes only files that lie in a folder the scan walked.
        m_walkedJunkFolders.push_back(folder);
        const CFolderFiles junkFolder(folder);
        WalkFolder(folder, nullptr, &junkFolder);
    }
    return 1;
}

void CVexaEngineProcess::WalkFolder(const CString& folder, CShortcutReader* shortcutReader,
                                    const CFolderFiles* junkFolder)
{
    CString pattern(folder);
    pattern.Trim();
    pattern.TrimRight('\\');
    pattern += "\\*.*";

    CFileFind finder;
    if (!finder.FindFile(pattern))
        return;
    BOOL more = TRUE;
    while (more && KeepRunning()) {
        more = finder.FindNextFile();
        if (finder.IsDots())
            continue;
        const CString path = finder.GetFilePath();
        // A junction or symbolic link may lead back up the tree: it is looked at as an entry
        // but never entered.
        if (finder.IsDirectory() && !finder.IsReparsePoint())
            WalkFolder(path, shortcutReader, junkFolder);
        if (shortcutReader)
            ExamineShortcutEntry(finder, path, *shortcutReader);
        else if (junkFolder)
            ExamineJunkEntry(finder, path, *junkFolder);
    }
}

void CVexaEngineProcess::ExamineShortcutEntry(const CFileFind& entry, const CString& path, CShortcutReader& reader)
{
    if (m_activityCounter > kActivityThreshold) {
        ReportActivity(path, "SRC");
        m_activityCounter = 0;
        ReportProgress(PROGRESS_STEP);
    }
    ++m_activityCounter;

    if (!HasShortcutExtension(entry.GetFileName()))
        return;
    const ULONGLONG length = entry.GetLength();
    if (length == 0 || length > kLargestShortcut)
        return;
    ReportProgress(PROGRESS_STEP);
    if (JudgeShortcut(path, reader) == 0 && m_status)
        m_status->ReportItem(path, SCAN_SRC, 0, 0);
}

void CVexaEngineProcess::ExamineJunkEntry(const CFileFind& entry, const CString& path, const CFolderFiles& junkFolder)
{
    if (m_activityCounter > kActivityThreshold) {
        ReportActivity(path, "TPF");
        m_activityCounter = 0;
    }
    ++m_activityCounter;
    ReportProgress(PROGRESS_STEP);

    // The attribute is tested too: a process with backup rights (or Wine run by root) opens a
    // read-only file for writing all the same, and the repair must still leave it alone.
    if (entry.IsReadOnly() || entry.IsReparsePoint() || !IsDeletableJunk(junkFolder, path))
        return;
    if (m_status)
        m_status->ReportItem(path, SCAN_TPF, 0, 0);
    m_junkKilobytes += static_cast<double>(entry.GetLength()) / 1024.0;
    if (m_activityCounter > kSizeRowThreshold && m_status)
        m_status->ReportItem(FormatSizeText(m_junkKilobytes + m_recycleBinKilobytes), SCAN_TPF, -1, 0);
}

void CVexaEngineProcess::CheckShortcutItem(const CString& item)
{
    // Only a shortcut that lies where its path says is judged: under Wine a link to another file
    // looks like a plain one, and deleting it would delete the file it points to.
    const int slash = item.ReverseFind('\\');
    if (slash <= 0 || !CFolderFiles(item.Left(slash)).Holds(item))
        return;
    CFileFind finder;
    if (!finder.FindFile(item))
        return;
    finder.FindNextFile();
    if (finder.IsDirectory())
        return;
    if (!m_recheckLists.shortcuts)
        m_recheckLists.shortcuts = std::make_unique<CShortcutReader>();
    ExamineShortcutEntry(finder, item, *m_recheckLists.shortcuts);
}

int CVexaEngineProcess::IsShortcutValid(const char* shortcutPath)
{
    CShortcutReader reader;
    return JudgeShortcut(shortcutPath, reader);
}

// 1 when the shortcut's target exists or it has no file target, 0 when the target is missing,
// -1 when nothing could be learnt (stopped, no shell-link object, a file that does not load or
// whose target can't be read, a target on a network share or a removable drive). Only 0 is a
// finding: a shortcut the scan could not judge is not known to be broken, and the repair would
// delete it.
int CVexaEngineProcess::JudgeShortcut(const char* shortcutPath, CShortcutReader& reader)
{
    if (!KeepRunning() || !shortcutPath)
        return -1;
    CString target;
    if (!reader.ReadTarget(shortcutPath, &target))
        return -1;
    if (target.IsEmpty())
        return 1;
    switch (m_fileReferences.ProbePath(target)) {
    case FILE_STATE_PRESENT:
        return 1;
    case FILE_STATE_MISSING:
        return FileExistsRedirected(target) ? 1 : 0;
    default:
        return -1;
    }
}

void CVexaEngineProcess::ScanRecycleBin()
{
    SHQUERYRBINFO info = {};
    info.cbSize = sizeof(info);
    if (FAILED(::SHQueryRecycleBinA(nullptr, &info)) || info.i64NumItems <= 0)
        return;
    m_recycleBinKilobytes = static_cast<double>(info.i64Size) / 1024.0;
    if (m_status)
        m_status->ReportItem(FormatSizeText(m_recycleBinKilobytes + m_junkKilobytes), SCAN_RCB, -1, 0);
}
