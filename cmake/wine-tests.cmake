# Tests of Windows programs under Wine: the prefixes they run in, and the function that
# registers a test once in each of them.

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
  # Made where 32-bit programs run, whatever the build: a 64-bit prefix made by the 64-bit
  # loader alone has no 32-bit system (syswow64), and the 64-bit tree runs the 32-bit stub too.
  add_test(NAME wine_prefix_${prefix}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/i386.sh ${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh ${dir} ${leg} ${extra})
  set_tests_properties(wine_prefix_${prefix} PROPERTIES FIXTURES_SETUP wine_${prefix} TIMEOUT 300)
  # (A server that has already ended by itself is no failure.)
  add_test(NAME wine_stop_${prefix}
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${dir} sh -c "wineserver -k || true")
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
