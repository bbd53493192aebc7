// Decoding .xz data into a file: slicing, the end of the stream, corrupt and cut input, and
// writes that fail or take only part of a piece.
#include "package.h"
#include "files.h"
#include "windows/xz_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using support::readFile;

// 1 MiB of zeros in the payload form, made by
//   head -c 1048576 /dev/zero | xz --format=xz --check=crc64 -9 -T1 | xxd -i
// One slice of it decodes into 128 full pieces.
const unsigned char zerosXz[] = {
    0xfd, 0x37, 0x7a, 0x58, 0x5a, 0x00, 0x00, 0x04, 0xe6, 0xd6, 0xb4, 0x46, 0x02, 0x00, 0x21, 0x01,
    0x1c, 0x00, 0x00, 0x00, 0x10, 0xcf, 0x58, 0xcc, 0xef, 0xff, 0xff, 0x00, 0xd9, 0x5d, 0x00, 0x00,
    0x6f, 0xfd, 0xff, 0xff, 0xa3, 0xb7, 0xff, 0x47, 0x3e, 0x48, 0x15, 0x72, 0x39, 0x61, 0x51, 0xb8,
    0x92, 0x28, 0xe6, 0xa3, 0x86, 0x07, 0xf9, 0xee, 0xe4, 0x1e, 0x82, 0xd3, 0x2f, 0xc5, 0x3a, 0x3c,
    0x01, 0x4b, 0xb1, 0x7e, 0xc9, 0x8a, 0x8a, 0x4d, 0x2f, 0xa3, 0x0d, 0xd9, 0x7f, 0xa6, 0xe3, 0x8c,
    0x23, 0x11, 0x53, 0xe0, 0x59, 0x18, 0xc5, 0x75, 0x8a, 0xe2, 0x77, 0xf8, 0xb6, 0x94, 0x7f, 0x0c,
    0x6a, 0xc0, 0xde, 0x74, 0x49, 0x64, 0xe2, 0xe9, 0x5c, 0x53, 0xb2, 0x04, 0xd8, 0xf7, 0x44, 0x0c,
    0xab, 0x5f, 0x0d, 0x6d, 0x46, 0xe9, 0xe5, 0xc3, 0x76, 0x88, 0xb7, 0x96, 0x57, 0xac, 0xb6, 0x4d,
    0xe1, 0x69, 0x1d, 0x6f, 0xfb, 0x4b, 0x88, 0x10, 0x6c, 0x42, 0xcb, 0x88, 0x3f, 0x5c, 0x00, 0x8f,
    0xd0, 0x4e, 0xaf, 0x26, 0x28, 0x94, 0x71, 0x1f, 0x3d, 0x8f, 0x24, 0xe1, 0x70, 0x9e, 0xa7, 0x23,
    0x5f, 0xec, 0x28, 0xcb, 0x85, 0xd1, 0x95, 0x98, 0x8a, 0x7e, 0x2a, 0x91, 0xf2, 0x27, 0x75, 0xf7,
    0x19, 0xc0, 0x06, 0x98, 0x4d, 0x98, 0xfd, 0xd8, 0xaf, 0xd5, 0x90, 0x0f, 0xc4, 0x25, 0x53, 0xf8,
    0xf5, 0x91, 0x36, 0x31, 0x05, 0xa5, 0xb0, 0xee, 0x6f, 0xc1, 0x70, 0x4d, 0x47, 0x0c, 0xd1, 0x91,
    0x11, 0xaa, 0xad, 0x60, 0x1d, 0xba, 0xce, 0xb1, 0x27, 0x18, 0x5c, 0x59, 0x86, 0xe9, 0x66, 0x52,
    0x58, 0xbe, 0xe9, 0x76, 0xac, 0x59, 0xe4, 0xe5, 0x5b, 0x05, 0x08, 0xf9, 0xc7, 0xda, 0xad, 0xfc,
    0xfb, 0x52, 0x2a, 0xf7, 0xe4, 0x95, 0x25, 0x00, 0x00, 0x00, 0x00, 0x00, 0xc2, 0xf6, 0xba, 0x3e,
    0xa2, 0x70, 0x6b, 0x60, 0x00, 0x01, 0xf5, 0x01, 0x80, 0x80, 0x40, 0x00, 0x79, 0x97, 0x7f, 0x47,
    0xb1, 0xc4, 0x67, 0xfb, 0x02, 0x00, 0x00, 0x00, 0x00, 0x04, 0x59, 0x5a,
};

