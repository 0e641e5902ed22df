// Extensions whose open command names a missing program, and empty extension keys.
#include "RegistryScannerTest.h"

namespace {

void Associate(const char* extension, const char* className, const std::string& command)
{
    WriteRegString(HKEY_CLASSES_ROOT, extension, "", className);
    if (!command.empty())
        WriteRegString(HKEY_CLASSES_ROOT, (std::string(className) + "\\shell\\open\\command").c_str(), "",
                       command.c_str());
}

} // namespace

class FileAssociationScan : public RegistryScannerTest {};

TEST_F(FileAssociationScan, ReportsExtensionsWithMissingProgramsAndEmptyKeys)
{
    Associate(".gone", "gone.class", "\"" + Missing("viewer.exe") + "\" \"%1\"");
    Associate(".caps", "caps.class", "\"" + Missing("OTHER.EXE") + "\" %1");
    Associate(".here", "here.class", "\"" + Present("present.exe") + "\" \"%1\"");
    Associate(".byname", "byname.class", "notepad.exe %1");
    Associate(".nocommand", "nocommand.class", "");
    CreateRegKey(HKEY_CLASSES_ROOT, "nocommand.class\\DefaultIcon");
    Associate(".batch", "batch.class", Missing("run.bat") + " %1");
    Associate(".noclass", "missing.class", "");
    CreateRegKey(HKEY_CLASSES_ROOT, ".empty");
    CreateRegKey(HKEY_CLASSES_ROOT, ".withsubkey\\ShellNew");
    WriteRegString(HKEY_CLASSES_ROOT, ".withvalue", "Content Type", "text/plain");
    WriteRegString(HKEY_CLASSES_ROOT, ".emptyclass", "", "");
    Associate("nodot", "nodot.class", Missing("nodot.exe"));

    CScannerHarness scanner;
    scanner.ScanFileAssociations();
    EXPECT_EQ(scanner.SortedFindings(SCAN_FAS),
              Sorted({"HKEY_CLASSES_ROOT\\.caps", "HKEY_CLASSES_ROOT\\.empty", "HKEY_CLASSES_ROOT\\.gone"}));
}
