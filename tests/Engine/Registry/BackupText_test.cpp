// The texts and value forms of backup files, as tables: what is written, what reads back, and
// what a reader refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Registry/BackupFormat.h"
#include "Registry/BackupText.h"

namespace {

std::vector<BYTE> Bytes(std::initializer_list<int> bytes)
{
    std::vector<BYTE> data;
    for (int byte : bytes)
        data.push_back(static_cast<BYTE>(byte));
    return data;
}

template <size_t N>
std::vector<BYTE> Wide(const wchar_t (&text)[N])
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + N * sizeof(wchar_t));
}

} // namespace

TEST(BackupText, WritesEveryTextOnOneLineAndReadsItBackExactly)
{
    const struct {
        std::wstring text;
        std::string file;
    } rows[] = {
        {L"plain", "plain"},
        {L"a\r\nb", "a&#13;&#10;b"},
        {L"\r\n\r\n", "&#13;&#10;&#13;&#10;"},
        {L"\t\x01\x1f", "&#9;&#1;&#31;"},
        {L"<&\">'", "&lt;&amp;&quot;>'"},
        {L"&amp;", "&amp;amp;"},
        {L"caf\xe9", "caf\xc3\xa9"},
        {L"\x4e00", "\xe4\xb8\x80"},
        {L"\xD83D\xDE00", "\xf0\x9f\x98\x80"},
        {L"a\xD800z", "a&#xD800;z"},
        {L"\xDC00\xD800", "&#xDC00;&#xD800;"},
    };
    for (const auto& row : rows) {
        const std::string file = WideToFileText(row.text);
        EXPECT_EQ(file, row.file);
        std::wstring back;
        ASSERT_TRUE(FileTextToWide(file, &back)) << file;
        EXPECT_TRUE(back == row.text) << file;
    }
}

TEST(BackupText, ReadsWhatOlderFilesHoldAndRefusesWhatIsNoText)
{
    const struct {
        std::string file;
        bool readable;
        std::wstring text;
    } rows[] = {
        {"&gt;&apos;&#65;&#x42;&#X43;", true, L">'ABC"},
        {"&#x1F600;", true, L"\xD83D\xDE00"},
        {"line\r\nbreaks\nas they stand\r", true, L"line\r\nbreaks\nas they stand\r"},
        {"a\x1a" "b", true, L"a\x1a" L"b"},
        {"", true, L""},
        {"&", false, L""},
        {"a & b", false, L""},
        {"&amp", false, L""},
        {"&amq;", false, L""},
        {"&#;", false, L""},
        {"&#x;", false, L""},
        {"&#0;", false, L""},
        {"&#x110000;", false, L""},
        {"&#12a;", false, L""},
        {"&#0000000065;", false, L""},
        {std::string("a\0b", 3), false, L""},
        {"\x80", false, L""},
        {"\xe4\xb8", false, L""},
        {"\xc0\xaf", false, L""},
        {"\xed\xa0\x80", false, L""},
        {"\xf4\x90\x80\x80", false, L""},
        {"caf\xe9", false, L""},
    };
    for (const auto& row : rows) {
        std::wstring text;
        EXPECT_EQ(FileTextToWide(row.file, &text), row.readable) << row.file;
        if (row.readable) {
            EXPECT_TRUE(text == row.text) << row.file;
        }
    }
}

