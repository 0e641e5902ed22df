// input_bench: large inputs the program reads, in the program's own code.
//   - the ignore-list page opened (filled and drawn) with 2,000, 5,000 and 10,000 entries;
//   - "WhileList.dat" of 20,000 and 40,000 records read as a scan's start reads it;
//   - the peak memory (working set) of a process reading an "IgnoreList.dat" of about 100 MB, once
//     of unique records and once of 1,000,000 records that repeat 1,000 entries: a process that
//     loads it as a scan does, and the program's window opening the page with it (which holds the
//     scan's list as well). Each runs in a process of its own, so that each peak is its own.
// It needs a display and engine.dll beside it; its files live in a folder of its own under the
// temporary folder, removed at the end. Run it under Wine by hand.
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "IgnoreListFile.h"
#include "Kelvara.h"
#include "QuillonDlg.h"
#include "ScanItemsInfo.h"
#include "WhiteList.h"
#include "resource.h"

namespace {

CQuillonApp g_app;

double Seconds()
{
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double PeakMegabytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::string BenchFolder()
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof(temp), temp);
    return std::string(temp) + "kelvara_input_bench\\";
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}

CString IgnoreKey(unsigned index)
{
    char key[200];
    std::snprintf(key, sizeof(key),
                  "HKEY_CURRENT_USER\\Software\\Vendor %05u\\Application Settings\\Recent\xAC"
                  "Document Entry %07u^Application Paths",
                  index / 1000, index);
    return key;
}

// An ignore list of `records` records naming `distinct` entries, as the program writes it.
bool WriteIgnoreList(const std::string& path, unsigned records, unsigned distinct)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    std::string chunk = CIgnoreListFile::FormatMarker().Str();
    for (unsigned i = 0; i < records; ++i) {
        chunk += CIgnoreListFile::FormatRecord(IgnoreKey(i % distinct), 0).Str();
        if (chunk.size() > (1u << 20) || i + 1 == records) {
            std::fwrite(chunk.data(), 1, chunk.size(), out);
            chunk.clear();
        }
    }
    return std::fclose(out) == 0;
}

// The program's main window over the real engine, with its files in `folder`.
bool OpenMainWindow(const std::string& folder, CQuillonDlg* mainWindow)
{
    g_app.SetProgramFolder(folder.c_str());
    if (!g_app.LoadEngine())
        return false;
    g_app.m_pProcess = g_app.m_pEngineInterface->CreateEngineProcessNoDatabase();
    g_app.m_pItems = new CScanItemsInfo(folder.c_str());
    g_app.m_pMainWnd = mainWindow;
    if (!mainWindow->Create(IDD_MAIN))
        return false;
    mainWindow->ShowWindow(SW_SHOW);
    Pump();
    return true;
}

double OpenIgnorePage(CQuillonDlg* mainWindow)
{
    mainWindow->ShowPage(PAGE_SETTINGS);
    Pump();
    const double begin = Seconds();
    mainWindow->ShowPage(PAGE_IGNORE_LIST);
    ::UpdateWindow(mainWindow->m_hWnd);
    mainWindow->m_ignoreListPage.UpdateWindow();
    Pump();
    return Seconds() - begin;
}

int MeasurePageFill(const std::string& folder)
{
    CQuillonDlg mainWindow;
    if (!OpenMainWindow(folder, &mainWindow)) {
        std::printf("no window: run input_bench with a display and engine.dll beside it\n");
        return 1;
    }
    std::printf("%-44s %10s %10s %8s\n", "ignore-list page opened", "entries", "seconds", "rows");
    for (unsigned entries : { 2000u, 5000u, 10000u }) {
        if (!WriteIgnoreList(folder + "IgnoreList.dat", entries, entries))
            return 1;
        const double seconds = OpenIgnorePage(&mainWindow);
        const int rows = ListView_GetItemCount(::GetDlgItem(mainWindow.m_ignoreListPage.m_hWnd, IDC_IGNORE_LIST));
        std::printf("%-44s %10u %10.3f %8d\n", "", entries, seconds, rows);
        std::fflush(stdout);
    }
    mainWindow.DestroyWindow();
    return 0;
}

