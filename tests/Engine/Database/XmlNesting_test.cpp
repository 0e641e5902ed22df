// The nesting guard in front of TinyXML: its count against the parser's own reading, and the
// limit at each entry point of the engine's XML data files.
#include <gtest/gtest.h>

#include <windows.h>
#include <random>
#include <string>
#include <vector>

#include <tinyxml.h>

#include "Database/DatabaseHandler.h"
#include "Database/XmlNesting.h"
#include "TempFolder.h"
#include "TestDataFiles.h"
#include "TestProcess.h"

namespace {

// The depth of the tree TinyXML built. It links every element it began, also when the parse
// failed later, so this is the deepest nesting its parser reached.
int TreeDepth(const TiXmlNode* root)
{
    int deepest = 0;
    std::vector<std::pair<const TiXmlNode*, int>> pending{{root, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = depth > deepest ? depth : deepest;
        for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling())
            if (child->ToElement())
                pending.push_back({child, depth + 1});
    }
    return deepest;
}

int ParsedDepth(const std::string& path, TiXmlEncoding encoding = TIXML_DEFAULT_ENCODING)
{
    TiXmlDocument document;
    document.LoadFile(path.c_str(), encoding);
    return TreeDepth(&document);
}

std::string Nest(int levels, const std::string& name, const std::string& inner = "")
{
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += "<" + name + ">";
    text += inner;
    for (int i = 0; i < levels; ++i)
        text += "</" + name + ">";
    return text;
}

const int kDeepest = kMaxXmlNesting;
const int kTooDeep = kMaxXmlNesting + 1;

// A signature database nested `depth` levels deep: root, "Spywares", a spyware, its item list
// and below it a chain of elements.
std::string DatabaseOfDepth(int depth)
{
    return "<Database><UpdateInfo LastUpdateDate=\"2026/12/01\" Version=\"7\"/><Spywares><Spyware ID=\"1\" "
           "Name=\"Deep\"><Items>"
           + Nest(depth - 4, "Item") + "</Items></Spyware></Spywares><Signatures><Signature Type=\"2\" "
           "Value=\"{deep}\" SpywareID=\"1\"/></Signatures></Database>";
}

} // namespace

TEST(XmlNesting, CountsAsTheParserReadsTheMarkup)
{
    const struct {
        const char* what;
        std::string text;
        TiXmlEncoding encoding;
        int depth;
    } cases[] = {
        {"empty element", "<a/>", TIXML_ENCODING_UNKNOWN, 1},
        {"nested", "<a><b><c/></b><d/></a>", TIXML_ENCODING_UNKNOWN, 3},
        {"markup inside quotes", "<a x='/>' y=\"</a>\"><b/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"comment", "<a><!-- <b><c> --><d/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"CDATA", "<a><![CDATA[<b><c>]]><d/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"'/>' in text", "<a>x/><b>y/><c/></b></a>", TIXML_ENCODING_UNKNOWN, 3},
        {"reference running to the next ';'", "<a>&#x<b>x1;<c/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"unknown markup", "<a><!DOCTYPE <b> ><c/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"processing instruction", "<a><?pi <b>?><c/></a>", TIXML_ENCODING_UNKNOWN, 2},
        {"wrong end tag ends the parse", "<a><b></a><c><d><e/></d></c></b>", TIXML_ENCODING_UNKNOWN, 2},
        {"unclosed", "<a><b><c>", TIXML_ENCODING_UNKNOWN, 3},
        {"line ends", "<a\r\n x='1'\r><b\r/>\r\n</a>", TIXML_ENCODING_UNKNOWN, 2},
        {"single-byte text", "<a>\xE4<b>x</b><c/></a>", TIXML_ENCODING_UNKNOWN, 2},
        // In UTF-8 a lead byte takes the next bytes with it, '<' included.
        {"UTF-8 by byte-order mark", "\xEF\xBB\xBF<a>\xE4<b>x</b><c/></a>", TIXML_ENCODING_UNKNOWN, 1},
        {"UTF-8 as told", "<a>\xE4<b>x</b><c/></a>", TIXML_ENCODING_UTF8, 1},
        {"several roots", "<a/><b><c/></b>", TIXML_ENCODING_UNKNOWN, 2},
    };
    CTempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.WriteFile("case.xml", c.text);
        EXPECT_EQ(XmlNestingDepth(c.text, c.encoding, 100), c.depth);
        EXPECT_EQ(ParsedDepth(path, c.encoding), c.depth);
    }
    // A declaration leaves the reading open until the parser sees what it declares: both
    // readings are counted, and the deeper one stands.
    const std::string declared = "<?xml version=\"1.0\"?><a>\xE4<b>x</b><c/></a>";
    EXPECT_EQ(XmlNestingDepth(declared, TIXML_ENCODING_UNKNOWN, 100), 2);
    EXPECT_EQ(ParsedDepth(folder.WriteFile("declared.xml", declared)), 1);
    // A UTF-8 sequence cut by the end would have the parser read past its buffer.
    EXPECT_EQ(XmlNestingDepth("<a x='\xE4", TIXML_ENCODING_UTF8, 100), 101);
    // The count stops just above the limit it was given.
    EXPECT_EQ(XmlNestingDepth(Nest(1000, "a"), TIXML_ENCODING_UNKNOWN, 10), 11);
    EXPECT_EQ(XmlNestingDepth(Nest(10, "a"), TIXML_ENCODING_UNKNOWN, 10), 10);
}

