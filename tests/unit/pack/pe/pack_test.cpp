// setup-pack against the real `xz` program and real MinGW stubs (both formats), and against
// hostile stubs made from them. Hostile input beyond this handful is the fuzzer's.
#include <random>

#include "helpers.h"

namespace {

using namespace packtest;

// Everything but RCDATA 12, in a fixed order.
std::vector<std::string> otherResources(const pack_Bytes& file)
{
    std::vector<std::string> out;
    for (const pack_Resource& r : resourcesOf(file)) {
        if (r.type.isName || r.type.id != kPackRtRcdata || r.name.isName
            || r.name.id != kPackPayloadId) {
            std::string key(r.type.name.begin(), r.type.name.end());
            key += "/" + std::to_string(r.type.id) + "/"
                + std::string(r.name.name.begin(), r.name.name.end()) + "/"
                + std::to_string(r.name.id) + "/" + std::to_string(r.lang.id) + "/"
                + std::to_string(r.codePage) + ":" + std::string(r.data.begin(), r.data.end());
            out.push_back(key);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The base relocations' bytes, found through the data directory.
pack_Bytes relocations(const pack_Bytes& file)
{
    pack_Image image;
    EXPECT_EQ(pack_readImage(file, &image), "");
    size_t at = 0, dir = image.dirOffset + kPackDirBaseReloc * 8;
    uint32_t size = pack_get32(file, dir + 4);
    EXPECT_TRUE(pack_rvaToOffset(image, pack_get32(file, dir), size, &at));
    return pack_Bytes(file.begin() + at, file.begin() + at + size);
}

// Whether the resource section's raw data starts on a page of the file, where a loader can map it.
bool resourcesOnAPage(const pack_Bytes& file)
{
    pack_Image image;
    return pack_readImage(file, &image).empty()
        && image.sections[image.rsrcIndex].rawOffset % 4096 == 0;
}

TEST_F(SetupPack, BothFormatsCarryTheXzProgramsBytesAndKeepTheRest)
{
    std::mt19937 random(11);
    pack_Bytes mixed(300000);
    for (size_t i = 0; i < mixed.size(); ++i) {
        mixed[i] = i < 150000 ? static_cast<uint8_t>(random()) : "package "[i % 8];
    }
    writeFile(dir_ / "mixed.msi", mixed);
    writeFile(dir_ / "empty.msi", {});
    for (const char* name : {"tiny-i686.exe", "tiny-x86_64.exe"}) {
        SCOPED_TRACE(name);
        fs::path stub = fs::path(VORLANE_PE_STUBS) / name, out = dir_ / "setup.exe";
        pack_Bytes original = readFile(stub), packed, payload;
        PackRun run = packKept(stub, dir_ / "mixed.msi", out);
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, "");
        packed = readFile(out);
        ASSERT_EQ(pack_findPayload(packed, &payload), "");  // one RCDATA 12, language 1033
        EXPECT_TRUE(payload == xzProgram(dir_ / "mixed.msi"));
        EXPECT_EQ(otherResources(packed), otherResources(original));
        EXPECT_EQ(relocations(packed), relocations(original));
        EXPECT_TRUE(resourcesOnAPage(packed));

        // Packing again, in place, replaces the payload (here with a smaller one).
        run = packKept(out, dir_ / "empty.msi", out);
        ASSERT_EQ(run.code, 0) << run.err;
        pack_Bytes repacked = readFile(out);
        ASSERT_EQ(pack_findPayload(repacked, &payload), "");
        EXPECT_TRUE(payload == xzProgram(dir_ / "empty.msi"));
        EXPECT_EQ(otherResources(repacked), otherResources(original));
        EXPECT_EQ(relocations(repacked), relocations(original));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
    }
}

TEST_F(SetupPack, HostileStubsFailWithOneLineAndLeaveTheOutputAlone)
{
    const pack_Bytes good = readFile(fs::path(VORLANE_PE_STUBS) / "tiny-x86_64.exe");
    pack_Image image;
    ASSERT_EQ(pack_readImage(good, &image), "");
    const pack_Section& rsrc = image.sections[image.rsrcIndex];
    auto poke = [&](size_t at, uint32_t value) {
        pack_Bytes bad = good;
        pack_put32(bad, at, value);
        return bad;
    };
    const std::pair<const char*, pack_Bytes> cases[] = {
        {"not a PE", pack_Bytes {'h', 'e', 'l', 'l', 'o', '\n'}},
        {"cut in the headers", pack_Bytes(good.begin(), good.begin() + 300)},
        {"cut in the resources", pack_Bytes(good.begin(), good.begin() + rsrc.rawOffset + 20)},
        {"section data outside", poke(rsrc.headerOffset + 20, 0xFFFFFE00u)},
        {"sections overlap", poke(image.sections[1].headerOffset + 12, image.sections[0].rva)},
        {"entry count outside", poke(rsrc.rawOffset + 12, 0xFFFF0000u)},
        {"directory loop", poke(rsrc.rawOffset + 20, 0x80000000u)},
        {"signature outside", poke(image.dirOffset + kPackDirSecurity * 8 + 4, 0x10000)},
    };
    fs::path out = dir_ / "setup.exe";
    writeFile(dir_ / "package.msi", {'m', 's', 'i'});
    writeFile(out, {'k', 'e', 'e', 'p'});
    for (const auto& c : cases) {
        writeFile(dir_ / "stub.exe", c.second);
        PackRun run = packKept(dir_ / "stub.exe", dir_ / "package.msi", out);
        EXPECT_EQ(run.code, 1) << c.first;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1)
            << c.first << ": " << run.err;
        EXPECT_EQ(run.err.rfind("setup-pack: ", 0), 0u) << c.first << ": " << run.err;
    }
    PackRun missing =
        packKept(fs::path(VORLANE_PE_STUBS) / "tiny-i686.exe", dir_ / "missing.msi", out);
    EXPECT_EQ(missing.code, 1) << missing.err;
    EXPECT_EQ(packKept(dir_ / "stub.exe", dir_ / "package.msi", dir_ / "new.exe").code, 1);
    EXPECT_FALSE(fs::exists(dir_ / "new.exe"));
    EXPECT_EQ(readFile(out), (pack_Bytes {'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

}  // namespace
