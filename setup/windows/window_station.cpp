// Whether anybody sees this process's windows: not where a service or a deployment agent
// starts it in a window station of its own, or in session 0.
#include "report.h"

bool setup_stationVisible()
{
    USEROBJECTFLAGS flags = {};
    DWORD size = 0;
    BOOL queried = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                             sizeof flags, &size);
    return setup_isVisibleStation(queried != FALSE, flags.dwFlags);
}