class XzDecode : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = support::makeScratchDir("xz");
        path_ = dir_ + "\\out.bin";
        setup_recordError(0, "none", 0);
    }
    void TearDown() override { support::removeTree(dir_); }

    // Decodes input into a new file; the decoded bytes in *output.
    DWORD decode(const std::string& input, std::string* output = nullptr, uint32_t threads = 1,
                 uint64_t threadingLimit = 0)
    {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD code = setup_xzDecodeToFile(input.data(), static_cast<DWORD>(input.size()), file,
                                          nullptr, false, threads, threadingLimit);
        CloseHandle(file);
        if (output != nullptr) {
            *output = readFile(path_);
        }
        return code;
    }

    // A failure is recorded once, under the unit "setup", with the code returned.
    void expectRecorded(DWORD code)
    {
        EXPECT_EQ(setup_getErrorCode(), code);
        EXPECT_STREQ(setup_getErrorFile(), "setup");
        EXPECT_GT(setup_getErrorLine(), 0);
    }

    std::string dir_;
    std::string path_;
};

// Content of n bytes whose stream is exactly streamSize bytes long, or whose stored data ends
// exactly at dataEnd.
std::string contentForStreamSize(size_t streamSize)
{
    for (size_t n = streamSize;; --n) {
        std::string content = xz_writer::noise(n, 7);
        if (xz_writer::make(content).bytes.size() == streamSize) {
            return content;
        }
        if (n == 0) {
            return std::string();
        }
    }
}

std::string contentEndingDataAt(size_t dataEnd)
{
    for (size_t n = dataEnd;; --n) {
        std::string content = xz_writer::noise(n, 11);
        if (xz_writer::make(content).dataEnd == dataEnd || n == 0) {
            return content;
        }
    }
}

