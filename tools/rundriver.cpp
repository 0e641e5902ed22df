// rundriver: watches a running Kelvara.exe for ./run.sh when there is no screen to look at. It
// waits until the scan that the program was started with has ended (the scanning page's Next
// button shows), saves a PNG of the main window, prints the page's findings and closes the
// program through its own close button.
//
//   rundriver <png path> [timeout seconds]
#include <windows.h>

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
        fprintf(stderr, "usage: rundriver <png path> [timeout seconds]\n");
        return 2;
    }
    const DWORD timeoutMs = (argc > 2 ? static_cast<DWORD>(atoi(argv[2])) : 900) * 1000;
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
    // Let the last repaint reach the screen before it is read.
    ::Sleep(1500);
    ::SetForegroundWindow(mainWindow);
    ::RedrawWindow(mainWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(500);
    const CWindowPixels image = CaptureWindow(mainWindow);
    const bool saved = SavePng(image, argv[1]);

    const std::string errors = ItemText(scanning.page, IDC_SCANNING_ERRORS);
    const std::string junk = ItemText(scanning.page, IDC_SCANNING_JUNK);
    const int findings = atoi(errors.c_str());
    printf("findings: %d (\"%s\", \"%s\")\n", findings, errors.c_str(), junk.c_str());
    ::PostMessageA(mainWindow, WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(mainWindow, IDC_CLOSE_BUTTON)));
    return saved ? 0 : 1;
}
