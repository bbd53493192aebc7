// The updater's name rule and the parent lookup over a fixed list of process entries.
#include "parent.h"
#include "parent_walk.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

TEST(UpdaterName, OnlyTheLastElevenBytesCountAndCaseMatters)
{
    struct {
        const char* name;
        int updater;
    } rows[] = {
        {"up2date.exe", 1},  {"myup2date.exe", 1}, {"x.up2date.exe", 1},
        {"UP2DATE.EXE", 0},  {"Up2date.exe", 0},   {"up2date.exe.bak", 0},
        {"p2date.exe", 0},   {"up2date", 0},       {"", 0},
        {"explorer.exe", 0}, {"cmd.exe", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_isUpdaterName(row.name), row.updater) << row.name;
    }
    EXPECT_EQ(setup_isUpdaterName(nullptr), 0);
}

struct FakeEntry {
    DWORD th32ProcessID;
    DWORD th32ParentProcessID;
    char szExeFile[260];
};

FakeEntry entry(DWORD id, DWORD parent, const char* name)
{
    FakeEntry e = {id, parent, {}};
    strncpy(e.szExeFile, name, sizeof e.szExeFile - 1);
    return e;
}

// A process list that can change between the two walks and fail where it is told to.
struct FakeSource {
    typedef FakeEntry Entry;
    std::vector<FakeEntry> list;
    std::vector<FakeEntry> listInSecondWalk;  // used from the second walk on, when not empty
    DWORD firstFailure = 0;  // first() fails with this code, when not 0
    bool firstFails = false;
    DWORD endCode = ERROR_NO_MORE_FILES;
    int firstCalls = 0, nextCalls = 0;
    size_t pos = 0;
    DWORD error = 0;

    bool first(Entry* e)
    {
        if (++firstCalls == 2 && !listInSecondWalk.empty()) {
            list = listInSecondWalk;
        }
        if (firstFails) {
            error = firstFailure;
            return false;
        }
        pos = 0;
        return read(e);
    }
    bool next(Entry* e)
    {
        ++nextCalls;
        ++pos;
        return read(e);
    }
    bool read(Entry* e)
    {
        if (pos >= list.size()) {
            error = endCode;
            return false;
        }
        *e = list[pos];
        return true;
    }
    DWORD lastError() { return error; }
};

constexpr DWORD ownId = 30;
constexpr DWORD mark = 12345;
constexpr DWORD accessDenied = 5;

FakeSource tree()
{
    FakeSource s;
    s.list = {entry(4, 0, "System"), entry(20, 10, "up2date.exe"), entry(ownId, 20, "setup.exe"),
              entry(40, ownId, "msiexec.exe")};
    return s;
}

class ParentLookup : public testing::Test {
protected:
    void SetUp() override { setup_recordError(mark, "mark", 1); }
    void TearDown() override { free(name_); }

    DWORD lookUp(FakeSource& source, bool wantId = true, bool wantName = true)
    {
        return setup_lookUpParent(source, ownId, wantId ? &id_ : nullptr,
                                  wantName ? &name_ : nullptr);
    }

    DWORD id_ = 0;
    char* name_ = nullptr;
};

TEST_F(ParentLookup, FindsTheParentsIdAndNameInTwoWalks)
{
    FakeSource source = tree();
    EXPECT_EQ(lookUp(source), 0u);
    EXPECT_EQ(id_, 20u);
    ASSERT_NE(name_, nullptr);
    EXPECT_STREQ(name_, "up2date.exe");
    EXPECT_EQ(source.firstCalls, 2);
    EXPECT_EQ(setup_getErrorCode(), mark);
}

TEST_F(ParentLookup, WithoutANameOutOneWalkEndsAtTheOwnEntry)
{
    FakeSource source = tree();
    EXPECT_EQ(lookUp(source, true, false), 0u);
    EXPECT_EQ(id_, 20u);
    EXPECT_EQ(source.firstCalls, 1);
    EXPECT_EQ(source.nextCalls, 2) << "the walk goes no further than the own entry";
}

TEST_F(ParentLookup, WithoutAnIdOutNoNameIsDelivered)
{
    FakeSource source = tree();
    EXPECT_EQ(lookUp(source, false, true), 0u);
    EXPECT_EQ(name_, nullptr);
    EXPECT_EQ(source.firstCalls, 1);
}

TEST_F(ParentLookup, TheOwnProcessMissingGives18)
{
    FakeSource source = tree();
    source.list.erase(source.list.begin() + 2);
    EXPECT_EQ(lookUp(source), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(id_, 0u);
    EXPECT_EQ(name_, nullptr);
    EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST_F(ParentLookup, AParentGoneBeforeTheNameWalkGives18)
{
    FakeSource source = tree();
    source.listInSecondWalk = {entry(4, 0, "System"), entry(ownId, 20, "setup.exe")};
    EXPECT_EQ(lookUp(source), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(id_, 20u);
    EXPECT_EQ(name_, nullptr);
    EXPECT_EQ(setup_getErrorCode(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
}

TEST_F(ParentLookup, AnUnreadableListGivesItsCode)
{
    FakeSource source = tree();
    source.firstFails = true;
    source.firstFailure = accessDenied;
    EXPECT_EQ(lookUp(source), accessDenied);
    EXPECT_EQ(setup_getErrorCode(), accessDenied);
    EXPECT_EQ(name_, nullptr);
}

TEST_F(ParentLookup, AWalkThatEndsWithoutAReasonIsNoFailure)
{
    // The list reads as empty, or ends before the own entry, with no error code: no parent.
    FakeSource empty = tree();
    empty.firstFails = true;
    EXPECT_EQ(lookUp(empty), 0u);
    FakeSource cut = tree();
    cut.list.resize(2);
    cut.endCode = 0;
    EXPECT_EQ(lookUp(cut), 0u);
    EXPECT_EQ(id_, 0u);
    EXPECT_EQ(name_, nullptr);
    EXPECT_EQ(cut.firstCalls, 1);
    EXPECT_EQ(setup_getErrorCode(), mark);
}

TEST_F(ParentLookup, NoParentMeansNoNameWalk)
{
    FakeSource source = tree();
    source.list[2].th32ParentProcessID = 0;
    EXPECT_EQ(lookUp(source), 0u);
    EXPECT_EQ(id_, 0u);
    EXPECT_EQ(name_, nullptr);
    EXPECT_EQ(source.firstCalls, 1);
}

TEST_F(ParentLookup, ANameFillingTheWholeFieldIsCutToIt)
{
    FakeSource source = tree();
    memset(source.list[1].szExeFile, 'a', sizeof source.list[1].szExeFile);
    EXPECT_EQ(lookUp(source), 0u);
    ASSERT_NE(name_, nullptr);
    EXPECT_EQ(std::string(name_), std::string(259, 'a'));
}

}  // namespace
