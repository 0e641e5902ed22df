// The streaming XML writer: exact bytes of a document, attributes, and its sticky failure.
#include <gtest/gtest.h>

#include "TempFolder.h"
#include "Xml/XmlWriter.h"

namespace {

const char kSmallDocument[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                              " <registry>\r\n"
                              "  <k name=\"a\" x=\"1\"/>\r\n"
                              " </registry>\r\n";

void WriteSmallDocument(CXmlWriter* writer)
{
    const CXmlElement root("registry");
    CXmlElement child("k");
    child.SetAttribute("name", "a");
    child.SetAttribute("x", "1");
    root.WriteStartTag(writer);
    child.WriteEmptyTag(writer);
    writer->WriteEndTag(root);
}

} // namespace

TEST(XmlWriter, BothWritersGiveTheSameBytes)
{
    CXmlStringWriter text;
    WriteSmallDocument(&text);
    EXPECT_EQ(text.GetString(), kSmallDocument);
    EXPECT_EQ(text.GetDepth(), 0);

    CTempFolder folder;
    CXmlWriter file;
    file.SetFileName(folder.PathOf("small.xml").c_str());
    WriteSmallDocument(&file);
    EXPECT_EQ(file.Close(), 1);
    EXPECT_EQ(ReadWholeFile(folder.PathOf("small.xml")), kSmallDocument);
}

TEST(XmlWriter, ANewDocumentAfterCloseAndTheFileNameFixedWhileOpen)
{
    CTempFolder folder;
    CXmlWriter writer;
    writer.SetFileName(folder.PathOf("first.xml").c_str());
    WriteSmallDocument(&writer);
    writer.SetFileName(folder.PathOf("ignored.xml").c_str());
    ASSERT_EQ(writer.Close(), 1);
    EXPECT_FALSE(FileExists(folder.PathOf("ignored.xml")));

    // The same writer, a new name: a whole new document, declaration included.
    writer.SetFileName(folder.PathOf("second.xml").c_str());
    WriteSmallDocument(&writer);
    ASSERT_EQ(writer.Close(), 1);
    EXPECT_EQ(ReadWholeFile(folder.PathOf("first.xml")), kSmallDocument);
    EXPECT_EQ(ReadWholeFile(folder.PathOf("second.xml")), kSmallDocument);
}

TEST(XmlWriter, AFailedWriteSticksUntilTheDocumentIsClosed)
{
    CTempFolder folder;
    CXmlWriter writer;
    writer.SetFileName(folder.PathOf("missing folder\\x.xml").c_str());
    const CXmlElement root("registry");
    root.WriteStartTag(&writer);
    EXPECT_TRUE(writer.HasFailed());

    // The file can be created now, but the document already lacks its first line.
    writer.SetFileName(folder.PathOf("x.xml").c_str());
    EXPECT_EQ(writer.Write(" text\r\n"), 0);
    EXPECT_TRUE(writer.HasFailed());
    writer.WriteEndTag(root);
    EXPECT_EQ(writer.Close(), 0);
    EXPECT_FALSE(writer.HasFailed());
}

TEST(XmlElement, AttributesKeepTheirOrderAndTheLastValueOfAName)
{
    CXmlElement element("v");
    element.SetAttribute("name", "a");
    element.SetAttribute("value", "1");
    element.SetAttribute("name", "b");
    element.SetAttribute("Name", "c");
    ASSERT_EQ(element.GetAttributeCount(), 3);
    EXPECT_EQ(element.GetAttributeName(0), "name");
    EXPECT_EQ(element.GetAttributeValue(0), "b");
    EXPECT_EQ(element.GetAttributeName(2), "Name");
    EXPECT_TRUE(element.HasAttribute("Name"));
    EXPECT_FALSE(element.HasAttribute("NAME"));
    EXPECT_EQ(element.GetAttributeName(3), "");
    EXPECT_EQ(element.GetAttributeValue(-1), "");
}
