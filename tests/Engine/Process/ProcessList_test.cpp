// Process, module and thread snapshots of this test program and of children it starts.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Process/ProcessList.h"
#include "TempFolder.h"

namespace {

std::string OwnImagePath()
{
    char path[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// The SID of this process's user, in a buffer of its own.
std::vector<BYTE> OwnUserSid()
{
    HANDLE token = nullptr;
    std::vector<BYTE> sid;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return sid;
    BYTE buffer[512];
    DWORD size = 0;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size)) {
        PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + ::GetLengthSid(user));
    }
    ::CloseHandle(token);
    return sid;
}

} // namespace

TEST(ProcessList, FindsThisProcessWithImagePathAndOwner)
{
    CProcessList list;
    ASSERT_GT(list.GetSize(), 0);
    _PROCESS_INFORMATION_EX* self = list.FindProcess(::GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(self->Entry.dwSize, sizeof(PROCESSENTRY32));
    EXPECT_EQ(lstrcmpiA(self->ImagePath, OwnImagePath().c_str()), 0) << self->ImagePath;
    std::vector<BYTE> user = OwnUserSid();
    ASSERT_FALSE(user.empty());
    ASSERT_NE(self->Owner, nullptr);
    EXPECT_TRUE(::EqualSid(self->Owner, user.data()));

    EXPECT_EQ(list.FindProcess(0xFFFFFFF0), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(list.GetSize()), nullptr);
    EXPECT_NE(list.GetAt(list.GetSize() - 1), nullptr);
}

TEST(ProcessList, FindsByFragmentOfNameOrFolderCaseKept)
{
    CTempFolder folder;
    const std::string dir = folder.MakeFolder("SnapshotProbeDir");
    CChildProcess child(dir + "\\probe_child.exe");
    ASSERT_TRUE(child.Started()) << "start error " << child.StartError();
    CProcessList list;
    _PROCESS_INFORMATION_EX* byFolder = list.FindProcessByText("SnapshotProbeDir");
    ASSERT_NE(byFolder, nullptr);
    EXPECT_EQ(byFolder->Entry.th32ProcessID, child.Id());
    _PROCESS_INFORMATION_EX* byName = list.FindProcessByText("probe_chi");
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName->Entry.th32ProcessID, child.Id());
    EXPECT_EQ(list.FindProcessByText("SNAPSHOTPROBEDIR"), nullptr);
    EXPECT_EQ(list.FindProcessByText(nullptr), nullptr);
}

TEST(ProcessList, FindModuleByNameIsAPrefixMatchInAnyCase)
{
    MODULEENTRY32 module = {};
    const DWORD self = ::GetCurrentProcessId();
    ASSERT_TRUE(CProcessList::FindModuleByName("KERNEL3", &module, self));
    EXPECT_EQ(lstrcmpiA(module.szModule, "kernel32.dll"), 0);
    EXPECT_EQ(module.dwSize, sizeof(MODULEENTRY32));
    ASSERT_TRUE(CProcessList::FindModuleByName("kernel32.DLL", &module, self));
    EXPECT_FALSE(CProcessList::FindModuleByName("kernel32.dll.more", &module, self));
    EXPECT_FALSE(CProcessList::FindModuleByName("", &module, self));
    EXPECT_FALSE(CProcessList::FindModuleByName("nosuchmodule", &module, self));
    EXPECT_FALSE(CProcessList::FindModuleByName("kernel", nullptr, self));
}

