// The payload kind of the test executable, as a setup executable gets it from its build. The
// payload tests pass other kinds to setup_extractAndRun directly.
#include "package.h"

const char g_payloadKind[] = "msi";
