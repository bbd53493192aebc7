// The stub of the two-argument form `setup-pack PACKAGE OUTPUT`: the 32-bit setup-stub.exe
// installed together with setup-pack, found from where the running program lies.
#pragma once

#include <string>

// Where the stub lies for a setup-pack at programPath (a full path, as the system reports it).
// Windows layout: beside the program. Unix layout: ../share/vorlane-setup/ from the program's
// directory, so that /usr/bin/setup-pack takes /usr/share/vorlane-setup/setup-stub.exe, and
// the same holds for a copy unpacked under any other root. Pure: no file is looked at.
std::string pack_stubBeside(const std::string& programPath, bool windowsLayout);

// The stub for this process, for packing packagePath: its own executable's path, then
// pack_stubBeside. Returns "" or a one-line error about packagePath, also when it is itself an
// executable: then OUTPUT was most likely left out of `setup-pack STUB PACKAGE OUTPUT`, and
// going on would write over the package.
std::string pack_defaultStub(const char* packagePath, std::string* stubPath);
