// The facts the decoding threads are chosen from: the processors this process may run on, the
// physical memory and, in a 32-bit process, the largest free range of its address space.
#include "package.h"

static uint64_t largestFreeRange()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    auto at = static_cast<const uint8_t*>(system.lpMinimumApplicationAddress);
    auto end = static_cast<const uint8_t*>(system.lpMaximumApplicationAddress);
    uint64_t largest = 0;
    MEMORY_BASIC_INFORMATION region;
    while (at < end && VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_FREE && region.RegionSize > largest) {
            largest = region.RegionSize;
        }
        // A region that does not move the walk on would hold it for ever.
        if (region.RegionSize == 0) {
            break;
        }
        at = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
    }
    return largest;
}

// Facts that cannot be read give one thread and no threading memory: the decoding of today.
void setup_decodeThreading(uint32_t* threads, uint64_t* limit)
{
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        process = 0;
    }
    *threads = setup_threadsFromAffinity(process);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    uint64_t physical = GlobalMemoryStatusEx(&memory) ? memory.ullTotalPhys : 0;
    bool addressBound = sizeof(void*) == 4;
    *limit = setup_threadingLimit(physical, addressBound ? largestFreeRange() : 0, addressBound);
}
