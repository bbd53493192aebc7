// What a packager meets first: --help, --version alone, and --version with a value as the old
// spelling of --product-version. The options' table, which --help and the manual page print,
// must name only options the parser takes.
#include <string.h>

#include <regex>

#include "helpers.h"
#include "options.h"

namespace {

using namespace packtest;

struct Printed {
    int code;
    std::string out, err;
};

Printed printed(const std::vector<const char*>& args)
{
    std::vector<const char*> argv = {"setup-pack"};
    argv.insert(argv.end(), args.begin(), args.end());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int code = pack_run(static_cast<int>(argv.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {code, out, testing::internal::GetCapturedStderr()};
}

TEST(Help, HelpAndVersionPrintAndSucceed)
{
    for (const auto& args :
         {std::vector<const char*> {"--help"}, {"--threads", "2", "--help", "x", "y"}}) {
        Printed help = printed(args);
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(help.out.rfind("usage: setup-pack [OPTION]... [STUB] PACKAGE OUTPUT\n", 0), 0u)
            << help.out;
        for (size_t i = 0; i < kPackOptionCount; ++i) {
            EXPECT_NE(help.out.find(std::string("\n  ") + kPackOptions[i].name), std::string::npos)
                << kPackOptions[i].name;
        }
        EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
        for (size_t start = 0, end; (end = help.out.find('\n', start)) != std::string::npos;
             start = end + 1) {
            EXPECT_LE(end - start, 79u) << help.out.substr(start, end - start);
        }
    }
    Printed version = printed({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(std::regex_match(version.out,
                                 std::regex("setup-pack [0-9]+\\.[0-9]+\\.[0-9]+(\\.[0-9]+)?\n")))
        << version.out;
    // With a value and no files it is the old option, and the files are missing.
    Printed old = printed({"--version", "2.3.4"});
    EXPECT_EQ(old.code, 1);
    EXPECT_EQ(old.out, "");
    EXPECT_EQ(old.err, pack_usageLine());
}

TEST(Help, EveryOptionOfTheTableIsParsedAndInTheManualPage)
{
    std::string man = pack_manSections();
    for (size_t i = 0; i < kPackOptionCount; ++i) {
        const pack_OptionDoc& o = kPackOptions[i];
        std::string roffName = std::regex_replace(o.name, std::regex("-"), "\\-");
        EXPECT_NE(man.find(roffName), std::string::npos) << o.name;
        if (o.kind == kPackOptionInfo) {
            continue;
        }
        const char* value = strcmp(o.name, "--threads") == 0 ? "2" : "1.2";
        std::vector<const char*> argv = {"setup-pack", o.name};
        if (o.value != nullptr) {
            argv.push_back(value);
        }
        pack_Options options;
        std::string error = pack_parseOptions(static_cast<int>(argv.size()), argv.data(), &options);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << o.name << ": " << error;
    }
}

class OldSpelling : public SetupPack { };

// --version VALUE before the files brands as --product-version VALUE does.
TEST_F(OldSpelling, VersionWithAValueIsProductVersion)
{
    const std::string stub = (fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe").string(),
                      msi = (fs::path(VORLANE_ACME_DIR) / "acme.msi").string();
    fs::create_directories(dir_ / "old");
    fs::create_directories(dir_ / "new");
    ASSERT_EQ(
        packArgs({"--version", "9.8.7", stub, msi, (dir_ / "old" / "setup.exe").string()}).code, 0);
    ASSERT_EQ(
        packArgs({"--product-version", "9.8.7", stub, msi, (dir_ / "new" / "setup.exe").string()})
            .code,
        0);
    EXPECT_TRUE(readFile(dir_ / "old" / "setup.exe") == readFile(dir_ / "new" / "setup.exe"));
}

}  // namespace
