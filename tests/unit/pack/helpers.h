// What setup-pack's tests share: files, a run of the command with its stderr, and a fresh
// directory per test.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command.h"
#include "output.h"
#include "pe.h"
#include "xz.h"

namespace packtest {

namespace fs = std::filesystem;

inline pack_Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return pack_Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const pack_Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// What the xz program makes of the package, with the threads option given.
inline pack_Bytes xzProgram(const fs::path& package, const char* threads = "-T1")
{
    std::string command = std::string("xz --format=xz --check=crc64 -9 ") + threads + " -c '"
        + package.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    pack_Bytes out;
    for (int c; pipe != nullptr && (c = fgetc(pipe)) != EOF;) {
        out.push_back(static_cast<uint8_t>(c));
    }
    EXPECT_TRUE(pipe != nullptr && pclose(pipe) == 0);
    return out;
}

struct PackRun {
    int code;
    std::string err;
};

// setup-pack with these arguments (options and files).
inline PackRun packArgs(const std::vector<std::string>& args)
{
    std::vector<const char*> argv = {"setup-pack"};
    for (const std::string& a : args) {
        argv.push_back(a.c_str());
    }
    testing::internal::CaptureStderr();
    int code = pack_run(static_cast<int>(argv.size()), argv.data());
    return {code, testing::internal::GetCapturedStderr()};
}

// Only the payload: the package need not be an installer database.
inline PackRun packKept(const fs::path& stub, const fs::path& package, const fs::path& output)
{
    return packArgs({"--keep-branding", stub.string(), package.string(), output.string()});
}

inline std::vector<pack_Resource> resourcesOf(const pack_Bytes& file)
{
    pack_Image image;
    std::vector<pack_Resource> resources;
    EXPECT_EQ(pack_readImage(file, &image), "");
    EXPECT_EQ(pack_readResources(file, image, &resources), "");
    return resources;
}

class SetupPack : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(VORLANE_BINARY_DIR) / "pack-test"
            / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

}  // namespace packtest
