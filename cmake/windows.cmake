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
# The setup's own code is also optimised across its files when a setup executable is linked
# (-flto: about 1.8 KiB less code in the 32-bit stub); its objects keep their machine code too,
# for the test programs' links. The tools (setup-pack, bspatch) are built without it.
set(VORLANE_SETUP_FLAGS ${VORLANE_PRODUCT_FLAGS} -flto -ffat-lto-objects)

add_library(setup_win STATIC
  setup/convert.cpp
  setup/kernel_proc.cpp
  setup/error_report.cpp
  setup/texts.cpp
  setup/command_line.cpp
  setup/install_dir.cpp
  setup/parent.cpp
  setup/payload.cpp
  setup/package_file.cpp
  setup/private_folder.cpp
  setup/xz_decode.cpp
  setup/zone_mark.cpp
  setup/progress_window.cpp
  setup/msiexec.cpp
)
target_compile_options(setup_win PRIVATE ${VORLANE_SETUP_FLAGS})
target_link_libraries(setup_win PUBLIC setup_portable LibLZMA::LibLZMA shell32 ole32 user32 gdi32 advapi32 kernel32)

# The kinds of Wine prefix the build's programs run in: a 32-bit build in a 32-bit prefix and,
# as a WOW64 process, in a 64-bit one; a 64-bit build in a 64-bit prefix.
if(VORLANE_ARCH STREQUAL "x86_64")
  set(VORLANE_WINE_LEGS win64)
  execute_process(COMMAND /usr/lib/wine/wine64 --version RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
else()
  set(VORLANE_WINE_LEGS win32 win64)
  execute_process(COMMAND ${VORLANE_RUN_I386} /usr/lib/wine/wine --version
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
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
# The stub without a payload, beside setup-pack: what a user copies to pack their own package.
vorlane_add_setup(NAME setup_stub NO_PAYLOAD OUTPUT_NAME setup-stub)
include(cmake/sign.cmake)
vorlane_sign(setup)

# A test that runs a Windows program under Wine, once in each kind of prefix of this build:
#   vorlane_add_wine_test(NAME n ROLE main|standin|nomsiexec [TIMEOUT s] COMMAND target args...)
# registers n.win32 and n.win64 (as the build has them) and lists them in ${n}_TESTS. The role
# names what the prefix is for: main, standin (msiexec.exe replaced by the tests' stand-in),
# nomsiexec (no installer at all). A prefix is created once and warmed by a fixture, and
# stopped when the run ends. The program finds its prefix kind in VORLANE_WINE_LEG.
function(vorlane_add_wine_test)
  cmake_parse_arguments(W "" "NAME;ROLE;TIMEOUT" "COMMAND" ${ARGN})
  set(names "")
  if(VORLANE_CAN_RUN)
    if(NOT W_TIMEOUT)
      set(W_TIMEOUT 600)
    endif()
    foreach(leg ${VORLANE_WINE_LEGS})
      set(prefix ${leg}-${W_ROLE})
      vorlane_wine_prefix_fixture(${leg} ${W_ROLE})
      add_test(NAME ${W_NAME}.${leg} COMMAND ${W_COMMAND})
      set_tests_properties(${W_NAME}.${leg} PROPERTIES
        ENVIRONMENT "WINEPREFIX=${VORLANE_WINE_ROOT}/${prefix};VORLANE_WINE_LEG=${leg}"
        FIXTURES_REQUIRED wine_${prefix}
        RESOURCE_LOCK wine_${prefix}
        TIMEOUT ${W_TIMEOUT})
      list(APPEND names ${W_NAME}.${leg})
    endforeach()
  endif()
  set(${W_NAME}_TESTS ${names} PARENT_SCOPE)
endfunction()

function(vorlane_wine_prefix_fixture leg role)
  # One fixture per prefix for the whole build, whichever directory asks first.
  set(prefix ${leg}-${role})
  get_property(known GLOBAL PROPERTY VORLANE_WINE_PREFIXES)
  if(prefix IN_LIST known)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY VORLANE_WINE_PREFIXES ${prefix})
  set(dir ${VORLANE_WINE_ROOT}/${prefix})
  set(extra "")
  if(role STREQUAL "standin")
    set(extra --stand-in $<TARGET_FILE:msiexec_standin>)
  endif()
  add_test(NAME wine_prefix_${prefix}
    COMMAND ${VORLANE_RUN_I386} ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${dir} ${leg} ${extra})
  set_tests_properties(wine_prefix_${prefix} PROPERTIES FIXTURES_SETUP wine_${prefix} TIMEOUT 300)
  add_test(NAME wine_stop_${prefix}
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${dir} wineserver -k)
  set_tests_properties(wine_stop_${prefix} PROPERTIES FIXTURES_CLEANUP wine_${prefix})
  if(role STREQUAL "nomsiexec")
    # Removed after the prefix is made, every run, since Wine may put it back when it updates
    # the prefix.
    add_test(NAME wine_remove_msiexec_${prefix} COMMAND rm -f
      ${dir}/drive_c/windows/system32/msiexec.exe ${dir}/drive_c/windows/syswow64/msiexec.exe)
    set_tests_properties(wine_remove_msiexec_${prefix} PROPERTIES
      FIXTURES_SETUP wine_${prefix} DEPENDS wine_prefix_${prefix})
  endif()
endfunction()

# Path of a build-tree file as a Windows program under Wine sees it (drive Z: is /).
function(vorlane_wine_path out path)
  string(REPLACE "/" "\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

# The docs step: the README's pictures taken again from this build's programs, so that they
# follow the code (the error dialog shows a line number). Needs a virtual display; the script
# installs one. Run by hand: cmake --build --preset windows --target docs
add_custom_target(docs
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/screenshots.sh ${CMAKE_BINARY_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL)
add_dependencies(docs e2e_nopayload e2e_slow)
