// Which question a 32-bit process asks on 64-bit Windows, and its text for ARM64 machines.
#include "report.h"

int setup_wow64Question(int wow64, unsigned nativeMachine)
{
    if (!wow64) {
        return SETUP_ASK_NONE;
    }
    // Every other machine, a future one included, gets the question as it stands: a 32-bit
    // program there runs emulated, and the x64 text is the nearest there is.
    return nativeMachine == SETUP_MACHINE_ARM64 ? SETUP_ASK_ARM64 : SETUP_ASK_X64;
}

size_t setup_deriveArm64Text(const uint16_t* text, size_t length, uint16_t* out, size_t outSize)
{
    static const uint16_t arm64[] = {'A', 'R', 'M', '6', '4'};
    size_t n = 0;
    for (size_t i = 0; text != nullptr && i < length;) {
        bool x64 = length - i >= 3 && text[i] == 'x' && text[i + 1] == '6' && text[i + 2] == '4';
        const uint16_t* piece = x64 ? arm64 : text + i;
        size_t pieceLength = x64 ? 5 : 1;
        if (outSize - n < pieceLength) {
            return 0;
        }
        for (size_t k = 0; k < pieceLength; ++k) {
            out[n++] = piece[k];
        }
        i += x64 ? 3 : 1;
    }
    return n;
}