TEST_F(XzDecode, DecodesEverySliceGeometry)
{
    struct Row {
        const char* what;
        std::string content;
        size_t chunk;
    };
    const Row rows[] = {
        {"empty content", std::string(), 65536},
        {"a few bytes", "Vorlane Demo 1.1.0\r\n", 65536},
        {"one slice, exactly 8192 bytes", contentForStreamSize(8192), 65536},
        {"8192 bytes and a last slice of 4", contentForStreamSize(8196), 65536},
        // The first slice holds every content byte; the last one only the end of the block,
        // the check, the index and the footer, and yields no output.
        {"last slice without output", contentEndingDataAt(8192), 65536},
        {"many slices, many chunks", xz_writer::noise(300000, 3), 65536},
        {"small chunks", xz_writer::noise(50000, 5), 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string input = xz_writer::make(row.content, row.chunk).bytes;
        std::string output;
        ASSERT_EQ(decode(input, &output), 0u);
        EXPECT_TRUE(output == row.content) << output.size() << " of " << row.content.size();
        EXPECT_EQ(setup_getErrorCode(), 0u);
    }
}

TEST_F(XzDecode, GeometryOfTheSliceCases)
{
    EXPECT_EQ(xz_writer::make(contentForStreamSize(8192)).bytes.size(), 8192u);
    EXPECT_EQ(xz_writer::make(contentForStreamSize(8196)).bytes.size(), 8196u);
    xz_writer::Stream s = xz_writer::make(contentEndingDataAt(8192));
    EXPECT_EQ(s.dataEnd, 8192u);
    EXPECT_GT(s.bytes.size(), 8192u);
}

TEST_F(XzDecode, ManyPiecesFromOneSlice)
{
    std::string output;
    std::string input(reinterpret_cast<const char*>(zerosXz), sizeof zerosXz);
    ASSERT_EQ(decode(input, &output), 0u);
    EXPECT_TRUE(output == std::string(1048576, '\0')) << output.size();
}

// Bytes after the end of the stream are not decoded, a second stream included.
TEST_F(XzDecode, IgnoresBytesAfterTheStream)
{
    std::string content = xz_writer::noise(20000, 9);
    std::string stream = xz_writer::make(content).bytes;
    const std::string tails[] = {
        std::string(1, 'x'),
        std::string(8192, '\0'),
        xz_writer::noise(20001, 4),
        xz_writer::make("another stream").bytes,
    };
    for (const std::string& tail : tails) {
        std::string output;
        ASSERT_EQ(decode(stream + tail, &output), 0u) << tail.size();
        EXPECT_TRUE(output == content) << tail.size();
    }
    // A stream of 8192 bytes and one more byte: two slices, the second one past the end.
    std::string exact = xz_writer::make(contentForStreamSize(8192)).bytes;
    ASSERT_EQ(decode(exact + "!"), 0u);
}

// Input that ends before the stream does is not a complete package, wherever it is cut: in the
// header, the data, the check, the index or the footer, or on a slice boundary.
TEST_F(XzDecode, CutInputIsAFailure)
{
    std::string small = xz_writer::make("Vorlane Demo 1.1.0 installed.\r\n").bytes;
    for (size_t cut = 0; cut < small.size(); ++cut) {
        ASSERT_EQ(decode(small.substr(0, cut)), static_cast<DWORD>(ERROR_WRITE_FAULT)) << cut;
        expectRecorded(ERROR_WRITE_FAULT);
    }
    std::string large = xz_writer::make(xz_writer::noise(40000, 2)).bytes;
    const size_t cuts[] = {8192, 16384, 16385, large.size() - 12, large.size() - 1};
    for (size_t cut : cuts) {
        std::string output;
        ASSERT_EQ(decode(large.substr(0, cut), &output), static_cast<DWORD>(ERROR_WRITE_FAULT))
            << cut;
        expectRecorded(ERROR_WRITE_FAULT);
    }
}

TEST_F(XzDecode, CorruptInputIsAFailure)
{
    std::string content = xz_writer::noise(100000, 8);
    xz_writer::Stream s = xz_writer::make(content);
    auto flipped = [&](size_t at) {
        std::string b = s.bytes;
        b[at] = static_cast<char>(b[at] ^ 0x01);
        return b;
    };
    struct Row {
        const char* what;
        std::string input;
    };
    const Row rows[] = {
        {"stream header magic", flipped(1)},
        {"stream flags", flipped(7)},
        {"block header", flipped(14)},
        {"stored data", flipped(50000)},
        {"check", flipped(s.checkOffset + 3)},
        {"index", flipped(s.indexOffset + 2)},
        {"footer", flipped(s.bytes.size() - 5)},
        {"not .xz at all", std::string("PK\x03\x04 this is some other archive format, not xz")},
        {"noise", xz_writer::noise(30000, 12)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(decode(row.input), static_cast<DWORD>(ERROR_WRITE_FAULT));
        expectRecorded(ERROR_WRITE_FAULT);
    }
}

// A wrong check is found once the content has been decoded: the pieces written before the
// failing call stay in the file (that call's own output is not written), and the result is
// still a failure.
TEST_F(XzDecode, WrongCheckKeepsWhatWasDecoded)
{
    std::string content = xz_writer::noise(100000, 6);
    xz_writer::Stream s = xz_writer::make(content);
    s.bytes[s.checkOffset] = static_cast<char>(s.bytes[s.checkOffset] + 1);
    std::string output;
    ASSERT_EQ(decode(s.bytes, &output), static_cast<DWORD>(ERROR_WRITE_FAULT));
    expectRecorded(ERROR_WRITE_FAULT);
    EXPECT_GT(output.size(), content.size() - 8192);
    EXPECT_TRUE(content.compare(0, output.size(), output) == 0);
}

// Blocks that give their sizes go to the threads, as many at once as the limit allows; the
// content comes out whole and in order whatever the count, and with a limit that lets no
// block start, on this thread alone. A stream without sizes takes that road too.
TEST_F(XzDecode, BlocksDecodeOnAnyThreadCountAndLimit)
{
    std::string content = xz_writer::noise(5 * 131072 + 1000, 21);
    const std::string inputs[] = {xz_writer::makeBlocks(content, 131072).bytes,
                                  xz_writer::make(content).bytes};
    for (const std::string& input : inputs) {
        for (uint32_t threads : {1u, 2u, 4u}) {
            for (uint64_t limit : {SETUP_THREADING_LIMIT_MAX, uint64_t(0)}) {
                SCOPED_TRACE(testing::Message() << threads << " threads, limit " << limit);
                std::string output;
                ASSERT_EQ(decode(input, &output, threads, limit), 0u);
                EXPECT_TRUE(output == content) << output.size() << " of " << content.size();
            }
        }
    }
}

// A fault in a later block fails as in a stream of one, with the same code recorded at the
// same place, whichever thread met it: damaged data or check in the third block, and input
// cut in the second.
TEST_F(XzDecode, AFaultInALaterBlockFailsAsInOne)
{
    std::string content = xz_writer::noise(5 * 131072, 22);
    xz_writer::Blocks b = xz_writer::makeBlocks(content, 131072);
    std::string data = b.bytes, check = b.bytes;
    data[b.blockStarts[2] + 5000] ^= 0x01;
    check[b.blockStarts[3] - 3] ^= 0x01;
    std::string one = xz_writer::make(content).bytes;
    one[one.size() / 2] ^= 0x01;
    ASSERT_EQ(decode(one), static_cast<DWORD>(ERROR_WRITE_FAULT));
    int corruptLine = setup_getErrorLine();
    ASSERT_EQ(decode(one.substr(0, one.size() / 2)), static_cast<DWORD>(ERROR_WRITE_FAULT));
    int cutLine = setup_getErrorLine();
    struct Row {
        const char* what;
        std::string input;
        int line;
    } rows[] = {
        {"data of the third block", data, corruptLine},
        {"check of the third block", check, corruptLine},
        {"cut in the second block", b.bytes.substr(0, b.blockStarts[1] + 70000), cutLine},
    };
    for (const Row& row : rows) {
        for (uint32_t threads : {1u, 2u, 4u}) {
            SCOPED_TRACE(testing::Message() << row.what << ", " << threads << " threads");
            setup_recordError(0, "none", 0);
            EXPECT_EQ(decode(row.input, nullptr, threads, SETUP_THREADING_LIMIT_MAX),
                      static_cast<DWORD>(ERROR_WRITE_FAULT));
            expectRecorded(ERROR_WRITE_FAULT);
            EXPECT_EQ(setup_getErrorLine(), row.line);
        }
    }
}

TEST_F(XzDecode, AFailedWriteReturnsItsOwnCode)
{
    std::string input = xz_writer::make(xz_writer::noise(30000, 1)).bytes;
    support::writeFile(path_, "");
    HANDLE readOnly = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    struct Row {
        const char* what;
        HANDLE handle;
        DWORD expected;
    };
    const Row rows[] = {
        {"handle open for reading", readOnly, ERROR_ACCESS_DENIED},
        {"no handle", INVALID_HANDLE_VALUE, ERROR_INVALID_HANDLE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        setup_recordError(0, "none", 0);
        EXPECT_EQ(setup_xzDecodeToFile(input.data(), static_cast<DWORD>(input.size()), row.handle),
                  row.expected);
        expectRecorded(row.expected);
    }
    CloseHandle(readOnly);
}

// A pipe in non-blocking mode that nobody reads takes less than asked, then nothing at all,
// and reports success each time. Decoding must neither lose the rest nor spin for ever.
TEST_F(XzDecode, AWriteThatTakesNothingIsAFailure)
{
    const char* name = "\\\\.\\pipe\\vorlane-xz-decode-test";
    HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    HANDLE client = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    DWORD mode = PIPE_NOWAIT | PIPE_READMODE_BYTE;
    ASSERT_TRUE(SetNamedPipeHandleState(client, &mode, nullptr, nullptr));

    std::string input = xz_writer::make(xz_writer::noise(100000, 13)).bytes;
    EXPECT_EQ(setup_xzDecodeToFile(input.data(), static_cast<DWORD>(input.size()), client),
              static_cast<DWORD>(ERROR_WRITE_FAULT));
    expectRecorded(ERROR_WRITE_FAULT);
    CloseHandle(client);
    CloseHandle(server);
}

}  // namespace
