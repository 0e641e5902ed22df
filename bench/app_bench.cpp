// app_bench: the pages' cost over the engine alone. For registry fixtures with 1k, 10k and 50k
// broken startup entries it prints
// - the engine's scan time with a bare status object, the same scan through the scanning page of
//   a real main window (from the click on Start Scan until Next is enabled, the results tree
//   whole), their ratio (target: at most 1.1), and the longest time the window thread took to
//   answer a message meanwhile (target: under 100 ms; measured with SendMessageTimeout from a
//   watcher thread);
// - of that, the time from the scan's end message until the results are ready (target: linear,
//   and under one second for 10k) and the window's longest answer in that time;
// - for as many broken class registrations (one key each), the engine's repair with a bare status
//   object, the same repair from the results page up to its statistics and summary, their ratio
//   (target: at most 1.1) and the window's longest answer meanwhile.
// It also prints the backup page's whole-registry backup against the engine's backup alone (target
// ratio: at most 1.1), and the time the startup manager page takes to fill its list with 5,000
// Run entries (target: under one second). Each part starts from a registry without the fixtures
// of the parts before it.
//
// Each figure is the median of three runs, with the fastest and slowest in brackets. The page's
// message loop waits for messages as the program's does (GetMessage), so that neither way of
// running a job is woken for nothing. "--load K" runs K busy threads beside it all.
//
// Run by hand under Wine with a display:  build/x86_64/wine-run.sh build/x86_64/bin/app_bench.exe
// [--load K] [scan|repair|tools] (a part's name runs only that part).
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "JobWait.h"
#include "Kelvara.h"
#include "Messages.h"
#include "QuillonDlg.h"
#include "ScanItemsInfo.h"
#include "resource.h"

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

const int kSizes[] = { 1000, 10000, 50000 };
const int kRounds = 3;

// One figure over several runs: its median and spread.
class CFigure
{
public:
    void Add(double value) { m_values.push_back(value); }
    // "median (fastest-slowest)" in the format given.
    std::string Text(const char* format) const
    {
        if (m_values.empty())
            return "-";
        std::vector<double> sorted = m_values;
        std::sort(sorted.begin(), sorted.end());
        const size_t middle = sorted.size() / 2;
        const double median = sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
        char one[32], low[32], high[32], text[112];
        snprintf(one, sizeof(one), format, median);
        snprintf(low, sizeof(low), format, sorted.front());
        snprintf(high, sizeof(high), format, sorted.back());
        snprintf(text, sizeof(text), "%s (%s-%s)", one, low, high);
        return text;
    }

private:
    std::vector<double> m_values;
};

// Threads that keep CPUs busy for the bench's life, as other work on a user's machine does.
class CBusyThreads
{
public:
    explicit CBusyThreads(int count)
    {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this] {
                volatile unsigned long long spin = 0;
                while (!m_stop)
                    spin = spin + 1;
            });
    }
    ~CBusyThreads()
    {
        m_stop = true;
        for (std::thread& thread : m_threads)
            thread.join();
    }

private:
    std::atomic<bool> m_stop{ false };
    std::vector<std::thread> m_threads;
};

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

