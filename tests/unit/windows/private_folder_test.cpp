// The folder of an elevated run: where it goes, its name, the access list it is created with.
#include "package.h"
#include "files.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>

using support::listFiles;

// An administrator's process is elevated when its token is the full one, not when it is the
// limited twin that Windows gives an administrator's programs started without elevation. Wine 8
// starts every process with the full token, Wine 10 with the limited one (docs/wine-differences.md).
TEST(PrivateFolder, ElevatedExactlyWithTheFullToken)
{
    HANDLE token = nullptr;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size));
    CloseHandle(token);
    if (type == TokenElevationTypeDefault) {
        GTEST_SKIP() << "no linked tokens here (user account control off, or not an administrator)";
    }
    EXPECT_EQ(setup_getElevation(),
              type == TokenElevationTypeFull ? SETUP_ELEVATED : SETUP_NOT_ELEVATED);
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

// Whether a token may open the folder for the access, as the folder's own descriptor decides.
static bool mayOpen(HANDLE token, PSECURITY_DESCRIPTOR descriptor, DWORD access)
{
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    PRIVILEGE_SET privileges;
    DWORD privilegesLength = sizeof privileges, granted = 0;
    BOOL allowed = FALSE;
    EXPECT_TRUE(AccessCheck(descriptor, token, access, &mapping, &privileges, &privilegesLength,
                            &granted, &allowed))
        << GetLastError();
    return allowed != FALSE;
}

// On Windows the list is enforced: this user's token with Administrators and SYSTEM made
// deny-only (as another user's would hold them) may neither list the folder nor put a file into
// it, while the elevated token may. Wine does not enforce file access lists (see above).
TEST(PrivateFolder, OnWindowsAUserWithoutAdministratorsIsRefused)
{
    if (support::underWine()) {
        GTEST_SKIP() << "Wine does not enforce file access lists";
    }
    char folder[MAX_PATH + 1];
    size_t length = 0;
    ASSERT_EQ(setup_createPrivateFolder(folder, sizeof folder, &length), 0u);
    std::string dir(folder, length - 1);
    SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityA(dir.c_str(), what, nullptr, 0, &size);
    std::string descriptor(size, '\0');
    bool read = size != 0 && GetFileSecurityA(dir.c_str(), what, &descriptor[0], size, &size);

    HANDLE process = nullptr, elevated = nullptr, restricted = nullptr, limited = nullptr;
    BYTE admins[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
    DWORD adminsSize = sizeof admins, systemSize = sizeof system;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &adminsSize);
    CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize);
    SID_AND_ATTRIBUTES disabled[] = {{admins, 0}, {system, 0}};
    bool tokens = OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)
        && DuplicateToken(process, SecurityImpersonation, &elevated)
        && CreateRestrictedToken(process, 0, 2, disabled, 0, nullptr, 0, nullptr, &restricted)
        && DuplicateToken(restricted, SecurityImpersonation, &limited);
    if (read && tokens) {
        PSECURITY_DESCRIPTOR sd = &descriptor[0];
        EXPECT_TRUE(mayOpen(elevated, sd, FILE_ADD_FILE));
        EXPECT_FALSE(mayOpen(limited, sd, FILE_ADD_FILE));
        EXPECT_FALSE(mayOpen(limited, sd, FILE_LIST_DIRECTORY));
    }
    for (HANDLE h : {process, elevated, restricted, limited}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    setup_removePrivateFolder(folder, length);
    ASSERT_TRUE(read) << GetLastError();
    ASSERT_TRUE(tokens) << GetLastError();
}
