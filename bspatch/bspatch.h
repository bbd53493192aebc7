// The patch applier: rebuilds a new file from an old file and a BSDIFF40 patch.
//
// Portable C++ over the standard file operations and libbz2. It answers 0 or 1, prints
// nothing and writes no error record: it stands apart from the setup's own error handling.
#pragma once

#include <stdint.h>

// argv[1] is the old file (read only), argv[2] the new file, argv[3] the patch; argc must be 4
// and argv[0] is not used. Returns 0 once the new file is complete, 1 on any failure. The new
// file is replaced only by a complete result, so after a failure it is as it was before, also
// when the old and the new file are the same.
int bspatch_apply(int argc, const char* const argv[]);

// The patch format's 8-byte integer: little-endian magnitude of 63 bits, the top bit of the
// last byte its sign (so 00 .. 00 80 is 0). Reads exactly 8 bytes.
int64_t bspatch_decodeOffset(const unsigned char* bytes);

// ---- Parts of the application, shared with the tests ---------------------------------------

// Reads exactly count bytes of the bzip2 stream bz (a BZFILE*) into dest, in requests of at
// most maxRequest bytes, since one BZ2_bzRead takes an int. Returns 0 when every byte arrived
// without a libbz2 error, else 1; *bzError keeps libbz2's last error.
int bspatch_readStream(void* bz, int* bzError, unsigned char* dest, int64_t count, int maxRequest);

// Moves *position by delta. Returns 1 and leaves *position as it was when the sum would leave
// the signed 64-bit range.
int bspatch_movePosition(int64_t* position, int64_t delta);

// Writes size bytes of data as the file path. A regular file (or a new name) is replaced only
// once the complete content sits flushed in a temporary file beside it; devices and other
// special files are written directly. Returns 0 or 1; after 1 the target is untouched.
int bspatch_writeNewFile(const char* path, const unsigned char* data, int64_t size);
