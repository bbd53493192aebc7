// Writing the new file. Truncating the target first and then writing into it would lose the
// old content on any failed write, and the old file may well be the target itself. So the
// content goes into a temporary file beside the target, is flushed to disk and closed, and only
// then renamed over the target; on failure the temporary file is removed.
#include "bspatch.h"
#include "file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Temporary name: the target's name with ".XXXXXXXX.tmp" appended, so it lands in the same
// directory (a rename cannot cross file systems) without taking the path apart.
constexpr size_t kTempSuffixSize = sizeof ".01234567.tmp";
constexpr int kTempAttempts = 100;

enum bspatch_TargetKind { kAbsent, kRegular, kSpecial };

}  // namespace

// msvcrt's rename refuses an existing target; MoveFileExA replaces it.
static int bspatch_replaceFile(const char* from, const char* to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
#else
  return rename(from, to) == 0 ? 0 : 1;
#endif
}

static int bspatch_flush(int fd) {
#ifdef _WIN32
  return _commit(fd) == 0 ? 0 : 1;
#else
  return fsync(fd) == 0 ? 0 : 1;
#endif
}

// What sits at path now; *mode gets its permission bits. A symbolic link is looked at itself,
// not followed (links are resolved before this is asked).
static bspatch_TargetKind bspatch_examine(const char* path, unsigned* mode) {
#ifdef _WIN32
  struct _stat64 info;
  if (_stat64(path, &info) != 0) {
    return kAbsent;
  }
#else
  struct stat info;
  if (lstat(path, &info) != 0) {
    return kAbsent;
  }
#endif
  *mode = info.st_mode & 0777;
  return (info.st_mode & S_IFMT) == S_IFREG ? kRegular : kSpecial;
}

// The file a symbolic link finally names (heap, freed by the caller), or null when path is
// no link or the link leads nowhere. Replacing the link itself would cut it off its file.
static char* bspatch_resolveLink(const char* path) {
#ifdef _WIN32
  (void)path;
  return nullptr;
#else
  struct stat info;
  if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode)) {
    return nullptr;
  }
  return realpath(path, nullptr);
#endif
}

static int bspatch_writeAll(int fd, const unsigned char* data, int64_t size) {
  while (size > 0) {
    unsigned want = size > kMaxRequest ? kMaxRequest : static_cast<unsigned>(size);
    auto written = write(fd, data, want);
    if (written <= 0) {
      return 1;
    }
    data += written;
    size -= written;
  }
  return 0;
}

// Creates a new, empty file next to target; O_EXCL makes sure no existing file is reused.
// *tempPath (heap) names it.
static int bspatch_createTemp(const char* target, char** tempPath, int* fd) {
  size_t length = strlen(target);
  char* path = static_cast<char*>(malloc(length + kTempSuffixSize));
  if (!path) {
    return 1;
  }
  memcpy(path, target, length);
  unsigned long seed = static_cast<unsigned long>(time(nullptr)) ^
                       static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&path) >> 4);
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    unsigned long tag = (seed + attempt * 2654435761ul) & 0xFFFFFFFFul;
    snprintf(path + length, kTempSuffixSize, ".%08lx.tmp", tag);
    *fd = open(path, O_WRONLY | O_CREAT | O_EXCL | kBinary, 0666);
    if (*fd >= 0) {
      *tempPath = path;
      return 0;
    }
    if (errno != EEXIST) {
      break;
    }
  }
  free(path);
  return 1;
}

static int bspatch_writeReplacing(const char* target, const unsigned char* data, int64_t size,
                                  bspatch_TargetKind kind, unsigned mode) {
  char* temp = nullptr;
  int fd = -1;
  if (bspatch_createTemp(target, &temp, &fd) != 0) {
    return 1;
  }
  int result = bspatch_writeAll(fd, data, size);
#ifndef _WIN32
  // The replacement keeps the permissions the file had.
  if (result == 0 && kind == kRegular && fchmod(fd, mode) != 0) {
    result = 1;
  }
#else
  (void)kind;
  (void)mode;
#endif
  if (result == 0) {
    result = bspatch_flush(fd);
  }
  if (close(fd) == -1) {
    result = 1;
  }
  if (result == 0) {
    result = bspatch_replaceFile(temp, target);
  }
  if (result != 0) {
    remove(temp);
  }
  free(temp);
  return result;
}

// Devices, pipes and the like hold no content to lose, and must not be replaced by a file.
static int bspatch_writeDirect(const char* path, const unsigned char* data, int64_t size) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | kBinary, 0666);
  if (fd < 0) {
    return 1;
  }
  int result = bspatch_writeAll(fd, data, size);
  if (close(fd) == -1) {
    result = 1;
  }
  return result;
}

int bspatch_writeNewFile(const char* path, const unsigned char* data, int64_t size) {
  char* resolved = bspatch_resolveLink(path);
  const char* target = resolved ? resolved : path;
  unsigned mode = 0;
  bspatch_TargetKind kind = bspatch_examine(target, &mode);
  int result = kind == kSpecial ? bspatch_writeDirect(target, data, size)
                                : bspatch_writeReplacing(target, data, size, kind, mode);
  free(resolved);
  return result;
}
