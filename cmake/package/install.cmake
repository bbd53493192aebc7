# The CMake package in the release files, lib/cmake/SetupPack: in the zip beside setup-pack.exe
# and the stubs at its top (the Windows layout), in the Debian package under /usr with
# /usr/bin/setup-pack and the stubs in /usr/share/vorlane-setup. Included by release.cmake,
# which sets rel (the release directory).
include(CMakePackageConfigHelpers)
set(pkg_src ${CMAKE_CURRENT_LIST_DIR})
write_basic_package_version_file(${rel}/cmake/SetupPackConfigVersion.cmake
  VERSION ${VORLANE_RELEASE_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
foreach(layout windows deb)
  if(layout STREQUAL "windows")
    set(SETUP_PACK_PROGRAM setup-pack.exe)
    set(SETUP_PACK_STUBS "")
  else()
    set(SETUP_PACK_PROGRAM bin/setup-pack)
    set(SETUP_PACK_STUBS share/vorlane-setup/)
  endif()
  configure_file(${pkg_src}/SetupPackConfig.cmake.in ${rel}/cmake/${layout}/SetupPackConfig.cmake @ONLY)
  configure_file(${pkg_src}/SetupPackCPack.cmake.in ${rel}/cmake/${layout}/SetupPackCPack.cmake @ONLY)
  install(FILES ${rel}/cmake/${layout}/SetupPackConfig.cmake ${rel}/cmake/${layout}/SetupPackCPack.cmake
                ${rel}/cmake/SetupPackConfigVersion.cmake ${pkg_src}/SetupPackFunctions.cmake
          DESTINATION lib/cmake/SetupPack COMPONENT ${layout})
endforeach()
