// The machine question: whether it is asked, and its ARM64 text.
#include "report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(MachineRules, OnlyAWow64ProcessAsksAndOnlyArm64NamesArm64)
{
    struct {
        int wow64;
        unsigned native;
        int ask;
    } rows[] = {
        {0, 0x014C, SETUP_ASK_NONE},  // x86 on x86
        {0, 0xAA64, SETUP_ASK_NONE},  // the 64-bit build, emulated on ARM64: no WOW64
        {1, 0x8664, SETUP_ASK_X64},  // AMD64
        {1, 0xAA64, SETUP_ASK_ARM64}, {1, 0x0200, SETUP_ASK_X64},  // IA64
        {1, 0x1234, SETUP_ASK_X64},  // a machine not known today
        {1, 0, SETUP_ASK_X64},  // IsWow64Process alone: no machine named
    };
    for (const auto& row : rows) {
        EXPECT_EQ(setup_wow64Question(row.wow64, row.native), row.ask)
            << row.wow64 << " " << std::hex << row.native;
    }
}

std::u16string derive(const std::u16string& text, size_t outSize = 1024)
{
    uint16_t out[1024];
    size_t n = setup_deriveArm64Text(reinterpret_cast<const uint16_t*>(text.data()), text.size(),
                                     out, outSize);
    return std::u16string(reinterpret_cast<const char16_t*>(out), n);
}

TEST(MachineRules, TheArm64TextNamesArm64WhereTheQuestionNamesX64)
{
    EXPECT_EQ(derive(u"The version of this file is x86 (32-bit) and the version of Windows you're "
                     u"running is x64 (64-bit). It is recommended to install the x64 (64-bit) "
                     u"version of the program.\n\nContinue anyway?"),
              u"The version of this file is x86 (32-bit) and the version of Windows you're "
              u"running is ARM64 (64-bit). It is recommended to install the ARM64 (64-bit) "
              u"version of the program.\n\nContinue anyway?");
    // Where a text begins and ends, and beside characters outside ASCII.
    EXPECT_EQ(derive(u"x64-Version x6 \u0445x64\u0432x64"),
              u"ARM64-Version x6 \u0445ARM64\u0432ARM64");
    EXPECT_EQ(derive(u"x6"), u"x6");
    // No text: no question.
    EXPECT_EQ(derive(u""), u"");
    EXPECT_EQ(setup_deriveArm64Text(nullptr, 5, nullptr, 0), 0u);
    // Exactly room for it, and one unit less.
    EXPECT_EQ(derive(u"a x64", 7), u"a ARM64");
    EXPECT_EQ(derive(u"a x64", 6), u"");
}

}  // namespace
