// How many threads decode the payload and how much memory they may take together.
#include "package.h"

uint32_t setup_threadsFromAffinity(uint64_t mask)
{
    uint32_t count = 0;
    for (; mask != 0; mask &= mask - 1) {
        ++count;
    }
    // A mask that cannot be read still leaves the thread that runs this.
    if (count == 0) {
        return 1;
    }
    return count < SETUP_DECODE_THREADS_MAX ? count : SETUP_DECODE_THREADS_MAX;
}

uint64_t setup_threadingLimit(uint64_t physicalMemory, uint64_t largestFreeRange, bool addressBound)
{
    // Whatever a quarter leaves for the installer that runs next and for the system's cache.
    uint64_t limit = physicalMemory / 4;
    // A 32-bit process has its own, smaller ceiling: the buffers of every block in flight must
    // fit together into the address space the mapped image leaves.
    if (addressBound && largestFreeRange / 4 < limit) {
        limit = largestFreeRange / 4;
    }
    return limit < SETUP_THREADING_LIMIT_MAX ? limit : SETUP_THREADING_LIMIT_MAX;
}
