#include "Kelvara.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "JobWait.h"
#include "Product.h"
#include "QuillonDlg.h"
#include "ScanItemsInfo.h"
#include "SettingsKey.h"
#include "SharedInstance.h"

namespace {

// How long the exit waits for the update dialog's workers.
const DWORD kUpdateWorkerExitWaitMs = 2000;

// Starts the downloaded installer as the shell starts a program (so that one which asks for the
// administrator's rights gets them asked for); FALSE with the system's error when it cannot.
BOOL LaunchInstaller(const CString& installer, HWND owner, DWORD* error)
{
    SHELLEXECUTEINFOA start = {};
    start.cbSize = sizeof(start);
    start.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    start.hwnd = owner;
    start.lpVerb = "open";
    start.lpFile = installer;
    start.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExA(&start) && reinterpret_cast<INT_PTR>(start.hInstApp) > 32)
        return TRUE;
    *error = ::GetLastError();
    return FALSE;
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash + 1);
}

} // namespace

CQuillonApp* QuillonApp()
{
    return static_cast<CQuillonApp*>(AfxGetApp());
}

int OSVersionCode(DWORD platformId, DWORD major, DWORD minor)
{
    if (platformId != VER_PLATFORM_WIN32_NT)
        return 0;
    if (major == 5 && minor == 0)
        return 2;
    if (major == 5 && minor == 1)
        return 3;
    if (major == 5 && minor == 2)
        return 5;
    if (major == 6 && minor == 0)
        return 4;
    if (major == 6 && minor == 1)
        return 6;
    return 0;
}

int GetOSVersionCode()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&info))
        return 0;
#pragma GCC diagnostic pop
    return OSVersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

CString GetProgramPath()
{
    char path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return CString();
    return CString(path);
}

CQuillonApp::CQuillonApp() : CWinApp(ProductName())
{
    m_strProgramFolder = FolderOf(GetProgramPath());
}

CQuillonApp::~CQuillonApp()
{
    ReleaseEngine();
}

void CQuillonApp::SetProgramFolder(const CString& folder)
{
    m_strProgramFolder = folder;
    if (!m_strProgramFolder.IsEmpty() && m_strProgramFolder.Right(1) != "\\")
        m_strProgramFolder += "\\";
}

BOOL CQuillonApp::InitInstance()
{
    // The wide command line: a path from the Explorer verb may hold characters that the code
    // page cannot spell, which the narrow one has already replaced.
    m_commandLine.ParseCommandLine(::GetCommandLineW());
    if (!m_commandLine.m_strUnscannablePath.IsEmpty()) {
        AfxMessageBox("\"" + m_commandLine.m_strUnscannablePath + "\" cannot be scanned: its name holds characters "
                      "that this system's code page cannot spell, and it has no short name.",
                      MB_OK | MB_ICONINFORMATION);
    }

    CString instanceName;
    instanceName.Format("%s %s", ProductName(), kVersionText);
    // Held for the life of the process, so that later starts find it.
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, instanceName);
    const DWORD mutexError = ::GetLastError();
    const bool anotherInstance = (mutex && mutexError == ERROR_ALREADY_EXISTS) ||
                                 (!mutex && mutexError == ERROR_ACCESS_DENIED);
    if (anotherInstance) {
        ForwardToRunningInstance(m_commandLine);
        return FALSE;
    }
    // A mutex that could not be created for any other reason leaves this the only instance we
    // can know of: it starts as the first.

    INITCOMMONCONTROLSEX controls = { 8, 0xFF };
    ::InitCommonControlsEx(&controls);
    SetAppName(ProductName());

    const int version = GetOSVersionCode();
    if (version != 3 && version != 4 && version != 5 && version != 6) {
        CString question;
        question.Format("%s is not tested on this Operating System.\nDo you still want to run %s?", ProductName(),
                        ProductName());
        if (AfxMessageBox(question, MB_YESNO) != IDYES)
            return FALSE;
    }

    if (FAILED(::CoInitialize(nullptr))) {
        AfxMessageBox("Failed to Initialize the COM library", MB_OK);
        return FALSE;
    }
    m_bComInitialised = TRUE;

    if (!LoadEngine())
        return FALSE;
    if (!m_pProcess)
        m_pProcess = m_pEngineInterface->CreateEngineProcess();
    m_hHandCursor = ::LoadCursor(nullptr, IDC_HAND);
    LoadSettings();
    if (!m_pItems)
        m_pItems = new CScanItemsInfo(m_strProgramFolder);

    CQuillonDlg mainWindow;
    m_pMainWnd = &mainWindow;
    mainWindow.DoModal();
    m_pMainWnd = nullptr;
    // The window is gone: a later start must not hand its request to it, and finds none while
    // this process ends.
    ForgetSharedMainWindow();
    return FALSE;
}

