// The payload as the build packs it into setup.exe: read back from the executable's own
// resources, checked byte by byte against the payload form, and decoded to the package.
#include "package.h"
#include "files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using support::binaryDir;
using support::readFile;

class Packing : public testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA((binaryDir() + "\\setup.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << GetLastError();
        // Stored under US English, and found as the run sequence looks it up, without one.
        HRSRC english = FindResourceExA(module_, RT_RCDATA, MAKEINTRESOURCEA(12),
                                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_NE(english, nullptr);
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(12), RT_RCDATA);
        ASSERT_EQ(found, english);
        DWORD size = SizeofResource(module_, found);
        const void* data = LockResource(LoadResource(module_, found));
        ASSERT_NE(data, nullptr);
        payload_.assign(static_cast<const char*>(data), size);
    }
    void TearDown() override
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    unsigned byteAt(size_t at) const { return static_cast<unsigned char>(payload_.at(at)); }

    HMODULE module_ = nullptr;
    std::string payload_;
};

TEST_F(Packing, OneStreamOfTheDecoderForm)
{
    ASSERT_GT(payload_.size(), 32u + 12u);
    // Stream header: magic, CRC64 check.
    EXPECT_EQ(payload_.substr(0, 8),
              std::string("\xFD"
                          "7zXZ\0\0\x04",
                          8));
    // Block header: one filter, neither compressed nor uncompressed size, LZMA2 with the
    // 64 MiB dictionary property.
    EXPECT_EQ(byteAt(13) & 0x03, 0u) << "filters";
    EXPECT_EQ(byteAt(13) & 0xC0, 0u) << "sizes in the block header";
    EXPECT_EQ(byteAt(14), 0x21u);
    EXPECT_EQ(byteAt(15), 0x01u);
    EXPECT_EQ(byteAt(16), 0x1Cu);
    // Footer: same flags, magic; its backward size leads to an index of one record.
    size_t footer = payload_.size() - 12;
    EXPECT_EQ(payload_.substr(footer + 8), std::string("\0\x04YZ", 4));
    size_t backward = (byteAt(footer + 4) | byteAt(footer + 5) << 8 | byteAt(footer + 6) << 16
                       | static_cast<size_t>(byteAt(footer + 7)) << 24);
    size_t index = footer - (backward + 1) * 4;
    EXPECT_EQ(byteAt(index), 0x00u) << "index indicator";
    EXPECT_EQ(byteAt(index + 1), 0x01u) << "records";
}

TEST_F(Packing, DecodesToThePackedPackage)
{
    std::string packageName = support::inBuild(readFile(binaryDir() + "\\setup.gen\\package.txt"));
    ASSERT_FALSE(packageName.empty());
    std::string package = readFile(packageName);
    ASSERT_FALSE(package.empty()) << packageName;
    EXPECT_EQ(package.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));

    support::Scratch scratch;
    std::string dir = scratch.dir("packing");
    std::string out = dir + "\\decoded.msi";
    HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD result = setup_xzDecodeToFile(payload_.data(), static_cast<DWORD>(payload_.size()), file);
    CloseHandle(file);
    EXPECT_EQ(result, 0u);
    EXPECT_TRUE(readFile(out) == package) << "decoded package differs from " << packageName;
}

}  // namespace
