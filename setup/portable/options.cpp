// The option flags and the extra installer text: written by the argument phases, read after.
#include "setup.h"

int g_waitParent;
int g_allowElevation;
int g_quiet;
int g_xzdec;
wchar_t* g_msiexecExtra;
int g_elevation;
