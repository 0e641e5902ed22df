// The scan job: category order and announcements, stop, size texts, scheduled folders,
// activity throttling, and one scan over the prefix's own registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Registry/RegistryEnum.h"
#include "Registry/RegistryKey.h"
#include "Registry/RegistryPath.h"
#include "RegistrySandbox.h"
#include "ScanTestProcess.h"
#include "Scanners/PathText.h"
#include "TempFolder.h"

namespace {

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::vector<std::string> kCodes = {"AXO", "UIE", "FNT", "SHD", "APP", "HLP", "SUI", "FPR",
                                         "SRC", "ERK", "FAS", "ITL", "SRV", "SAE", "RCB", "TPF"};

std::vector<std::string> EmptyAnnouncements(const CRecordingStatus& status)
{
    std::vector<std::string> areas;
    for (const StatusEvent& event : status.EventsOf(StatusEvent::Activity))
        if (event.text.empty())
            areas.push_back(event.area);
    return areas;
}

void RunScan(CVexaEngineProcess& process, CRecordingStatus& status, DWORD categories,
             const std::set<CString>& folders = {"C:"}, int scanMode = SCAN_MODE_NORMAL)
{
    ASSERT_EQ(1, process.StartScan(&folders, categories, &status, scanMode));
    ASSERT_EQ(1, process.Resume());
    ASSERT_TRUE(status.WaitFinished(300000));
}

// The path exists, or a leading part of it that ends before a blank is a file (a program
// followed by its arguments).
bool NamesExistingFile(const std::string& path)
{
    if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    for (size_t blank = path.find(' '); blank != std::string::npos; blank = path.find(' ', blank + 1)) {
        const DWORD attributes = ::GetFileAttributesA(path.substr(0, blank).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return true;
    }
    return false;
}

} // namespace

TEST(ScanJob, AnnouncesAllSixteenCategoriesInOrderWhateverTheMask)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1\\Soft", "Path", folder.PathOf("gone.exe").c_str()));
    ASSERT_TRUE(CreateRegKey(HKEY_USERS, "S-1\\Empty"));
    // Startup entries that name their program as Windows runs it, without its extension: no
    // category takes them for broken.
    const std::string tool = folder.WriteFile("Tools\\tool.exe", "x");
    const std::string bare = tool.substr(0, tool.size() - 4);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        ASSERT_TRUE(WriteRegString(root, kRun, "Bare", bare.c_str()));
        ASSERT_TRUE(WriteRegString(root, kRun, "BareArgs", (bare + " /min").c_str()));
    }
    ASSERT_TRUE(WriteRegString(HKEY_USERS, (std::string("S-1\\") + kRun).c_str(), "BareQuoted",
                               ("\"" + bare + "\" /min").c_str()));
    // Missing under every extension: a file reference to nothing.
    ASSERT_TRUE(WriteRegString(HKEY_USERS, (std::string("S-1\\") + kRun).c_str(), "Gone",
                               (folder.PathOf("Tools\\gone") + " /min").c_str()));

    for (DWORD mask : {DWORD(0), DWORD(SCAN_FPR), DWORD(SCAN_ALL)}) {
        CVexaEngineProcess process(false);
        CRecordingStatus status;
        RunScan(process, status, mask);
        std::vector<std::string> announced = EmptyAnnouncements(status);
        ASSERT_EQ(17u, announced.size()) << mask;
        announced.pop_back();  // the end-of-job announcement
        EXPECT_EQ(kCodes, announced) << mask;
        EXPECT_EQ(2, status.CountProgress(PROGRESS_BEGIN));
        EXPECT_EQ(2, status.CountProgress(PROGRESS_END));
        EXPECT_EQ(1, status.FinishedResult());

        const size_t fpr = FindingsOf(status, SCAN_FPR).size();
        const size_t erk = FindingsOf(status, SCAN_ERK).size();
        EXPECT_EQ(mask & SCAN_FPR ? 2u : 0u, fpr) << mask;
        EXPECT_EQ(mask & SCAN_ERK ? 1u : 0u, erk) << mask;
        // The sandbox holds nothing else for the registry scanners; the file categories look at
        // the real drive C: and the Recycle Bin, and size rows carry no finding.
        size_t registryFindings = 0;
        for (const StatusEvent& item : status.EventsOf(StatusEvent::Item))
            if (item.value == 0 && item.number != SCAN_SRC && item.number != SCAN_TPF && item.text != ITEM_SIZE_TOTAL)
                ++registryFindings;
        EXPECT_EQ(fpr + erk, registryFindings) << mask;
    }
}

TEST(ScanJob, StopFromAStatusCallbackEndsTheJobWithItsFinalReports)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1\\Soft", "Path", folder.PathOf("gone.exe").c_str()));

    CVexaEngineProcess process(false);
    CRecordingStatus status;
    status.onActivity = [&](const char* text, const char* area) {
        if (std::string(area) == "FNT" && !*text)
            process.Stop(1);
    };
    RunScan(process, status, SCAN_ALL);
    std::vector<std::string> announced = EmptyAnnouncements(status);
    ASSERT_EQ(17u, announced.size());
    announced.pop_back();
    EXPECT_EQ(kCodes, announced);
    EXPECT_TRUE(status.EventsOf(StatusEvent::Item).empty());
    EXPECT_EQ(2, status.CountProgress(PROGRESS_END));
    EXPECT_EQ(0, status.FinishedResult());
}