TEST(ProcessRecord, OwnerSidIsCopiedAndFreedOncePerRecord)
{
    std::vector<BYTE> user = OwnUserSid();
    ASSERT_FALSE(user.empty());
    _PROCESS_INFORMATION_EX copy;
    {
        _PROCESS_INFORMATION_EX source;
        ASSERT_TRUE(source.SetOwner(user.data()));
        lstrcpyA(source.ImagePath, "c:\\x.exe");
        source.Entry.th32ProcessID = 42;
        _PROCESS_INFORMATION_EX constructed(source);
        copy = constructed;
        EXPECT_NE(copy.Owner, source.Owner);
        EXPECT_NE(constructed.Owner, source.Owner);
        copy = copy;  // self-assignment keeps the SID
        ASSERT_NE(copy.Owner, nullptr);
        EXPECT_TRUE(::EqualSid(copy.Owner, user.data()));
        source.SetOwner(source.Owner);  // its own SID as the new one
        EXPECT_TRUE(::EqualSid(source.Owner, user.data()));
    }
    ASSERT_NE(copy.Owner, nullptr);
    EXPECT_TRUE(::IsValidSid(copy.Owner));
    EXPECT_TRUE(::EqualSid(copy.Owner, user.data()));
    EXPECT_STREQ(copy.ImagePath, "c:\\x.exe");
    EXPECT_EQ(copy.Entry.th32ProcessID, 42u);

    // A record with no owner copies as one with no owner; a list keeps its own copies.
    _PROCESS_INFORMATION_EX none;
    _PROCESS_INFORMATION_EX noneCopy(none);
    EXPECT_EQ(noneCopy.Owner, nullptr);
    CProcessList list;
    list.RemoveAll();
    list.Add(copy);
    list.Add(none);
    copy.SetOwner(nullptr);
    ASSERT_NE(list.GetAt(0)->Owner, nullptr);
    EXPECT_TRUE(::EqualSid(list.GetAt(0)->Owner, user.data()));
    list.RemoveFirst();
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.GetAt(0)->Owner, nullptr);
}

TEST(ModuleList, HoldsTheProgramAndItsLibraries)
{
    CModuleList modules(::GetCurrentProcessId());
    ASSERT_GT(modules.GetSize(), 1);
    bool program = false, kernel = false;
    for (const MODULEENTRY32& module : modules) {
        program = program || lstrcmpiA(module.szExePath, OwnImagePath().c_str()) == 0;
        kernel = kernel || lstrcmpiA(module.szModule, "kernel32.dll") == 0;
    }
    EXPECT_TRUE(program);
    EXPECT_TRUE(kernel);
    // A second snapshot appends.
    const INT_PTR first = modules.GetSize();
    EXPECT_TRUE(modules.Snapshot(::GetCurrentProcessId()));
    EXPECT_EQ(modules.GetSize(), 2 * first);
}

TEST(ThreadList, ReadsOtherThreadsContextButNeverSuspendsTheCaller)
{
    std::atomic<bool> stop{false};
    std::atomic<long> spins{0};
    struct Worker {
        static DWORD WINAPI Run(void* p)
        {
            auto* self = static_cast<std::pair<std::atomic<bool>*, std::atomic<long>*>*>(p);
            while (!*self->first)
                ++*self->second;
            return 0;
        }
    };
    std::pair<std::atomic<bool>*, std::atomic<long>*> args(&stop, &spins);
    DWORD workerId = 0;
    HANDLE worker = ::CreateThread(nullptr, 0, Worker::Run, &args, 0, &workerId);
    ASSERT_NE(worker, nullptr);

    CThreadList threads;
    ASSERT_TRUE(threads.Snapshot(::GetCurrentProcessId(), TRUE));
    const _THREAD_INFORMATION_EX* caller = nullptr;
    const _THREAD_INFORMATION_EX* other = nullptr;
    for (const _THREAD_INFORMATION_EX& thread : threads) {
        EXPECT_EQ(thread.Entry.th32OwnerProcessID, ::GetCurrentProcessId());
        if (thread.Entry.th32ThreadID == ::GetCurrentThreadId())
            caller = &thread;
        if (thread.Entry.th32ThreadID == workerId)
            other = &thread;
    }
    ASSERT_NE(caller, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(caller->Context.ContextFlags, 0u);  // not read
    EXPECT_NE(other->Context.ContextFlags, 0u);
#ifdef _WIN64
    EXPECT_NE(other->Context.Rip, 0u);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(&other->Context) % 16, 0u);
#endif
    // The worker runs on after the snapshot: it was resumed. A busy machine may leave it
    // waiting for a processor a while, so the check waits, with a bound, for it to move.
    const long before = spins;
    const DWORD start = ::GetTickCount();
    while (spins.load() == before && ::GetTickCount() - start < 10000)
        ::Sleep(10);
    EXPECT_GT(spins.load(), before);
    stop = true;
    ::WaitForSingleObject(worker, 5000);
    ::CloseHandle(worker);

    CThreadList plain;
    ASSERT_TRUE(plain.Snapshot(::GetCurrentProcessId(), FALSE));
    for (const _THREAD_INFORMATION_EX& thread : plain)
        EXPECT_EQ(thread.Context.ContextFlags, 0u);
}
