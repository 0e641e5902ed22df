// datafile encipher <plain file> <data file>
// datafile decipher <data file> <plain file>
//
// Makes an "engine.dat" or an update patch from plain XML, or reads one back, with the cipher
// the engine uses. Exit code 0 on success, 1 on a failure, 2 on a wrong command line.
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "AfxMessageBox.h"
#include "Database/DataFileCipher.h"

namespace {

// The cipher tells the user through a message box; on a console the message goes to stderr.
int PrintMessage(HWND, const char* text, const char*, UINT)
{
    std::fprintf(stderr, "%s\n", text);
    return IDOK;
}

int Usage()
{
    std::fprintf(stderr, "usage: datafile encipher <plain file> <data file>\n"
                         "       datafile decipher <data file> <plain file>\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return Usage();
    AfxSetMessageBoxHandler(PrintMessage);
    const char* command = argv[1];
    int result;
    if (std::strcmp(command, "encipher") == 0)
        result = EncryptDataFile(argv[2], argv[3]);
    else if (std::strcmp(command, "decipher") == 0)
        result = DecryptDataFile(argv[2], argv[3]);
    else
        return Usage();
    if (!result) {
        std::fprintf(stderr, "datafile: %s of \"%s\" failed\n", command, argv[2]);
        return 1;
    }
    return 0;
}
