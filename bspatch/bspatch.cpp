// Applying a BSDIFF40 patch: the header, the three block readers, the old file and the replay
// of the control triples into the new buffer. Writing the result is in new_file.cpp.
//
// Layout: "BSDIFF40", the control block length X, the diff block length Y and the new size
// (8-byte integers), then three bzip2 streams: control at 32, diff at 32 + X, extra at
// 32 + X + Y up to the end. Each triple (x, y, z) adds x diff bytes to the old bytes under the
// old position, copies y extra bytes, and moves the old position by x + z.
#include "bspatch.h"
#include "file_io.h"

#include <bzlib.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr unsigned char kMagic[8] = {'B', 'S', 'D', 'I', 'F', 'F', '4', '0'};
constexpr int64_t kHeaderSize = 32;

enum { kControl, kDiff, kExtra, kReaderCount };

// One block of the patch: its own open file, positioned at the block, and a libbz2 handle.
struct bspatch_Reader {
    FILE* file;
    BZFILE* bz;
    int bzError;
};

}  // namespace

int64_t bspatch_decodeOffset(const unsigned char* bytes)
{
    int64_t value = bytes[7] & 0x7F;
    for (int i = 6; i >= 0; --i) {
        value = value * 256 + bytes[i];
    }
    return (bytes[7] & 0x80) ? -value : value;
}

int bspatch_movePosition(int64_t* position, int64_t delta)
{
    if (delta > 0 ? *position > INT64_MAX - delta : *position < INT64_MIN - delta) {
        return 1;
    }
    *position += delta;
    return 0;
}

int bspatch_readStream(void* bz, int* bzError, unsigned char* dest, int64_t count, int maxRequest)
{
    if (maxRequest <= 0) {
        return 1;
    }
    while (count > 0) {
        int want = count > maxRequest ? maxRequest : static_cast<int>(count);
        int got = BZ2_bzRead(bzError, bz, dest, want);
        if (got != want || (*bzError != BZ_OK && *bzError != BZ_STREAM_END)) {
            return 1;
        }
        dest += got;
        count -= got;
    }
    return 0;
}

// 64-bit positioning for streams and descriptors: the plain fseek and lseek of the Windows
// runtime take a 32-bit long.
static int bspatch_seekStream(FILE* file, int64_t offset)
{
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET);
#else
    static_assert(sizeof(off_t) >= sizeof(int64_t), "64-bit file offsets needed");
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET);
#endif
}

static int64_t bspatch_seekDescriptor(int fd, int64_t offset, int whence)
{
#ifdef _WIN32
    return _lseeki64(fd, offset, whence);
#else
    return lseek(fd, static_cast<off_t>(offset), whence);
#endif
}

// Reads and checks the 32-byte header. On success the three values are non-negative.
static int bspatch_readHeader(const char* path, int64_t* controlLength, int64_t* diffLength,
                              int64_t* newSize)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        return 1;
    }
    unsigned char header[kHeaderSize];
    int result = 1;
    if (fread(header, 1, kHeaderSize, file) == kHeaderSize
        && memcmp(header, kMagic, sizeof kMagic) == 0) {
        *controlLength = bspatch_decodeOffset(header + 8);
        *diffLength = bspatch_decodeOffset(header + 16);
        *newSize = bspatch_decodeOffset(header + 24);
        result = (*controlLength < 0 || *diffLength < 0 || *newSize < 0) ? 1 : 0;
    }
    if (fclose(file) != 0) {
        result = 1;
    }
    return result;
}

static int bspatch_openReader(bspatch_Reader* reader, const char* path, int64_t offset)
{
    reader->file = fopen(path, "rb");
    if (!reader->file || bspatch_seekStream(reader->file, offset) != 0) {
        return 1;
    }
    reader->bz = BZ2_bzReadOpen(&reader->bzError, reader->file, 0, 0, nullptr, 0);
    return reader->bz ? 0 : 1;
}

// Opens the control, diff and extra readers at 32, 32 + X and 32 + X + Y. Lengths whose sum
// leaves the 64-bit range cannot describe any file and fail.
static int bspatch_openReaders(bspatch_Reader* readers, const char* path, int64_t controlLength,
                               int64_t diffLength)
{
    if (controlLength > INT64_MAX - kHeaderSize
        || diffLength > INT64_MAX - kHeaderSize - controlLength) {
        return 1;
    }
    const int64_t offsets[kReaderCount] = {kHeaderSize, kHeaderSize + controlLength,
                                           kHeaderSize + controlLength + diffLength};
    for (int i = 0; i < kReaderCount; ++i) {
        if (bspatch_openReader(&readers[i], path, offsets[i]) != 0) {
            return 1;
        }
    }
    return 0;
}

// Releases every libbz2 handle, then closes every file, both in reader order. Returns 1 when
// closing a file failed.
static int bspatch_closeReaders(bspatch_Reader* readers)
{
    for (int i = 0; i < kReaderCount; ++i) {
        if (readers[i].bz) {
            int ignored;
            BZ2_bzReadClose(&ignored, readers[i].bz);
            readers[i].bz = nullptr;
        }
    }
    int result = 0;
    for (int i = 0; i < kReaderCount; ++i) {
        if (readers[i].file && fclose(readers[i].file) != 0) {
            result = 1;
        }
        readers[i].file = nullptr;
    }
    return result;
}

