// The run sequence seen from outside: resources, the WOW64 question, the error dialog and the
// exit code.
#include "driver.h"
#include "report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <regex>

using namespace e2e;

namespace {

const char kErrorTemplate[] =
    "%1!s! has encountered error %2!d! in file %3!s! at line %4!d!:\n\n%5!s!";

// A missing RCDATA 12 is the failure these builds report: the type is not there at all.
constexpr DWORD kNoPayload = ERROR_RESOURCE_TYPE_NOT_FOUND;

RunOptions options(const std::string& exe, const std::string& args, const std::string& temp)
{
    RunOptions o;
    o.exe = exe;
    o.args = args;
    o.env = {{"TMP", temp}, {"TEMP", temp}, {"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    return o;
}

void expectErrorDialog(const Dialog& shown, const std::string& program, DWORD code)
{
    EXPECT_EQ(shown.caption, program);
    EXPECT_FALSE(shown.yesNo);
    Dialog dialog = shown;
    dialog.text = lineFeeds(shown.text);
    std::string prefix =
        program + " has encountered error " + std::to_string(code) + " in file setup at line ";
    std::smatch m;
    std::regex pattern("(\\d+):\n\n");
    ASSERT_EQ(dialog.text.compare(0, prefix.size(), prefix), 0) << dialog.text;
    std::string rest = dialog.text.substr(prefix.size());
    ASSERT_TRUE(std::regex_search(rest, m, pattern) && m.position(0) == 0) << dialog.text;
    EXPECT_GT(std::stoi(m[1].str()), 0);
    EXPECT_EQ(rest.substr(m.length(0)), lineFeeds(systemText(code)));
}

}  // namespace

extern std::string g_product;

class Resources : public testing::TestWithParam<std::string> { };

TEST_P(Resources, StringTableManifestAndVersion)
{
    std::string exe = GetParam() == "demo" ? variantExe("demo") : g_product;
    if (exe.empty()) {
        GTEST_SKIP() << "no product build given";
    }
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << exe;
    char text[1024];
    ASSERT_EQ(LoadStringA(module, 2, text, sizeof text), 187);
    EXPECT_STREQ(text, kWow64Question);
    ASSERT_GT(LoadStringA(module, 4, text, sizeof text), 0);
    EXPECT_STREQ(text, kErrorTemplate);

    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                         SizeofResource(module, found));
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
              std::string::npos);
    EXPECT_TRUE(std::regex_search(
        manifest,
        std::regex("<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
                   "version=\"6.0.0.0\"\\s+processorArchitecture=\"\\*\" "
                   "publicKeyToken=\"6595b64144ccf1df\" language=\"\\*\"/>")));
    // Windows Vista, 7, 8, 8.1 and 10/11; per-monitor DPI awareness, with the older forms.
    for (const char* os :
         {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
          "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
          "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {
        EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"),
                  std::string::npos)
            << os;
    }
    EXPECT_NE(
        manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                      "true/pm</dpiAware>"),
        std::string::npos);
    EXPECT_NE(manifest.find(
                  "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                  "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
    FreeLibrary(module);

    std::string info = versionInfo(exe);
    auto fixed = static_cast<const VS_FIXEDFILEINFO*>(versionValue(info, "\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    auto translation = static_cast<const WORD*>(versionValue(info, "\\VarFileInfo\\Translation"));
    ASSERT_NE(translation, nullptr);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04E4);
    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "1.1.0.0"},
        {"ProductVersion", "1.1.0.0"},
        {"InternalName", "setup"},
        {"OriginalFilename", "setup.exe"},
        {"CompanyName", "Vorlane"},
        {"ProductName", "Vorlane"},
        {"FileDescription", "Vorlane Setup"},
    };
    for (const auto& s : strings) {
        auto value = static_cast<const char*>(
            versionValue(info, std::string("\\StringFileInfo\\040904E4\\") + s.first));
        ASSERT_NE(value, nullptr) << s.first;
        EXPECT_STREQ(value, s.second) << s.first;
    }
}

INSTANTIATE_TEST_SUITE_P(Builds, Resources, testing::Values("demo", "product"));

