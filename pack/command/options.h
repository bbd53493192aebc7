// setup-pack's command line: options first, then the positional arguments. One table of the
// options serves the parser, --help and the manual page.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "brand.h"
#include "winget.h"

struct pack_Options {
    pack_Branding branding;  // what the options set; the package fills the rest
    uint32_t threads = 1;  // --threads: 1 as xz -T1, else the threaded encoder
    bool storeCabinets = false;  // --store-cabinets: packs a copy with them uncompressed
    bool noQuestion = false;  // --no-architecture-question: the question's text dropped
    pack_WingetOptions winget;  // --winget-manifest DIR and its options; dir "" for none
    bool help = false;  // --help: the help, and nothing else
    bool version = false;  // --version as the only argument: the tool's version
    std::vector<std::string> files;  // the positional arguments, as given
};

// Parses argv[1..argc). An option that cannot be used (an unknown one, a missing value, a
// version that is not N.N.N[.N], a text too long, an --icon file with no icon) is an error.
// Returns "" or a one-line error.
std::string pack_parseOptions(int argc, const char* const argv[], pack_Options* options);

enum pack_OptionKind {
    kPackOptionPack,  // changes what is packed
    kPackOptionOldSpelling,  // another name of the option before it, kept working
    kPackOptionInfo,  // prints something instead of packing
};

struct pack_OptionDoc {
    const char* name;
    const char* value;  // what follows it, or nullptr for a switch
    pack_OptionKind kind;
    const char* help;  // one paragraph
};

// Every option, in the order --help and the manual list them.
extern const pack_OptionDoc kPackOptions[];
extern const size_t kPackOptionCount;

// The one-line usage shown after a wrong number of files.
std::string pack_usageLine();

// What --help prints: usage, every option, the exit statuses.
std::string pack_helpText();

// The options and exit statuses as manual page sections (roff), from the same table.
std::string pack_manSections();

// setup-pack's own version, the project's.
const char* pack_toolVersion();
