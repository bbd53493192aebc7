# The native tools alone, setup-pack and bspatch, as the Debian package ships them: Debian's
# hardening flags, stripped, without the sanitizers of the host preset. The Windows builds make
# this build of the project (VORLANE_NATIVE_TOOLS, cmake/pack.cmake) to pack their setup
# executables at build time, and the release takes its programs from it.
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(COMMAND dpkg-buildflags --get ${kind} OUTPUT_VARIABLE flags_${kind}
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(CMAKE_CXX_FLAGS "${flags_CPPFLAGS} ${flags_CXXFLAGS}")
set(CMAKE_EXE_LINKER_FLAGS "${flags_LDFLAGS} -Wl,-z,now -s")

add_subdirectory(replace)
add_subdirectory(bspatch)
add_subdirectory(pack)
