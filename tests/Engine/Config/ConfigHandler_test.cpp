// The configuration store: the file it writes, the files it reads, its shared cursor.
#include <gtest/gtest.h>

#include <string>

#include "Config/ConfigHandler.h"
#include "Database/XmlNesting.h"
#include "TempFolder.h"

namespace {

_STARTUP_PROGRAM_INFORMATION Program(const char* name, long type, int removed, int checked, int local)
{
    _STARTUP_PROGRAM_INFORMATION program;
    program.Name = name;
    program.Data = CString("\"c:\\program files\\") + name + ".exe\" /tray";
    program.RegPath = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    program.Type = type;
    program.Removed = removed;
    program.Checked = checked;
    program.Local = local;
    return program;
}

std::vector<std::string> ReadAllPaths(CConfigHandler& config)
{
    std::vector<std::string> paths;
    const char* path = config.GetFirstCustomizePath();
    if (!path)
        return {"<null>"};
    for (; *path; path = config.GetNextCustomizePath())
        paths.push_back(path);
    return paths;
}

} // namespace

TEST(ConfigHandler, NewConfigSavesDeclarationRootAndTwoEmptyLists)
{
    CTempFolder folder;
    const std::string file = folder.PathOf("config.xml");
    CConfigHandler config;
    ASSERT_EQ(config.CreateConfig(file.c_str()), 1);
    EXPECT_FALSE(FileExists(file));  // nothing on disk before the save
    ASSERT_EQ(config.SaveConfig(), 1);
    const std::string text = ReadWholeFile(file);
    EXPECT_EQ(text.find("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>"), 0u) << text;
    const size_t root = text.find("<Config>");
    const size_t paths = text.find("<CustomizePaths />");
    const size_t programs = text.find("<StartupPrograms />");
    ASSERT_NE(root, std::string::npos) << text;
    ASSERT_NE(paths, std::string::npos) << text;
    ASSERT_NE(programs, std::string::npos) << text;
    EXPECT_LT(root, paths);
    EXPECT_LT(paths, programs);
}

