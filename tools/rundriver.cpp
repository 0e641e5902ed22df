// rundriver: watches a running Kelvara.exe for ./run.sh when there is no screen to look at. It
// waits until the scan that the program was started with has ended (the scanning page's Next
// button shows), saves a PNG of the main window and prints the page's findings; when given a
// second path it then goes on to the results page (Next), opens the first category of its tree
// and saves a PNG of that too; finally it closes the program through its own close button.
//
//   rundriver <scan png path> [<results png path> [timeout seconds]]
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "WindowCapture.h"
#include "resource.h"

namespace {

const char kWindowTitle[] = "Bellwort Registry Reriraz";

struct SCANNING_PAGE
{
    HWND page = nullptr;
};

struct RESULTS_PAGE
{
    HWND page = nullptr;
};

BOOL CALLBACK FindScanningPage(HWND child, LPARAM context)
{
    auto* found = reinterpret_cast<SCANNING_PAGE*>(context);
    // The scanning page is the child dialog that holds both Cancel and Next.
    if (::GetDlgItem(child, IDC_SCANNING_CANCEL) && ::GetDlgItem(child, IDC_SCANNING_NEXT) &&
        ::GetDlgItem(child, IDC_SCANNING_ACTIVITY)) {
        found->page = child;
        return FALSE;
    }
    return TRUE;
}

std::string ItemText(HWND dialog, int id);

BOOL CALLBACK FindResultsPage(HWND child, LPARAM context)
{
    auto* found = reinterpret_cast<RESULTS_PAGE*>(context);
    // The results page is the child dialog that holds Fix Errors and Ignore Selected.
    if (::GetDlgItem(child, IDC_RESULTS_REPAIR) && ::GetDlgItem(child, IDC_RESULTS_IGNORE)) {
        found->page = child;
        return FALSE;
    }
    return TRUE;
}

bool SaveWindow(HWND window, const char* path)
{
    // The screen as the program left it: no repaint is asked for, only the program's own
    // painting is waited for (nothing left to paint for half a second, at most ten seconds).
    ::SetForegroundWindow(window);
    int quiet = 0;
    for (int i = 0; i < 200 && quiet < 10; ++i) {
        ::Sleep(50);
        quiet = HasPendingPaint(window) ? 0 : quiet + 1;
    }
    return SavePng(CaptureWindow(window), path);
}

// Next on the scanning page, then the results page with its first category opened. False when
// the results page did not show (a scan that found nothing leads back to the first step).
bool GoToResults(HWND mainWindow, HWND scanningPage, const char* path)
{
    ::PostMessageA(scanningPage, WM_COMMAND, MAKEWPARAM(IDC_SCANNING_NEXT, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(scanningPage, IDC_SCANNING_NEXT)));
    RESULTS_PAGE results;
    for (int i = 0; i < 40 && !(results.page && ::IsWindowVisible(results.page)); ++i) {
        ::Sleep(250);
        ::EnumChildWindows(mainWindow, &FindResultsPage, reinterpret_cast<LPARAM>(&results));
    }
    if (!results.page || !::IsWindowVisible(results.page))
        return false;
    HWND tree = ::GetDlgItem(results.page, IDC_RESULTS_TREE);
    if (tree) {
        const LPARAM first = ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        if (first)
            ::SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, first);
    }
    const bool saved = SaveWindow(mainWindow, path);
    printf("results page: \"%s\", \"%s\"\n", ItemText(results.page, IDC_RESULTS_FOUND).c_str(),
           ItemText(results.page, IDC_RESULTS_SELECTED).c_str());
    return saved;
}

std::string ItemText(HWND dialog, int id)
{
    char text[512] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

bool ScanHasEnded(HWND page)
{
    HWND next = ::GetDlgItem(page, IDC_SCANNING_NEXT);
    HWND cancel = ::GetDlgItem(page, IDC_SCANNING_CANCEL);
    return ::IsWindowVisible(page) && ::IsWindowVisible(next) && ::IsWindowEnabled(next) && !::IsWindowVisible(cancel);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: rundriver <scan png path> [<results png path> [timeout seconds]]\n");
        return 2;
    }
    const char* resultsPath = argc > 2 ? argv[2] : nullptr;
    const DWORD timeoutMs = (argc > 3 ? static_cast<DWORD>(atoi(argv[3])) : 900) * 1000;
    const DWORD start = ::GetTickCount();
    HWND mainWindow = nullptr;
    SCANNING_PAGE scanning;
    bool sawScan = false;
    while (::GetTickCount() - start < timeoutMs) {
        if (!mainWindow)
            mainWindow = ::FindWindowA("#32770", kWindowTitle);
        if (mainWindow && !scanning.page)
            ::EnumChildWindows(mainWindow, &FindScanningPage, reinterpret_cast<LPARAM>(&scanning));
        if (scanning.page) {
            if (::IsWindowVisible(::GetDlgItem(scanning.page, IDC_SCANNING_CANCEL)))
                sawScan = true;
            if (sawScan && ScanHasEnded(scanning.page))
                break;
        }
        ::Sleep(250);
    }
    if (!scanning.page || !sawScan || !ScanHasEnded(scanning.page)) {
        fprintf(stderr, "rundriver: no finished scan within %lu s\n", timeoutMs / 1000);
        return 1;
    }
    bool saved = SaveWindow(mainWindow, argv[1]);
    const std::string errors = ItemText(scanning.page, IDC_SCANNING_ERRORS);
    const std::string junk = ItemText(scanning.page, IDC_SCANNING_JUNK);
    const int findings = atoi(errors.c_str());
    printf("findings: %d (\"%s\", \"%s\")\n", findings, errors.c_str(), junk.c_str());
    if (resultsPath && !GoToResults(mainWindow, scanning.page, resultsPath)) {
        fprintf(stderr, "rundriver: the results page did not show\n");
        saved = false;
    }
    ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(mainWindow, IDC_CLOSE_BUTTON)));
    return saved ? 0 : 1;
}
