// A scratch directory per test, and applying patches to files in it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bspatch.h"
#include "bspatch_patch_writer.h"

namespace bspatch_test {

namespace fs = std::filesystem;

class BspatchFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("bspatch-test-" + std::to_string(tick));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void put(const std::string& name, const Bytes& data) const
    {
        std::ofstream(path(name), std::ios::binary).write(data.data(), data.size());
    }

    Bytes get(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Names in the scratch directory, to see that no temporary file is left behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    int run(const std::string& oldName, const std::string& newName, const std::string& patchName)
    {
        std::string o = path(oldName), n = path(newName), p = path(patchName);
        const char* argv[] = {"bspatch", o.c_str(), n.c_str(), p.c_str()};
        return bspatch_apply(4, argv);
    }

    // Writes old and patch as "old" and "patch" and applies them to "new".
    int apply(const Bytes& old, const Bytes& patch)
    {
        put("old", old);
        put("patch", patch);
        return run("old", "new", "patch");
    }

    fs::path dir_;
};

}  // namespace bspatch_test
