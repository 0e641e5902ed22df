#include <gtest/gtest.h>

#include "Spyware.h"

#include "Database/DatabaseHandler.h"
#include "TempFolder.h"
#include "TestDataFiles.h"

namespace {

const char kSignatures[] =
    "<Signature Type=\"1\" Value=\"MixedCase.exe\" SpywareID=\"10\" />\n"
    "<Signature Type=\"1\" Value=\"lowerexact\" SpywareID=\"11\" />\n"
    "<Signature Type=\"2\" Value=\"{ABCDEF01-0000}\" SpywareID=\"12\" />\n"
    "<Signature Type=\"2\" Value=\"{abcdef01-0000}\" SpywareID=\"99\" />\n"
    "<Signature Type=\"4\" Value=\"0123456789ABCDEF0123456789ABCDEF\" SpywareID=\"13\" />\n"
    "<Signature Type=\"4\" Value=\"SHORTHASH\" SpywareID=\"14\" />\n"
    "<Signature Type=\"5\" Value=\"Both.Bits\" SpywareID=\"15\" />\n"
    "<Signature Type=\"6\" Value=\"SIX\" SpywareID=\"16\" />\n"
    "<Signature Type=\"6\" Value=\"ABCDEFGHIJKLMNOPQRSTUV\" SpywareID=\"17\" />\n"
    "<Sig TYPE=\"4\" value=\"\" spywareid=\"18\" />\n";

class DatabaseHandlerTest : public ::testing::Test
{
protected:
    std::string Write(const std::string& xml) { return m_folder.WriteFile("db.xml", xml); }
    CTempFolder m_folder;
};

} // namespace

TEST_F(DatabaseHandlerTest, QueriesPickTablesByFlagsAndKeyForms)
{
    CDatabaseHandler database(Write(DatabaseXml("Version=\"3\"", "", kSignatures)).c_str());
    ASSERT_EQ(database.LoadDatabase(), 1);

    const struct {
        int flags;
        const char* value;
        const char* text;
        const char* hash;
        long expected;  // 0: no match
    } cases[] = {
        // Exact only: the value is lower-cased, so only exact signatures stored in lower case match.
        {1, "MixedCase.exe", "", "", 0},
        {1, "LowerExact", "", "", 11},
        // Exact and file hash: the value as given, then the hash.
        {5, "MixedCase.exe", "", "", 10},
        {5, "Both.Bits", "", "", 15},
        {5, "nothing", "", "0123456789abcdef0123456789abcdef", 13},
        // Type 5 goes to the exact table only.
        {4, "", "", "xboth.bits", 0},
        // File hash: characters 2 to 20 of the digest, as given.
        {4, "", "", "0123456789abcdef0123456789abcdef", 13},
        {4, "", "", "f123456789abcdef0123ffffffffffff", 13},
        {4, "", "", "0123456789ABCDEF0123456789ABCDEF", 0},
        {4, "", "", "xshorthash", 14},
        {4, "", "", "xsix", 16},
        // Type 6 is stored lower-cased and uncut, so a 19-character cut never reaches it.
        {4, "", "", "abcdefghijklmnopqrstuv", 0},
        {4, "", "", "", 18},
        // Neither: the text table, lower-cased; the first of two equal keys wins.
        {2, "", "{ABCDEF01-0000}", "", 12},
        {0, "", "{abcdef01-0000}", "", 12},
        {2, "", "mixedcase.exe", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.flags << " " << c.value << "|" << c.text << "|" << c.hash);
        _SIGNATURE_QUERY query;
        query.Value = c.value;
        query.Text = c.text;
        query.Hash = c.hash;
        query.Flags = c.flags;
        long id = -5;
        EXPECT_EQ(database.FindSignature(query, &id), c.expected ? 1 : 0);
        EXPECT_EQ(id, c.expected ? c.expected : -5);
    }
}

