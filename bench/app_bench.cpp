// app_bench: the pages' cost over the engine alone. For registry fixtures with 1k, 10k and 50k
// broken startup entries it prints
// - the engine's scan time with a bare status object, the same scan through the scanning page of
//   a real main window, their ratio (target: at most 1.1), the longest time the window thread
//   took to answer a message during the page's scans (target: under 100 ms; measured with
//   SendMessageTimeout from a watcher thread), and the time per finding at each size (linear
//   growth keeps it flat);
// - the time from the end of the scan to the results tree filled and shown (target: linear, and
//   under one second for 10k);
// - for as many broken class registrations (one key each), the engine's repair with a bare status
//   object, the same repair from the results page up to its statistics and summary, and their
//   ratio (target: at most 1.1).
// Each figure is the fastest of three runs (one run of the 50k repair).
//
// It also prints the backup page's whole-registry backup against the engine's backup alone (target
// ratio: at most 1.1), and the time the startup manager page takes to fill its list with 5,000
// Run entries (target: under one second).
//
// Run by hand under Wine with a display:  build/x86_64/wine-run.sh build/x86_64/bin/app_bench.exe
// ("scan", "repair" or "tools" as argument runs only that part).
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "JobWait.h"
#include "Kelvara.h"
#include "QuillonDlg.h"
#include "ScanItemsInfo.h"
#include "resource.h"
#include "PerfTrace.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

CQuillonApp g_app;

// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE redirected to scratch keys for the bench's life.
class CScratchRegistry
{
public:
    CScratchRegistry()
    {
        char base[96];
        snprintf(base, sizeof(base), "Software\\KelvaraBench\\%lu", ::GetCurrentProcessId());
        m_base = base;
        const HKEY roots[2] = { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };
        for (int i = 0; i < 2; ++i) {
            const std::string path = m_base + (i ? "\\HKLM" : "\\HKCU");
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_keys[i], nullptr);
        }
        for (int i = 0; i < 2; ++i)
            ::RegOverridePredefKey(roots[i], m_keys[i]);
    }
    ~CScratchRegistry()
    {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        for (HKEY key : m_keys)
            ::RegCloseKey(key);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, m_base.c_str());
    }

private:
    std::string m_base;
    HKEY m_keys[2] = {};
};

void WriteBrokenRunEntries(int count)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kRun);
    HKEY run = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr);
    for (int i = 0; i < count; ++i) {
        char name[32];
        char data[96];
        snprintf(name, sizeof(name), "Entry%06d", i);
        const int length = snprintf(data, sizeof(data), "\"C:\\KelvaraBenchMissing\\tray%06d.exe\" /min", i);
        ::RegSetValueExA(run, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(length + 1));
    }
    ::RegCloseKey(run);
}

// The engine with nothing behind its status but the container.
class CBareStatus : public CAbstractStatus
{
public:
    explicit CBareStatus(CAbstractScanItemsInfo* items) : m_items(items) {}
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char* item, int category, int value, INT_PTR extra) override
    {
        m_items->AddItem(item, category, value, extra);
    }
    int OperationFinished(int) override { return 1; }
    int ReportResult(int) override { return 0; }

private:
    CAbstractScanItemsInfo* m_items;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now;
}

double EngineAlone(CAbstractProcess* process, CAbstractScanItemsInfo* items)
{
    items->Clear();
    CBareStatus status(items);
    std::set<CString> folders;
    const LARGE_INTEGER start = Now();
    process->StartScan(&folders, SCAN_SUI, &status, SCAN_MODE_NORMAL);
    process->Resume();
    WaitForEngineJob(process);
    return Seconds(start, Now());
}