TEST(BackupValueForm, WritesTheTextFormOnlyWhereItReadsBackExactly)
{
    const DWORD thirty = 30;
    const BYTE* thirtyBytes = reinterpret_cast<const BYTE*>(&thirty);
    const struct {
        DWORD type;
        std::vector<BYTE> data;
        const char* value;
        const char* typeName;
        bool hex;
    } rows[] = {
        {REG_SZ, Wide(L"abc"), "abc", "", false},
        {REG_SZ, Wide(L"\r\nabc"), "&#13;&#10;abc", "", false},
        {REG_SZ, Bytes({'a', 0, 'b', 0}), "61 00 62 00", "REG_SZ", true},
        {REG_SZ, Wide(L"a\0b"), "61 00 00 00 62 00 00 00", "REG_SZ", true},
        {REG_EXPAND_SZ, Wide(L"%x%"), "%x%", "REG_EXPAND_SZ", false},
        {REG_MULTI_SZ, Wide(L"a\0\0b\0"), "a&#13;&#10;&#13;&#10;b", "REG_MULTI_SZ", false},
        {REG_MULTI_SZ, Wide(L"a\r\nb\0"), "61 00 0d 00 0a 00 62 00 00 00 00 00", "REG_MULTI_SZ", true},
        {REG_BINARY, Bytes({0x0a, 0x1b, 0xff}), "0a 1b ff", "REG_BINARY", false},
        {REG_BINARY, {}, "", "REG_BINARY", true},
        {REG_DWORD, std::vector<BYTE>(thirtyBytes, thirtyBytes + 4), "0x0000001e (30)", "REG_DWORD", false},
        {REG_DWORD, Bytes({1, 2}), "01 02", "REG_DWORD", true},
        {REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8}), "0x0807060504030201", "REG_QWORD", false},
        {REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 30}), "00 00 00 1e", "REG_DWORD_BIG_ENDIAN", true},
        {REG_NONE, Bytes({0x61}), "61", "REG_NONE", true},
        {0x1234, Bytes({0x61}), "61", "0x00001234", true},
    };
    for (const auto& row : rows) {
        _BACKUP_VALUE_TEXT text;
        FormatBackupValue(row.type, row.data.data(), row.data.size(), &text);
        EXPECT_EQ(text.value, row.value);
        EXPECT_EQ(text.typeName, row.typeName) << row.value;
        EXPECT_EQ(text.hex, row.hex) << row.value;

        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(ParseBackupValue(text.value, text.typeName.IsEmpty() ? nullptr : &text.typeName, text.hex, &type,
                                     &data))
            << row.value;
        EXPECT_EQ(type, row.type) << row.value;
        EXPECT_EQ(data, row.data) << row.value;
    }
}

TEST(BackupValueForm, ReadsOnlyWellFormedTexts)
{
    const struct {
        const char* value;
        const char* typeName;  // null: no "type" attribute
        bool hex;
        bool readable;
    } rows[] = {
        {"0x0000001e (30)", "REG_DWORD", false, true},
        {"0x0000001e", "reg_dword", false, true},
        {"0xffffffff (-1)", "REG_DWORD", false, true},
        {"0xffffffff (4294967295)", "REG_DWORD", false, true},
        {"", "REG_DWORD", false, true},
        {"0x0000001e (31)", "REG_DWORD", false, false},
        {"0x0000001e (30", "REG_DWORD", false, false},
        {"0x0000001e(30)", "REG_DWORD", false, false},
        {"0x1e", "REG_DWORD", false, false},
        {"0x0000001g (16)", "REG_DWORD", false, false},
        {"0x0000000000000001", "REG_QWORD", false, true},
        {"0x0000000000000001 (1)", "REG_QWORD", false, false},
        {"0a 1b", "REG_BINARY", false, true},
        {"", "REG_BINARY", false, true},
        {"0a  1b", "REG_BINARY", false, false},
        {"0a 1", "REG_BINARY", false, false},
        {"0a&#32;1b", "REG_BINARY", false, true},
        {"0a&#x4e00;1b", "REG_BINARY", false, false},
        {"any text", nullptr, false, true},
        {"any text", "", false, true},
        {"any text", "REG_NONE", false, false},
        {"any text", "REG_DWORDX", false, false},
        {"61 00", "REG_NONE", true, true},
        {"61 00", "0x00001234", true, true},
        {"61 00", nullptr, true, false},
        {"61 00", "0x1234", true, false},
        {"61 00", "REG_SZX", true, false},
        {"61 0", "REG_NONE", true, false},
    };
    for (const auto& row : rows) {
        const CString typeName(row.typeName ? row.typeName : "");
        DWORD type = 0;
        std::vector<BYTE> data;
        EXPECT_EQ(ParseBackupValue(row.value, row.typeName ? &typeName : nullptr, row.hex, &type, &data), row.readable)
            << row.value << " / " << (row.typeName ? row.typeName : "(none)");
    }
    // A type name is compared whole: a zero inside it does not end it.
    const CString withZero(std::string("REG_SZ\0x", 8));
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_FALSE(ParseBackupValue("x", &withZero, false, &type, &data));
}
