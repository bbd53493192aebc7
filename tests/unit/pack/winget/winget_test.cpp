// winget manifests: the identifier, scope, locale and install-location rules, the quoting of
// texts as a YAML parser reads them back, and setup-pack's --winget-manifest on real packages.
// The files are held to the format's rules by tests/static/winget_check.py.
#include "helpers.h"
#include "winget.h"

#include <stdlib.h>

#include <algorithm>

namespace {

using namespace packtest;

// The checker on dir, with its further arguments; its report goes to the test's output.
int wingetCheck(const fs::path& dir, const std::vector<std::string>& args)
{
    std::string command =
        std::string("python3 ") + VORLANE_WINGET_CHECK + " '" + dir.string() + "'";
    for (const std::string& a : args) {
        std::string quoted;
        for (char c : a) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        command += " '" + quoted + "'";
    }
    return system(command.c_str());
}

void writeFiles(const fs::path& dir, const pack_WingetManifest& m)
{
    fs::create_directories(dir);
    for (const pack_WingetFile& f : pack_wingetFiles(m)) {
        writeFile(dir / f.name, pack_Bytes(f.text.begin(), f.text.end()));
    }
}

const fs::path kStub = fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe";
const fs::path kAcme = fs::path(VORLANE_ACME_DIR) / "acme.msi";
const fs::path kWinget = fs::path(VORLANE_ACME_DIR) / "winget.msi";

}  // namespace

TEST(WingetRules, Identifiers)
{
    const std::pair<std::pair<const char*, const char*>, const char*> made[] = {
        {{"Acme Tools GmbH", "Acme Widget Studio"}, "AcmeToolsGmbH.AcmeWidgetStudio"},
        {{"A.B/C:D\\E*F?G\"H<I>J|K\tL\x01M", "x\xC2\xA0y\xE3\x80\x80z"}, "ABCDEFGHIJKLM.xyz"},
        {{"M\xC3\xBCller: Werkzeuge #1", "- Pro & yes"}, "M\xC3\xBCllerWerkzeuge#1.-Pro&yes"},
        {{"abcdefghijklmnopqrstuvwxyz0123456789",
          "\xF0\x9F\x98\x80"
          "abcdefghijklmnopqrstuvwxyz0123"},
         "abcdefghijklmnopqrstuvwxyz012345.\xF0\x9F\x98\x80"
         "abcdefghijklmnopqrstuvwxyz0123"},
        {{" . ", "Product"}, ""},
        {{"Acme", "\xFF\xFE"}, ""},
    };
    for (const auto& m : made) {
        EXPECT_EQ(pack_wingetIdentifierFrom(m.first.first, m.first.second), m.second)
            << m.first.first;
    }
    EXPECT_EQ(pack_wingetCheckIdentifier("a.b.c.d.e.f.g.h"), "");
    for (const char* bad : {"Acme", "a..b", ".a.b", "a.b.", "a.b.c.d.e.f.g.h.i", "a b.c", "a.b:c",
                            "a.abcdefghijklmnopqrstuvwxyz0123456"}) {
        EXPECT_NE(pack_wingetCheckIdentifier(bad), "") << bad;
    }
    std::string part(32, 'p'), longest = part + "." + part + "." + part + "." + part.substr(2);
    EXPECT_NE(pack_wingetCheckIdentifier(longest), "") << "129 characters";
    EXPECT_EQ(pack_wingetCheckIdentifier(longest.substr(1)), "");
}

