// The pull reader: the nodes of small documents, binary reading, and errors with their lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MessageBoxRecorder.h"
#include "TempFolder.h"
#include "Xml/XmlReader.h"

namespace {

// One node as "type:name" plus what the node carries ("3:k name=a", "4:text").
std::vector<std::string> Nodes(const std::string& path, std::string* error = nullptr)
{
    std::vector<std::string> nodes;
    CXmlReader reader;
    reader.SetFileName(path.c_str());
    while (reader.Read()) {
        const int type = reader.GetNodeType();
        if (type == CXmlReader::NODE_NONE)
            continue;
        std::string node = std::to_string(type) + ":";
        switch (type) {
        case CXmlReader::NODE_ATTRIBUTE: {
            CString name, value;
            reader.GetAttribute(&name, &value);
            node += reader.GetName().Str() + " " + name.Str() + "=" + value.Str();
            break;
        }
        case CXmlReader::NODE_TEXT: node += reader.GetText().Str(); break;
        case CXmlReader::NODE_DECLARATION: node += reader.GetDeclaration().Str(); break;
        case CXmlReader::NODE_COMMENT:
        case CXmlReader::NODE_CDATA: node += std::to_string(reader.GetLineNumber()); break;
        default: node += reader.GetName().Str();
        }
        nodes.push_back(node);
    }
    if (error)
        *error = reader.GetErrorMessage().Str();
    return nodes;
}

class XmlReaderTest : public ::testing::Test
{
protected:
    std::vector<std::string> Read(const std::string& text, std::string* error = nullptr)
    {
        return Nodes(m_folder.WriteFile("doc" + std::to_string(++m_count) + ".xml", text), error);
    }
    CTempFolder m_folder;
    int m_count = 0;
};

} // namespace

TEST_F(XmlReaderTest, AnEmptyElementGivesItsStartAttributeAndEnd)
{
    EXPECT_EQ(Read("<k name=\"a\"/>"), (std::vector<std::string>{"1:k", "3:k name=a", "2:k"}));
}

TEST_F(XmlReaderTest, DeclarationIndentationAndValuesInEitherQuote)
{
    const auto nodes = Read("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                            " <r a='say \"x\"' b=\"it's > y\">\r\n"
                            " </r>\r\n");
    const std::vector<std::string> expected = {
        "5:?xml", "3: version=1.0", "3: encoding=UTF-8", "4: ", "1:r", "3:r a=say \"x\"", "3:r b=it's > y",
        "4: ", "2:r",
    };
    EXPECT_EQ(nodes, expected);
}

TEST_F(XmlReaderTest, AValueOverSeveralLinesKeepsTheLineEndsOfTheFile)
{
    EXPECT_EQ(Read("<v value=\"a\r\nb\nc\"/>\r\n"),
              (std::vector<std::string>{"1:v", "3:v value=a\r\nb\nc", "2:v"}));
}

TEST_F(XmlReaderTest, AValueKeepsALineBreakAfterItsOpeningQuoteAndItsBlankLines)
{
    EXPECT_EQ(Read("<v a=\"\r\n\r\nx\r\n\r\n\" b=\"\n\n\"/>"),
              (std::vector<std::string>{"1:v", "3:v a=\r\n\r\nx\r\n\r\n", "3:v b=\n\n", "2:v"}));
}

TEST_F(XmlReaderTest, AByteOrderMarkAndBlanksMayStandBeforeTheFirstElement)
{
    EXPECT_EQ(Read("\xEF\xBB\xBF \t\r\n\r\n  <r/>"), (std::vector<std::string>{"1:r", "2:r"}));
    std::string error;
    Read("<r/>\r\n\xEF\xBB\xBF<s/>", &error);
    EXPECT_TRUE(error.empty()) << error;
    Read(" \xEF\xBB\xBF<r/>", &error);
    EXPECT_EQ(error, "Parse error in line 1 : (Syntax error)");
}

