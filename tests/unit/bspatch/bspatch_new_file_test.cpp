// The new file: in-place application, failed writes that must leave the target whole, special
// targets, and the command-line tool (also the Windows build of it, under Wine).
#include <cstdlib>

#include "bspatch_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace bspatch_test {
namespace {

const Bytes kOld(5000, 'o');
const Bytes kNew = Bytes(3000, 'n') + Bytes(3000, 'w');

Bytes patchOldToNew() { return writePatch(kOld, kNew, {{4000, 2000, 0}}); }

TEST_F(BspatchFiles, AppliesInPlace)
{
    put("file", kOld);
    put("patch", patchOldToNew());
    EXPECT_EQ(run("file", "file", "patch"), 0);
    EXPECT_EQ(get("file"), kNew);
    EXPECT_EQ(names(), (std::vector<std::string> {"file", "patch"}));
}

TEST_F(BspatchFiles, FailedApplicationLeavesAnExistingTargetAlone)
{
    put("old", kOld);
    put("new", "previous");
    put("patch", patchOldToNew().substr(0, 100));
    EXPECT_EQ(run("old", "new", "patch"), 1);
    EXPECT_EQ(get("new"), "previous");
    EXPECT_EQ(names(), (std::vector<std::string> {"new", "old", "patch"}));
}

TEST_F(BspatchFiles, TargetsThatCannotBeWritten)
{
    put("old", kOld);
    put("patch", patchOldToNew());
    fs::create_directory(path("dir"));
    put("dir/inside", "kept");
    EXPECT_EQ(run("old", "dir", "patch"), 1);
    EXPECT_EQ(get("dir/inside"), "kept");
    EXPECT_EQ(run("old", "missing/new", "patch"), 1);
    EXPECT_EQ(names(), (std::vector<std::string> {"dir", "old", "patch"}));
}

#ifndef _WIN32
// A write that fails halfway (the file size limit stops it, even for root) must not cost the
// old content of a file patched in place.
TEST_F(BspatchFiles, FailedWriteInPlaceKeepsTheOldContent)
{
    put("file", kOld);
    put("patch", patchOldToNew());
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int result = run("file", "file", "patch");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(get("file"), kOld);
    EXPECT_EQ(names(), (std::vector<std::string> {"file", "patch"}));
}

TEST_F(BspatchFiles, ReplacementKeepsPermissionsAndLinks)
{
    put("old", kOld);
    put("patch", patchOldToNew());
    put("target", "x");
    ASSERT_EQ(chmod(path("target").c_str(), 0640), 0);
    fs::create_symlink("target", path("link"));
    EXPECT_EQ(run("old", "link", "patch"), 0);
    EXPECT_TRUE(fs::is_symlink(path("link")));
    EXPECT_EQ(get("target"), kNew);
    struct stat info;
    ASSERT_EQ(stat(path("target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // A device is written, never replaced by a file.
    std::string o = path("old"), p = path("patch");
    const char* argv[] = {"bspatch", o.c_str(), "/dev/null", p.c_str()};
    EXPECT_EQ(bspatch_apply(4, argv), 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
#endif

// The command-line tool, run through the shell: the host build, or the Windows build under
// Wine when these tests run there. It sits in the build tree's bspatch/, beside tests/.
std::string toolPath()
{
#ifdef _WIN32
    char self[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    fs::path tests = fs::path(std::string(self, length)).parent_path();
    return (tests.parent_path() / "bspatch" / "bspatch.exe").string();
#else
    return VORLANE_BINARY_DIR "/bspatch/bspatch";
#endif
}

int runTool(const std::vector<std::string>& args, const std::string& errors)
{
#ifdef _WIN32
    std::string command = "\"\"" + toolPath() + "\"";
    for (const std::string& arg : args)
        command += " \"" + arg + "\"";
    command += " 2>\"" + errors + "\"\"";
    return std::system(command.c_str());
#else
    std::string command = "'" + toolPath() + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    command += " 2>'" + errors + "'";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST_F(BspatchFiles, CommandLineTool)
{
    put("old", kOld);
    put("patch", patchOldToNew());
    std::string errors = path("errors");
    EXPECT_EQ(runTool({path("old"), path("new"), path("patch")}, errors), 0);
    EXPECT_EQ(get("new"), kNew);
    EXPECT_EQ(get("errors"), "");
    EXPECT_EQ(runTool({path("old"), path("new")}, errors), 1);
    Bytes usage = get("errors");
    EXPECT_EQ(usage.rfind("usage: bspatch OLD NEW PATCH", 0), 0u) << usage;
    EXPECT_EQ(std::count(usage.begin(), usage.end(), '\n'), 1);
    EXPECT_EQ(runTool({path("new"), path("newer"), path("old")}, errors), 1);
    EXPECT_EQ(get("errors"), "");
    EXPECT_FALSE(fs::exists(path("newer")));
}

}  // namespace
}  // namespace bspatch_test