double ThroughThePage(CQuillonDlg& mainWindow, double* longestAnswerMs)
{
    CQuillonApp& app = g_app;
    std::atomic<bool> watching{ true };
    std::atomic<bool> watcherDone{ false };
    std::atomic<double> longest{ 0 };
    HWND target = mainWindow.m_hWnd;
    std::thread watcher([&] {
        while (watching) {
            const LARGE_INTEGER sent = Now();
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
            const double ms = Seconds(sent, Now()) * 1000.0;
            if (ms > 80) { char b[64]; sprintf(b, "TEMP watcher waited %.1f ms", ms); PerfMark(b); }
            // An answer that straddles the end of the scan is not the scan's.
            if (watching && ms > longest)
                longest = ms;
            ::Sleep(::GetEnvironmentVariableA("KELVARA_NOWATCH", nullptr, 0) ? 1000 : 5);
        }
        watcherDone = true;
    });
    CScanningDlg& scanning = app.m_scanningPage;
    const LARGE_INTEGER start = Now();
    ::SendMessageA(::GetDlgItem(app.m_scanPage.m_hWnd, IDC_SCAN_START), BM_CLICK, 0, 0);
    fprintf(stderr, "TEMP click took %.1f ms\n", Seconds(start, Now()) * 1000);
    HWND next = ::GetDlgItem(scanning.m_hWnd, IDC_SCANNING_NEXT);
    MSG msg;
    while (!(::IsWindowVisible(next) && ::IsWindowEnabled(next))) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                const LARGE_INTEGER t0 = Now();
                ::DispatchMessageA(&msg);
                const double ms = Seconds(t0, Now()) * 1000;
                if (ms > 50) { char cls[64] = {}; ::GetClassNameA(msg.hwnd, cls, 64); fprintf(stderr, "TEMP long message %04x wp=%llx %s %.1f ms\n", msg.message, (unsigned long long)msg.wParam, cls, ms); }
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const double seconds = Seconds(start, Now());
    watching = false;
    // The watcher may be waiting for an answer: keep answering until it has stopped.
    while (!watcherDone) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    watcher.join();
    *longestAnswerMs = longest;
    return seconds;
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

// From the end of the scan (its findings in the container) to the results page filled and shown.
double FillAndShowResults()
{
    CQuillonApp& app = g_app;
    const LARGE_INTEGER start = Now();
    app.m_resultsPage.FillResults();
    app.m_scanningPage.OnNext();
    Pump();
    return Seconds(start, Now());
}

const char kClasses[] = "Software\\KelvaraBenchClasses";

// Broken class registrations for a repair: one key each (the partial backup writes each once).
void WriteBrokenClasses(int count)
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kClasses);
    for (int i = 0; i < count; ++i) {
        char key[96];
        snprintf(key, sizeof(key), "%s\\Class%06d\\InprocServer32", kClasses, i);
        HKEY created = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
        const char data[] = "C:\\KelvaraBenchMissing\\server.dll";
        ::RegSetValueExA(created, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
        ::RegCloseKey(created);
    }
}

// The findings as a scan leaves them in the container.
void FillContainer(CAbstractScanItemsInfo* items, int count)
{
    items->Clear();
    for (int i = 0; i < count; ++i) {
        char item[128];
        snprintf(item, sizeof(item), "HKEY_CURRENT_USER\\%s\\Class%06d", kClasses, i);
        items->AddItem(item, SCAN_AXO, 0, 0);
    }
}

double EngineRepairAlone(CAbstractProcess* process, CAbstractScanItemsInfo* items)
{
    CBareStatus status(items);
    const LARGE_INTEGER start = Now();
    process->StartRepair(items, &status);
    process->Resume();
    WaitForEngineJob(process);
    return Seconds(start, Now());
}

double RepairThroughThePage()
{
    CQuillonApp& app = g_app;
    const LARGE_INTEGER start = Now();
    ::SendMessageA(::GetDlgItem(app.m_resultsPage.m_hWnd, IDC_RESULTS_REPAIR), BM_CLICK, 0, 0);
    while (app.m_scanPage.GetStep() != STEP_SUMMARY) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return Seconds(start, Now());
}

void RemovePartialBackups()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path));
    ::PathRemoveFileSpecA(path);
    const std::string folder = std::string(path) + "\\Backup\\";
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((folder + "*_REGBACKUP.rbk").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        ::DeleteFileA((folder + found.cFileName).c_str());
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

std::vector<std::string> g_messages;

int RecordMessage(HWND, const char* text, const char*, UINT)
{
    g_messages.push_back(text);
    return IDOK;
}

// Runs the window's messages until `done` holds; it only becomes true in a message's handler, so
// the wait sleeps until a message comes.
void Pump(bool (*done)())
{
    MSG msg;
    while (!done()) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (!done())
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT);
    }
}

