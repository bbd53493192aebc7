// setup-pack's command line: options first, then the positional arguments.
#pragma once

#include <string>
#include <vector>

#include "branding.h"

struct pack_Options {
    pack_Branding branding;          // what the options set; the package fills the rest
    uint32_t threads = 1;            // --threads: 1 as xz -T1, else the threaded encoder
    bool storeCabinets = false;      // --store-cabinets: packs a copy with them uncompressed
    bool noQuestion = false;         // --no-architecture-question: the question's text dropped
    std::vector<std::string> files;  // the positional arguments, as given
};

// Parses argv[1..argc). An option that cannot be used (an unknown one, a missing value, a
// version that is not N.N.N[.N], a text too long, an --icon file with no icon) is an error.
// Returns "" or a one-line error.
std::string pack_parseOptions(int argc, const char* const argv[], pack_Options* options);
