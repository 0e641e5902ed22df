// The program's private window messages. Each page posts its job's end to itself from the
// engine's thread; a second instance posts its requests to the first.
#pragma once

#include <windows.h>

constexpr UINT WM_SCAN_PATH_REQUEST = WM_USER + 660;
constexpr UINT WM_SCHEDULED_SCAN_REQUEST = WM_USER + 700;
constexpr UINT WM_SCAN_FINISHED = WM_USER + 750;
// The results page's own slices of long work, and its word to the scanning page that the results
// of the scan that ended are ready.
constexpr UINT WM_RESULTS_SLICE = WM_USER + 751;
constexpr UINT WM_RESULTS_READY = WM_USER + 752;
constexpr UINT WM_AUTO_UPDATE_CHECK = WM_USER + 800;
constexpr UINT WM_REPAIR_FINISHED = WM_USER + 850;
constexpr UINT WM_BACKUP_FINISHED = WM_USER + 900;
constexpr UINT WM_DEFRAG_RESULT = WM_USER + 950;
// The main window to itself once it is on the screen: what its first paint does not need, one
// short step per message.
constexpr UINT WM_DEFERRED_START = WM_USER + 980;
// The Task Scheduler's jobs, read on a thread of their own, can be taken.
constexpr UINT WM_SCHEDULED_JOBS_READ = WM_USER + 981;
// A list of the schedule's controls has closed: the choice it shows is written.
constexpr UINT WM_SCHEDULE_CHOSEN = WM_USER + 982;
// The tray icon's notifications to the main window.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1000;
