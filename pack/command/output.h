// Writing OUTPUT: the stub around the compressed package, checked and read back before it
// takes OUTPUT's place; and what 32-bit Windows can map of the result.
#pragma once

#include <stdint.h>

#include <string>

#include "pe.h"
#include "xz.h"

// Which file a failure concerns, for the message.
enum pack_Blame { kPackBlameStub, kPackBlamePackage, kPackBlameOutput };

// Writes the stub with the package at packagePath compressed into it as outputPath, holding
// no more than a few pieces of the payload: streamed into a temporary file beside outputPath
// while a decoder beside the compressor checks that the payload decodes to the package, read
// back (the payload is what was checked), checksummed, and only then renamed over outputPath,
// which stays as it was on any failure. Returns "" or a one-line error and sets
// *blame.
std::string pack_writeOutput(const pack_Stub& stub, const char* packagePath,
                             const pack_Compression& how, const char* outputPath, pack_Blame* blame,
                             uint64_t* imageSize = nullptr);

// Above this size a 32-bit image may find no room in a process on 32-bit Windows.
constexpr uint64_t kPack32BitSafeImage = uint64_t(3) << 29;  // 1.5 GiB

// The warning for an image that 32-bit Windows may not map, or "" (a 64-bit image, or one
// small enough).
std::string pack_addressSpaceWarning(bool pe32plus, uint64_t imageSize);
