// setup-pack-man TEMPLATE OUTPUT: the manual page of setup-pack, the template's prose with its
// @SECTIONS@ line replaced by the options and exit statuses from the table --help prints, and
// @VERSION@ by the project's version. Run at build time.
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "options.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        fputs("usage: setup-pack-man TEMPLATE OUTPUT\n", stderr);
        return 1;
    }
    std::ifstream in(argv[1]);
    std::ostringstream page;
    bool sections = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "@SECTIONS@") {
            page << pack_manSections();
            sections = true;
            continue;
        }
        for (size_t at; (at = line.find("@VERSION@")) != std::string::npos;) {
            line.replace(at, 9, pack_toolVersion());
        }
        page << line << '\n';
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    if (!in.eof() || !sections || !out.flush()) {
        fprintf(stderr,
                "setup-pack-man: %s: cannot read it, or it has no @SECTIONS@ line; or %s cannot be "
                "written\n",
                argv[1], argv[2]);
        return 1;
    }
    return 0;
}