TEST(WingetRules, ScopeLocaleAndInstallLocation)
{
    EXPECT_EQ(pack_wingetScope("1", "", 0), "machine");
    EXPECT_EQ(pack_wingetScope("2", "", 0), "machine");
    EXPECT_EQ(pack_wingetScope("2", "1", 0), "user");
    EXPECT_EQ(pack_wingetScope("", "", 8), "user");
    EXPECT_EQ(pack_wingetScope("", "", 2), "")
        << "nothing says how ALLUSERS is set when it is absent";
    EXPECT_EQ(pack_wingetScope("3", "", 8), "");
    EXPECT_STREQ(pack_wingetLocale(1031), "de-DE");
    EXPECT_STREQ(pack_wingetLocale(2052), "zh-CN");
    EXPECT_EQ(pack_wingetLocale(0), nullptr);
    EXPECT_EQ(pack_wingetInstallDir({"TARGETDIR", "INSTALLFOLDER", "APPDIR"}, "APPDIR"), "APPDIR");
    EXPECT_EQ(pack_wingetInstallDir({"TARGETDIR", "INSTALLFOLDER", "INSTALLDIR"}, ""),
              "INSTALLDIR");
    EXPECT_EQ(pack_wingetInstallDir({"TARGETDIR", "ACME_INSTALLDIR"}, "NOSUCHDIR"),
              "ACME_INSTALLDIR");
    EXPECT_EQ(pack_wingetInstallDir({"A_INSTALLDIR", "B_INSTALLFOLDER"}, ""), "") << "which one?";
    EXPECT_EQ(pack_wingetInstallDir({"TARGETDIR", "ProgramFilesFolder", "Acme_INSTALLDIR"}, ""), "")
        << "a private property cannot be set on the command line";
    EXPECT_EQ(pack_wingetArchitecture(0x14C), "x86");
    EXPECT_EQ(pack_wingetArchitecture(0x8664), "x64");
    EXPECT_EQ(pack_wingetArchitecture(0x200), "");
}

TEST(WingetYaml, EscapesWhatTheDoubleQuotedStyleAndLineBreaksMean)
{
    EXPECT_EQ(pack_yamlString("a\"b\\c: #d"), "\"a\\\"b\\\\c: #d\"");
    EXPECT_EQ(pack_yamlString("\t\n\r\x01\x7F"), "\"\\t\\n\\r\\x01\\x7F\"");
    EXPECT_EQ(pack_yamlString("\xC2\x85\xE2\x80\xA8\xEF\xBB\xBF\xC3\xA9"),
              "\"\\x85\\u2028\\uFEFF\xC3\xA9\"");
    EXPECT_EQ(pack_yamlString("\xFF"
                              "a\xE2\x82"),
              "\"\xEF\xBF\xBD"
              "a\xEF\xBF\xBD\xEF\xBF\xBD\"")
        << "no UTF-8";
    EXPECT_EQ(pack_yamlString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"")
        << "a surrogate";
}

// Every text of the files through a YAML parser: what the parser reads is what was written.
TEST_F(SetupPack, WingetTextsSurviveAYamlParser)
{
    pack_WingetManifest m;
    m.id = "Acme.Widget";
    m.version = "1.10";  // a number to a parser that sees it unquoted
    m.locale = "en-US";
    m.publisher = "Acme: \"Tools\" #1 'Ltd'";
    m.name = "- * & yes";
    m.license = "off";
    m.shortDescription =
        "M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC\t{a: [b]} !tag |> %@`\\ ~ null\nnext line";
    m.architecture = "x64";
    m.url = "https://example.com/a b#c?d=\"e\"";
    m.sha256 = std::string(64, 'A');
    m.productCode = "yes";
    m.displayName = "&anchor *alias";
    m.displayPublisher = "\xC2\x85\xE2\x80\xA8 ---";
    m.displayVersion = "0x1F";
    m.upgradeCode = "~";
    writeFiles(dir_ / "m", m);
    EXPECT_EQ(wingetCheck(
                  dir_ / "m",
                  {"version.PackageVersion=" + m.version, "defaultLocale.Publisher=" + m.publisher,
                   "defaultLocale.PackageName=" + m.name, "defaultLocale.License=" + m.license,
                   "defaultLocale.ShortDescription=" + m.shortDescription,
                   "installers.InstallerUrl=" + m.url, "installers.ProductCode=" + m.productCode,
                   "apps.DisplayName=" + m.displayName, "apps.Publisher=" + m.displayPublisher,
                   "apps.DisplayVersion=" + m.displayVersion, "apps.UpgradeCode=" + m.upgradeCode,
                   "installers.Scope="}),
              0);
}

