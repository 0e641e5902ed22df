// The command line: the schedule word in any spelling, existing files and folders as paths, and
// the splitting of a command line into arguments as the runtime does it.
#include <gtest/gtest.h>

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