TEST_F(DatabaseHandlerTest, ReadsRecordsWhateverTheCaseOfNamesAndKeepsTheFirstOfAnId)
{
    const std::string xml =
        "<Root>\n<UPDATEINFO lastupdatedate=\"2026-12-01\" VERSION=\"42\" />\n<SPYWARES>\n"
        "<Spyware id=\"7\" NAME=\"Seven\" Details=\"Seven's details\" Type=\"3\">"
        "<Items><Item Value=\"a.dll;b.dll\" Type=\"2\" /><Anything value=\"HKLM\\Software\\Seven\" type=\"5\" /></Items>"
        "<More><Item Value=\"not an item\" Type=\"8\" /></More></Spyware>\n"
        "<Whatever ID=\" -12abc\" Name=\"Negative\" />\n"
        "<Spyware ID=\"7\" Name=\"Duplicate\" />\n"
        "</SPYWARES>\n<signatures />\n</Root>\n";
    CDatabaseHandler database(Write(xml).c_str());
    ASSERT_EQ(database.LoadDatabase(), 1);
    EXPECT_EQ(database.GetVersion(), "42");
    EXPECT_EQ(database.SpywareCount(), 2u);

    const _SPYWARE_INFORMATION* seven = database.FindSpyware(7);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->Name, "Seven");
    EXPECT_EQ(seven->Details, "Seven's details");
    EXPECT_EQ(seven->Type, 3);
    ASSERT_EQ(seven->Items.size(), 2u);
    EXPECT_EQ(seven->Items[0].Value, "a.dll;b.dll");
    EXPECT_EQ(seven->Items[0].Type, 2);
    EXPECT_EQ(seven->Items[1].Value, "HKLM\\Software\\Seven");
    EXPECT_EQ(seven->Items[1].Type, 5);

    const _SPYWARE_INFORMATION* negative = database.FindSpyware(-12);
    ASSERT_NE(negative, nullptr);
    EXPECT_EQ(negative->Name, "Negative");
    EXPECT_EQ(negative->Type, 0);
    EXPECT_TRUE(negative->Details.IsEmpty());
    EXPECT_TRUE(negative->Items.empty());
    EXPECT_EQ(database.FindSpyware(8), nullptr);

    _SPYWARE_INFORMATION empty;
    CSpyware copy(empty);
    ASSERT_EQ(database.GetSpywareInformation(7, &copy), 1);
    EXPECT_STREQ(copy.GetName(), "Seven");
    EXPECT_EQ(copy.GetID(), 7);
    EXPECT_EQ(database.GetSpywareInformation(8, &copy), 0);
    EXPECT_STREQ(copy.GetName(), "Seven");  // unchanged
}

TEST_F(DatabaseHandlerTest, StaysUnloadedWithoutSignaturesOrDocument)
{
    CDatabaseHandler noSignatures(
        Write("<Root><UpdateInfo Version=\"1\" /><Spywares><S ID=\"1\" /></Spywares></Root>").c_str());
    EXPECT_EQ(noSignatures.LoadDatabase(), 0);
    EXPECT_EQ(noSignatures.LoadDatabase(), 0);
    EXPECT_FALSE(noSignatures.IsLoaded());
    EXPECT_EQ(noSignatures.SpywareCount(), 1u);

    CDatabaseHandler broken(m_folder.WriteFile("broken.xml", "<Root><Spywares>").c_str());
    EXPECT_EQ(broken.LoadDatabase(), 0);
    CDatabaseHandler missing(m_folder.PathOf("missing.xml").c_str());
    EXPECT_EQ(missing.LoadDatabase(), 0);
    CDatabaseHandler unnamed("");
    EXPECT_EQ(unnamed.LoadDatabase(), 0);
}

TEST_F(DatabaseHandlerTest, LoadsFromAnEncipheredFileAndDeletesThePlainText)
{
    CPrivateTempPath temporary;
    const std::string good = m_folder.PathOf("engine.dat");
    WriteEncipheredFile(good, DatabaseXml("Version=\"5\"", "<Spyware ID=\"1\" Name=\"One\" />", kSignatures));
    std::unique_ptr<CDatabaseHandler> loaded(CDatabaseHandler::LoadFromDataFile(good.c_str()));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->IsLoaded());
    EXPECT_EQ(loaded->GetVersion(), "5");
    EXPECT_EQ(loaded->SignatureCount(), 9u);
    // Loaded handlers never read their file again.
    EXPECT_EQ(loaded->LoadDatabase(), 1);

    const std::string plainNotEnciphered = m_folder.WriteFile("plain.dat", DatabaseXml("Version=\"5\"", "", ""));
    EXPECT_EQ(CDatabaseHandler::LoadFromDataFile(plainNotEnciphered.c_str()), nullptr);
    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}
