// The target-name rule: directory, the executable's name less its last four characters, ".msi".
#include "package.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

constexpr size_t PATH_SIZE = 261;  // MAX_PATH and the NUL

struct NameRow {
    const char* dir;
    const char* base;
    const char* expected;  // null: no name is derived
};

const NameRow nameRows[] = {
    {"C:\\T\\", "setup.exe", "C:\\T\\setup.msi"},
    {"C:\\T\\", "SETUP.EXE", "C:\\T\\SETUP.msi"},
    {"C:\\T\\", "a.exe", "C:\\T\\a.msi"},
    // The last four characters go whatever they are.
    {"C:\\T\\", "setup", "C:\\T\\s.msi"},
    {"C:\\T\\", "installer.com", "C:\\T\\installer.msi"},
    {".\\", "setup.exe", ".\\setup.msi"},
    {"", "setup.exe", "setup.msi"},
    // Four characters or fewer leave nothing to name the file after.
    {"C:\\T\\", ".exe", nullptr},
    {"C:\\T\\", "a.ex", nullptr},
    {"C:\\T\\", "abc", nullptr},
    {"C:\\T\\", "", nullptr},
    {"C:\\T\\", nullptr, nullptr},
};

TEST(TargetName, DerivesTheNameFromTheExecutable)
{
    for (const NameRow& row : nameRows) {
        char out[PATH_SIZE];
        memset(out, '#', sizeof out);
        int derived = setup_buildTargetPath(out, sizeof out, row.dir, strlen(row.dir), row.base);
        if (row.expected == nullptr) {
            EXPECT_EQ(derived, 0) << (row.base ? row.base : "(none)");
        } else {
            ASSERT_NE(derived, 0) << row.base;
            EXPECT_STREQ(out, row.expected);
        }
    }
}

// The caller keeps the directory at the start of the buffer and passes that buffer as dir.
TEST(TargetName, WorksOnTheDirectoryAlreadyInTheBuffer)
{
    char out[PATH_SIZE] = "C:\\Users\\u\\AppData\\Local\\Temp\\";
    ASSERT_NE(setup_buildTargetPath(out, sizeof out, out, strlen(out), "setup.exe"), 0);
    EXPECT_STREQ(out, "C:\\Users\\u\\AppData\\Local\\Temp\\setup.msi");
}

// Directory and name together must fit in 260 characters; when they do not, nothing is
// written, so the directory is still there for the generated name.
TEST(TargetName, LongDirectoriesFitOrLeaveTheBufferAlone)
{
    const std::string base = "setup.exe";  // gives "setup.msi", 9 characters
    for (size_t dirLen = 240; dirLen <= 260; ++dirLen) {
        std::string dir = "C:\\" + std::string(dirLen - 4, 'd') + "\\";
        ASSERT_EQ(dir.size(), dirLen);
        // One byte more than the rule allows, poisoned, to see any write past the end.
        char out[PATH_SIZE + 1];
        memset(out, '#', sizeof out);
        memcpy(out, dir.data(), dir.size());
        out[dir.size()] = '\0';
        int derived = setup_buildTargetPath(out, PATH_SIZE, out, dirLen, base.c_str());
        EXPECT_EQ(out[PATH_SIZE], '#') << dirLen;
        if (dirLen + 9 <= 260) {
            ASSERT_NE(derived, 0) << dirLen;
            EXPECT_EQ(std::string(out), dir + "setup.msi");
        } else {
            EXPECT_EQ(derived, 0) << dirLen;
            EXPECT_EQ(std::string(out), dir) << dirLen;
        }
    }
}

TEST(TargetName, ADirectoryFillingTheBufferDerivesNothing)
{
    char out[8];
    EXPECT_EQ(setup_buildTargetPath(out, sizeof out, "C:\\abcdefgh\\", 12, "setup.exe"), 0);
    EXPECT_EQ(setup_buildTargetPath(out, sizeof out, "C:\\abcd", 7, "setup.exe"), 0);
    EXPECT_EQ(setup_buildTargetPath(out, 0, "", 0, "setup.exe"), 0);
    // Exactly enough: "x\\" + "a.msi" + NUL = 8 bytes.
    ASSERT_NE(setup_buildTargetPath(out, sizeof out, "x\\", 2, "a.exe"), 0);
    EXPECT_STREQ(out, "x\\a.msi");
}

}  // namespace