BOOL CQuillonApp::LoadEngine()
{
    DWORD error = 0;
    if (!m_hEngine) {
        m_hEngine = ::LoadLibraryA("engine.dll");
        if (!m_hEngine)
            error = ::GetLastError();
    }
    if (m_hEngine && !m_pEngineInterface) {
        auto create = reinterpret_cast<PFN_CREATE_VEXA_ENGINE_INTERFACE>(
            reinterpret_cast<void*>(::GetProcAddress(m_hEngine, "CreateVexaEngineInterface")));
        m_pEngineInterface = create ? create() : nullptr;
    }
    if (m_hEngine && m_pEngineInterface)
        return TRUE;
    CString message;
    message.Format("Module 'engine.dll' failed to load.\nError: '%d'", static_cast<int>(error));
    AfxMessageBox(message, MB_OK);
    return FALSE;
}

void CQuillonApp::LoadSettings()
{
    m_settings.Load(GetProgramPath());
}

void CQuillonApp::SaveSettings()
{
    m_settings.Save(GetProgramPath());
}

void CQuillonApp::SaveLastScan(const CString& text)
{
    if (!m_settings.SaveLastScan(text))
        return;
    if (CQuillonDlg* mainWindow = QuillonMainWindow())
        mainWindow->m_statisticsPage.SetLastScanText(m_settings.m_strLastScan);
}

void CQuillonApp::DiscardScanResults()
{
    if (m_pItems)
        m_pItems->Clear();
    m_scanPage.ResetStep();
    m_resultsPage.m_nTotalErrors = 0;
    m_resultsPage.m_nSelectedErrors = 0;
    m_resultsPage.m_nJunkFilesFound = 0;
    m_resultsPage.m_strJunkText = "No";
    if (m_resultsPage.m_hWnd)
        m_resultsPage.FillResults();
}

void CQuillonApp::ReleaseEngine()
{
    UnbindEngine();
    delete m_pItems;
    m_pItems = nullptr;
}

void CQuillonApp::UnbindEngine()
{
    if (m_pProcess) {
        // A job still running would go on with objects that are about to be released.
        if (m_pProcess->IsRunning() || m_pProcess->GetThreadHandle()) {
            m_pProcess->Stop(1);
            m_pProcess->Resume();
            WaitForEngineJob(m_pProcess);
        }
        if (m_pEngineInterface)
            m_pEngineInterface->ReleaseEngineProcess(m_pProcess);
        m_pProcess = nullptr;
    }
    if (m_hEngine && m_pEngineInterface) {
        auto release = reinterpret_cast<PFN_RELEASE_VEXA_ENGINE_INTERFACE>(
            reinterpret_cast<void*>(::GetProcAddress(m_hEngine, "ReleaseVexaEngineInterface")));
        if (release)
            release(m_pEngineInterface);
    }
    m_pEngineInterface = nullptr;
    if (m_hEngine) {
        ::FreeLibrary(m_hEngine);
        m_hEngine = nullptr;
    }
}

BOOL CQuillonApp::BindEngine()
{
    if (!LoadEngine())
        return FALSE;
    if (!m_pProcess)
        m_pProcess = m_pEngineInterface->CreateEngineProcess();
    return m_pProcess != nullptr;
}

BOOL CQuillonApp::StartInstaller(const CString& installer)
{
    CWnd* mainWindow = AfxGetMainWnd();
    HWND owner = mainWindow ? mainWindow->GetSafeHwnd() : nullptr;
    // No click reaches a page while the engine is away.
    const BOOL wasEnabled = owner && !::EnableWindow(owner, FALSE);
    UnbindEngine();
    DWORD error = 0;
    const BOOL started = LaunchInstaller(installer, owner, &error);
    // Failed, the program goes on as it was: its engine first, since the box lets the window's
    // messages run.
    if (!started)
        BindEngine();
    if (wasEnabled)
        ::EnableWindow(owner, TRUE);
    if (!started) {
        ::DeleteFileA(installer);
        CString message;
        message.Format("The downloaded update could not be started (error %lu), so %s stays open.", error,
                       ProductName());
        AfxMessageBox(message, MB_OK | MB_ICONERROR);
    }
    return started;
}

int CQuillonApp::ExitInstance()
{
    // The update dialog's worker may still wind down a cancelled download, or wait for the answer
    // to a question that outlived its dialog: the exit waits a little, then ends without it. A
    // file it was writing is marked for deletion, which the system carries out with the process.
    m_updateWorkers.WaitAll(kUpdateWorkerExitWaitMs);
    // The engine goes first: its job thread may still use COM, and it must not outlive the
    // objects it was lent.
    ReleaseEngine();
    if (m_bComInitialised) {
        ::CoUninitialize();
        m_bComInitialised = FALSE;
    }
    return CWinApp::ExitInstance();
}
