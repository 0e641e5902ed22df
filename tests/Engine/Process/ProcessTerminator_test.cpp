// The terminator against children that the tests start from copies of the child program.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "AfxString.h"
#include "Process/ProcessTerminator.h"
#include "TempFolder.h"

namespace {

// The native query as the system answers it, behind a list that claims to need `required`
// bytes, or a fixed failure.
struct FakeQuery {
    static ULONG required;
    static LONG failure;
    static std::vector<ULONG> sizes;
    static LONG WINAPI Query(ULONG informationClass, PVOID buffer, ULONG size, PULONG returned)
    {
        sizes.push_back(size);
        if (failure)
            return failure;
        if (size < required)
            return static_cast<LONG>(0xC0000004);
        typedef LONG(WINAPI * PFN)(ULONG, PVOID, ULONG, PULONG);
        PFN real = reinterpret_cast<PFN>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
        return real(informationClass, buffer, size, returned);
    }
};
ULONG FakeQuery::required = 0;
LONG FakeQuery::failure = 0;
std::vector<ULONG> FakeQuery::sizes;

// A terminator on a system without the Toolhelp functions.
class CNativeTerminator : public CProcessTerminator
{
public:
    explicit CNativeTerminator(bool fakeQuery) : m_fakeQuery(fakeQuery) {}
    bool UsesNativeList() const { return !HasToolhelp() && HasNativeList(); }

protected:
    FARPROC Lookup(HMODULE module, const char* name) override
    {
        if (std::string(name) == "Process32Next")
            return nullptr;
        if (m_fakeQuery && std::string(name) == "ZwQuerySystemInformation")
            return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeQuery::Query));
        return CProcessTerminator::Lookup(module, name);
    }

private:
    bool m_fakeQuery;
};

// A terminator that takes a test folder for the Windows folder and a given process for the
// shell's, so that stand-ins play the system's processes.
class CStandInTerminator : public CProcessTerminator
{
public:
    CString windows;
    DWORD shell = 0;

protected:
    CString WindowsFolder() const override { return windows; }
    DWORD ShellProcessId() const override { return shell; }
};

std::string OwnImage()
{
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

} // namespace

TEST(ProcessTerminator, EndsEveryProcessOfTheImageAndNoOther)
{
    CTempFolder folder;
    const std::string image = folder.PathOf("Target.exe");
    CChildProcess first(image);
    CChildProcess second(image);
    CChildProcess bystander(folder.PathOf("bystander.exe"));
    ASSERT_TRUE(first.Started() && second.Started() && bystander.Started())
        << "start errors " << first.StartError() << " " << second.StartError() << " " << bystander.StartError();

    CProcessTerminator terminator;
    EXPECT_FALSE(terminator.TerminateByImagePath(image.c_str()));  // not loaded yet
    terminator.Load();
    ASSERT_TRUE(terminator.IsLoaded());
    // The comparison ignores case.
    CString upper(image.c_str());
    upper.MakeUpper();
    EXPECT_TRUE(terminator.TerminateByImagePath(upper));
    ASSERT_TRUE(first.WaitEnded(30000));
    ASSERT_TRUE(second.WaitEnded(30000));
    EXPECT_EQ(first.ExitCode(), 0u);
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(bystander.WaitEnded(0));
    // Nothing left to end.
    EXPECT_FALSE(terminator.TerminateByImagePath(image.c_str()));
    EXPECT_FALSE(terminator.TerminateByImagePath(""));
    EXPECT_FALSE(terminator.TerminateByImagePath(nullptr));
}

TEST(ProcessTerminator, NeverEndsItsOwnProcess)
{
    CTempFolder folder;
    CProcessTerminator terminator;
    terminator.Load();
    // Reaching the next line is the test: this process runs the image.
    EXPECT_FALSE(terminator.TerminateByImagePath(OwnImage().c_str()));
}