TEST(ConfigHandler, RecordsRoundTripThroughTheFileInOrder)
{
    CTempFolder folder;
    const std::string file = folder.PathOf("config.xml");
    {
        CConfigHandler config;
        ASSERT_EQ(config.CreateConfig(file.c_str()), 1);
        _STARTUP_PROGRAM_INFORMATION first = Program("Alpha & <Co>", 3, 1, 0, 1);
        first.Name += " \"q\" \xE9t\xE9";  // markup and a code-page letter
        _STARTUP_PROGRAM_INFORMATION second = Program("Beta", -2, 0, 1, 0);
        ASSERT_EQ(config.AddStartupProgram(&first), 1);
        ASSERT_EQ(config.AddStartupProgram(&second), 1);
        ASSERT_EQ(config.AddCustomizePath("d:\\data"), 1);
        ASSERT_EQ(config.AddCustomizePath("e:\\more data\\"), 1);
        ASSERT_EQ(config.SaveConfig(), 1);
    }
    const std::string text = ReadWholeFile(file);
    EXPECT_NE(text.find("<StartupProgram Name=\"Beta\" Data='&quot;c:\\program files\\Beta.exe&quot; /tray' "
                        "RegPath=\"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\" "
                        "Type=\"-2\" Removed=\"0\" Local=\"0\" Checked=\"1\" />"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\xC3\xA9t\xC3\xA9"), std::string::npos);  // written as UTF-8

    CConfigHandler config;
    ASSERT_EQ(config.LoadConfig(file.c_str()), 1);
    _STARTUP_PROGRAM_INFORMATION read;
    ASSERT_EQ(config.GetFirstStartupProgram(&read), 1);
    EXPECT_EQ(std::string(read.Name), "Alpha & <Co> \"q\" \xE9t\xE9");
    EXPECT_EQ(read.Type, 3);
    EXPECT_EQ(read.Removed, 1);
    EXPECT_EQ(read.Checked, 0);
    EXPECT_EQ(read.Local, 1);
    ASSERT_EQ(config.GetNextStartupProgram(&read), 1);
    EXPECT_EQ(std::string(read.Name), "Beta");
    EXPECT_EQ(std::string(read.Data), "\"c:\\program files\\Beta.exe\" /tray");
    EXPECT_EQ(read.Type, -2);
    EXPECT_EQ(read.Checked, 1);
    EXPECT_EQ(config.GetNextStartupProgram(&read), 0);
    EXPECT_EQ(ReadAllPaths(config), (std::vector<std::string>{"d:\\data", "e:\\more data\\"}));
}

TEST(ConfigHandler, ReadsAnyRootNameAndListNamesInAnyCase)
{
    CTempFolder folder;
    const std::string file = folder.WriteFile(
        "other.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<Settings>\n"
        "  <customizepaths><CUSTOMIZEPATH PATH=\"c:\\one\" /><Other path=\"c:\\two\" /><CustomizePath/></customizepaths>\n"
        "  <startupprograms>\n"
        "    <startupprogram name=\"NoNumbers\" DATA=\"x.exe\" />\n"
        "    <Whatever Name=\"Second\" Type=\"7\" checked=\"1\" />\n"
        "  </startupprograms>\n"
        "</Settings>\n");
    CConfigHandler config;
    ASSERT_EQ(config.LoadConfig(file.c_str()), 1);
    _STARTUP_PROGRAM_INFORMATION read = Program("stale", 9, 9, 9, 9);
    ASSERT_EQ(config.GetFirstStartupProgram(&read), 1);
    EXPECT_EQ(std::string(read.Name), "NoNumbers");
    EXPECT_EQ(std::string(read.Data), "x.exe");
    EXPECT_EQ(std::string(read.RegPath), "");
    EXPECT_EQ(read.Type, 0);
    EXPECT_EQ(read.Removed, 0);
    EXPECT_EQ(read.Checked, 0);
    ASSERT_EQ(config.GetNextStartupProgram(&read), 1);  // whatever the element's name
    EXPECT_EQ(std::string(read.Name), "Second");
    EXPECT_EQ(read.Type, 7);
    EXPECT_EQ(read.Checked, 1);
    // The paths list ends at the element without a path, which reads as "".
    const char* first = config.GetFirstCustomizePath();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "c:\\one");
    EXPECT_STREQ(config.GetNextCustomizePath(), "c:\\two");
    EXPECT_STREQ(config.GetNextCustomizePath(), "");
    EXPECT_STREQ(config.GetNextCustomizePath(), "");
    // Adding goes into the lists found in any case.
    _STARTUP_PROGRAM_INFORMATION added = Program("Added", 1, 0, 0, 0);
    EXPECT_EQ(config.AddStartupProgram(&added), 1);
    EXPECT_EQ(config.AddCustomizePath("c:\\three"), 1);
}

TEST(ConfigHandler, EmptyListsAndMissingDocument)
{
    CConfigHandler config;
    _STARTUP_PROGRAM_INFORMATION read;
    EXPECT_EQ(config.GetFirstStartupProgram(&read), 0);
    EXPECT_EQ(config.GetFirstCustomizePath(), nullptr);
    EXPECT_STREQ(config.GetNextCustomizePath(), "");
    EXPECT_EQ(config.AddStartupProgram(&read), 0);
    EXPECT_EQ(config.AddCustomizePath("c:\\x"), 0);
    EXPECT_EQ(config.SaveConfig(), 0);

    ASSERT_EQ(config.CreateConfig("unused.xml"), 1);
    const char* path = config.GetFirstCustomizePath();
    ASSERT_NE(path, nullptr);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(config.GetFirstStartupProgram(&read), 0);
    EXPECT_EQ(config.GetFirstStartupProgram(nullptr), 0);
    EXPECT_EQ(config.AddStartupProgram(nullptr), 0);
}

TEST(ConfigHandler, FailedLoadLeavesNoDocument)
{
    CTempFolder folder;
    CConfigHandler config;
    ASSERT_EQ(config.CreateConfig(folder.PathOf("a.xml").c_str()), 1);
    EXPECT_EQ(config.LoadConfig(folder.PathOf("missing.xml").c_str()), 0);
    EXPECT_EQ(config.AddCustomizePath("c:\\x"), 0);
    EXPECT_EQ(config.SaveConfig(), 0);
    const std::string broken = folder.WriteFile("broken.xml", "<Config><CustomizePaths>");
    EXPECT_EQ(config.LoadConfig(broken.c_str()), 0);
    EXPECT_EQ(config.GetFirstCustomizePath(), nullptr);
}

TEST(ConfigHandler, FileNestedBeyondTheLimitIsRefused)
{
    // The configuration nested as deep as allowed, the extra levels inside a startup program.
    const auto configOfDepth = [](int depth) {
        std::string inner;
        for (int i = 0; i < depth - 3; ++i)
            inner += "<x>";
        for (int i = 0; i < depth - 3; ++i)
            inner += "</x>";
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?><Config><CustomizePaths>"
               "<CustomizePath Path=\"c:\\deep\" /></CustomizePaths><StartupPrograms><StartupProgram Name=\"p\">"
               + inner + "</StartupProgram></StartupPrograms></Config>";
    };
    CTempFolder folder;
    CConfigHandler config;
    EXPECT_EQ(config.LoadConfig(folder.WriteFile("deepest.xml", configOfDepth(kMaxXmlNesting)).c_str()), 1);
    EXPECT_EQ(ReadAllPaths(config), std::vector<std::string>{"c:\\deep"});
    EXPECT_EQ(config.LoadConfig(folder.WriteFile("deeper.xml", configOfDepth(kMaxXmlNesting + 1)).c_str()), 0);
    EXPECT_EQ(config.GetFirstCustomizePath(), nullptr);
}

TEST(ConfigHandler, LoadedDocumentIsSavedToTheFileItCameFrom)
{
    CTempFolder folder;
    const std::string first = folder.PathOf("first.xml");
    const std::string second = folder.PathOf("second.xml");
    {
        CConfigHandler writer;
        ASSERT_EQ(writer.CreateConfig(second.c_str()), 1);
        ASSERT_EQ(writer.AddCustomizePath("c:\\from-second"), 1);
        ASSERT_EQ(writer.SaveConfig(), 1);
    }
    CConfigHandler config;
    ASSERT_EQ(config.CreateConfig(first.c_str()), 1);
    ASSERT_EQ(config.SaveConfig(), 1);
    const std::string firstBefore = ReadWholeFile(first);
    ASSERT_EQ(config.LoadConfig(second.c_str()), 1);
    ASSERT_EQ(config.AddCustomizePath("c:\\added"), 1);
    ASSERT_EQ(config.SaveConfig(), 1);
    EXPECT_EQ(ReadWholeFile(first), firstBefore);
    EXPECT_NE(ReadWholeFile(second).find("c:\\added"), std::string::npos);
    // Only the loaded file's entries, not those of the document before.
    EXPECT_EQ(ReadAllPaths(config), (std::vector<std::string>{"c:\\from-second", "c:\\added"}));
}

TEST(ConfigHandler, CursorIsResetWhenTheDocumentIsReplaced)
{
    CTempFolder folder;
    CConfigHandler config;
    ASSERT_EQ(config.CreateConfig(folder.PathOf("a.xml").c_str()), 1);
    ASSERT_EQ(config.AddCustomizePath("c:\\one"), 1);
    ASSERT_EQ(config.AddCustomizePath("c:\\two"), 1);
    ASSERT_STREQ(config.GetFirstCustomizePath(), "c:\\one");
    // The cursor pointed into the dropped document; it must not be followed.
    ASSERT_EQ(config.CreateConfig(folder.PathOf("b.xml").c_str()), 1);
    EXPECT_STREQ(config.GetNextCustomizePath(), "");
    _STARTUP_PROGRAM_INFORMATION read;
    EXPECT_EQ(config.GetNextStartupProgram(&read), 0);

    ASSERT_EQ(config.AddCustomizePath("c:\\three"), 1);
    ASSERT_EQ(config.SaveConfig(), 1);
    ASSERT_STREQ(config.GetFirstCustomizePath(), "c:\\three");
    ASSERT_EQ(config.LoadConfig(folder.PathOf("b.xml").c_str()), 1);
    EXPECT_STREQ(config.GetNextCustomizePath(), "");
}

TEST(ConfigHandler, SaveFailureIsReported)
{
    CTempFolder folder;
    CConfigHandler config;
    ASSERT_EQ(config.CreateConfig(folder.PathOf("no such folder\\config.xml").c_str()), 1);
    EXPECT_EQ(config.SaveConfig(), 0);
}

TEST(ConfigHandler, HandedOutAndTakenBackByTheEngineInterface)
{
    HMODULE engine = ::LoadLibraryA("engine.dll");
    ASSERT_NE(engine, nullptr);
    auto create = reinterpret_cast<PFN_CREATE_VEXA_ENGINE_INTERFACE>(
        reinterpret_cast<void*>(::GetProcAddress(engine, "CreateVexaEngineInterface")));
    auto release = reinterpret_cast<PFN_RELEASE_VEXA_ENGINE_INTERFACE>(
        reinterpret_cast<void*>(::GetProcAddress(engine, "ReleaseVexaEngineInterface")));
    ASSERT_TRUE(create && release);
    CAbstractVexaEngineInterface* engineInterface = create();
    ASSERT_NE(engineInterface, nullptr);
    CAbstractConfigHandler* config = engineInterface->CreateConfigHandler();
    ASSERT_NE(config, nullptr);
    CTempFolder folder;
    const std::string file = folder.PathOf("engine.xml");
    EXPECT_EQ(config->CreateConfig(file.c_str()), 1);
    EXPECT_EQ(config->AddCustomizePath("c:\\through the interface"), 1);
    EXPECT_EQ(config->SaveConfig(), 1);
    engineInterface->ReleaseConfigHandler(config);
    release(engineInterface);
    ::FreeLibrary(engine);
    EXPECT_NE(ReadWholeFile(file).find("c:\\through the interface"), std::string::npos);
}