int MeasureWhiteList(const std::string& folder)
{
    std::printf("%-44s %10s %10s %8s\n", "\"WhileList.dat\" read", "records", "seconds", "read");
    const std::string path = folder + "WhileList.dat";
    for (unsigned records : { 20000u, 40000u }) {
        std::string text;
        for (unsigned i = 0; i < records; ++i)
            text += "c:\\program files\\vendor " + std::to_string(i) + "\\;\r\n";
        if (!WriteWhole(path, text))
            return 1;
        CWhiteList list;
        const double begin = Seconds();
        list.Load(path.c_str());
        std::printf("%-44s %10u %10.3f %8u\n", "", records, Seconds() - begin, static_cast<unsigned>(list.GetCount()));
        std::fflush(stdout);
    }
    return 0;
}

// In a child process: the peak memory of one way of reading the ignore list in `folder`.
int MeasureOneReading(const std::string& folder, const char* how)
{
    size_t held = 0;
    if (std::strcmp(how, "scan") == 0) {
        // The container reads the list when it is made; an entry of the list is then refused.
        CScanItemsInfo items(folder.c_str());
        const CString key = IgnoreKey(0);
        held = items.AddItem(key.Left(key.ReverseFind('^')), SCAN_APP, 0, 0) == 0 ? 1 : 0;
    } else {
        CQuillonDlg mainWindow;
        if (!OpenMainWindow(folder, &mainWindow))
            return 1;
        OpenIgnorePage(&mainWindow);
        held = static_cast<size_t>(
            ListView_GetItemCount(::GetDlgItem(mainWindow.m_ignoreListPage.m_hWnd, IDC_IGNORE_LIST)));
        mainWindow.DestroyWindow();
    }
    std::printf("%.0f %u\n", PeakMegabytes(), static_cast<unsigned>(held));
    return 0;
}

// Runs this program on one reading and returns what it printed.
std::string RunChild(const std::string& folder, const char* how)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof(self));
    const std::string output = folder + "child.txt";
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), nullptr, TRUE };
    HANDLE file = ::CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    // The folder without its last backslash, which would escape the closing quote.
    const std::string bare = folder.substr(0, folder.size() - 1);
    std::string command = "\"" + std::string(self) + "\" --read " + how + " \"" + bare + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                          &process);
    ::CloseHandle(file);
    if (!started)
        return std::string();
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    char text[256] = {};
    FILE* in = std::fopen(output.c_str(), "rb");
    if (in) {
        const size_t read = std::fread(text, 1, sizeof(text) - 1, in);
        text[read] = '\0';
        std::fclose(in);
    }
    ::DeleteFileA(output.c_str());
    std::string result(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

int MeasureIgnoreListMemory(const std::string& folder)
{
    std::printf("%-44s %10s %10s %8s\n", "\"IgnoreList.dat\" read: peak memory", "file MB", "peak MB", "kept");
    const struct { const char* name; unsigned records; unsigned distinct; } files[] = {
        { "unique records", 1000000, 1000000 },
        { "1 M records of 1,000 entries", 1000000, 1000 },
    };
    const std::string path = folder + "IgnoreList.dat";
    for (const auto& kind : files) {
        if (!WriteIgnoreList(path, kind.records, kind.distinct))
            return 1;
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
        const double megabytes = static_cast<double>(data.nFileSizeLow) / (1024.0 * 1024.0);
        for (const char* how : { "scan", "page" }) {
            double peak = 0;
            unsigned held = 0;
            const std::string printed = RunChild(folder, how);
            if (std::sscanf(printed.c_str(), "%lf %u", &peak, &held) != 2) {
                std::printf("%s, %s: the child printed \"%s\"\n", kind.name, how, printed.c_str());
                continue;
            }
            const std::string label = std::string(kind.name) + (std::strcmp(how, "scan") == 0 ? ", scan" : ", page");
            std::printf("%-44s %10.0f %10.0f %8u\n", label.c_str(), megabytes, peak, held);
            std::fflush(stdout);
        }
    }
    return 0;
}

void RemoveBenchFolder(const std::string& folder)
{
    for (const char* name : { "IgnoreList.dat", "WhileList.dat", "child.txt" })
        ::DeleteFileA((folder + name).c_str());
    ::RemoveDirectoryA((folder + "Scan Logs").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    ::CoInitialize(nullptr);
    if (argc == 4 && std::strcmp(argv[1], "--read") == 0)
        return MeasureOneReading(std::string(argv[3]) + "\\", argv[2]);
    const std::string folder = BenchFolder();
    ::CreateDirectoryA(folder.c_str(), nullptr);
    int failed = MeasurePageFill(folder);
    failed |= MeasureWhiteList(folder);
    failed |= MeasureIgnoreListMemory(folder);
    RemoveBenchFolder(folder);
    return failed;
}