// Every run of the driver checks that the question came exactly where it must; these two look
// at the question itself.
TEST(Wow64Question, AskedOnlyOfA32BitProcessOn64BitWindowsAndYesGoesOn)
{
    Scratch scratch;
    QuestionsByHand byHand;
    std::string temp = scratch.dir("wow64-yes");
    Child child = start(options(variantExe("nopayload"), "", temp));
    Dialog dialog;
    ASSERT_TRUE(waitDialog(child, &dialog));
    if (g_wow64) {
        ASSERT_TRUE(dialog.yesNo) << "not asked: " << dialog.text;
        EXPECT_EQ(lineFeeds(dialog.text), kWow64Question);
        EXPECT_EQ(dialog.caption, variantExe("nopayload"));
        answer(dialog, IDYES);
        ASSERT_TRUE(waitDialog(child, &dialog)) << "no error dialog after Yes";
    }
    expectErrorDialog(dialog, "setup", kNoPayload);
    answer(dialog, IDOK);
    EXPECT_EQ(finish(child), 0u);
}

TEST(Wow64Question, AnsweredNoEndsTheRunWithNothingWritten)
{
    Scratch scratch;
    if (!g_wow64) {
        GTEST_SKIP() << "no question here";
    }
    QuestionsByHand byHand;
    std::string temp = scratch.dir("wow64-no");
    Child child = start(options(variantExe("demo"), "", temp));
    Dialog dialog;
    ASSERT_TRUE(waitDialog(child, &dialog));
    ASSERT_TRUE(dialog.yesNo) << dialog.text;
    answer(dialog, IDNO);
    EXPECT_EQ(finish(child), 0u);
    EXPECT_TRUE(listFiles(temp).empty());
}

TEST(ErrorReport, DialogNamesProgramCodeUnitLineAndSystemText)
{
    Scratch scratch;
    std::string temp = scratch.dir("report");
    Dialog dialog;
    EXPECT_EQ(runThroughDialog(options(variantExe("nopayload"), "", temp), &dialog), 0u)
        << "a shown dialog ends the run with 0";
    expectErrorDialog(dialog, "setup", kNoPayload);
}

TEST(ErrorReport, QuietShowsNothingAndExitsWithTheCode)
{
    Scratch scratch;
    std::string temp = scratch.dir("report-quiet");
    EXPECT_EQ(runQuiet(options(variantExe("nopayload"), "--quiet", temp)), kNoPayload);
    // --quiet is a switch only at the front of the pass-through text.
    Dialog dialog;
    EXPECT_EQ(runThroughDialog(options(variantExe("nopayload"), "--allow-elevation --quiet", temp),
                               &dialog),
              0u);
}

TEST(ErrorReport, CaptionIsTheProgramNameOfTheCopy)
{
    Scratch scratch;
    std::string dir = scratch.dir("renamed");
    const std::pair<const char*, const char*> names[] = {
        {"Setup.EXE", "Setup"},
        {"tool.msi.exe", "tool.msi"},
        {"installer", "installer"},
    };
    for (const auto& name : names) {
        std::string exe = dir + "\\" + name.first;
        ASSERT_TRUE(copyFile(variantExe("nopayload"), exe));
        Dialog dialog;
        EXPECT_EQ(runThroughDialog(options(exe, "", dir), &dialog), 0u) << name.first;
        expectErrorDialog(dialog, name.second, kNoPayload);
    }
}

// The user interface language: Wine takes it from the Unix locale of the process, and a child
// inherits the driver's, so these cases run in ctest entries of their own that set it
// (e2e_german, e2e_japanese_1252).
static std::string runInUserLanguage(LANGID language, UINT codePage, const char* name,
                                     std::string* question)
{
    if (GetUserDefaultUILanguage() != language || GetACP() != codePage) {
        ADD_FAILURE() << "the driver runs with UI language " << std::hex
                      << GetUserDefaultUILanguage() << " and code page " << std::dec << GetACP();
        return "";
    }
    Scratch scratch;
    QuestionsByHand byHand;
    std::string temp = scratch.dir(name);
    Child child = start(options(variantExe("nopayload"), "", temp));
    Dialog dialog;
    EXPECT_TRUE(waitDialog(child, &dialog));
    if (g_wow64 && dialog.yesNo) {
        *question = lineFeeds(dialog.text);
        answer(dialog, IDYES);
        EXPECT_TRUE(waitDialog(child, &dialog));
    }
    std::string report = lineFeeds(dialog.text);
    answer(dialog, IDOK);
    EXPECT_EQ(finish(child), 0u);
    return report;
}

TEST(UserLanguage, GermanAsksAndReportsInGerman)
{
    std::string question;
    std::string report = runInUserLanguage(0x0407, 1252, "german", &question);
    if (g_wow64) {
        EXPECT_EQ(
            question,
            "Diese Datei ist die x86-Version (32-Bit), und die ausgeführte Windows-Version ist x64 "
            "(64-Bit). Es wird empfohlen, die x64-Version (64-Bit) des Programms zu installieren."
            "\n\nTrotzdem fortfahren?");
    }
    EXPECT_TRUE(std::regex_match(
        report,
        std::regex("Bei setup ist der Fehler " + std::to_string(kNoPayload)
                   + " in der Datei setup in Zeile [1-9][0-9]* aufgetreten:\n\n[^\n][\\s\\S]*")))
        << report;
}

