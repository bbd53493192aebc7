// The replace-by-rename writer on its own: the target changes only at commit, and nothing is
// left beside it either way. Replacing through the patch applier is bspatch_new_file_test's.
#include "bspatch_fixture.h"
#include "replace_file.h"

namespace bspatch_test {
namespace {

TEST_F(BspatchFiles, WriterReplacesOnlyOnCommit)
{
    put("target", "old");
    replace_File* file = replace_begin(path("target").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(replace_write(file, "abandoned", 9), 0);
    replace_abandon(file);
    EXPECT_EQ(get("target"), "old");
    EXPECT_EQ(names(), std::vector<std::string> {"target"});

    file = replace_begin(path("target").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(replace_write(file, "xxxx tail", 9), 0);
    EXPECT_EQ(replace_writeAt(file, 0, "head", 4), 0);
    EXPECT_EQ(replace_write(file, "!", 1), 0);
    EXPECT_EQ(get("target"), "old");
    EXPECT_EQ(replace_commit(file), 0);
    EXPECT_EQ(get("target"), "head tail!");
    EXPECT_EQ(names(), std::vector<std::string> {"target"});
}

}  // namespace
}  // namespace bspatch_test
