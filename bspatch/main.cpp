// bspatch OLD NEW PATCH: rebuilds NEW from OLD and a BSDIFF40 patch. Exit status 0 or 1.
#include <stdio.h>

#include "bspatch.h"

int main(int argc, char* argv[])
{
    if (argc != 4) {
        fputs("usage: bspatch OLD NEW PATCH\n", stderr);
        return 1;
    }
    return bspatch_apply(argc, argv);
}