// Japanese texts cannot be shown in code page 1252, the system's here; setup.exe runs in UTF-8,
// as its manifest asks (Wine honours it as Windows 10 1903 and later do), and shows them.
TEST(UserLanguage, JapaneseOnCodePage1252GetsJapaneseInUtf8)
{
    std::string question;
    std::string report = runInUserLanguage(0x0411, 1252, "japanese", &question);
    if (g_wow64) {
        EXPECT_EQ(question,
                  u8"このファイルは x86 (32 ビット) 版ですが、実行中の Windows は x64 (64 ビット) "
                  u8"版です。"
                  u8"x64 (64 ビット) 版のプログラムをインストールすることをお勧めします。\n\n"
                  u8"このまま続行しますか?");
    }
    EXPECT_EQ(report.rfind(u8"setup で、ファイル setup の ", 0), 0u) << report;
}

static size_t occurrences(const std::wstring& text, const std::wstring& word)
{
    size_t n = 0;
    for (size_t at = text.find(word); at != std::wstring::npos; at = text.find(word, at + 1)) {
        ++n;
    }
    return n;
}

// The question asked on ARM64, as setup derives it from entry 2: ARM64 in both places where
// the entry names x64 (the Windows running, the version recommended), and otherwise the entry
// itself; shown whole in the code page too.
static void expectArm64Question(const std::wstring& entry, UINT codePage)
{
    uint16_t units[1024];
    size_t n = setup_deriveArm64Text(reinterpret_cast<const uint16_t*>(entry.data()), entry.size(),
                                     units, std::size(units));
    std::wstring derived(reinterpret_cast<const wchar_t*>(units), n);
    EXPECT_EQ(occurrences(entry, L"x64"), 2u) << utf8(entry);
    EXPECT_EQ(occurrences(derived, L"ARM64"), 2u) << utf8(derived);
    EXPECT_EQ(occurrences(derived, L"x64"), 0u) << utf8(derived);
    std::wstring back = derived;
    for (size_t at = back.find(L"ARM64"); at != std::wstring::npos; at = back.find(L"ARM64", at)) {
        back.replace(at, 5, L"x64");
    }
    EXPECT_EQ(back, entry);
    char out[1024];
    EXPECT_GT(setup_convertWhole(derived.data(), static_cast<int>(n), codePage, out, sizeof out), 0)
        << utf8(derived);
}

// Every language's texts show whole in that language's ANSI code page, and the error template
// keeps its five inserts, each once.
// On ARM64 entry 2 is asked with ARM64 in the place of x64.
TEST(Languages, EveryTextFitsItsCodePageAndTheTemplateKeepsItsInserts)
{
    HMODULE module = LoadLibraryExA(variantExe("demo").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const LANGID languages[] = {0x0409, 0x0407, 0x040C, 0x0C0A, 0x0410, 0x0416, 0x0413,
                                0x0415, 0x0419, 0x041F, 0x0411, 0x0412, 0x0804, 0x0404};
    for (LANGID language : languages) {
        HRSRC found = FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_STRING),
                                      MAKEINTRESOURCEW(1), language);
        ASSERT_NE(found, nullptr) << std::hex << language;
        auto block = static_cast<const uint16_t*>(LockResource(LoadResource(module, found)));
        DWORD codePage = 0;
        ASSERT_GT(GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT),
                                 LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                                 reinterpret_cast<LPWSTR>(&codePage), 2),
                  0);
        for (unsigned id : {2u, 4u}) {
            size_t n = 0;
            auto text = reinterpret_cast<const wchar_t*>(
                setup_stringInBlock(block, SizeofResource(module, found) / 2, id, &n));
            ASSERT_NE(text, nullptr) << std::hex << language << " " << id;
            char out[1024];
            EXPECT_GT(setup_convertWhole(text, static_cast<int>(n), codePage, out, sizeof out), 0)
                << std::hex << language << " " << id << " in code page " << std::dec << codePage;
            if (id == 2) {
                expectArm64Question(std::wstring(text, n), codePage);
            }
            if (id == 4) {
                EXPECT_EQ(std::count(out, out + strlen(out), '%'), 5) << out;
                for (const char* insert : {"%1!s!", "%2!d!", "%3!s!", "%4!d!", "%5!s!"}) {
                    EXPECT_NE(strstr(out, insert), nullptr) << out << ": " << insert;
                }
            }
        }
    }
    FreeLibrary(module);
}
