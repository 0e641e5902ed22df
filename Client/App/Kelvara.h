// CQuillonApp: the program's application object and hub. It decides whether this process is the
// first instance, binds the engine library, loads the settings, owns the engine process, the
// found-item container and the scan-wizard pages, runs the main window and gives everything back
// at exit. Every page reaches the others through it.
#pragma once

#include "Afx.h"
#include "AppSettings.h"
#include "CommandLineInfoEx.h"
#include "Product.h"
#include "RepairResultDlg.h"
#include "ScanDlg.h"
#include "ScanItemsInfo.h"
#include "ScanResultDlg.h"
#include "ScanningDlg.h"
#include "SystemTray.h"
#include "VexaEngine.h"
#include "WorkerThreads.h"

class CQuillonApp : public CWinApp
{
public:
    CQuillonApp();
    ~CQuillonApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Binds "engine.dll" and its factory; shows the failure and returns FALSE when it cannot.
    BOOL LoadEngine();
    void LoadSettings();
    void SaveSettings();
    // Stores the date of the last scan and shows it on the statistics page.
    void SaveLastScan(const CString& text);
    // Empties the found-item container and takes the wizard back to its first step, so that
    // nothing of the discarded scan can be shown or repaired any more.
    void DiscardScanResults();

    // The folder of the program's own files (ignore list, white list, logs), with a trailing
    // backslash; the executable's folder unless a test points it elsewhere.
    CString GetProgramFolder() const { return m_strProgramFolder; }
    void SetProgramFolder(const CString& folder);
    // Hands the program over to the downloaded installer, which replaces the program's files:
    // releases the engine and starts the installer. TRUE when it started (the program then
    // closes); otherwise the user is told, the file is deleted and the engine bound again, and
    // the program goes on. Only while no job runs.
    BOOL StartInstaller(const CString& installer);

    CSystemTray m_tray;
    CScanDlg m_scanPage;
    CScanningDlg m_scanningPage;
    CScanResultDlg m_resultsPage;
    CRepairResultDlg m_summaryPage;
    AppSettings m_settings;
    CCommandLineInfoEx m_commandLine;
    CAbstractProcess* m_pProcess = nullptr;
    // The program's own container: the engine borrows it as a CAbstractScanItemsInfo.
    CScanItemsInfo* m_pItems = nullptr;

    HMODULE m_hEngine = nullptr;
    CAbstractVexaEngineInterface* m_pEngineInterface = nullptr;
    HCURSOR m_hHandCursor = nullptr;
    // The update dialog's workers, which exit waits for.
    CWorkerThreads m_updateWorkers;

private:
    // Releases the engine objects (after their job thread has ended), the found-item container,
    // and unloads the library.
    void ReleaseEngine();
    // Releases the engine process and interface and unloads the library; BindEngine binds them
    // again.
    void UnbindEngine();
    BOOL BindEngine();

    BOOL m_bComInitialised = FALSE;
    CString m_strProgramFolder;
};

// The application object of this process.
CQuillonApp* QuillonApp();

// The Windows version as the start-up check knows it: 3 (XP), 5 (Server 2003), 4 (Vista) and
// 6 (7) pass; 2 (2000) and 0 (anything else) ask the user.
int GetOSVersionCode();
int OSVersionCode(DWORD platformId, DWORD major, DWORD minor);
// The running program's full path (never the first word of its command line, which may be
// relative to a folder that is no longer current).
CString GetProgramPath();
