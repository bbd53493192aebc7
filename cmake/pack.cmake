# Making setup executables: windres compiles the string table, manifest, version record and
# icon into the stub, and setup-pack puts the package into the linked stub as RCDATA 12
# (language 1033), compressed into one .xz stream.

set(VORLANE_MSI "" CACHE FILEPATH "Windows Installer package to pack into setup.exe (default: the demo package)")
set(VORLANE_PAYLOAD_KIND "msi" CACHE STRING "Payload kind compiled into setup.exe")

find_program(VORLANE_WIXL wixl REQUIRED)
find_program(VORLANE_PERL perl REQUIRED)

set(VORLANE_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
set(VORLANE_ICON ${CMAKE_BINARY_DIR}/setup.ico)
# Drawn when the build is configured: every setup executable, in any directory, uses it.
execute_process(COMMAND ${VORLANE_PERL} ${PROJECT_SOURCE_DIR}/scripts/make-icon.pl ${VORLANE_ICON}
  COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-icon.pl)
# The manifest as the executables carry it: without comments, line breaks and indentation,
# which mean nothing to the XML reader and would cost the stub blocks of its size.
set(VORLANE_MANIFEST ${CMAKE_BINARY_DIR}/setup.manifest)
file(READ ${VORLANE_RESOURCES}/setup.manifest manifest)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" manifest "${manifest}")
string(REGEX REPLACE ">[ \n]+<" "><" manifest "${manifest}")
string(REGEX REPLACE "[ \n]+" " " manifest "${manifest}")
string(STRIP "${manifest}" manifest)
file(CONFIGURE OUTPUT ${VORLANE_MANIFEST} CONTENT "${manifest}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VORLANE_RESOURCES}/setup.manifest)

# setup-pack runs at build time on the build machine: the same project is built again natively
# (cmake/native-tools.cmake), with the host compilers and the system's libraries, for its
# setup-pack and bspatch; the release takes them from there too.
include(ExternalProject)
find_program(VORLANE_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(VORLANE_HOST_CC NAMES cc gcc clang REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(VORLANE_NATIVE_BUILD ${CMAKE_BINARY_DIR}/native)
set(VORLANE_SETUP_PACK ${CMAKE_BINARY_DIR}/setup-pack)
ExternalProject_Add(setup_pack_native
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${VORLANE_NATIVE_BUILD}
  CMAKE_ARGS -DVORLANE_NATIVE_TOOLS=ON -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_C_COMPILER=${VORLANE_HOST_CC} -DCMAKE_CXX_COMPILER=${VORLANE_HOST_CXX}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different <BINARY_DIR>/setup-pack ${VORLANE_SETUP_PACK}
  BUILD_BYPRODUCTS ${VORLANE_SETUP_PACK} ${VORLANE_NATIVE_BUILD}/bspatch/bspatch
                   ${VORLANE_NATIVE_BUILD}/setup-pack-man)

# vorlane_add_setup(NAME target [MSI file | PAYLOAD file | NO_PAYLOAD] [KIND kind]
#                   [OUTPUT_NAME name] [EXCLUDE_FROM_ALL])
# MSI packs a package (setup-pack does it, into the linked executable); PAYLOAD embeds the
# given bytes as they are, through windres (for tests of broken payloads); NO_PAYLOAD leaves
# RCDATA 12 out. KIND defaults to VORLANE_PAYLOAD_KIND.
# EXCLUDE_FROM_ALL: built only when asked for (benchmark builds of large packages).
function(vorlane_add_setup)
  cmake_parse_arguments(S "NO_PAYLOAD;EXCLUDE_FROM_ALL" "NAME;MSI;PAYLOAD;KIND;OUTPUT_NAME" "" ${ARGN})
  if(NOT S_KIND)
    set(S_KIND "${VORLANE_PAYLOAD_KIND}")
  endif()
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/${S_NAME}.gen)
  file(MAKE_DIRECTORY ${gen})
  set(payload_line "")
  set(deps ${VORLANE_ICON} ${VORLANE_MANIFEST})
  if(S_MSI)
    # Which package this executable carries, as a Windows program sees the path.
    string(REPLACE "/" "\\" msi_win "Z:${S_MSI}")
    file(WRITE ${gen}/package.txt "${msi_win}")
  endif()
  if(S_PAYLOAD)
    set(payload_line "12 RCDATA \"${S_PAYLOAD}\"")
    list(APPEND deps ${S_PAYLOAD})
  endif()
  file(WRITE ${gen}/files.rc.in
"#include <windows.h>
LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US
1 ICON \"${VORLANE_ICON}\"
1 RT_MANIFEST \"${VORLANE_MANIFEST}\"
${payload_line}
")
  configure_file(${gen}/files.rc.in ${gen}/files.rc COPYONLY)
  set_source_files_properties(${gen}/files.rc PROPERTIES OBJECT_DEPENDS "${deps}")
  file(WRITE ${gen}/kind.cpp.in "#include \"setup.h\"\nconst char g_payloadKind[] = \"${S_KIND}\";\n")
  configure_file(${gen}/kind.cpp.in ${gen}/kind.cpp COPYONLY)

  set(exclude "")
  if(S_EXCLUDE_FROM_ALL)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  add_executable(${S_NAME} WIN32 ${exclude}
    ${VORLANE_RESOURCES}/setup.rc
    ${VORLANE_RESOURCES}/languages.rc
    ${gen}/files.rc
    ${gen}/kind.cpp)
  if(TARGET vorlane_examples)
    add_dependencies(${S_NAME} vorlane_examples)
  endif()
  target_compile_options(${S_NAME} PRIVATE ${VORLANE_SETUP_FLAGS})
  target_link_libraries(${S_NAME} PRIVATE setup_main)
  # Stripped, ASLR and DEP, and no link time stamp, so that a build can be reproduced.
  target_link_options(${S_NAME} PRIVATE -flto -s -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat
                      -Wl,--no-insert-timestamp)
  if(VORLANE_ARCH STREQUAL "i686")
    # Large-address-aware: on 64-bit Windows the process gets 4 GiB of address space instead of
    # 2, so that the decoder's memory still finds room beside an image of nearly 2 GiB. Nothing
    # here keeps an address in a signed integer (the unit test LargeAddresses decodes with every
    # buffer above 2 GiB).
    target_link_options(${S_NAME} PRIVATE -Wl,--large-address-aware)
    target_link_options(${S_NAME} PRIVATE -Wl,-T,${PROJECT_SOURCE_DIR}/cmake/stub-sections.ld)
    set_property(TARGET ${S_NAME} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/stub-sections.ld)
  endif()
  if(S_MSI)
    # A stub that failed to take its package is removed, so that no build passes it on.
    add_dependencies(${S_NAME} setup_pack_native)
    set_property(TARGET ${S_NAME} APPEND PROPERTY LINK_DEPENDS ${S_MSI} ${VORLANE_SETUP_PACK})
    # The build's own executables keep the project's version record and icon (--keep-branding):
    # the tests pin them, and some of the packages packed here are no installer databases.
    add_custom_command(TARGET ${S_NAME} POST_BUILD
      COMMAND ${PROJECT_SOURCE_DIR}/scripts/pack-keep-branding.sh
              ${VORLANE_SETUP_PACK} $<TARGET_FILE:${S_NAME}> ${S_MSI}
      COMMENT "Packing ${S_MSI} into ${S_NAME}"
      VERBATIM)
  endif()
  if(S_OUTPUT_NAME)
    set_target_properties(${S_NAME} PROPERTIES OUTPUT_NAME ${S_OUTPUT_NAME})
  endif()
endfunction()
