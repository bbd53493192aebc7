# The Windows build: the product setup.exe, its Windows unit tests and the end-to-end driver.
enable_language(RC)

# liblzma is built with decoders only (the stub's size matters); FindLibLZMA insists on
# finding the easy encoder, so its check is answered here.
set(LIBLZMA_HAS_EASY_ENCODER 1 CACHE INTERNAL "decoders-only liblzma by design")
find_package(LibLZMA REQUIRED)
# The cross-built liblzma is static; without this its header declares DLL imports.
set_property(TARGET LibLZMA::LibLZMA APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)

# Everything links statically: the executables need no DLL but the system's.
add_link_options(-static)

# The product code stays lean: no exceptions, no RTTI, unused sections dropped.
set(VORLANE_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)

add_library(setup_win STATIC
  setup/convert.cpp
  setup/error_report.cpp
  setup/command_line.cpp
  setup/install_dir.cpp
  setup/parent.cpp
  setup/payload.cpp
  setup/xz_decode.cpp
  setup/msiexec.cpp
)
target_compile_options(setup_win PRIVATE ${VORLANE_PRODUCT_FLAGS})
target_link_libraries(setup_win PUBLIC setup_portable LibLZMA::LibLZMA shell32 ole32 user32 kernel32)

# Can this machine run what the build makes? A kernel without 32-bit support cannot start the
# 32-bit Wine loader; the x86_64 bench build then carries the tests that run programs.
if(VORLANE_ARCH STREQUAL "x86_64")
  execute_process(COMMAND /usr/lib/wine/wine64 --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
else()
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
endif()
if(rc EQUAL 0)
  set(VORLANE_CAN_RUN ON)
else()
  set(VORLANE_CAN_RUN OFF)
  message(STATUS "This machine cannot run ${VORLANE_ARCH} programs under Wine: only static checks are registered")
endif()

set(VORLANE_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)

# GoogleTest for the Windows unit tests and the end-to-end driver, built from Debian's sources.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
add_library(vorlane_gtest_main INTERFACE)
target_link_libraries(vorlane_gtest_main INTERFACE gtest_main gtest)

include(cmake/pack.cmake)

# The demo package (examples/) is what setup.exe carries unless VORLANE_MSI names another.
include(examples/demo.cmake)
if(VORLANE_MSI)
  set(VORLANE_SETUP_MSI ${VORLANE_MSI})
else()
  set(VORLANE_SETUP_MSI ${VORLANE_DEMO_MSI})
endif()
vorlane_add_setup(NAME setup MSI ${VORLANE_SETUP_MSI})
include(cmake/sign.cmake)
vorlane_sign(setup)

# A test that runs a Windows program under Wine in one of the build tree's prefixes:
#   vorlane_add_wine_test(NAME n PREFIX main|standin|win32 COMMAND target args...)
# The prefix is created (once) and warmed by a fixture, and stopped when the run ends.
function(vorlane_add_wine_test)
  cmake_parse_arguments(W "" "NAME;PREFIX;TIMEOUT" "COMMAND" ${ARGN})
  if(NOT VORLANE_CAN_RUN)
    return()
  endif()
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 600)
  endif()
  vorlane_wine_prefix_fixture(${W_PREFIX})
  add_test(NAME ${W_NAME} COMMAND ${W_COMMAND})
  set_tests_properties(${W_NAME} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${VORLANE_WINE_ROOT}/${W_PREFIX}"
    FIXTURES_REQUIRED wine_${W_PREFIX}
    RESOURCE_LOCK wine_${W_PREFIX}
    TIMEOUT ${W_TIMEOUT})
endfunction()

function(vorlane_wine_prefix_fixture prefix)
  # One fixture per prefix for the whole build, whichever directory asks first.
  get_property(known GLOBAL PROPERTY VORLANE_WINE_PREFIXES)
  if(prefix IN_LIST known)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY VORLANE_WINE_PREFIXES ${prefix})
  set(dir ${VORLANE_WINE_ROOT}/${prefix})
  set(kind win64)
  if(prefix STREQUAL "win32")
    set(kind win32)
  endif()
  set(extra "")
  if(prefix STREQUAL "standin")
    set(extra --stand-in $<TARGET_FILE:msiexec_standin>)
  endif()
  add_test(NAME wine_prefix_${prefix}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${dir} ${kind} ${extra})
  set_tests_properties(wine_prefix_${prefix} PROPERTIES FIXTURES_SETUP wine_${prefix} TIMEOUT 300)
  add_test(NAME wine_stop_${prefix}
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${dir} wineserver -k)
  set_tests_properties(wine_stop_${prefix} PROPERTIES FIXTURES_CLEANUP wine_${prefix})
endfunction()

# Path of a build-tree file as a Windows program under Wine sees it (drive Z: is /).
function(vorlane_wine_path out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# The docs step: the README's pictures taken again from this build's programs, so that they
# follow the code (the error dialog shows a line number). Needs a virtual display; the script
# installs one. Run by hand: cmake --build --preset windows-x64 --target docs
add_custom_target(docs
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/screenshots.sh ${CMAKE_BINARY_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL)
add_dependencies(docs e2e_wow64 e2e_nopayload)
