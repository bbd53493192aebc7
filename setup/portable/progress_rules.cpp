// When the progress window shows and how much of its bar is filled.
#include "report.h"

bool setup_progressDue(DWORD since, DWORD now, DWORD interval)
{
    // Unsigned: the difference stays right across the wrap of the tick count.
    return static_cast<DWORD>(now - since) >= interval;
}

int setup_progressFill(DWORD done, DWORD total, int width)
{
    if (width <= 0 || total == 0) {
        return 0;
    }
    if (done >= total) {
        return width;
    }
    // Both scaled down until the product fits 32 bits: the 32-bit build then needs no 64-bit
    // division from the compiler's library.
    DWORD part = done;
    while (total > 0xFFFFFFFFu / static_cast<DWORD>(width)) {
        total >>= 1;
        part >>= 1;
    }
    return static_cast<int>(part * static_cast<DWORD>(width) / total);
}

int setup_scaleToDpi(int value, unsigned dpi)
{
    // DPI values are 16-bit wherever the system passes them; a figure and a DPI in range then
    // multiply within 32 bits, and the 32-bit build needs no 64-bit division.
    if (dpi == 0 || dpi > 0xFFFF) {
        dpi = 96;
    }
    if (value < 0 || value > 0x7FFF) {
        return value;
    }
    return static_cast<int>((static_cast<unsigned>(value) * dpi + 48) / 96);
}
