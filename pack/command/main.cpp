// setup-pack [OPTION]... [STUB] PACKAGE OUTPUT: exit status 0 or 1.
#include "command.h"

int main(int argc, char* argv[]) { return pack_run(argc, argv); }
