# Each generator takes its own install component: the zip the Windows programs, the Debian
# package the native ones and the stubs.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_VORLANE_BINARY_DIR};vorlane_setup;windows;/")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-windows")
elseif(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_VORLANE_BINARY_DIR};vorlane_setup;deb;/")
endif()
