// Writing the new file: only complete content replaces it, since the old file may well be the
// target itself.
#include "bspatch.h"
#include "file_io.h"
#include "replace_file.h"

int bspatch_writeNewFile(const char* path, const unsigned char* data, int64_t size)
{
    replace_File* file = replace_begin(path);
    if (!file) {
        return 1;
    }
    // fwrite takes a size_t, narrower than the size on 32-bit builds.
    while (size > 0) {
        size_t want = size > kMaxRequest ? kMaxRequest : static_cast<size_t>(size);
        if (replace_write(file, data, want) != 0) {
            replace_abandon(file);
            return 1;
        }
        data += want;
        size -= static_cast<int64_t>(want);
    }
    return replace_commit(file);
}
