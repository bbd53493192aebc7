// The platform's part of --store-cabinets, inside this folder: libgcab and libmsi natively
// (cabinet_store_gcab.cpp), cabinet.dll and msi.dll on Windows (cabinet_store_win.cpp).
#pragma once

#include <string>
#include <vector>

// The copy of package with the named cabinet streams rewritten. Returns "" or a one-line
// error, and leaves no copy on an error.
std::string pack_rewriteCabinets(const char* package, const std::vector<std::string>& streams,
                                 std::string* packedCopy);