class CFinishStatus : public CAbstractStatus
{
public:
    void SetActivity(const char*, const char*) override {}
    void SetProgress(int) override {}
    void ReportItem(const char*, int, int, INT_PTR) override {}
    int OperationFinished(int) override { return 1; }
    int ReportResult(int) override { return 0; }
};

// The backups this bench made go again.
void DeleteNewBackups(const std::vector<BACKUP_RECORD>& before)
{
    for (const BACKUP_RECORD& record : EnumerateBackups(GetBackupFolder())) {
        bool old = false;
        for (const BACKUP_RECORD& kept : before)
            old = old || kept.path == record.path;
        if (!old)
            ::DeleteFileA(record.path);
    }
}

double BackupAlone()
{
    CFinishStatus status;
    const LARGE_INTEGER start = Now();
    g_app.m_pProcess->StartBackup("C:\\", &status);
    g_app.m_pProcess->Resume();
    WaitForEngineJob(g_app.m_pProcess);
    return Seconds(start, Now());
}

double BackupThroughThePage(CQuillonDlg& mainWindow)
{
    mainWindow.ShowPage(PAGE_BACKUP);
    g_messages.clear();
    const LARGE_INTEGER start = Now();
    ::SendMessageA(::GetDlgItem(mainWindow.m_backupPage.m_hWnd, IDC_BACKUP_CREATE), BM_CLICK, 0, 0);
    Pump([] { return !g_messages.empty(); });
    return Seconds(start, Now());
}

void BenchBackupPage(CQuillonDlg& mainWindow)
{
    const std::vector<BACKUP_RECORD> before = EnumerateBackups(GetBackupFolder());
    BackupAlone();  // warm-up
    double alone = 1e30, page = 1e30;
    for (int round = 0; round < 3; ++round) {
        alone = std::min(alone, BackupAlone());
        page = std::min(page, BackupThroughThePage(mainWindow));
        DeleteNewBackups(before);
    }
    printf("\n%-34s %12s %12s %7s\n", "whole-registry backup", "engine (s)", "page (s)", "ratio");
    printf("%-34s %12.3f %12.3f %7.2f\n", g_messages.empty() ? "" : g_messages[0].c_str(), alone, page, page / alone);
}

