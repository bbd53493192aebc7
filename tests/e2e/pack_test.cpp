// setup-pack's results as Windows reads them: the resource tree through the loader's own
// enumeration, the checksum through imagehlp, and the repacked executable run.
#include "driver.h"
#include "report.h"

#include <imagehlp.h>

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {

using Tree = std::map<std::string, std::string>;  // "type/name/language" -> bytes

std::string resName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
}

BOOL CALLBACK onLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR tree)
{
    HRSRC found = FindResourceExA(module, type, name, language);
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    std::string key = resName(type) + "/" + resName(name) + "/" + std::to_string(language);
    (*reinterpret_cast<Tree*>(tree))[key].assign(data ? data : "",
                                                 data ? SizeofResource(module, found) : 0);
    return TRUE;
}

BOOL CALLBACK onName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR tree)
{
    return EnumResourceLanguagesA(module, type, name, onLanguage, tree);
}

BOOL CALLBACK onType(HMODULE module, LPSTR type, LONG_PTR tree)
{
    return EnumResourceNamesA(module, type, onName, tree);
}

Tree resources(const std::string& exe)
{
    Tree tree;
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(module, nullptr) << exe;
    if (module != nullptr) {
        EnumResourceTypesA(module, onType, reinterpret_cast<LONG_PTR>(&tree));
        FreeLibrary(module);
    }
    return tree;
}

// A silent install by exe with the given installer arguments, its temporary files in temp.
DWORD installQuietly(const std::string& exe, const std::string& args, const std::string& temp)
{
    RunOptions o;
    o.exe = exe;
    o.args = "--quiet /qn " + args;
    o.cwd = temp;
    o.env = {{"TMP", temp}, {"TEMP", temp}};
    return runQuiet(o);
}

}  // namespace

TEST(Pack, RepackingReplacesOnlyThePayloadWithTheXzProgramsBytes)
{
    Scratch scratch;
    const std::string payloadKey = "#10/#12/1033";
    Tree demo = resources(variantExe("demo")), repacked = resources(variantExe("repacked"));
    ASSERT_EQ(demo.count(payloadKey), 1u);
    ASSERT_EQ(repacked.count(payloadKey), 1u);
    EXPECT_TRUE(demo[payloadKey] == readFile(g_paths["demo.xz"]))
        << "the build's payload differs from xz's";
    EXPECT_TRUE(repacked[payloadKey] == readFile(g_paths["not-msi.xz"])) << "differs from xz's";
    demo.erase(payloadKey);
    repacked.erase(payloadKey);
    EXPECT_GE(demo.size(), 4u) << "icon, group icon, manifest, version, strings";
    EXPECT_TRUE(demo == repacked) << "resources other than the payload changed";

    for (const std::string& exe : {variantExe("demo"), variantExe("repacked")}) {
        DWORD header = 0, computed = 0;
        ASSERT_EQ(MapFileAndCheckSumA(exe.c_str(), &header, &computed),
                  static_cast<DWORD>(CHECKSUM_SUCCESS));
        EXPECT_EQ(header, computed) << exe;
    }

    std::string cwd = scratch.dir("repacked");
    RunOptions o;
    o.exe = variantExe("repacked");
    o.args = "--xzdec";
    o.cwd = cwd;
    o.env = {{"VORLANE_AUTOUPDATE_INSTALLDIR", kUnset}};
    EXPECT_EQ(runQuiet(o), 0u);
    EXPECT_TRUE(readFile(cwd + "\\setup.msi") == readFile(g_paths["not-msi"]))
        << "decodes to another package";
}

TEST(Pack, ABrandedSetupShowsTheProductsIdentityAndStillInstalls)
{
    Scratch scratch;
    std::string exe = variantExe("branded");
    std::string info = versionInfo(exe);
    auto fixed = static_cast<const VS_FIXEDFILEINFO*>(versionValue(info, "\\"));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00040000u);
    const std::pair<const char*, const char*> strings[] = {{"ProductName", "Acme Widget Studio"},
                                                           {"FileVersion", "2.3.4.0"},
                                                           {"CompanyName", "Acme Tools GmbH"}};
    for (const auto& s : strings) {
        auto value = static_cast<const char*>(
            versionValue(info, std::string("\\StringFileInfo\\040904B0\\") + s.first));
        ASSERT_NE(value, nullptr) << s.first;
        EXPECT_STREQ(value, s.second);
    }
    Tree tree = resources(exe);
    EXPECT_EQ(tree.count("#14/#1/1033"), 1u) << "the icon group";
    EXPECT_EQ(tree.count("#3/#1/1033") + tree.count("#3/#2/1033"), 2u)
        << "the package's two icon images";

    std::string temp = scratch.dir("branded"), dir = "C:\\Acme Branded";
    scratch.own(dir);
    EXPECT_EQ(installQuietly(exe, "ACME_INSTALLDIR=\"" + dir + "\"", temp), 0u);
    EXPECT_TRUE(fileExists(dir + "\\acme.ico")) << "nothing installed";
}

