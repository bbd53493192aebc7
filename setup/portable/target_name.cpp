// The target-name rule: the decoded package is named after the executable, its last four
// characters replaced by ".msi".
#include "package.h"

#include <string.h>

int setup_buildTargetPath(char* out, size_t outSize, const char* dir, size_t dirLen,
                          const char* baseName)
{
    constexpr char msi[] = ".msi";
    constexpr size_t suffixLen = sizeof msi - 1;
    if (baseName == nullptr) {
        return 0;
    }
    size_t n = strlen(baseName);
    if (n <= suffixLen) {
        return 0;
    }
    size_t stem = n - suffixLen;
    // Checked before anything is written: dir may be the start of out, and a caller that
    // falls back to a generated name still needs the directory intact.
    if (dirLen >= outSize || stem + suffixLen >= outSize - dirLen) {
        return 0;
    }
    memmove(out, dir, dirLen);
    memcpy(out + dirLen, baseName, stem);
    memcpy(out + dirLen + stem, msi, sizeof msi);
    return 1;
}
