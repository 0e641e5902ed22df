// Texts that a hostile registry or data file can make long: a path with tens of thousands of
// trailing separators, and a white list of many entries. Prints the time for growing sizes, so
// that the growth shows (each doubling of the input should about double the time).
//   text_bench.exe            run under Wine (or Windows) by hand
#include <windows.h>

#include <cstdio>
#include <string>

#include "EngineProcess.h"
#include "Scanners/PathText.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

template <class Work>
double Time(Work work)
{
    LARGE_INTEGER from, to;
    ::QueryPerformanceCounter(&from);
    work();
    ::QueryPerformanceCounter(&to);
    return Seconds(from, to);
}

class CWhiteListProcess : public CVexaEngineProcess
{
public:
    CWhiteListProcess() : CVexaEngineProcess(false) {}
    using CVexaEngineProcess::LoadWhiteList;
    std::string file;

protected:
    CString WhiteListFilePath() override { return file.c_str(); }
};

} // namespace

int main()
{
    std::printf("%-44s %10s %10s\n", "input", "size", "seconds");
    for (int separators : {17500, 35000, 70000, 140000}) {
        const CString path = CString("C:\\Temp") + CString(std::string(static_cast<size_t>(separators), '\\').c_str());
        CString key;
        const double seconds = Time([&] { key = NormalizedPathKey(path); });
        std::printf("%-44s %10d %10.4f\n", "path with trailing separators", separators, seconds);
    }

    char folder[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, folder);
    CWhiteListProcess process;
    process.file = std::string(folder) + "kelvara_text_bench_whitelist.dat";
    for (int entries : {25000, 50000, 100000, 200000}) {
        std::string list;
        for (int i = 0; i < entries; ++i)
            list += "c:\\program files\\vendor " + std::to_string(i) + "\\;";
        FILE* out = std::fopen(process.file.c_str(), "wb");
        if (!out)
            return 1;
        std::fwrite(list.data(), 1, list.size(), out);
        std::fclose(out);
        BOOL found = FALSE;
        const double seconds = Time([&] { found = process.LoadWhiteList("c:\\windows\\not listed.exe"); });
        std::printf("%-44s %10d %10.4f\n", found ? "white list (found?)" : "white list, text not in it", entries,
                    seconds);
    }
    ::DeleteFileA(process.file.c_str());
    return 0;
}
