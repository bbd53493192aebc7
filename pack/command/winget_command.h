// setup-pack's winget manifests: the package's values read before packing, so that a missing
// one stops the command before the long compression, and the three files written once OUTPUT
// is, with OUTPUT's SHA-256.
#pragma once

#include <string>

#include "pe.h"
#include "winget.h"

// Reads the package's Property and Directory tables and summary information and fills every
// value of the manifests but the digest. Returns "" or a one-line error naming the option
// that gives a missing value; a warning goes to stderr.
std::string pack_wingetPrepare(const pack_WingetOptions& options, const char* packagePath,
                               const pack_Bytes& stub, const pack_Image& image,
                               pack_WingetManifest* manifest);

// Takes OUTPUT's SHA-256 and writes the files into the manifest directory, made when missing,
// each replaced only by complete content. Returns "" or a one-line error.
std::string pack_wingetWrite(const pack_WingetOptions& options, pack_WingetManifest* manifest,
                             const char* outputPath);

// The SHA-256 of a file as 64 upper-case hexadecimal digits, read in pieces (GLib natively,
// bcrypt.dll on Windows). Returns "" or a one-line error.
std::string pack_sha256File(const char* path, std::string* hex);