TEST(ScanJob, JudgesFilesAfreshInEveryScan)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    CTempFolder folder;
    const std::string file = folder.PathOf("later.exe");
    ASSERT_TRUE(WriteRegString(HKEY_USERS, "S-1\\Soft", "Path", file.c_str()));

    CVexaEngineProcess process(false);
    CRecordingStatus first;
    RunScan(process, first, SCAN_FPR);
    EXPECT_EQ(1u, FindingsOf(first, SCAN_FPR).size());

    folder.WriteFile("later.exe", "x");
    CRecordingStatus second;
    RunScan(process, second, SCAN_FPR);
    EXPECT_TRUE(FindingsOf(second, SCAN_FPR).empty());
}

TEST(ScanJob, WritesSizeTextsInTheirUnit)
{
    struct Row {
        double kilobytes;
        const char* text;
    };
    const Row rows[] = {
        {0, "0KB"},          {1024, "1024KB"},       {1025, "1MB"},          {1023.4, "1023KB"},
        {1048576, "1024MB"}, {1048577, "1.00GB"},    {3.3 * 1048576, "3.30GB"}, {5000, "5MB"},
    };
    for (const Row& row : rows)
        EXPECT_STREQ(row.text, CScanTestProcess::FormatSizeText(row.kilobytes)) << row.kilobytes;
}

TEST(ScanJob, KeepsScheduledProgramFoldersApartFromTheJunkFolders)
{
    CScanTestProcess process;
    CRecordingStatus status;
    process.BeginDirectScan(&status, SCAN_MODE_NORMAL);
    process.AddScanFolder("C:\\Program Files\\App");
    EXPECT_TRUE(process.ScheduledScanFolders().empty());

    process.BeginDirectScan(&status, SCAN_MODE_SCHEDULED);
    process.AddScanFolder("C:\\Program Files\\App");
    EXPECT_EQ(1u, process.ScheduledScanFolders().size());
    process.StopDirectScan();

    // A new scan starts with no additions, and the program's folders are kept as given.
    CRecordingStatus next;
    const std::set<CString> folders = {"C:", "C:\\Temp"};
    RunScan(process, next, 0, folders, SCAN_MODE_SCHEDULED);
    EXPECT_TRUE(process.ScheduledScanFolders().empty());
}

TEST(ScanJob, ShowsActivityOncePerThresholdItems)
{
    CScanTestProcess process;
    CRecordingStatus status;
    process.BeginDirectScan(&status);
    for (int i = 0; i < 3002; ++i)
        process.ReportScanActivity("item", "FPR");
    for (int i = 0; i < 1002; ++i)
        process.ReportScanActivity("key", "ERK", 1000);
    const std::vector<StatusEvent> shown = status.EventsOf(StatusEvent::Activity);
    ASSERT_EQ(3u, shown.size());
    EXPECT_EQ("FPR", shown[0].area);
    EXPECT_EQ("FPR", shown[1].area);
    EXPECT_EQ("ERK", shown[2].area);
    process.StopDirectScan();
}

// The prefix's registry was written by others and is healthy: a scan over it ends, and every
// file reference it reports names a file that is really not there.
TEST(ScanJobRealWorld, ReportsNoPresentFileAsMissingInThePrefixRegistry)
{
    CVexaEngineProcess process(false);
    CRecordingStatus status;
    RunScan(process, status, SCAN_FPR | SCAN_ERK | SCAN_SAE);
    EXPECT_EQ(1, status.FinishedResult());

    for (const std::string& item : FindingsOf(status, SCAN_FPR)) {
        // Sandboxes of tests that run meanwhile come and go below the user's hive.
        if (item.find("\\Software\\KelvaraTests\\") != std::string::npos)
            continue;
        CString keyText, valueName;
        ASSERT_TRUE(SplitValueItem(item.c_str(), &keyText, &valueName)) << item;
        HKEY root = nullptr;
        CString subKey;
        ASSERT_TRUE(SplitRegistryKeyText(keyText, &root, &subKey)) << item;
        CRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Open(root, subKey, KEY_QUERY_VALUE)) << item;
        CRegistryValue value;
        ASSERT_EQ(ERROR_SUCCESS, ReadRegistryValue(key, valueName == "(Default)" ? "" : valueName.GetString(),
                                                   &value))
            << item;
        CString path;
        CString text = value.Text();
        if (ReferencePathFromText(text, &path) == REFERENCE_FILE) {
            EXPECT_FALSE(NamesExistingFile(path.GetString())) << item << " names " << path.GetString();
        }
    }
    for (const std::string& item : FindingsOf(status, SCAN_ERK)) {
        if (item.find("\\Software\\KelvaraTests") != std::string::npos)
            continue;
        HKEY root = nullptr;
        CString subKey;
        ASSERT_TRUE(SplitRegistryKeyText(item.c_str(), &root, &subKey)) << item;
        CRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Open(root, subKey, KEY_READ)) << item;
        DWORD subkeys = 1, values = 1;
        ASSERT_EQ(ERROR_SUCCESS, ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                                    &values, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(0u, subkeys + values) << item;
    }
    std::printf("[ real registry: %zu file references, %zu empty keys, %zu sound events ]\n",
                FindingsOf(status, SCAN_FPR).size(), FindingsOf(status, SCAN_ERK).size(),
                FindingsOf(status, SCAN_SAE).size());
}
