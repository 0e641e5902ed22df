// The command line: the schedule word in any spelling, existing files and folders as paths (by a
// name the engine can open), and the splitting of a command line into arguments as the runtime
// does it.
#include <gtest/gtest.h>

#include "../Program/UnspellableFolder.h"
#include "CommandLineInfoEx.h"
#include "TempFolder.h"

TEST(CommandLineTest, ScheduleInAnySpellingAndExistingPathsOnly)
{
    CTempFolder temp;
    const std::string file = temp.WriteFile("report.txt", "x");
    const std::string folder = temp.MakeFolder("My Folder");
    temp.WriteFile("My Folder\\inside.txt", "x");

    const struct {
        std::vector<std::string> arguments;
        BOOL schedule;
        std::string path;
    } rows[] = {
        { { "schedule" }, TRUE, "" },
        { { "  ScHeDuLe\t" }, TRUE, "" },
        { { file }, FALSE, file },
        { { folder }, FALSE, folder },
        // A quoted folder ending in a backslash arrives with a stray quote.
        { { folder + "\\\"" }, FALSE, folder + "\\" },
        { { temp.Path() + "\\missing.txt" }, FALSE, "" },
        { { file, temp.Path() + "\\missing" }, FALSE, file },
        { { file, folder }, FALSE, folder },
        { { folder, "SCHEDULE" }, TRUE, folder },
        { { "" }, FALSE, "" },
    };
    for (const auto& row : rows) {
        CCommandLineInfoEx info;
        for (const std::string& argument : row.arguments)
            info.ParseParam(argument.c_str(), FALSE, FALSE);
        EXPECT_EQ(row.schedule, info.m_bSchedule) << row.arguments[0];
        EXPECT_EQ(CString(row.path), info.m_strPath) << row.arguments[0];
    }
}

TEST(CommandLineTest, SplitsLikeTheRuntime)
{
    const struct {
        const char* line;
        std::vector<std::string> arguments;
    } rows[] = {
        { "Kelvara.exe SCHEDULE", { "Kelvara.exe", "SCHEDULE" } },
        { "\"C:\\Program Files\\K\\Kelvara.exe\" \"C:\\My Dir\\\"", { "C:\\Program Files\\K\\Kelvara.exe", "C:\\My Dir\"" } },
        { "a   b\t\"c d\"", { "a", "b", "c d" } },
        { "a\\\\\"b c\"", { "a\\b c" } },
        { "a\\\\b \\\"q\\\"", { "a\\\\b", "\"q\"" } },
        { "\"\"", { "" } },
        { "", {} },
    };
    for (const auto& row : rows) {
        const CStringArray split = AfxSplitCommandLine(row.line);
        std::vector<std::string> arguments;
        for (INT_PTR i = 0; i < split.GetSize(); ++i)
            arguments.push_back(static_cast<const char*>(split[i]));
        EXPECT_EQ(row.arguments, arguments) << row.line;
    }
}

TEST(CommandLineTest, APathTheCodePageCannotSpellIsTakenByItsShortName)
{
    CUnspellableFolder unspellable;
    if (unspellable.Path().empty())
        GTEST_SKIP() << "the code page spells every candidate name";
    CTempFolder temp;
    const std::string plain = temp.MakeFolder("Plain Folder");
    CString shortName;
    ASSERT_TRUE(GetScannablePath(unspellable.Path(), shortName));
    // The engine's narrow calls open it by that name, which is the same folder.
    const DWORD attributes = ::GetFileAttributesA(shortName);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY);
    const std::string shortText = static_cast<const char*>(shortName);
    wchar_t longName[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetLongPathNameW(std::wstring(shortText.begin(), shortText.end()).c_str(), longName, MAX_PATH));
    EXPECT_EQ(0, _wcsicmp(unspellable.Path().c_str(), longName));
    CString none;
    EXPECT_FALSE(GetScannablePath(unspellable.Path() + L"\\missing", none));

    wchar_t plainWide[MAX_PATH * 2] = {};
    ASSERT_NE(0, ::MultiByteToWideChar(CP_ACP, 0, plain.c_str(), -1, plainWide, MAX_PATH * 2));
    const struct {
        std::wstring line;
        BOOL schedule;
        CString path;
    } rows[] = {
        { L"Kelvara.exe \"" + unspellable.Path() + L"\"", FALSE, shortName },
        // As the Explorer verb quotes a folder that ends in a backslash: a stray quote at its end.
        { L"Kelvara.exe \"" + unspellable.Path() + L"\\\"", FALSE, shortName },
        { L"\"C:\\Program Files\\Kelvara.exe\" \"" + std::wstring(plainWide) + L"\"", FALSE, CString(plain.c_str()) },
        { L"Kelvara.exe /schedule", TRUE, CString() },
        { L"Kelvara.exe -SCHEDULE \"" + unspellable.Path() + L"\"", TRUE, shortName },
        { L"Kelvara.exe \"" + unspellable.Path() + L"\\missing\"", FALSE, CString() },
        { L"Kelvara.exe", FALSE, CString() },
    };
    for (const auto& row : rows) {
        CCommandLineInfoEx info;
        info.ParseCommandLine(row.line.c_str());
        const std::string line(row.line.begin(), row.line.end());
        EXPECT_EQ(row.schedule, info.m_bSchedule) << line;
        EXPECT_EQ(row.path, info.m_strPath) << line;
        EXPECT_TRUE(info.m_strUnscannablePath.IsEmpty()) << line;
    }
}
