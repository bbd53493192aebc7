// Reading one text out of a string-table block, for the text that LoadString does not pick.
#include "report.h"

const uint16_t* setup_stringInBlock(const uint16_t* block, size_t units, unsigned index,
                                    size_t* length)
{
    size_t at = 0;
    for (unsigned i = 0; i < 16 && at < units; ++i) {
        size_t n = block[at++];
        if (n > units - at) {
            return nullptr;
        }
        if (i == index % 16) {
            *length = n;
            return n != 0 ? block + at : nullptr;
        }
        at += n;
    }
    return nullptr;
}