// Allocates size + 1 bytes (never a zero-byte request). Null when size + 1 does not fit.
static unsigned char* bspatch_allocate(int64_t size)
{
    if (static_cast<uint64_t>(size) >= SIZE_MAX) {
        return nullptr;
    }
    return static_cast<unsigned char*>(malloc(static_cast<size_t>(size) + 1));
}

// Reads the whole file behind fd into a new buffer (*buffer, which the caller frees).
static int bspatch_readDescriptor(int fd, unsigned char** buffer, int64_t* size)
{
    int64_t end = bspatch_seekDescriptor(fd, 0, SEEK_END);
    if (end < 0) {
        return 1;
    }
    *buffer = bspatch_allocate(end);
    if (!*buffer || bspatch_seekDescriptor(fd, 0, SEEK_SET) != 0) {
        return 1;
    }
    int64_t done = 0;
    while (done < end) {
        unsigned want = end - done > kMaxRequest ? kMaxRequest : static_cast<unsigned>(end - done);
        auto got = read(fd, *buffer + done, want);
        if (got <= 0) {
            break;
        }
        done += got;
    }
    *size = done;
    return done == end ? 0 : 1;
}

static int bspatch_readOld(const char* path, unsigned char** buffer, int64_t* size)
{
    int fd = open(path, O_RDONLY | kBinary, 0);
    if (fd < 0) {
        return 1;
    }
    int result = bspatch_readDescriptor(fd, buffer, size);
    if (close(fd) == -1) {
        result = 1;
    }
    return result;
}

static int bspatch_readTriple(bspatch_Reader* control, int64_t* x, int64_t* y, int64_t* z)
{
    int64_t* values[3] = {x, y, z};
    for (int64_t* value : values) {
        unsigned char bytes[8];
        if (bspatch_readStream(control->bz, &control->bzError, bytes, 8, kMaxRequest) != 0) {
            return 1;
        }
        *value = bspatch_decodeOffset(bytes);
    }
    return 0;
}

// Adds to dest[i] the old byte at oldPos + i, for those i < count whose old byte exists. The
// caller guarantees that oldPos + count stays in range, so no sum here overflows.
static void bspatch_addOld(unsigned char* dest, int64_t count, const unsigned char* old,
                           int64_t oldSize, int64_t oldPos)
{
    int64_t from = oldPos > 0 ? oldPos : 0;
    int64_t to = oldPos + count < oldSize ? oldPos + count : oldSize;
    if (from >= to) {
        return;
    }
    unsigned char* out = dest + (from - oldPos);
    for (int64_t i = 0; i < to - from; ++i) {
        out[i] = static_cast<unsigned char>(out[i] + old[from + i]);
    }
}

// Replays the control triples until the new buffer is full. Lengths are tested against the
// room left, so that no sum can overflow; an old position that would leave the 64-bit range
// fails before it is formed.
static int bspatch_replay(bspatch_Reader* readers, const unsigned char* old, int64_t oldSize,
                          unsigned char* out, int64_t newSize)
{
    int64_t oldPos = 0;
    int64_t newPos = 0;
    while (newPos < newSize) {
        int64_t x, y, z;
        if (bspatch_readTriple(&readers[kControl], &x, &y, &z) != 0) {
            return 1;
        }
        int64_t oldAfterDiff = oldPos;
        if (x < 0 || x > newSize - newPos || bspatch_movePosition(&oldAfterDiff, x) != 0) {
            return 1;
        }
        bspatch_Reader* diff = &readers[kDiff];
        if (bspatch_readStream(diff->bz, &diff->bzError, out + newPos, x, kMaxRequest) != 0) {
            return 1;
        }
        bspatch_addOld(out + newPos, x, old, oldSize, oldPos);
        newPos += x;
        oldPos = oldAfterDiff;
        if (y < 0 || y > newSize - newPos) {
            return 1;
        }
        bspatch_Reader* extra = &readers[kExtra];
        if (bspatch_readStream(extra->bz, &extra->bzError, out + newPos, y, kMaxRequest) != 0) {
            return 1;
        }
        newPos += y;
        if (bspatch_movePosition(&oldPos, z) != 0) {
            return 1;
        }
    }
    return 0;
}

int bspatch_apply(int argc, const char* const argv[])
{
    if (argc != 4) {
        return 1;
    }
    int64_t controlLength = 0, diffLength = 0, newSize = 0;
    if (bspatch_readHeader(argv[3], &controlLength, &diffLength, &newSize) != 0) {
        return 1;
    }
    bspatch_Reader readers[kReaderCount] = {};
    unsigned char* old = nullptr;
    unsigned char* fresh = nullptr;
    int64_t oldSize = 0;
    int result = bspatch_openReaders(readers, argv[3], controlLength, diffLength);
    if (result == 0) {
        result = bspatch_readOld(argv[1], &old, &oldSize);
    }
    if (result == 0) {
        fresh = bspatch_allocate(newSize);
        result = fresh ? 0 : 1;
    }
    if (result == 0) {
        result = bspatch_replay(readers, old, oldSize, fresh, newSize);
    }
    // Every patch reader is closed before the new file is touched.
    if (bspatch_closeReaders(readers) != 0) {
        result = 1;
    }
    if (result == 0) {
        result = bspatch_writeNewFile(argv[2], fresh, newSize);
    }
    free(fresh);
    free(old);
    return result;
}
