# Writes the notices of the libraries the release programs carry: HEAD, then the copyright
# file of each Debian package they were built from, with its version.
#   cmake -DHEAD=file -DOUT=file -P notices.cmake
set(packages
  "libbz2 (bzip2), in bspatch|libbz2-1.0"
  "liblzma (XZ Utils), in the stubs and setup-pack|liblzma5"
  "the MinGW-w64 runtime and winpthreads, in the Windows programs|mingw-w64-i686-dev"
  "libgcc and libstdc++ (GCC), in the Windows programs|gcc-mingw-w64-base")
file(READ ${HEAD} text)
foreach(entry ${packages})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 what)
  list(GET entry 1 package)
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
                  OUTPUT_VARIABLE version COMMAND_ERROR_IS_FATAL ANY)
  file(READ /usr/share/doc/${package}/copyright copyright)
  string(APPEND text "\n\n======== ${what}: Debian package ${package} ${version}\n\n${copyright}")
endforeach()
file(WRITE ${OUT} "${text}")