TEST(ProcessTerminator, NativeListWhenToolhelpIsIncomplete)
{
    CTempFolder folder;
    const std::string image = folder.PathOf("native.exe");
    CChildProcess child(image);
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    CNativeTerminator terminator(false);
    terminator.Load();
    ASSERT_TRUE(terminator.UsesNativeList());
    EXPECT_TRUE(terminator.TerminateByImagePath(image.c_str()));
    EXPECT_TRUE(child.WaitEnded(30000));
    terminator.Unload();
    EXPECT_FALSE(terminator.IsLoaded());
}

TEST(ProcessTerminator, NativeListBufferDoublesUntilTheListFits)
{
    CTempFolder folder;
    const std::string image = folder.PathOf("grow.exe");
    CChildProcess child(image);
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    CNativeTerminator terminator(true);
    terminator.Load();
    FakeQuery::required = 0x20001;
    FakeQuery::failure = 0;
    FakeQuery::sizes.clear();
    EXPECT_TRUE(terminator.TerminateByImagePath(image.c_str()));
    EXPECT_EQ(FakeQuery::sizes, (std::vector<ULONG>{0x8000, 0x10000, 0x20000, 0x40000}));
    EXPECT_TRUE(child.WaitEnded(30000));
}

TEST(ProcessTerminator, NativeListFailureSetsTheLastError)
{
    CNativeTerminator terminator(true);
    terminator.Load();
    FakeQuery::failure = static_cast<LONG>(0xC0000022);  // access denied
    FakeQuery::sizes.clear();
    ::SetLastError(0);
    EXPECT_FALSE(terminator.TerminateByImagePath("c:\\any.exe"));
    EXPECT_EQ(::GetLastError(), 0xC0000022u);
    EXPECT_EQ(FakeQuery::sizes.size(), 1u);
    FakeQuery::failure = 0;
}

TEST(ProcessTerminator, NeverEndsTheSystemsOwnProcesses)
{
    CTempFolder folder;
    folder.MakeFolder("Windows\\System32");
    folder.MakeFolder("Apps");
    const struct {
        const char* what;
        std::string image;
        bool shell;
    } cases[] = {
        {"session manager", folder.PathOf("Apps\\smss.exe"), false},
        {"client/server runtime", folder.PathOf("Apps\\csrss.exe"), false},
        {"logon", folder.PathOf("Apps\\WinLogon.EXE"), false},
        {"service control", folder.PathOf("Apps\\services.exe"), false},
        {"security", folder.PathOf("Apps\\lsass.exe"), false},
        {"shell", folder.PathOf("Apps\\explorer.exe"), false},
        {"in the Windows folder", folder.PathOf("Windows\\System32\\tool.exe"), false},
        {"the process of the shell's window", folder.PathOf("Apps\\desk.exe"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CChildProcess standIn(c.image);
        ASSERT_TRUE(standIn.Started()) << "start error " << standIn.StartError();
        CStandInTerminator terminator;
        terminator.windows = folder.PathOf("Windows").c_str();
        terminator.shell = c.shell ? standIn.Id() : 0;
        terminator.Load();
        bool protectedImage = false;
        EXPECT_FALSE(terminator.TerminateByImagePath(c.image.c_str(), &protectedImage));
        EXPECT_TRUE(protectedImage);
        EXPECT_TRUE(terminator.IsImageOfProtectedProcess(c.image.c_str()));
        EXPECT_FALSE(standIn.WaitEnded(0));
    }
    // Ordinary programs beside them, one in a folder whose name only begins like the Windows
    // folder's, are ended.
    for (const std::string& image : {folder.PathOf("Apps\\spy.exe"), folder.PathOf("Windows2\\spy.exe")}) {
        SCOPED_TRACE(image);
        folder.MakeFolder("Windows2");
        CChildProcess ordinary(image);
        ASSERT_TRUE(ordinary.Started()) << "start error " << ordinary.StartError();
        CStandInTerminator terminator;
        terminator.windows = folder.PathOf("Windows").c_str();
        terminator.Load();
        bool protectedImage = true;
        EXPECT_FALSE(terminator.IsImageOfProtectedProcess(image.c_str()));
        EXPECT_TRUE(terminator.TerminateByImagePath(image.c_str(), &protectedImage));
        EXPECT_FALSE(protectedImage);
        EXPECT_TRUE(ordinary.WaitEnded(30000));
    }
}
