# Cross build for Windows with MinGW-w64 (posix thread model, needed by GoogleTest).
# VORLANE_ARCH selects the target: i686 (the shipped 32-bit setup.exe, the default) or x86_64
# (the same sources as a 64-bit bench build, for machines whose kernel cannot run 32-bit code).
if(NOT VORLANE_ARCH)
  set(VORLANE_ARCH i686)
endif()
set(VORLANE_ARCH "${VORLANE_ARCH}" CACHE STRING "i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VORLANE_ARCH})
set(triple ${VORLANE_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${triple}-strip CACHE FILEPATH "")

# Static liblzma and libbz2 come from the bootstrap's cache prefix.
if(NOT DEFINED VORLANE_DEPS_PREFIX)
  if(DEFINED ENV{VORLANE_CACHE})
    set(VORLANE_DEPS_PREFIX "$ENV{VORLANE_CACHE}/${triple}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(VORLANE_DEPS_PREFIX "$ENV{XDG_CACHE_HOME}/vorlane-setup/${triple}")
  else()
    set(VORLANE_DEPS_PREFIX "$ENV{HOME}/.cache/vorlane-setup/${triple}")
  endif()
endif()
set(VORLANE_DEPS_PREFIX "${VORLANE_DEPS_PREFIX}" CACHE PATH "Prefix holding the cross-built static dependencies")

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VORLANE_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# Wine runs the tests; the wrapper picks the prefix and silences Wine's own chatter. 32-bit
# programs go through i386.sh, which lets them run on kernels that refuse 32-bit code.
get_filename_component(scripts ${CMAKE_CURRENT_LIST_DIR}/../scripts ABSOLUTE)
if(VORLANE_ARCH STREQUAL "i686")
  set(VORLANE_RUN_I386 ${scripts}/i386.sh)
else()
  set(VORLANE_RUN_I386 "")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLANE_RUN_I386} ${scripts}/wine-run.sh)
