// The pass-through rebuild over arbitrary texts: every argument whole, single spaces between,
// and no access outside the text or the output (both are heap copies of exactly the promised
// size, so the address sanitizer sees any overrun).
#include "command_line.h"
#include "../unit/portable/args_props.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

// One unit per byte, up to the first NUL: quotes, '=', white space of every kind and the
// Latin-1 range are all reachable.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i < size && data[i] != 0; ++i) {
        text += static_cast<wchar_t>(data[i]);
    }
    std::wstring out = args_props::rebuild(text);
    std::string broken = args_props::check(text, out);
    if (!broken.empty()) {
        fprintf(stderr, "%s\n", broken.c_str());
        abort();
    }
    return 0;
}
