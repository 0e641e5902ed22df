#include <gtest/gtest.h>

#include "Database/MD5.h"
#include "TempFolder.h"
#include "TestDataFiles.h"
#include "TestProcess.h"

namespace {

const char kMalwareBody[] = "this file is a known piece of spyware";
const char kOrphanBody[] = "a signature without a record";

std::string DigestText(const std::string& text)
{
    CMD5 md5;
    return CMD5::ToText(md5.DigestBuffer(reinterpret_cast<const unsigned char*>(text.data()),
                                         static_cast<unsigned>(text.size())))
        .GetString();
}

std::string Upper(std::string text)
{
    for (char& ch : text)
        ch = static_cast<char>(::toupper(static_cast<unsigned char>(ch)));
    return text;
}

std::string DatabaseOfVersion(const std::string& version)
{
    return DatabaseXml("LastUpdateDate=\"2026/12/01\" Version=\"" + version + "\"",
                       "<Spyware ID=\"21\" Name=\"Bad Thing\" Details=\"Steals things\" Type=\"2\" />\n",
                       "<Signature Type=\"4\" Value=\"" + Upper(DigestText(kMalwareBody))
                           + "\" SpywareID=\"21\" />\n<Signature Type=\"4\" Value=\"" + DigestText(kOrphanBody)
                           + "\" SpywareID=\"999\" />\n");
}

CString VersionOf(CVexaEngineProcess& process)
{
    CString version = "unset";
    process.GetDatabaseVersion(&version);
    return version;
}

} // namespace

TEST(DatabaseJobs, LoadsAtCreationAndFindsFilesByTheirDigest)
{
    CPrivateTempPath temporary;
    CTempFolder files;
    CEngineDatFile engineDat;
    engineDat.Write(DatabaseOfVersion("7"));

    CVexaEngineProcess process(true);
    EXPECT_EQ(VersionOf(process), "7");

    _SPYWARE_INFORMATION info;
    info.Details = "kept";
    info.Type = 55;
    ASSERT_TRUE(process.CheckFileInDatabase(files.WriteFile("found.exe", kMalwareBody).c_str(), &info));
    EXPECT_EQ(info.ID, 21);
    EXPECT_EQ(info.Name, "Bad Thing");
    EXPECT_EQ(info.Details, "kept");
    EXPECT_EQ(info.Type, 55);

    _SPYWARE_INFORMATION untouched;
    EXPECT_FALSE(process.CheckFileInDatabase(files.WriteFile("clean.exe", "harmless").c_str(), &untouched));
    EXPECT_FALSE(process.CheckFileInDatabase(files.WriteFile("orphan.exe", kOrphanBody).c_str(), &untouched));
    EXPECT_FALSE(process.CheckFileInDatabase(files.PathOf("missing.exe").c_str(), &untouched));
    EXPECT_EQ(untouched.ID, 0);
    EXPECT_TRUE(untouched.Name.IsEmpty());

    CVexaEngineProcess withoutDatabase(false);
    EXPECT_EQ(VersionOf(withoutDatabase), "-1");
    EXPECT_FALSE(withoutDatabase.CheckFileInDatabase(files.PathOf("found.exe").c_str(), &untouched));

    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}

TEST(DatabaseJobs, NoDatabaseWhenTheFileIsMissingOrDamaged)
{
    CPrivateTempPath temporary;
    CEngineDatFile engineDat;
    {
        CVexaEngineProcess process(true);
        EXPECT_EQ(VersionOf(process), "-1");
    }
    engineDat.WriteRaw("not enciphered, not a database");
    {
        CVexaEngineProcess process(true);
        EXPECT_EQ(VersionOf(process), "-1");
    }
    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}

TEST(DatabaseJobs, ReloadReplacesTheDatabaseOnlyWithOneThatLoaded)
{
    CPrivateTempPath temporary;
    CEngineDatFile engineDat;
    engineDat.Write(DatabaseOfVersion("1"));
    CVexaEngineProcess process(true);
    ASSERT_EQ(VersionOf(process), "1");

    engineDat.Write(DatabaseOfVersion("2"));
    {
        CRecordingStatus status;
        ASSERT_EQ(process.StartReloadDatabase(&status), 1);
        EXPECT_EQ(process.GetJobType(), JOB_RELOAD_DATABASE);
        ASSERT_TRUE(RunToEnd(process, status));
        EXPECT_EQ(VersionOf(process), "2");
        std::vector<int> finished;
        for (const StatusEvent& event : status.EventsOf(StatusEvent::Finished))
            finished.push_back(event.number);
        EXPECT_EQ(finished, (std::vector<int>{1, 1}));
    }

    const struct {
        const char* what;
        std::string bytes;  // empty: no file
    } failures[] = {
        {"missing", ""},
        {"not enciphered", DatabaseOfVersion("3")},
        {"no signatures", "<Root><UpdateInfo Version=\"4\" /></Root>"},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.what);
        engineDat.Remove();
        if (std::string(failure.what) == "no signatures")
            engineDat.Write(failure.bytes);
        else if (!failure.bytes.empty())
            engineDat.WriteRaw(failure.bytes);
        CRecordingStatus status;
        ASSERT_EQ(process.StartReloadDatabase(&status), 1);
        ASSERT_TRUE(RunToEnd(process, status));
        EXPECT_EQ(VersionOf(process), "2");
        _SPYWARE_INFORMATION info;
        CTempFolder files;
        EXPECT_TRUE(process.CheckFileInDatabase(files.WriteFile("found.exe", kMalwareBody).c_str(), &info));
    }
    EXPECT_EQ(process.StartReloadDatabase(nullptr), -1);
    EXPECT_EQ(temporary.EngineTempFileCount(), 0);
}
