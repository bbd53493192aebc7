// The folder of an elevated run: where it goes, its name, the access list it is created with.
#include "package.h"
#include "files.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>

using support::listFiles;

// Wine starts every process elevated, as an administrator would on Windows.
TEST(PrivateFolder, WineRunsTheTestsElevated)
{
    EXPECT_EQ(setup_getElevation(), SETUP_ELEVATED);
}

TEST(PrivateFolder, ANewNameUnderTheTemporaryDirectoryEachTimeAndGoneWhenRemoved)
{
    char temp[MAX_PATH + 1];
    DWORD tempLength = GetTempPathA(sizeof temp, temp);
    char first[MAX_PATH + 1], second[MAX_PATH + 1];
    size_t firstLength = 0, secondLength = 0;
    ASSERT_EQ(setup_createPrivateFolder(first, sizeof first, &firstLength), 0u);
    ASSERT_EQ(setup_createPrivateFolder(second, sizeof second, &secondLength), 0u);
    std::string name(first + tempLength, firstLength - tempLength);
    EXPECT_EQ(std::string(first, tempLength), std::string(temp, tempLength));
    ASSERT_EQ(name.size(), 6u + 16u + 1u) << name;
    EXPECT_EQ(name.compare(0, 6, "setup-"), 0) << name;
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 6), name.size() - 1) << name;
    EXPECT_EQ(name.back(), '\\');
    EXPECT_STRNE(first, second);
    std::string firstDir(first, firstLength - 1), secondDir(second, secondLength - 1);
    EXPECT_NE(GetFileAttributesA(firstDir.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    setup_removePrivateFolder(first, firstLength);
    setup_removePrivateFolder(second, secondLength);
    EXPECT_EQ(GetFileAttributesA(firstDir.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(secondDir.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Wine keeps such a list only approximately (the user in place of Administrators, no
// protection), so what is checked is the descriptor setup.exe asks for: SYSTEM and
// Administrators alone, full access to the folder and, inherited, everything inside it, and
// nothing inherited from above.
TEST(PrivateFolder, TheFolderAdmitsSystemAndAdministratorsOnly)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        SETUP_PRIVATE_FOLDER_SDDL, SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl != nullptr);
    ASSERT_EQ(dacl->AceCount, 4);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        PSID sid = &ace->SidStart;
        EXPECT_TRUE(IsWellKnownSid(sid, i < 2 ? WinBuiltinAdministratorsSid : WinLocalSystemSid));
        bool inherited = i % 2 == 1;
        EXPECT_EQ(ace->Header.AceFlags,
                  inherited ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE : 0);
        EXPECT_EQ(ace->Mask, inherited ? GENERIC_ALL : FILE_ALL_ACCESS);
    }
    LocalFree(descriptor);
}
