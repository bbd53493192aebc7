// The updater's name rule.
#include "parent.h"

#include <string.h>

int setup_isUpdaterName(const char* name)
{
    static constexpr char updater[] = "up2date.exe";
    constexpr size_t n = sizeof updater - 1;
    if (name == nullptr) {
        return 0;
    }
    size_t len = strlen(name);
    // Case matters, and so does nothing before the last eleven bytes: "myup2date.exe" counts.
    return len >= n && memcmp(name + len - n, updater, n) == 0;
}
