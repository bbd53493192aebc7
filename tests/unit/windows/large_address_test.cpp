// The 32-bit setup executables are large-address-aware. This test executable is linked the same
// way, takes every free address below 2 GiB, and then decodes the product's own payload: the
// compressed input, liblzma's dictionary and the run's other memory can then lie only above
// 2 GiB, where a signed address or offset would show.
#include "files.h"
#include "package.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

constexpr uintptr_t kTwoGiB = uintptr_t(1) << 31;

// Reserves every free region below 2 GiB; released on destruction. Remembers the ranges that
// were reserved already.
struct LowMemoryTaken {
    std::vector<void*> regions;
    std::vector<MEMORY_BASIC_INFORMATION> reservedBefore;
    LowMemoryTaken()
    {
        MEMORY_BASIC_INFORMATION info;
        for (uintptr_t at = 0x10000;
             at < kTwoGiB && VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) != 0;
             at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize) {
            if (info.State == MEM_RESERVE) {
                reservedBefore.push_back(info);
            }
            if (info.State != MEM_FREE) {
                continue;
            }
            // Allocations start on 64 KiB boundaries: the region's first boundary on.
            uintptr_t start = (at + 0xFFFF) & ~uintptr_t(0xFFFF);
            uintptr_t end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
            end = end < kTwoGiB ? end : kTwoGiB;
            if (start < end) {
                void* r = VirtualAlloc(reinterpret_cast<void*>(start), end - start, MEM_RESERVE,
                                       PAGE_NOACCESS);
                if (r != nullptr) {
                    regions.push_back(r);
                }
            }
        }
    }
    bool wasReserved(const void* p) const
    {
        for (const MEMORY_BASIC_INFORMATION& r : reservedBefore) {
            auto base = static_cast<const uint8_t*>(r.BaseAddress);
            if (p >= base && p < base + r.RegionSize) {
                return true;
            }
        }
        return false;
    }
    ~LowMemoryTaken()
    {
        for (void* r : regions) {
            VirtualFree(r, 0, MEM_RELEASE);
        }
    }
};

// The payload of the build's setup.exe, a real package compressed as setup-pack compresses it.
std::string productPayload()
{
    std::string exe = support::binaryDir() + "\\setup.exe";
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return std::string();
    }
    std::string bytes;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(12), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    if (loaded != nullptr) {
        bytes.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }
    FreeLibrary(module);
    return bytes;
}

std::string decodeToFile(const void* input, size_t size, const std::string& path, DWORD* code)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    *code = setup_xzDecodeToFile(input, static_cast<DWORD>(size), file);
    CloseHandle(file);
    return support::readFile(path);
}

bool onWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

TEST(LargeAddresses, DecodingWithEveryBufferAboveTwoGiBGivesTheSameFile)
{
    if (sizeof(void*) != 4) {
        GTEST_SKIP() << "a 64-bit process: every address is one its code expects";
    }
    if (!support::underWine() && !onWow64()) {
        GTEST_SKIP() << "32-bit Windows has no addresses above 2 GiB for a process";
    }
    auto* header = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr))
        + reinterpret_cast<const IMAGE_DOS_HEADER*>(GetModuleHandleA(nullptr))->e_lfanew);
    ASSERT_TRUE(header->FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE);

    std::string payload = productPayload();
    ASSERT_FALSE(payload.empty());
    support::Scratch scratch;
    std::string dir = scratch.dir("large-address");
    DWORD code = 0;
    std::string expected = decodeToFile(payload.data(), payload.size(), dir + "\\low.bin", &code);
    ASSERT_EQ(code, 0u);
    ASSERT_GT(expected.size(), 8u);

    std::string decoded;
    void* input = nullptr;
    void* probe = nullptr;
    bool inputInAReservation = false;
    {
        LowMemoryTaken taken;
        input = VirtualAlloc(nullptr, payload.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        probe = malloc(64 << 20);  // as large as the decoder's dictionary
        if (input != nullptr) {
            memcpy(input, payload.data(), payload.size());
            decoded = decodeToFile(input, payload.size(), dir + "\\high.bin", &code);
            VirtualFree(input, 0, MEM_RELEASE);
        }
        free(probe);
        inputInAReservation = taken.wasReserved(input);
    }
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(decoded == expected)
        << decoded.size() << " bytes decoded, " << expected.size() << " expected";
    // Wine 10 under the i386 emulator shows about 900 MiB below 2 GiB as reserved before the
    // process has reserved anything, and then hands out memory from inside it, which Windows
    // never does with a reservation: there the low addresses cannot all be taken.
    if (inputInAReservation) {
        GTEST_SKIP() << "Wine gave out memory inside a range it had shown as reserved";
    }
    EXPECT_GE(reinterpret_cast<uintptr_t>(input), kTwoGiB);
    EXPECT_GE(reinterpret_cast<uintptr_t>(probe), kTwoGiB);
}

// On 64-bit Windows a large-address-aware 32-bit process has 4 GiB of addresses, so memory
// taken from the top lies above 2 GiB. Wine lays out its processes its own way; there the test
// above alone shows the decoder working with such addresses.
TEST(LargeAddresses, OnWindowsTheTopOfA64BitSystemsAddressesIsAboveTwoGiB)
{
    if (sizeof(void*) != 4 || support::underWine() || !onWow64()) {
        GTEST_SKIP() << "only for a 32-bit process on 64-bit Windows";
    }
    void* top = VirtualAlloc(nullptr, 1 << 16, MEM_RESERVE | MEM_TOP_DOWN, PAGE_NOACCESS);
    ASSERT_NE(top, nullptr);
    EXPECT_GE(reinterpret_cast<uintptr_t>(top), kTwoGiB);
    VirtualFree(top, 0, MEM_RELEASE);
}
