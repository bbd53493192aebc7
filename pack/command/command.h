// setup-pack, the command: its options, the stub, the branding and the cabinets, and OUTPUT.
#pragma once

// setup-pack [OPTION]... [STUB] PACKAGE OUTPUT (argv[0] unused; without STUB,
// pack_defaultStub's). Returns the exit status, 0 or 1; prints one line on stderr for a
// failure, and a notice when a signature was removed.
int pack_run(int argc, const char* const argv[]);
