// Whether the package that --xzdec keeps carries on the mark of the web of setup.exe, and
// which mark.
#include "package.h"

int setup_zoneMarkFrom(DWORD openError, DWORD readError, size_t size)
{
    // No such stream; a file system without named streams refuses the name itself.
    if (openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND
        || openError == ERROR_INVALID_NAME) {
        return SETUP_ZONE_NONE;
    }
    // A mark that is there but cannot be read whole, or is longer than any the system writes,
    // still says the file came from elsewhere: the package is marked as from the internet.
    if (openError != ERROR_SUCCESS || readError != ERROR_SUCCESS || size > SETUP_ZONE_MARK_MAX) {
        return SETUP_ZONE_MINIMAL;
    }
    return SETUP_ZONE_COPY;
}

bool setup_zoneMarkWritten(int mark, bool volumeKnown, DWORD volumeFlags)
{
    // Where the volume keeps no named streams the mark is left out, as the system's own copy
    // leaves it out; where the volume cannot be asked, the write itself tells.
    return mark != SETUP_ZONE_NONE && (!volumeKnown || (volumeFlags & FILE_NAMED_STREAMS) != 0);
}