// Answers the window gives a watcher thread while a job runs through a page: the longest wait.
class CAnswerWatcher
{
public:
    explicit CAnswerWatcher(HWND window) : m_window(window)
    {
        m_thread = std::thread([this] { Watch(); });
    }
    // The longest wait since the last call (an answer still awaited counts as far as it got).
    double TakeLongestMs()
    {
        const double longest = m_longest;
        m_longest = 0;
        return longest;
    }
    // Stops the watcher; the caller's thread keeps answering until it has.
    void Stop()
    {
        m_watching = false;
        MSG msg;
        while (!m_done) {
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageA(&msg);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        m_thread.join();
    }

private:
    void Watch()
    {
        while (m_watching) {
            const LARGE_INTEGER sent = Now();
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutA(m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
            const double ms = Seconds(sent, Now()) * 1000.0;
            if (m_watching && ms > m_longest)
                m_longest = ms;
            ::Sleep(5);
        }
        m_done = true;
    }

    HWND m_window;
    std::atomic<bool> m_watching{ true };
    std::atomic<bool> m_done{ false };
    std::atomic<double> m_longest{ 0 };
    std::thread m_thread;
};

// Runs the window's messages as the program's loop does, until `done` holds after a message.
template <class F>
void RunMessagesUntil(F done)
{
    MSG msg;
    while (!done() && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

// Lets what the pages do after a job (emptying earlier results) end before the next run: runs
// the messages until none has come for a while.
void Settle()
{
    MSG msg;
    DWORD quietSince = ::GetTickCount();
    while (::GetTickCount() - quietSince < 300) {
        if (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            quietSince = ::GetTickCount();
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
}

struct PAGE_SCAN
{
    double seconds = 0;         // click to Next enabled
    double longestMs = 0;       // the window's longest answer in that time
    double readySeconds = 0;    // the end message to Next enabled
    double readyLongestMs = 0;  // the window's longest answer in that time
};

PAGE_SCAN ThroughThePage(CQuillonDlg& mainWindow)
{
    CQuillonApp& app = g_app;
    CScanningDlg& scanning = app.m_scanningPage;
    HWND next = ::GetDlgItem(scanning.m_hWnd, IDC_SCANNING_NEXT);
    PAGE_SCAN result;
    CAnswerWatcher watcher(mainWindow.m_hWnd);
    const LARGE_INTEGER start = Now();
    ::SendMessageA(::GetDlgItem(app.m_scanPage.m_hWnd, IDC_SCAN_START), BM_CLICK, 0, 0);
    // The time the scan's end message is taken from the queue parts the scan from the results.
    LARGE_INTEGER ended = {};
    double scanLongest = 0;
    MSG msg;
    while (!(::IsWindowVisible(next) && ::IsWindowEnabled(next)) && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_SCAN_FINISHED && ended.QuadPart == 0) {
            ended = Now();
            scanLongest = watcher.TakeLongestMs();
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    const LARGE_INTEGER done = Now();
    result.readyLongestMs = watcher.TakeLongestMs();
    watcher.Stop();
    result.seconds = Seconds(start, done);
    result.readySeconds = Seconds(ended, done);
    result.longestMs = std::max(scanLongest, result.readyLongestMs);
    return result;
}

// The bench's classes: "CLSID\KelvaraBench000000" and on, below HKEY_CLASSES_ROOT, where the
// ActiveX scan finds them (the repair looks at each again before it deletes it).
const char kClassPrefix[] = "KelvaraBench";

void RemoveBrokenClasses()
{
    HKEY classes = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &classes) != ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof(name);
        if (::RegEnumKeyExA(classes, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (std::strncmp(name, kClassPrefix, sizeof(kClassPrefix) - 1) == 0)
            names.push_back(name);
    }
    for (const std::string& bench : names)
        ::SHDeleteKeyA(classes, bench.c_str());
    ::RegCloseKey(classes);
}

// Broken class registrations for a repair: one key each (the partial backup writes each once).
void WriteBrokenClasses(int count)
{
    RemoveBrokenClasses();
    for (int i = 0; i < count; ++i) {
        char key[96];
        snprintf(key, sizeof(key), "CLSID\\%s%06d\\InprocServer32", kClassPrefix, i);
        HKEY created = nullptr;
        ::RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
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
        snprintf(item, sizeof(item), "HKEY_CLASSES_ROOT\\CLSID\\%s%06d", kClassPrefix, i);
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

// Fix Errors on the results page until the summary: the time and the window's longest answer.
double RepairThroughThePage(CQuillonDlg& mainWindow, double* longestMs)
{
    CQuillonApp& app = g_app;
    CAnswerWatcher watcher(mainWindow.m_hWnd);
    const LARGE_INTEGER start = Now();
    ::SendMessageA(::GetDlgItem(app.m_resultsPage.m_hWnd, IDC_RESULTS_REPAIR), BM_CLICK, 0, 0);
    RunMessagesUntil([&] { return app.m_scanPage.GetStep() == STEP_SUMMARY; });
    const double seconds = Seconds(start, Now());
    *longestMs = watcher.TakeLongestMs();
    watcher.Stop();
    return seconds;
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
            ::DeleteFileW(record.path.c_str());
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
    RunMessagesUntil([] { return !g_messages.empty(); });
    return Seconds(start, Now());
}

void BenchBackupPage(CQuillonDlg& mainWindow)
{
    const std::vector<BACKUP_RECORD> before = EnumerateBackups(GetBackupFolder());
    BackupAlone();  // warm-up
    DeleteNewBackups(before);
    CFigure alone, page, ratio;
    for (int round = 0; round < kRounds; ++round) {
        const double engine = BackupAlone();
        const double throughPage = BackupThroughThePage(mainWindow);
        alone.Add(engine);
        page.Add(throughPage);
        ratio.Add(throughPage / engine);
        DeleteNewBackups(before);
    }
    printf("\nwhole-registry backup: %s\n%-22s %-22s %-22s\n", g_messages.empty() ? "" : g_messages[0].c_str(),
           "engine (s)", "page (s)", "ratio");
    printf("%-22s %-22s %-22s\n", alone.Text("%.3f").c_str(), page.Text("%.3f").c_str(), ratio.Text("%.2f").c_str());
}

void BenchStartupList(CQuillonDlg& mainWindow)
{
    WriteBrokenRunEntries(5000);
    CFigure seconds;
    for (int round = 0; round < kRounds; ++round) {
        mainWindow.ShowPage(PAGE_WIZARD);
        const LARGE_INTEGER start = Now();
        mainWindow.ShowPage(PAGE_STARTUP);
        seconds.Add(Seconds(start, Now()));
    }
    const int rows = ListView_GetItemCount(::GetDlgItem(mainWindow.m_startupPage.m_hWnd, IDC_STARTUP_LIST));
    mainWindow.ShowPage(PAGE_WIZARD);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kRun);
    printf("\nstartup manager list of %d rows, filled (s): %s\n", rows, seconds.Text("%.3f").c_str());
}

void BenchScan(CQuillonDlg& mainWindow)
{
    // Only the startup items, whose entries the fixture fills.
    for (const SCAN_CATEGORY_INFO& category : kScanCategories) {
        if ((category.bit == SCAN_SUI) != (g_app.m_scanPage.IsDlgButtonChecked(category.scanBox) == BST_CHECKED))
            ::SendMessageA(::GetDlgItem(g_app.m_scanPage.m_hWnd, category.scanBox), BM_CLICK, 0, 0);
    }
    printf("scan (page: the click on Start Scan to Next enabled; ready: the scan's end to Next enabled)\n"
           "%8s %-22s %-22s %-22s %-22s %-22s %-22s\n",
           "findings", "engine (s)", "page (s)", "ratio", "longest (ms)", "ready (s)", "ready longest (ms)");
    for (int size : kSizes) {
        WriteBrokenRunEntries(size);
        // One scan to warm the registry and the file cache, then each way in turn.
        EngineAlone(g_app.m_pProcess, g_app.m_pItems);
        CFigure alone, page, ratio, longest, ready, readyLongest;
        for (int round = 0; round < kRounds; ++round) {
            const double engine = EngineAlone(g_app.m_pProcess, g_app.m_pItems);
            const PAGE_SCAN scan = ThroughThePage(mainWindow);
            alone.Add(engine);
            page.Add(scan.seconds);
            ratio.Add(scan.seconds / engine);
            longest.Add(scan.longestMs);
            ready.Add(scan.readySeconds);
            readyLongest.Add(scan.readyLongestMs);
            Settle();
        }
        printf("%8d %-22s %-22s %-22s %-22s %-22s %-22s\n", g_app.m_pItems->CountCategory(SCAN_SUI),
               alone.Text("%.3f").c_str(), page.Text("%.3f").c_str(), ratio.Text("%.2f").c_str(),
               longest.Text("%.0f").c_str(), ready.Text("%.3f").c_str(), readyLongest.Text("%.0f").c_str());
        fflush(stdout);
    }
    // The parts that follow find a registry without the scan's entries.
    g_app.m_pItems->Clear();
    g_app.m_resultsPage.FillResults();
    g_app.m_scanPage.ShowStep(STEP_SELECT);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kRun);
    Settle();
}

void BenchRepair(CQuillonDlg& mainWindow)
{
    printf("\nrepair (page: the click on Fix Errors to the summary)\n%8s %-22s %-22s %-22s %-22s\n", "findings",
           "engine (s)", "page (s)", "ratio", "longest (ms)");
    g_app.m_scanningPage.m_dwCategories = SCAN_AXO;
    for (int count : kSizes) {
        CFigure alone, page, ratio, longest;
        for (int round = 0; round < kRounds; ++round) {
            WriteBrokenClasses(count);
            FillContainer(g_app.m_pItems, count);
            const double engine = EngineRepairAlone(g_app.m_pProcess, g_app.m_pItems);
            RemovePartialBackups();
            WriteBrokenClasses(count);
            FillContainer(g_app.m_pItems, count);
            g_app.m_resultsPage.FillResults();
            g_app.m_scanningPage.OnNext();
            Settle();
            double answer = 0;
            const double throughPage = RepairThroughThePage(mainWindow, &answer);
            RemovePartialBackups();
            Settle();
            alone.Add(engine);
            page.Add(throughPage);
            ratio.Add(throughPage / engine);
            longest.Add(answer);
        }
        printf("%8d %-22s %-22s %-22s %-22s\n", count, alone.Text("%.3f").c_str(), page.Text("%.3f").c_str(),
               ratio.Text("%.2f").c_str(), longest.Text("%.0f").c_str());
        fflush(stdout);
    }
    RemoveBrokenClasses();
}

} // namespace

int main(int argc, char** argv)
{
    int load = 0;
    const char* part = nullptr;
    for (int arg = 1; arg < argc; ++arg) {
        if (strcmp(argv[arg], "--load") == 0 && arg + 1 < argc)
            load = atoi(argv[++arg]);
        else
            part = argv[arg];
    }
    const bool scanPart = !part || strcmp(part, "scan") == 0;
    const bool repairPart = !part || strcmp(part, "repair") == 0;
    const bool toolsPart = !part || strcmp(part, "tools") == 0;
    CBusyThreads busy(load);
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
    printf("%d busy threads beside the bench; each figure: median of %d runs (fastest-slowest)\n\n", load, kRounds);

    if (scanPart)
        BenchScan(mainWindow);
    if (toolsPart) {
        AfxMessageBoxHandler previous = AfxSetMessageBoxHandler(&RecordMessage);
        BenchBackupPage(mainWindow);
        BenchStartupList(mainWindow);
        AfxSetMessageBoxHandler(previous);
        fflush(stdout);
    }
    if (repairPart)
        BenchRepair(mainWindow);

    g_app.m_pMainWnd = nullptr;
    // Every window of the application object goes before the program's exit tears down the map
    // of windows that their objects would still look themselves up in.
    if (g_app.m_tray.m_hWnd)
        g_app.m_tray.DestroyWindow();
    mainWindow.DestroyWindow();
    return 0;
}
