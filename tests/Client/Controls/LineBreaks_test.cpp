// Breaking long texts into lines for a label that wraps only at spaces: every line fits, nothing
// is lost, and lines end after a separator where one lets them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LineBreaks.h"

namespace {

std::vector<std::string> Lines(const CString& text)
{
    std::vector<std::string> lines;
    std::string rest = static_cast<const char*>(text);
    for (size_t end; (end = rest.find("\r\n")) != std::string::npos; rest.erase(0, end + 2))
        lines.push_back(rest.substr(0, end));
    lines.push_back(rest);
    return lines;
}

TEST(LineBreaksTest, EveryLineFitsAndNothingIsLost)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    HFONT font = ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    const HGDIOBJ old = ::SelectObject(dc, font);
    const struct
    {
        const char* name;
        std::string text;
        int width;
        bool endsAfterSeparators;  // every line but the last
    } cases[] = {
        { "short", "HKEY_CURRENT_USER\\Run", 300, true },
        { "registry path", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{0D43FE01-F093}"
                           "\\DisplayIcon",
          200, true },
        { "value and file", "HKEY_CURRENT_USER\\Software\\Tool\xAC" "C:\\Program Files\\Tool\\tool.exe /min,/tray", 170,
          true },
        { "no separator", std::string(200, 'W'), 90, false },
        { "narrower than a letter", "WWW\\W", 3, false },
    };
    for (const auto& c : cases) {
        const std::vector<std::string> lines = Lines(BreakIntoLines(dc, c.text.c_str(), c.width));
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            joined += line;
            ASSERT_FALSE(line.empty()) << c.name;
            SIZE size = {};
            ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
            if (line.size() > 1) {
                EXPECT_LE(size.cx, c.width) << c.name << ": " << line;
            }
            const char last = line.back();
            if (c.endsAfterSeparators && i + 1 < lines.size()) {
                EXPECT_TRUE(last == '\\' || last == ' ' || last == ',' || last == '\xAC' || last == '/')
                    << c.name << ": " << line;
            }
        }
        EXPECT_EQ(c.text, joined) << c.name;
        if (c.width >= 300) {
            EXPECT_EQ(1u, lines.size()) << c.name;
        } else {
            EXPECT_GT(lines.size(), 1u) << c.name;
        }
    }
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::DeleteDC(dc);
}

} // namespace
