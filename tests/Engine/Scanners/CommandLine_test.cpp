// The text rules that find the program in a command line and translate service image paths.
#include <gtest/gtest.h>

#include "Scanners/CommandLine.h"

TEST(CommandLine, ProgramEndsAtTheFirstExeThatEndsAPathComponent)
{
    const struct {
        const char* commandLine;
        int firstPosition;
        const char* program;
    } rows[] = {
        {"c:\\app\\uninst.exe", 0, "c:\\app\\uninst.exe"},
        {"c:\\app\\uninst.exe /s", 0, "c:\\app\\uninst.exe"},
        {"c:\\app\\uninst.exe\" /s", 0, "c:\\app\\uninst.exe"},
        {"c:\\app\\uninst.exe/s", 0, "c:\\app\\uninst.exe"},
        {"c:\\app\\UNINST.EXE -x", 0, "c:\\app\\UNINST.EXE"},
        {"c:\\apps\\my.exercise\\uninst.exe", 0, "c:\\apps\\my.exercise\\uninst.exe"},
        {"c:\\apps\\my.exe folder\\x.exe", 0, "c:\\apps\\my.exe"},
        {"c:\\tools\\a.exe\\b.exe", 0, "c:\\tools\\a.exe\\b.exe"},
        {"c:\\app\\run.bat", 0, ""},
        {"c:\\app\\setup.exercise", 0, ""},
        {".exe", 0, ".exe"},
        {".exe", 1, ""},
        {"", 0, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(ProgramPathBeforeExe(row.commandLine, row.firstPosition)), row.program)
            << row.commandLine;

    // No path Windows accepts is longer than 32,767 characters: a ".exe" that ends beyond them
    // ends no program, however long the text goes on.
    const std::string longest = "c:\\" + std::string(32760, 'a') + ".exe";
    ASSERT_EQ(longest.size(), 32767u);
    EXPECT_EQ(ProgramPathBeforeExe((longest + " /s").c_str()).GetLength(), 32767);
    EXPECT_TRUE(ProgramPathBeforeExe(("c:\\a" + longest + " /s").c_str()).IsEmpty());
    std::string repeated;
    for (int i = 0; i < 250000; ++i)
        repeated += ".exe";
    EXPECT_TRUE(ProgramPathBeforeExe(repeated.c_str()).IsEmpty());
    EXPECT_EQ(std::string(ProgramPathBeforeExe(("c:\\x.exe " + repeated).c_str())), "c:\\x.exe");
}

TEST(CommandLine, ServiceImagePathsInNtFormsBecomeWin32Paths)
{
    const char* windows = "c:\\windows";
    const struct {
        const char* image;
        const char* path;
    } rows[] = {
        {"\\SystemRoot\\System32\\svc.exe", "c:\\windows\\System32\\svc.exe"},
        {"\\systemroot\\system32\\svc.exe", "c:\\windows\\system32\\svc.exe"},
        {"SystemRoot\\system32\\svc.exe", "c:\\windows\\system32\\svc.exe"},
        {"\\??\\C:\\Program Files\\svc.exe", "C:\\Program Files\\svc.exe"},
        {"\\\\?\\C:\\svc.exe", "C:\\svc.exe"},
        {"\\??\\UNC\\server\\share\\svc.exe", "\\\\server\\share\\svc.exe"},
        {"\\\\?\\unc\\server\\svc.exe", "\\\\server\\svc.exe"},
        {"system32\\drivers\\x.exe", "c:\\windows\\system32\\drivers\\x.exe"},
        {"c:\\program files\\svc.exe", "c:\\program files\\svc.exe"},
        {"%systemroot%\\system32\\svchost.exe", "%systemroot%\\system32\\svchost.exe"},
        {"\\\\server\\share\\svc.exe", "\\\\server\\share\\svc.exe"},
        {"svchost.exe", "svchost.exe"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(std::string(TranslateServiceImagePath(row.image, windows)), row.path) << row.image;
}
