// Files and directories for the tests that run under Wine. Paths are UTF-8 and reach the system
// through its wide functions, so that names outside the ANSI code page and paths longer than
// MAX_PATH work as well as plain ones.
#pragma once

#include <string>
#include <vector>

namespace support {

std::wstring widen(const std::string& utf8);
std::string utf8(const std::wstring& wide);

std::string tempDir();  // %TEMP%, with a trailing backslash
std::string makeScratchDir(const std::string& name);  // fresh and empty, under tempDir()
bool fileExists(const std::string& path);
// Names in dir matching the pattern, "." and ".." left out, sorted.
std::vector<std::string> listFiles(const std::string& dir, const std::string& pattern = "*");
std::string readFile(const std::string& path);  // "" when it cannot be read
bool writeFile(const std::string& path, const std::string& data);
bool copyFile(const std::string& from, const std::string& to);
void removeTree(const std::string& dir);

// The directories a test makes for itself, removed with all they hold when this goes out of
// scope, however the test ends (a failed ASSERT returns early):
//   Scratch scratch;
//   std::string temp = scratch.dir("order");  // fresh and empty, under tempDir()
//   scratch.own("C:\\Updated App");           // a tree made elsewhere (an install
//                                             // directory): removed now and at the end
class Scratch {
public:
    Scratch() = default;
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string dir(const std::string& name);
    std::string own(const std::string& tree);

private:
    std::vector<std::string> trees_;
};

// The build tree, as a test executable in <build>\tests finds it.
std::string binaryDir();

// A path into the build tree as the build wrote it down (setup.gen\package.txt), found where
// the tree is now: where the test programs are (a build tree, or the test kit's copy of it).
std::string inBuild(const std::string& path);

// Whether the tests run under Wine (ntdll exports wine_get_version) rather than on Windows,
// for the cases where Wine does not enforce what Windows does.
bool underWine();

}  // namespace support