TEST(XmlNesting, NeverCountsBelowWhatTheParserReaches)
{
    // Documents made of the pieces where a reading most easily goes wrong, checked against the
    // parser itself, for every reading the parser may take.
    const char* const pieces[] = {"<a>", "</a>", "<b x='/>'>", "</b>", "<c/>", "<a y=\"</a>\">", "<!--", "-->",
                                  "<![CDATA[", "]]>", "&#x", "&#", ";", "1", "x", "&amp;", "\xE4", "\xC3",
                                  "\xEF\xBB\xBF", "<?xml version='1.0'?>", "<?xml encoding=\"latin1\"?>", "'", "\"",
                                  "/>", ">", "<", " ", "\r\n", "\r", "<!DOCTYPE d>", "<_>", "</_>", "<\xC3\xA4>", "=",
                                  "<?x ?>"};
    const size_t pieceCount = sizeof(pieces) / sizeof(pieces[0]);
    std::mt19937 random(20261209);
    CTempFolder folder;
    const std::string path = folder.PathOf("random.xml");
    int exact = 0;
    const int documents = 2000;
    for (int i = 0; i < documents; ++i) {
        std::string text;
        const size_t length = 4 + random() % 40;
        for (size_t p = 0; p < length; ++p)
            text += pieces[random() % pieceCount];
        // Blanks at the end keep the parser from reading past its buffer on a cut sequence.
        text += "    ";
        folder.WriteFile("random.xml", text);
        for (TiXmlEncoding encoding : {TIXML_ENCODING_UNKNOWN, TIXML_ENCODING_UTF8}) {
            const int parsed = ParsedDepth(path, encoding);
            const int counted = XmlNestingDepth(text, encoding, 1000);
            ASSERT_GE(counted, parsed) << "document " << i << ": " << text;
            exact += counted == parsed;
        }
    }
    // Nearly always exact: the count is no crude bound that would refuse good documents.
    EXPECT_GT(exact, documents * 2 * 9 / 10);
}

TEST(XmlNesting, LoadsLikeTheParserWithinTheLimitAndRefusesBeyond)
{
    CTempFolder folder;
    const std::string text = "<?xml version=\"1.0\"?>\r\n<Root a='1'>\r\n" + Nest(kDeepest - 1, "n", "t") + "</Root>";
    const std::string path = folder.WriteFile("deepest.xml", text);
    TiXmlDocument ours, theirs;
    ASSERT_TRUE(LoadXmlFile(&ours, path.c_str()));
    ASSERT_TRUE(theirs.LoadFile(path.c_str()));
    TiXmlPrinter ourText, theirText;
    ours.Accept(&ourText);
    theirs.Accept(&theirText);
    EXPECT_EQ(ourText.Str(), theirText.Str());
    EXPECT_EQ(ours.ValueStr(), path);
    EXPECT_EQ(TreeDepth(&ours), kDeepest);

    const std::string tooDeep = folder.WriteFile("deeper.xml", "<Root>" + Nest(kDeepest, "n") + "</Root>");
    TiXmlDocument refused;
    EXPECT_FALSE(LoadXmlFile(&refused, tooDeep.c_str()));
    EXPECT_EQ(refused.FirstChild(), nullptr);
    EXPECT_FALSE(LoadXmlFile(&refused, folder.PathOf("missing.xml").c_str()));
}

TEST(XmlNesting, DeepestAcceptedDocumentFitsTheSmallestThreadStack)
{
    // The system gives no thread less than 64 KB of stack. Loading, printing (as a save does),
    // copying (as a patch is applied) and deleting a document at the limit fits in that with
    // this build's frames, which are larger than those of the 32-bit build.
    CTempFolder folder;
    struct Work {
        std::string path;
        std::string saved;
        bool done = false;
        static DWORD WINAPI Run(LPVOID parameter)
        {
            Work* work = static_cast<Work*>(parameter);
            TiXmlDocument* document = new TiXmlDocument;
            if (LoadXmlFile(document, work->path.c_str()) && document->SaveFile(work->saved.c_str())) {
                TiXmlDocument copy;
                copy.InsertEndChild(*document->RootElement());
                work->done = copy.RootElement() != nullptr;
            }
            delete document;
            return 0;
        }
    } work;
    work.path = folder.WriteFile("deepest.xml", Nest(kDeepest, "Level"));
    work.saved = folder.PathOf("saved.xml");
    HANDLE thread = ::CreateThread(nullptr, 64 * 1024, &Work::Run, &work, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(::WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    ::CloseHandle(thread);
    EXPECT_TRUE(work.done);
}

TEST(XmlNesting, SignatureDatabaseJustWithinAndJustBeyondTheLimit)
{
    CPrivateTempPath temporary;
    CTempFolder folder;
    CDatabaseHandler deepest(folder.WriteFile("deepest.xml", DatabaseOfDepth(kDeepest)).c_str());
    EXPECT_EQ(deepest.LoadDatabase(), 1);
    EXPECT_EQ(deepest.GetVersion(), "7");
    CDatabaseHandler tooDeep(folder.WriteFile("deeper.xml", DatabaseOfDepth(kTooDeep)).c_str());
    EXPECT_EQ(tooDeep.LoadDatabase(), 0);

    // Through the process object, which deciphers "engine.dat" into a temporary file.
    CEngineDatFile engineDat;
    for (const int depth : {kDeepest, kTooDeep}) {
        engineDat.Write(DatabaseOfDepth(depth));
        CVexaEngineProcess process(true);
        CString version;
        process.GetDatabaseVersion(&version);
        EXPECT_EQ(version, depth == kDeepest ? "7" : "-1") << depth;
    }
    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}