// A package whose cabinet is MSZIP, packed with --store-cabinets by the native setup-pack (the
// build's "stored" variant) and by setup-pack.exe here: each installs the package's files
// through the real msiexec, byte for byte.
TEST(Pack, StoredCabinetsInstallThePackagesFiles)
{
    Scratch scratch;
    std::string temp = scratch.dir("stored"), dir = scratch.own("C:\\Cabinet Sample"),
                cabs = g_paths["cabinets"];
    RunOptions pack;
    pack.exe = g_paths["setup-pack.exe"];
    pack.args = "--store-cabinets \"" + g_paths["setup-stub.exe"] + "\" \"" + cabs
        + "\\cabinets.msi\" \"" + temp + "\\setup.exe\"";
    pack.setupRun = false;
    ASSERT_EQ(runQuiet(pack), 0u);
    for (const std::string& exe : {variantExe("stored"), temp + "\\setup.exe"}) {
        SCOPED_TRACE(exe);
        removeTree(dir);
        EXPECT_EQ(installQuietly(exe, "CABS_INSTALLDIR=\"" + dir + "\"", temp), 0u);
        const std::pair<const char*, const char*> files[] = {{"lines.txt", "lines.txt"},
                                                             {"acme.ico", "acme.ico"},
                                                             {"icons\\other.ico", "other.ico"}};
        for (const auto& f : files) {
            std::string installed = readFile(dir + "\\" + f.first);
            EXPECT_TRUE(!installed.empty() && installed == readFile(cabs + "\\" + f.second))
                << f.first;
        }
        RunOptions remove;
        remove.exe = "C:\\windows\\system32\\msiexec.exe";
        remove.args = "/x {5B0E7C3A-2D41-4F6A-9C8B-1E2F3A4B5C6D} /qn";
        remove.setupRun = false;
        EXPECT_EQ(runQuiet(remove), 0u);
    }
}

// setup-pack --no-architecture-question: the question's text is gone from the string table of
// every language and nothing else changed; the run asks nothing (in the 64-bit prefix, where
// it would) and installs.
TEST(Pack, WithoutTheQuestionNothingIsAskedAndNothingElseChanged)
{
    Tree plain = resources(variantExe("demo")), without = resources(variantExe("noquestion"));
    ASSERT_EQ(plain.size(), without.size());
    int blocks = 0;
    for (const auto& [key, bytes] : plain) {
        const std::string& other = without[key];
        if (key.rfind("#6/#1/", 0) != 0) {
            EXPECT_TRUE(other == bytes) << key;
            continue;
        }
        ++blocks;
        auto block = [](const std::string& b) {
            return reinterpret_cast<const uint16_t*>(b.data());
        };
        for (unsigned index = 0; index < 16; ++index) {
            size_t n = 0, m = 0;
            const uint16_t* a = setup_stringInBlock(block(bytes), bytes.size() / 2, index, &n);
            const uint16_t* b = setup_stringInBlock(block(other), other.size() / 2, index, &m);
            if (index == 2) {
                EXPECT_TRUE(a != nullptr && b == nullptr) << key;
            } else {
                EXPECT_TRUE(n == m && (a == nullptr) == (b == nullptr)
                            && (a == nullptr || std::equal(a, a + n, b)))
                    << key << " " << index;
            }
        }
    }
    EXPECT_EQ(blocks, 14);

    QuestionsByHand byHand;  // a question would be an unexpected dialog
    Scratch scratch;
    std::string temp = scratch.dir("noquestion");
    scratch.own("C:\\No Question");
    RunOptions o;
    o.exe = variantExe("noquestion");
    o.args = "/qn VORLANE_AUTOUPDATE_INSTALLDIR=\"C:\\No Question\"";
    o.cwd = temp;
    o.env = {{"TMP", temp}, {"TEMP", temp}};
    EXPECT_EQ(runQuiet(o), 0u);
    EXPECT_TRUE(fileExists("C:\\No Question\\readme.txt"));
}