void BenchStartupList(CQuillonDlg& mainWindow)
{
    WriteBrokenRunEntries(5000);
    double seconds = 1e30;
    for (int round = 0; round < 3; ++round) {
        mainWindow.ShowPage(PAGE_WIZARD);
        const LARGE_INTEGER start = Now();
        mainWindow.ShowPage(PAGE_STARTUP);
        seconds = std::min(seconds, Seconds(start, Now()));
    }
    const int rows = ListView_GetItemCount(::GetDlgItem(mainWindow.m_startupPage.m_hWnd, IDC_STARTUP_LIST));
    printf("\n%-34s %12s\n", "startup manager list", "filled (s)");
    printf("%27d rows %12.3f\n", rows, seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const bool scanPart = argc < 2 || strcmp(argv[1], "scan") == 0;
    const bool repairPart = argc < 2 || strcmp(argv[1], "repair") == 0;
    const bool toolsPart = argc < 2 || strcmp(argv[1], "tools") == 0;
    ::CoInitialize(nullptr);
    CScratchRegistry registry;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof(temp), temp);
    g_app.SetProgramFolder(temp);
    if (!g_app.LoadEngine())
        return 1;
    g_app.m_pProcess = g_app.m_pEngineInterface->CreateEngineProcessNoDatabase();
    g_app.LoadSettings();
    g_app.m_pItems = new CScanItemsInfo(temp);
    CQuillonDlg mainWindow;
    g_app.m_pMainWnd = &mainWindow;
    if (!mainWindow.Create(IDD_MAIN)) {
        printf("no window: run app_bench with a display\n");
        return 1;
    }
    mainWindow.ShowWindow(SW_SHOW);
    // Only the startup items, whose entries the fixture fills.
    for (const SCAN_CATEGORY_INFO& category : kScanCategories) {
        if ((category.bit == SCAN_SUI) != (g_app.m_scanPage.IsDlgButtonChecked(category.scanBox) == BST_CHECKED))
            ::SendMessageA(::GetDlgItem(g_app.m_scanPage.m_hWnd, category.scanBox), BM_CLICK, 0, 0);
    }

    const int sizes[] = { 1000, 10000, 50000 };
    double fillSeconds[3] = {};
    int findings[3] = {};
    if (scanPart)
        printf("scan\n%8s %12s %12s %7s %14s %16s\n", "findings", "engine (s)", "page (s)", "ratio", "longest (ms)",
               "page us/finding");
    for (int index = 0; index < 3 && scanPart; ++index) {
        WriteBrokenRunEntries(sizes[index]);
        // One scan to warm the registry and the file cache, then each way three times in turn;
        // the fastest of each counts, the longest answer of all.
        EngineAlone(g_app.m_pProcess, g_app.m_pItems);
        double alone = 1e30, page = 1e30, longest = 0, fill = 1e30;
        for (int round = 0; round < 3; ++round) {
            alone = std::min(alone, EngineAlone(g_app.m_pProcess, g_app.m_pItems));
            double answer = 0;
            page = std::min(page, ThroughThePage(mainWindow, &answer));
            longest = std::max(longest, answer);
            fill = std::min(fill, FillAndShowResults());
        }
        const int found = g_app.m_pItems->CountCategory(SCAN_SUI);
        printf("%8d %12.3f %12.3f %7.2f %14.1f %16.1f\n", found, alone, page, page / alone, longest,
               page * 1e6 / (found ? found : 1));
        fflush(stdout);
        findings[index] = found;
        fillSeconds[index] = fill;
    }
    if (scanPart)
        printf("\nresults tree after the scan\n%8s %12s %16s\n", "findings", "fill (s)", "us/finding");
    for (int index = 0; index < 3 && scanPart; ++index)
        printf("%8d %12.3f %16.1f\n", findings[index], fillSeconds[index],
               fillSeconds[index] * 1e6 / (findings[index] ? findings[index] : 1));

    // The tool pages, before the repair fixtures fill the registry.
    if (toolsPart) {
        AfxMessageBoxHandler previous = AfxSetMessageBoxHandler(&RecordMessage);
        BenchBackupPage(mainWindow);
        BenchStartupList(mainWindow);
        AfxSetMessageBoxHandler(previous);
        fflush(stdout);
    }

    if (repairPart)
        printf("\nrepair\n%8s %12s %12s %7s\n", "findings", "engine (s)", "page (s)", "ratio");
    g_app.m_scanningPage.m_dwCategories = SCAN_AXO;
    for (int count : sizes) {
        if (!repairPart)
            break;
        // The machine's load varies: the best of a few runs of each stands for it.
        double alone = 0;
        double page = 0;
        const int runs = count >= 50000 ? 1 : 3;
        for (int run = 0; run < runs; ++run) {
            WriteBrokenClasses(count);
            FillContainer(g_app.m_pItems, count);
            const double engine = EngineRepairAlone(g_app.m_pProcess, g_app.m_pItems);
            WriteBrokenClasses(count);
            FillContainer(g_app.m_pItems, count);
            g_app.m_resultsPage.FillResults();
            g_app.m_scanningPage.OnNext();
            const double throughPage = RepairThroughThePage();
            alone = run == 0 ? engine : std::min(alone, engine);
            page = run == 0 ? throughPage : std::min(page, throughPage);
            RemovePartialBackups();
        }
        printf("%8d %12.3f %12.3f %7.2f\n", count, alone, page, page / alone);
        fflush(stdout);
    }

    g_app.m_pMainWnd = nullptr;
    // Every window of the application object goes before the program's exit tears down the map
    // of windows that their objects would still look themselves up in.
    if (g_app.m_tray.m_hWnd)
        g_app.m_tray.DestroyWindow();
    mainWindow.DestroyWindow();
    return 0;
}
