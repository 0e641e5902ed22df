// Stack used by TinyXML per element level, for the nesting limit of the engine's XML data files:
// parse, print (as a save does), copy (as a patch is applied) and delete a document nested N
// levels deep, each on a fresh thread whose stack is marked beforehand, and
// print the deepest stack reached and the bytes per level. Also times the nesting walk on a
// large flat document.
//   xml_nesting_bench.exe            run under Wine (or Windows) by hand, for each build
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <tinyxml.h>

#include "Database/XmlNesting.h"

namespace {

const SIZE_T kThreadStack = 16 * 1024 * 1024;
const unsigned char kMark = 0xA5;

std::string Nested(int levels)
{
    std::string text = "<?xml version=\"1.0\" ?>\n";
    for (int i = 0; i < levels; ++i)
        text += "<Level Depth=\"" + std::to_string(i) + "\">";
    for (int i = 0; i < levels; ++i)
        text += "</Level>";
    return text;
}

enum WORK { WORK_PARSE, WORK_PRINT, WORK_COPY, WORK_DELETE, WORK_COUNT };
const char* const kWorkNames[] = {"parse", "print", "copy", "delete"};

struct Measure {
    const std::string* text;
    WORK work;
    TiXmlDocument* prepared;  // parsed beforehand for the other kinds of work
    SIZE_T used;
};

void Work(Measure* measure)
{
    switch (measure->work) {
    case WORK_PARSE: {
        TiXmlDocument* document = new TiXmlDocument;
        document->Parse(measure->text->c_str());
        measure->prepared = document;  // deleted by the caller, on another thread
        break;
    }
    case WORK_PRINT: {
        FILE* sink = std::fopen("NUL", "w");
        measure->prepared->Print(sink, 0);
        std::fclose(sink);
        break;
    }
    case WORK_COPY: {
        TiXmlDocument copy;
        copy.InsertEndChild(*measure->prepared->RootElement());
        copy.Clear();
        break;
    }
    case WORK_DELETE:
        delete measure->prepared;
        measure->prepared = nullptr;
        break;
    default: break;
    }
}

// Commits and marks `size` bytes of stack below the caller (alloca probes page by page, as the
// system's guard page wants); *lowest gets their lowest address.
__attribute__((noinline)) void MarkStack(SIZE_T size, const unsigned char** lowest)
{
    unsigned char* block = static_cast<unsigned char*>(__builtin_alloca(size));
    std::memset(block, kMark, size);
    // The marks must stay written although the block is never read here.
    asm volatile("" : : "r"(block) : "memory");
    *lowest = block;
}

// Marks the stack below this frame, does the work, and finds the lowest byte the work changed.
DWORD WINAPI MeasureThread(LPVOID parameter)
{
    Measure* measure = static_cast<Measure*>(parameter);
    volatile unsigned char here = 0;
    const ULONG_PTR at = reinterpret_cast<ULONG_PTR>(&here);
    const unsigned char* bottom = nullptr;
    MarkStack(kThreadStack / 2, &bottom);
    Work(measure);
    const unsigned char* lowest = bottom;
    while (reinterpret_cast<ULONG_PTR>(lowest) < at && *lowest == kMark)
        ++lowest;
    measure->used = static_cast<SIZE_T>(at - reinterpret_cast<ULONG_PTR>(lowest));
    return 0;
}

SIZE_T StackUse(const std::string& text, WORK work, TiXmlDocument** prepared)
{
    Measure measure = {&text, work, *prepared, 0};
    HANDLE thread = ::CreateThread(nullptr, kThreadStack, &MeasureThread, &measure,
                                   STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread)
        return 0;
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    *prepared = measure.prepared;
    return measure.used;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

} // namespace

int main()
{
    std::printf("build: %d-bit, nesting limit %d\n", static_cast<int>(sizeof(void*) * 8), kMaxXmlNesting);
    const int depths[] = {16, kMaxXmlNesting, 256, 1024};
    SIZE_T use[4][WORK_COUNT] = {};
    std::printf("%8s", "levels");
    for (const char* name : kWorkNames)
        std::printf(" %10s", name);
    std::printf("   (bytes of stack)\n");
    for (int d = 0; d < 4; ++d) {
        const std::string text = Nested(depths[d]);
        TiXmlDocument* document = nullptr;
        for (int work = 0; work < WORK_COUNT; ++work)
            use[d][work] = StackUse(text, static_cast<WORK>(work), &document);
        delete document;
        std::printf("%8d", depths[d]);
        for (int work = 0; work < WORK_COUNT; ++work)
            std::printf(" %10lu", static_cast<unsigned long>(use[d][work]));
        std::printf("\n");
    }
    std::printf("%8s", "per level");
    SIZE_T worst = 0;
    for (int work = 0; work < WORK_COUNT; ++work) {
        const SIZE_T perLevel = (use[3][work] - use[0][work]) / static_cast<SIZE_T>(depths[3] - depths[0]);
        worst = perLevel > worst ? perLevel : worst;
        std::printf(" %10lu", static_cast<unsigned long>(perLevel));
    }
    std::printf("\n");
    for (SIZE_T stack : {SIZE_T(64) * 1024, SIZE_T(1024) * 1024, SIZE_T(2048) * 1024})
        std::printf("levels that fill a %4lu KB stack: about %lu\n", static_cast<unsigned long>(stack / 1024),
                    static_cast<unsigned long>(stack / (worst ? worst : 1)));

    // The walk itself, on a flat document of the size of a large signature database.
    std::string flat = "<Database><Signatures>";
    for (int i = 0; i < 200000; ++i)
        flat += "<Signature Type=\"4\" Value=\"0123456789abcdef0123456789abcdef\" SpywareID=\"" + std::to_string(i)
                + "\" />\n";
    flat += "</Signatures></Database>";
    LARGE_INTEGER from, to;
    ::QueryPerformanceCounter(&from);
    const int depth = XmlNestingDepth(flat, TIXML_ENCODING_UNKNOWN, kMaxXmlNesting);
    ::QueryPerformanceCounter(&to);
    std::printf("walk of %.1f MB, depth %d: %.3f s\n", double(flat.size()) / (1024.0 * 1024.0), depth,
                Seconds(from, to));
    return 0;
}
