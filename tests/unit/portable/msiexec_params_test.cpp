// The parameter text handed to msiexec.
#include "package.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

namespace {

struct ParamsRow {
    const wchar_t* path;
    const wchar_t* extra;
    const wchar_t* expected;
};

const ParamsRow paramsRows[] = {
    // Without extra text the text ends with the space after the property.
    {LR"(C:\T\setup.msi)", nullptr, LR"(/i "C:\T\setup.msi" REINSTALLMODE=amus )"},
    {LR"(C:\T\setup.msi)", L"", LR"(/i "C:\T\setup.msi" REINSTALLMODE=amus )"},
    // Extra text follows that space unchanged, its own quoting and spacing included.
    {LR"(C:\T\setup.msi)", L"/qn", LR"(/i "C:\T\setup.msi" REINSTALLMODE=amus /qn)"},
    {LR"(C:\T\setup.msi)", LR"(VORLANE_AUTOUPDATE_INSTALLDIR="C:\Program Files\App")",
     LR"(/i "C:\T\setup.msi" REINSTALLMODE=amus VORLANE_AUTOUPDATE_INSTALLDIR="C:\Program Files\App")"},
    {LR"(C:\T\setup.msi)", L"  A=1  ", LR"(/i "C:\T\setup.msi" REINSTALLMODE=amus   A=1  )"},
    // A path with spaces stays one argument between the quotation marks; nothing is escaped.
    {LR"(C:\Documents and Settings\u\Local Settings\Temp\my setup.msi)", nullptr,
     LR"(/i "C:\Documents and Settings\u\Local Settings\Temp\my setup.msi" REINSTALLMODE=amus )"},
    {L"", nullptr, LR"(/i "" REINSTALLMODE=amus )"},
};

TEST(MsiexecParams, BuildsTheExactText)
{
    for (const ParamsRow& row : paramsRows) {
        wchar_t* params = setup_buildMsiexecParams(row.path, row.extra);
        ASSERT_NE(params, nullptr);
        EXPECT_EQ(std::wstring(params), std::wstring(row.expected))
            << "extra " << (row.extra ? "given" : "absent");
        free(params);
    }
}

TEST(MsiexecParams, NoPackagePathGivesNoText)
{
    EXPECT_EQ(setup_buildMsiexecParams(nullptr, L"/qn"), nullptr);
}

TEST(MsiexecParams, LongTextsAreCopiedWhole)
{
    std::wstring path = L"C:\\" + std::wstring(5000, L'p') + L".msi";
    std::wstring extra(70000, L'x');
    wchar_t* params = setup_buildMsiexecParams(path.c_str(), extra.c_str());
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(std::wstring(params), L"/i \"" + path + L"\" REINSTALLMODE=amus " + extra);
    free(params);
}

}  // namespace
