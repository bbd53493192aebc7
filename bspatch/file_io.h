// File access limits shared by the applier's sources.
#pragma once

#include <fcntl.h>

// One BZ2_bzRead takes an int, and one read() or write() on Windows an unsigned int: larger
// amounts go in several requests of at most this many bytes.
constexpr int kMaxRequest = 1 << 30;

// Files are opened untranslated where the system distinguishes text from binary mode.
#ifdef O_BINARY
constexpr int kBinary = O_BINARY;
#else
constexpr int kBinary = 0;
#endif