TEST_F(XmlReaderTest, RewindReadsTheSameNodesAgain)
{
    const std::string path = m_folder.WriteFile("again.xml", "<r a=\"1\">\r\n <s b='2'/>\r\n</r>\r\n");
    CXmlReader reader;
    reader.SetFileName(path.c_str());
    EXPECT_FALSE(reader.Rewind());
    std::vector<std::vector<std::string>> readings(2);
    for (auto& nodes : readings) {
        while (reader.Read())
            nodes.push_back(std::to_string(reader.GetNodeType()) + reader.GetName().Str() +
                            reader.GetAttributeValue() + ":" + std::to_string(reader.GetLineNumber()));
        EXPECT_FALSE(reader.HasFailed());
        ASSERT_TRUE(reader.Rewind());
    }
    EXPECT_EQ(readings[0], readings[1]);
    EXPECT_NE(std::find(readings[0].begin(), readings[0].end(), "3s2:2"), readings[0].end());
}

TEST_F(XmlReaderTest, ReadsBinaryBytesAndLinesOfAnyLength)
{
    const std::string longValue(200000, 'x');
    const auto nodes = Read("<v a=\"1\x1a" "2\" b=\"" + longValue + "\"/>\r\n<w/>\r\n");
    ASSERT_EQ(nodes.size(), 6u);
    EXPECT_EQ(nodes[1], "3:v a=1\x1a" "2");
    EXPECT_EQ(nodes[2], "3:v b=" + longValue);
    EXPECT_EQ(nodes[4], "1:w");
}

TEST_F(XmlReaderTest, CommentsAndCDataAreReportedLineByLine)
{
    const auto nodes = Read("<!-- one\r\ntwo\r\nthree -->\r\n<r/>\r\n");
    ASSERT_GE(nodes.size(), 3u);
    EXPECT_EQ(nodes.front(), "6:1");
    EXPECT_EQ(nodes[nodes.size() - 3], "6:2");
    EXPECT_EQ(nodes[nodes.size() - 2], "1:r");

    const auto cdata = Read("<r><![CDATA[ x\r\n y ]]></r>\r\n");
    EXPECT_EQ(cdata.front(), "1:r");
    EXPECT_EQ(cdata.back(), "2:r");
}

TEST_F(XmlReaderTest, ParseErrorsNameTheirLine)
{
    struct Row {
        const char* text;
        const char* message;
    };
    const Row rows[] = {
        {"abc", "Parse error in line 1 : (Syntax error)"},
        {"<r>\r\n<k <", "Parse error in line 2 : (Bad '<' symbol)"},
        {"<r>\r\n\r\n<", "Parse error in line 3 : ('<' symbol not allowed at the end of a line)"},
        {"< >", "Parse error in line 1 : (Empty element name)"},
        {"<k =\"x\">", "Parse error in line 1 : (Missing attribute name before '=')"},
        {"<k a=x>", "Parse error in line 1 : (Syntax error)"},
        {"<r>\r\n<k a=\"open", "Parse error in line 2 : (Unexpected end of file)"},
        {"<r>\r\n<k a=\"1\"", "Parse error in line 2 : (Unexpected end of file)"},
        {"<r>\r\n<k a=\"1\"/", "Parse error in line 2 : (Unexpected end of file)"},
        {"<r>\r\n</r", "Parse error in line 2 : (Unexpected end of file)"},
        {"<r>\r\n<!-- open", "Parse error in line 2 : (Unexpected end of file)"},
        {">", "Parse error in line 1 : (Syntax error)"},
        {"/r>", "Parse error in line 1 : (Syntax error)"},
    };
    for (const Row& row : rows) {
        std::string error;
        Read(row.text, &error);
        EXPECT_EQ(error, row.message) << row.text;
    }
}

TEST_F(XmlReaderTest, ErrorsAreShownOnlyWhenAsked)
{
    CMessageBoxRecorder messages;
    const std::string path = m_folder.WriteFile("bad.xml", "abc");
    CXmlReader quiet;
    quiet.SetFileName(path.c_str());
    EXPECT_EQ(quiet.Read(), 0);
    EXPECT_TRUE(quiet.HasFailed());
    EXPECT_TRUE(CMessageBoxRecorder::Texts().empty());

    CXmlReader shown;
    shown.SetFileName(path.c_str());
    shown.SetShowErrors(1);
    EXPECT_EQ(shown.Read(), 0);
    ASSERT_EQ(CMessageBoxRecorder::Texts().size(), 1u);
    EXPECT_EQ(CMessageBoxRecorder::Texts()[0], "Parse error in line 1 : (Syntax error)");

    CXmlReader missing;
    missing.SetFileName(m_folder.PathOf("missing.xml").c_str());
    EXPECT_EQ(missing.Read(), 0);
    EXPECT_TRUE(missing.HasFailed());
}
