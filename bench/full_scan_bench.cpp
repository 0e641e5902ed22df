// Scan figures on the registry and drive of the prefix it runs in.
//   full_scan_bench [--list]
// runs a scan of all sixteen categories (drive C: for shortcuts, the temporary folder for junk
// files) and prints per category the findings and the time, then the keys per second of the
// registry roots the scanners cover and the time of a bare walk of those roots for the ratio.
// --list prints every finding as well.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EngineProcess.h"
#include "Registry/RegistryWalk.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CBenchStatus : public CAbstractStatus
{
public:
    CBenchStatus() : m_finished(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~CBenchStatus() override { ::CloseHandle(m_finished); }

    void SetActivity(const char* text, const char* area) override
    {
        // The job announces every category with an empty text before its scanner runs.
        if (text && !*text && area && std::strlen(area) == 3) {
            std::lock_guard<std::mutex> lock(m_mutex);
            CloseCategory();
            m_current = area;
            m_order.push_back(m_current);
            m_started = Clock::now();
        }
    }
    void SetProgress(int) override {}
    void ReportItem(const char* item, int category, int value, INT_PTR) override
    {
        // Size rows (value -1) and size totals ("-1") are not findings.
        if (value != 0 || !item || std::strcmp(item, ITEM_SIZE_TOTAL) == 0)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_findings[m_current].push_back(item);
        (void)category;
    }
    int OperationFinished(int) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CloseCategory();
        ::SetEvent(m_finished);
        return 1;
    }
    int ReportResult(int) override { return 1; }

    void Wait() { ::WaitForSingleObject(m_finished, INFINITE); }

    std::vector<std::string> m_order;
    std::map<std::string, double> m_seconds;
    std::map<std::string, std::vector<std::string>> m_findings;

private:
    void CloseCategory()
    {
        if (!m_current.empty())
            m_seconds[m_current] += SecondsSince(m_started);
        m_current.clear();
    }

    std::mutex m_mutex;
    HANDLE m_finished;
    std::string m_current;
    Clock::time_point m_started;
};

// The roots the registry scanners cover, walked without looking at anything.
unsigned BareWalk(double* seconds)
{
    const Clock::time_point start = Clock::now();
    unsigned keys = 0;
    CRegistryWalk walk([] { return true; });
    const auto count = [&keys](HKEY, const CString&, const CString&) { ++keys; };
    walk.Walk("HKEY_CLASSES_ROOT", "", count);
    walk.Walk("HKEY_USERS", "", count);
    walk.Walk("HKEY_LOCAL_MACHINE", "SOFTWARE", count);
    walk.Walk("HKEY_LOCAL_MACHINE", "System", count);
    *seconds = SecondsSince(start);
    return keys;
}

std::string Printable(const std::string& item)
{
    std::string text(item);
    for (char& ch : text)
        if (ch == '\xAC')
            ch = '|';
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    bool list = false;
    for (int i = 1; i < argc; ++i)
        list = list || std::strcmp(argv[i], "--list") == 0;

    char temp[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::set<CString> folders = {"C:", CString(temp)};

    CVexaEngineProcess process(false);
    CBenchStatus status;
    const Clock::time_point start = Clock::now();
    if (process.StartScan(&folders, SCAN_ALL, &status, SCAN_MODE_NORMAL) != 1 || process.Resume() != 1) {
        std::printf("the scan did not start\n");
        return 1;
    }
    status.Wait();
    const double scanSeconds = SecondsSince(start);

    std::printf("%-4s %9s %10s\n", "code", "findings", "seconds");
    size_t total = 0;
    for (const std::string& code : status.m_order) {
        const size_t count = status.m_findings[code].size();
        total += count;
        std::printf("%-4s %9u %10.3f\n", code.c_str(), static_cast<unsigned>(count), status.m_seconds[code]);
    }
    std::printf("all  %9u %10.3f\n", static_cast<unsigned>(total), scanSeconds);

    double walkSeconds = 0;
    const unsigned keys = BareWalk(&walkSeconds);
    std::printf("keys under HKCR, HKU, HKLM\\SOFTWARE, HKLM\\System: %u\n", keys);
    std::printf("scan: %.0f keys/s; bare walk: %.3f s (%.0f keys/s); scan/walk ratio %.1f\n",
                scanSeconds > 0 ? keys / scanSeconds : 0.0, walkSeconds, walkSeconds > 0 ? keys / walkSeconds : 0.0,
                walkSeconds > 0 ? scanSeconds / walkSeconds : 0.0);

    if (list)
        for (const std::string& code : status.m_order)
            for (const std::string& item : status.m_findings[code])
                std::printf("%s %s\n", code.c_str(), Printable(item).c_str());
    return 0;
}
