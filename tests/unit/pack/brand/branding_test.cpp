// Branding: the version record and icon that setup-pack writes, from the package (built by
// wixl, varied by msitools' msibuild) and from the options; the warnings and errors.
#include <stdlib.h>

#include <map>

#include "brand.h"
#include "helpers.h"

namespace {

using namespace packtest;

const fs::path kAcme = fs::path(VORLANE_ACME_DIR) / "acme.msi";
const fs::path kAcmeIcon = fs::path(VORLANE_ACME_DIR) / "acme.ico";
const fs::path kOtherIcon = fs::path(VORLANE_ACME_DIR) / "other.ico";  // one 24x24 image
const fs::path kStub = fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe";

using Strings = std::map<std::u16string, std::u16string>;

struct Brand {
    pack_VersionInfo version;
    Strings strings;
    std::vector<pack_IconImage> icon;
    size_t iconImages = 0, versionRecords = 0;
};

Brand brandOf(const fs::path& exe)
{
    Brand b;
    std::vector<pack_Resource> resources = resourcesOf(readFile(exe));
    for (const pack_Resource& r : resources) {
        b.iconImages += !r.type.isName && r.type.id == kPackRtIcon;
        if (!r.type.isName && r.type.id == kPackRtVersion) {
            ++b.versionRecords;
            EXPECT_EQ(pack_readVersionRecord(r.data, &b.version), "");
        }
    }
    b.strings.insert(b.version.strings.begin(), b.version.strings.end());
    pack_iconFromResources(resources, &b.icon);
    return b;
}

// The resources that branding leaves alone.
std::vector<pack_Resource> unbranded(const fs::path& exe)
{
    std::vector<pack_Resource> out;
    for (const pack_Resource& r : resourcesOf(readFile(exe))) {
        uint16_t t = r.type.isName ? 0 : r.type.id;
        if (t != kPackRtIcon && t != kPackRtGroupIcon && t != kPackRtVersion
            && t != kPackRtRcdata) {
            out.push_back(r);
        }
    }
    return out;
}

bool sameResources(const std::vector<pack_Resource>& a, const std::vector<pack_Resource>& b)
{
    auto key = [](const pack_Resource& r) {
        return std::string(r.type.name.begin(), r.type.name.end()) + "/" + std::to_string(r.type.id)
            + "/" + std::string(r.name.name.begin(), r.name.name.end()) + "/"
            + std::to_string(r.name.id) + "/" + std::to_string(r.lang.id) + "/"
            + std::to_string(r.codePage) + ":" + std::string(r.data.begin(), r.data.end());
    };
    std::vector<std::string> ka, kb;
    for (const pack_Resource& r : a) {
        ka.push_back(key(r));
    }
    for (const pack_Resource& r : b) {
        kb.push_back(key(r));
    }
    std::sort(ka.begin(), ka.end());
    std::sort(kb.begin(), kb.end());
    return ka == kb;
}

// A copy of the Acme package changed by msibuild, once for each set of its arguments.
fs::path acmeVariant(const fs::path& dir, const std::string& name,
                     const std::vector<std::string>& edits)
{
    fs::path out = dir / name;
    fs::copy_file(kAcme, out);
    for (const std::string& edit : edits) {
        std::string command = "msibuild '" + out.string() + "' " + edit;
        EXPECT_EQ(system(command.c_str()), 0) << command;
    }
    return out;
}

std::string query(const std::string& sql) { return "-q \"" + sql + "\""; }

class Branding : public SetupPack { };

TEST_F(Branding, ThePackagesNameVersionMakerAndIconAndOptionsOverThem)
{
    fs::path out = dir_ / "acme-setup.exe";
    PackRun run = packArgs({kStub.string(), kAcme.string(), out.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    Brand b = brandOf(out);
    EXPECT_EQ(b.versionRecords, 1u);
    ASSERT_TRUE(b.version.hasFixed);
    EXPECT_EQ(std::vector<uint16_t>(b.version.fileVersion, b.version.fileVersion + 4),
              (std::vector<uint16_t> {2, 3, 4, 0}));
    EXPECT_EQ(std::vector<uint16_t>(b.version.productVersion, b.version.productVersion + 4),
              (std::vector<uint16_t> {2, 3, 4, 0}));
    EXPECT_EQ(b.strings,
              (Strings {{u"CompanyName", u"Acme Tools GmbH"},
                        {u"FileDescription", u"Acme Widget Studio Setup"},
                        {u"FileVersion", u"2.3.4.0"},
                        {u"InternalName", u"setup"},
                        {u"OriginalFilename", u"acme-setup.exe"},
                        {u"ProductName", u"Acme Widget Studio"},
                        {u"ProductVersion", u"2.3.4.0"}}));
    std::vector<pack_IconImage> ico;
    ASSERT_EQ(pack_readIcon(readFile(kAcmeIcon), &ico), "");
    ASSERT_EQ(b.icon.size(), 2u);
    EXPECT_EQ(b.iconImages, 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(b.icon[i].width, i == 0 ? 16 : 48);
        EXPECT_TRUE(b.icon[i].data == ico[i].data) << i;
    }
    EXPECT_TRUE(sameResources(unbranded(out), unbranded(kStub)));

    // Options win over the package; packing a branded file again replaces its icon images.
    fs::path again = dir_ / "setup.exe";
    run = packArgs({"--name", "Gadget", "--version", "9.8", "--company",
                    "\xC3\x9Cn\xC3\xAF"
                    "code AG",
                    "--icon", kOtherIcon.string(), out.string(), kAcme.string(), again.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    b = brandOf(again);
    EXPECT_EQ(b.strings[u"ProductName"], u"Gadget");
    EXPECT_EQ(b.strings[u"FileDescription"], u"Gadget Setup");
    EXPECT_EQ(b.strings[u"CompanyName"], u"\u00DCn\u00EFcode AG");
    EXPECT_EQ(b.strings[u"FileVersion"], u"9.8.0.0");
    EXPECT_EQ(b.version.fileVersion[0], 9);
    ASSERT_EQ(b.icon.size(), 1u);
    EXPECT_EQ(b.icon[0].width, 24);
    EXPECT_EQ(b.iconImages, 1u);
    EXPECT_TRUE(sameResources(unbranded(again), unbranded(kStub)));

    // --keep-branding leaves a branded stub as it is: the edit of the payload alone.
    pack_Bytes payload, expected;
    bool removed = false;
    ASSERT_EQ(pack_compressFile(kAcme.c_str(), &payload), "");
    ASSERT_EQ(pack_replacePayload(readFile(again), payload, &expected, &removed), "");
    run = packKept(again, kAcme, out);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(readFile(out) == expected);
}

TEST_F(Branding, UnusableValuesInThePackageWarnOnceAndKeepTheStubs)
{
    fs::path stub = dir_ / "stub.exe";
    PackRun run = packArgs({"--version", "1.0.0.7", "--company", "Stub Co", "--icon",
                            kOtherIcon.string(), kStub.string(), kAcme.string(), stub.string()});
    ASSERT_EQ(run.code, 0) << run.err;
    writeFile(dir_ / "junk", {'n', 'o'});
    const std::string rename =
        query("UPDATE Property SET Value = 'Other' WHERE Property = 'ProductName'");
    const struct {
        const char* name;
        std::string spoil;
        const char* warning;
    } cases[] = {
        {"version",
         query("UPDATE Property SET Value = '2.3.70000' WHERE Property = 'ProductVersion'"),
         "ProductVersion"},
        {"long",
         query("UPDATE Property SET Value = '" + std::string(kPackMaxBrandText + 1, 'm')
               + "' WHERE Property = 'Manufacturer'"),
         "Manufacturer"},
        {"norow", query("UPDATE Property SET Value = 'none.ico' WHERE Property = 'ARPPRODUCTICON'"),
         "ARPPRODUCTICON"},
        {"noicon", "-a Icon.acme.ico '" + (dir_ / "junk").string() + "'", "not an icon"},
    };
    for (const auto& c : cases) {
        fs::path package = acmeVariant(dir_, std::string(c.name) + ".msi", {rename, c.spoil});
        fs::path out = dir_ / (std::string(c.name) + ".exe");
        run = packArgs({stub.string(), package.string(), out.string()});
        ASSERT_EQ(run.code, 0) << c.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("setup-pack: warning: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;
        Brand b = brandOf(out);
        EXPECT_EQ(b.strings[u"ProductName"], u"Other") << c.name;
        bool version = c.name == std::string("version"), company = c.name == std::string("long");
        bool icon = !version && !company;
        EXPECT_EQ(b.strings[u"FileVersion"], version ? u"1.0.0.7" : u"2.3.4.0") << c.name;
        EXPECT_EQ(b.strings[u"CompanyName"], company ? u"Stub Co" : u"Acme Tools GmbH") << c.name;
        ASSERT_FALSE(b.icon.empty());
        EXPECT_EQ(b.icon[0].width, icon ? 24 : 16) << c.name;
    }
}

TEST_F(Branding, UnusableOptionsAndPackagesAreErrorsWithoutOutput)
{
    writeFile(dir_ / "junk", {'n', 'o'});
    pack_Bytes acme = readFile(kAcme);
    writeFile(dir_ / "cut.msi", pack_Bytes(acme.begin(), acme.begin() + acme.size() / 2));
    const std::string stub = kStub.string(), msi = kAcme.string(), junk = (dir_ / "junk").string(),
                      out = (dir_ / "setup.exe").string();
    const std::vector<std::string> cases[] = {
        {"--version", "x.y", stub, msi, out},
        {"--version", "1.2.3.4.5", stub, msi, out},
        {"--icon", junk, stub, msi, out},
        {"--icon", (dir_ / "missing.ico").string(), stub, msi, out},
        {"--name", "", stub, msi, out},
        {stub, junk, out},
        {stub, (dir_ / "cut.msi").string(), out},
    };
    for (const auto& args : cases) {
        PackRun run = packArgs(args);
        EXPECT_EQ(run.code, 1) << args[1];
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.rfind("setup-pack: ", 0), 0u) << run.err;
        EXPECT_FALSE(fs::exists(out)) << args[1];
    }
}

}  // namespace
