// The depth-first registry walk: order, depth limit, link keys, stop.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <string>
#include <vector>

#include "LinkKey.h"
#include "Registry/RegistryWalk.h"
#include "RegistrySandbox.h"

namespace {

std::vector<std::string> WalkPaths(const char* root, const char* start, unsigned* skipped = nullptr,
                                   int stopAfter = -1)
{
    std::vector<std::string> paths;
    CRegistryWalk walk([&] { return stopAfter < 0 || static_cast<int>(paths.size()) < stopAfter; });
    walk.Walk(root, start, [&](HKEY parent, const CString& name, const CString& path) {
        EXPECT_NE(nullptr, parent);
        EXPECT_EQ(std::string(path.GetString()).substr(path.GetLength() - name.GetLength()), name.GetString());
        paths.push_back(path.GetString());
    });
    if (skipped)
        *skipped = walk.SkippedTooDeep();
    return paths;
}

// The kernel path of the real HKEY_CURRENT_USER ("\Registry\User\S-1-5-...").
std::string CurrentUserKernelPath()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    BYTE buffer[512] = {};
    DWORD length = 0;
    std::string result;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length)) {
        char* sid = nullptr;
        if (::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
            result = std::string("\\Registry\\User\\") + sid;
            ::LocalFree(sid);
        }
    }
    ::CloseHandle(token);
    return result;
}

} // namespace

TEST(RegistryWalk, VisitsEveryKeyBelowTheStartDepthFirst)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    for (const char* key : {"Software\\Tree\\A\\B\\C", "Software\\Tree\\A\\D", "Software\\Tree\\E"})
        ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, key));

    const std::vector<std::string> expected = {
        "HKEY_LOCAL_MACHINE\\Software\\Tree\\A",       "HKEY_LOCAL_MACHINE\\Software\\Tree\\A\\B",
        "HKEY_LOCAL_MACHINE\\Software\\Tree\\A\\B\\C", "HKEY_LOCAL_MACHINE\\Software\\Tree\\A\\D",
        "HKEY_LOCAL_MACHINE\\Software\\Tree\\E",
    };
    EXPECT_EQ(expected, WalkPaths("HKEY_LOCAL_MACHINE", "Software\\Tree"));
    EXPECT_EQ(7u, WalkPaths("HKEY_LOCAL_MACHINE", "").size());
    EXPECT_TRUE(WalkPaths("HKEY_LOCAL_MACHINE", "Software\\Missing").empty());
    EXPECT_TRUE(WalkPaths("HKEY_NOWHERE", "").empty());
    // A stop request ends the walk at the next key.
    EXPECT_EQ(2u, WalkPaths("HKEY_LOCAL_MACHINE", "Software\\Tree", nullptr, 2).size());
}

TEST(RegistryWalk, LeavesOutWhatLiesDeeperThanItsStackWithoutHarm)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    const int depth = CRegistryWalk::kMaxDepth + 5;
    std::string chain = "Deep";
    for (int level = 1; level <= depth; ++level)
        chain += "\\k";
    ASSERT_TRUE(CreateRegKey(HKEY_CURRENT_USER, chain.c_str()));

    unsigned skipped = 0;
    const std::vector<std::string> paths = WalkPaths("HKEY_CURRENT_USER", "Deep", &skipped);
    // Levels 1 to kMaxDepth + 1 are seen; nothing below the last of them is entered.
    EXPECT_EQ(static_cast<size_t>(CRegistryWalk::kMaxDepth + 1), paths.size());
    EXPECT_EQ(1u, skipped);
    for (size_t i = 1; i < paths.size(); ++i)
        EXPECT_EQ(paths[i - 1] + "\\k", paths[i]);
}

TEST(RegistryWalk, DoesNotFollowLinkKeys)
{
    CRegistrySandbox sandbox;
    ASSERT_TRUE(sandbox.IsActive());
    ASSERT_TRUE(CreateRegKey(HKEY_LOCAL_MACHINE, "System\\ControlSet001\\Services\\One"));
    const std::string user = CurrentUserKernelPath();
    ASSERT_FALSE(user.empty());
    const std::string target = user + "\\" + sandbox.RealPathOf(HKEY_LOCAL_MACHINE) + "\\System\\ControlSet001";

    const CLinkKey link(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet", target);
    ASSERT_TRUE(link.Created());
    // The link works for an ordinary open...
    ASSERT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\One"));

    // ...but the walk sees the link key itself and the control set once.
    const std::vector<std::string> expected = {
        "HKEY_LOCAL_MACHINE\\System\\ControlSet001",
        "HKEY_LOCAL_MACHINE\\System\\ControlSet001\\Services",
        "HKEY_LOCAL_MACHINE\\System\\ControlSet001\\Services\\One",
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet",
    };
    EXPECT_EQ(expected, WalkPaths("HKEY_LOCAL_MACHINE", "System"));
}