// The package's values as libmsi reads them, OUTPUT's digest, and the options in their place.
TEST_F(SetupPack, WingetManifestsFromThePackage)
{
    fs::path out = dir_ / "setup.exe", m = dir_ / "manifests";
    PackRun run = packArgs({"--winget-manifest", m.string(), "--installer-url",
                            "https://example.com/setup.exe", "--license", "Proprietary",
                            kStub.string(), kWinget.string(), out.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    std::string publisher = "M\xC3\xBCller: Werkzeuge #1", name = "- Widget: \"Pro\" #2 & yes";
    EXPECT_EQ(
        wingetCheck(m,
                    {"--output", out.string(),
                     "version.PackageIdentifier=M\xC3\xBCllerWerkzeuge#1.-WidgetPro#2&yes",
                     "version.PackageVersion=3.10.0", "version.DefaultLocale=de-DE",
                     "defaultLocale.Publisher=" + publisher, "defaultLocale.PackageName=" + name,
                     "defaultLocale.ShortDescription=Widgets: made \"quick\" # and sure",
                     "installers.Architecture=x86", "installers.Scope=user",
                     "switches.InstallLocation=INSTALLDIR=\"<INSTALLPATH>\"",
                     "installers.ProductCode={7A2C4E6F-1B3D-4F5A-8C7E-9D0B2A4C6E81}",
                     "apps.UpgradeCode={2B4D6F81-3C5E-4A7B-9D1F-0E2A4C6E8A91}",
                     "apps.DisplayName=" + name}),
        0);

    fs::path m2 = dir_ / "options";
    run = packArgs({"--company", "Acme Europe", "--version", "2.3.4.5", "--winget-manifest",
                    m2.string(), "--installer-url", "HTTP://example.com/a.exe", "--winget-id",
                    "Acme.Widget.Studio", "--license", "MIT", "--short-description",
                    "Widgets, quickly", kStub.string(), kAcme.string(), out.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(
        wingetCheck(m2,
                    {"--output", out.string(), "version.PackageIdentifier=Acme.Widget.Studio",
                     "version.PackageVersion=2.3.4.5", "defaultLocale.Publisher=Acme Europe",
                     "defaultLocale.ShortDescription=Widgets, quickly", "installers.Scope=machine",
                     "switches.InstallLocation=ACME_INSTALLDIR=\"<INSTALLPATH>\"",
                     "apps.Publisher=Acme Tools GmbH", "apps.DisplayVersion=2.3.4"}),
        0);
}

// A value the manifests need and cannot have: one line naming the option, before anything is
// written.
TEST_F(SetupPack, WingetRefusesBeforePacking)
{
    fs::path out = dir_ / "setup.exe", m = dir_ / "m";
    const std::vector<std::string> base = {"--winget-manifest", m.string()};
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--license", "MIT"}, "--installer-url"},
        {{"--installer-url", "https://e.com/s.exe"}, "--license"},
        {{"--installer-url", "ftp://e.com/s.exe", "--license", "MIT"}, "--installer-url"},
        {{"--installer-url", "https://e.com/s.exe", "--license", "MIT", "--winget-id", "Acme"},
         "--winget-id"},
        {{"--installer-url", "https://e.com/s.exe", "--license", "MIT", "--short-description",
          "ab"},
         "--short-description"},
        {{"--installer-url", "https://e.com/s.exe", "--license", "MIT", "--name", "A"}, "--name"},
        {{"--installer-url", "https://e.com/s.exe", "--license", "MIT", "--version", "1.2"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = base;
        args.insert(args.end(), c.first.begin(), c.first.end());
        args.insert(args.end(), {kStub.string(), kAcme.string(), out.string()});
        PackRun run = packArgs(args);
        if (*c.second == '\0') {
            EXPECT_EQ(run.code, 0)
                << run.err;  // the last one is a good one: the rest fail only for their cause
            continue;
        }
        EXPECT_EQ(run.code, 1) << c.second;
        EXPECT_NE(run.err.find(c.second), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(out) || fs::exists(m)) << c.second;
    }
    PackRun stray = packArgs({"--license", "MIT", kStub.string(), kAcme.string(), out.string()});
    EXPECT_EQ(stray.code, 1);
    EXPECT_NE(stray.err.find("--winget-manifest"), std::string::npos) << stray.err;
}
