#include "ResultsFixture.h"

#include <shlwapi.h>

#include "JobWait.h"
#include "ScanItemsInfo.h"
#include "resource.h"

std::vector<RESTORE_POINT_CALL> ResultsTest::s_restorePointCalls;
BOOL ResultsTest::s_begun = FALSE;
INT64 ResultsTest::s_sequenceNumber = 0;

RegistrySnapshot SnapshotOf(HKEY root, const wchar_t* key)
{
    RegistrySnapshot snapshot;
    TakeSnapshot(root, key, &snapshot);
    return snapshot;
}

void CWatchedMainWindow::OnOK()
{
    ++m_closeRequests;
    CQuillonApp* app = QuillonApp();
    HANDLE thread = app && app->m_pProcess ? app->m_pProcess->GetThreadHandle() : nullptr;
    DWORD code = 0;
    m_jobThreadEndedAtClose = !thread || (::GetExitCodeThread(thread, &code) && code != STILL_ACTIVE);
    CQuillonDlg::OnOK();
}

void ResultsTest::SetUp()
{
    PagesTest::SetUp();
    ClearBackupFolder();
    s_restorePointCalls.clear();
    AnswerRestorePoints(FALSE, 0);
    CRestorePoint::SetFunction(&RecordRestorePoint);
    CMessageBoxRecorder::SetAnswer(IDOK);
    Results().m_strLogFallbackFolder = m_folder->MakeFolder("Documents").c_str();
}

void ResultsTest::TearDown()
{
    PagesTest::TearDown();
    CRestorePoint::SetFunction(nullptr);
    ClearBackupFolder();
}

void ResultsTest::AnswerRestorePoints(BOOL begun, INT64 sequenceNumber)
{
    s_begun = begun;
    s_sequenceNumber = sequenceNumber;
}

BOOL WINAPI ResultsTest::RecordRestorePoint(PRESTOREPOINTINFOA request, PSTATEMGRSTATUS status)
{
    s_restorePointCalls.push_back({ request->dwEventType, request->dwRestorePtType, request->llSequenceNumber,
                                    request->szDescription });
    if (request->dwEventType == BEGIN_SYSTEM_CHANGE) {
        status->nStatus = s_begun ? ERROR_SUCCESS : ERROR_SERVICE_DISABLED;
        status->llSequenceNumber = s_begun ? s_sequenceNumber : 0;
        return s_begun;
    }
    status->nStatus = ERROR_SUCCESS;
    status->llSequenceNumber = request->llSequenceNumber;
    return TRUE;
}

void ResultsTest::ShowResults(const std::vector<std::pair<DWORD, std::string>>& findings)
{
    CQuillonApp& app = TestApp();
    app.m_pItems->Clear();
    DWORD mask = 0;
    for (const auto& finding : findings) {
        app.m_pItems->AddItem(finding.second.c_str(), static_cast<int>(finding.first), 0, 0);
        mask |= finding.first;
    }
    app.m_scanningPage.m_dwCategories = mask;
    Results().m_nJunkFilesFound = 0;
    Results().m_strJunkText = "No";
    Results().FillResults();
    app.m_scanPage.ShowStep(STEP_RESULTS);
    Results().m_selected.SetText(Results().SelectionText());
    Results().OnRegistryErrorsView();
    for (HTREEITEM row = Tree().GetRootItem(); row; row = Tree().GetNextSiblingItem(row))
        Tree().Expand(row, TVE_EXPAND);
    PumpUntil([] { return false; }, 20);
}

bool ResultsTest::RepairAndWait()
{
    CQuillonApp& app = TestApp();
    Click(Results(), IDC_RESULTS_REPAIR);
    return PumpUntil([&] {
        return !app.m_pProcess->IsRunning() &&
               (app.m_scanPage.GetStep() != STEP_RESULTS || Results().m_repair.IsWindowEnabled());
    });
}

HTREEITEM ResultsTest::CategoryRow(const char* name)
{
    for (HTREEITEM row = Tree().GetRootItem(); row; row = Tree().GetNextSiblingItem(row)) {
        if (Tree().GetCategoryName(row) == name)
            return row;
    }
    return nullptr;
}

HTREEITEM ResultsTest::EntryRow(const std::string& text)
{
    for (HTREEITEM row = Tree().GetRootItem(); row; row = Tree().GetNextSiblingItem(row)) {
        for (HTREEITEM child = Tree().GetChildItem(row); child; child = Tree().GetNextSiblingItem(child)) {
            if (Tree().GetEntryText(child) == text.c_str())
                return child;
        }
    }
    return nullptr;
}

void ResultsTest::ClickTick(HTREEITEM row)
{
    // Making a long row visible scrolls its text to the left edge: the tick is left of it.
    Tree().EnsureVisible(row);
    Tree().SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    CRect text;
    ASSERT_TRUE(Tree().GetItemRect(row, &text, TRUE));
    const int y = (text.top + text.bottom) / 2;
    for (int x = text.left - 1; x >= 0; --x) {
        UINT flags = 0;
        if (Tree().HitTest(CPoint(x, y), &flags) == row && (flags & TVHT_ONITEMSTATEICON)) {
            Tree().PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
            Tree().PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
            PumpUntil([] { return false; }, 30);
            return;
        }
    }
    FAIL() << "no tick in front of the row";
}

void ResultsTest::PressSpace(HTREEITEM row)
{
    Tree().SelectItem(row);
    Tree().SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    Tree().SendMessage(WM_KEYUP, VK_SPACE, 0);
}

void ResultsTest::ClickText(HTREEITEM row)
{
    Tree().EnsureVisible(row);
    CRect text;
    ASSERT_TRUE(Tree().GetItemRect(row, &text, TRUE));
    const LPARAM at = MAKELPARAM(text.left + 4, (text.top + text.bottom) / 2);
    Tree().PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    Tree().PostMessage(WM_LBUTTONUP, 0, at);
    PumpUntil([] { return false; }, 30);
}

std::string ResultsTest::BackupFolder() const
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    ::PathRemoveFileSpecA(path);
    return std::string(path) + "\\Backup";
}

std::vector<std::string> ResultsTest::PartialBackups() const
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((BackupFolder() + "\\*_REGBACKUP.rbk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(BackupFolder() + "\\" + found.cFileName);
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return files;
}

void ResultsTest::BlockBackupFolder()
{
    ClearBackupFolder();
    HANDLE file = ::CreateFileA(BackupFolder().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ::CloseHandle(file);
}

void ResultsTest::ClearBackupFolder()
{
    ::DeleteFileA(BackupFolder().c_str());
    RemoveFolderTree(BackupFolder());
}
