# Release files, made in the 64-bit Windows tree, which has the 64-bit setup-pack.exe (big
# packages fit its address space) and the 64-bit stub; the 32-bit stub and bspatch.exe come
# from the 32-bit tree, VORLANE_I686_BUILD, which the release target brings up to date first.
#   cmake --build --preset windows-x64 --target release
# gives release/vorlane-setup-<version>-windows.zip and release/vorlane-setup_<version>_amd64.deb
# in the build tree.
set(VORLANE_I686_BUILD ${PROJECT_SOURCE_DIR}/build/windows CACHE PATH
    "The 32-bit build tree whose setup-stub.exe and bspatch.exe go into the release files")
set(VORLANE_MAINTAINER "Vorlane <setup@vorlane.example>" CACHE STRING
    "The Debian package's Maintainer and its changelog's signer: NAME <ADDRESS>")

# <version>: the project's first three numbers, and the fourth only when it is not 0.
set(VORLANE_RELEASE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
if(PROJECT_VERSION_TWEAK)
  string(APPEND VORLANE_RELEASE_VERSION .${PROJECT_VERSION_TWEAK})
endif()

find_program(VORLANE_I686_STRIP i686-w64-mingw32-strip REQUIRED)

set(rel ${CMAKE_BINARY_DIR}/release)
set(i686 ${VORLANE_I686_BUILD})
set(files ${PROJECT_SOURCE_DIR}/release)

# The Debian package's native programs are the build's own (cmake/pack.cmake): the native
# tools build of this project, made with Debian's hardening flags.
set(native ${VORLANE_NATIVE_BUILD})

add_custom_command(OUTPUT ${rel}/NOTICES.txt ${rel}/copyright
  COMMAND ${CMAKE_COMMAND} -DHEAD=${files}/notices-head.txt -DOUT=${rel}/NOTICES.txt -P ${files}/notices.cmake
  COMMAND ${CMAKE_COMMAND} -DHEAD=${files}/copyright-head.txt -DOUT=${rel}/copyright -P ${files}/notices.cmake
  DEPENDS ${files}/notices.cmake ${files}/notices-head.txt ${files}/copyright-head.txt)
# A native package's changelog, one entry for this version; its date follows SOURCE_DATE_EPOCH.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${rel}/changelog.in
"vorlane-setup (${VORLANE_RELEASE_VERSION}) stable; urgency=medium

  * Release ${VORLANE_RELEASE_VERSION}.

 -- ${VORLANE_MAINTAINER}  ${changelog_date}
")
configure_file(${rel}/changelog.in ${rel}/changelog COPYONLY)
set(gzipped ${rel}/changelog.gz)
# setup-pack's manual page: its prose around the options and exit statuses of the table that
# --help prints, written by the native build's setup-pack-man.
add_custom_command(OUTPUT ${rel}/setup-pack.1
  COMMAND ${native}/setup-pack-man ${files}/setup-pack.1.in ${rel}/setup-pack.1
  DEPENDS ${files}/setup-pack.1.in ${native}/setup-pack-man setup_pack_native)
foreach(page ${rel}/setup-pack.1 ${files}/bspatch.1)
  get_filename_component(name ${page} NAME)
  add_custom_command(OUTPUT ${rel}/${name}.gz
    COMMAND gzip -9n -c ${page} > ${rel}/${name}.gz
    DEPENDS ${page})
  list(APPEND gzipped ${rel}/${name}.gz)
endforeach()
add_custom_command(OUTPUT ${rel}/changelog.gz
  COMMAND gzip -9n -c ${rel}/changelog > ${rel}/changelog.gz
  DEPENDS ${rel}/changelog)

# The zip: everything in one directory, so that setup-pack.exe finds setup-stub.exe beside it.
# The stubs are linked stripped; the tools are stripped copies, taken when the release is made.
install(FILES ${i686}/setup-stub.exe ${rel}/bspatch.exe ${rel}/setup-pack.exe
        ${PROJECT_SOURCE_DIR}/README.md ${rel}/NOTICES.txt DESTINATION . COMPONENT windows)
install(FILES $<TARGET_FILE:setup_stub> DESTINATION . RENAME setup-stub-x64.exe COMPONENT windows)
# The Debian package.
install(PROGRAMS ${native}/setup-pack ${native}/bspatch/bspatch DESTINATION bin COMPONENT deb)
install(FILES ${i686}/setup-stub.exe DESTINATION share/vorlane-setup COMPONENT deb)
install(FILES $<TARGET_FILE:setup_stub> DESTINATION share/vorlane-setup RENAME setup-stub-x64.exe
        COMPONENT deb)
install(FILES ${rel}/copyright ${rel}/changelog.gz DESTINATION share/doc/vorlane-setup COMPONENT deb)
install(FILES ${rel}/setup-pack.1.gz ${rel}/bspatch.1.gz DESTINATION share/man/man1 COMPONENT deb)
include(${CMAKE_CURRENT_LIST_DIR}/package/install.cmake)

# cpack installs this tree; without this it would first build every test program.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR ZIP DEB)
set(CPACK_PACKAGE_NAME vorlane-setup)
set(CPACK_PACKAGE_VERSION ${VORLANE_RELEASE_VERSION})
set(CPACK_PACKAGE_VENDOR Vorlane)
set(CPACK_PACKAGE_CONTACT "${VORLANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORLANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "puts a Windows Installer package into a setup executable")
set(CPACK_PACKAGE_DIRECTORY ${rel})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PROJECT_CONFIG_FILE ${files}/generators.cmake)
set(CPACK_VORLANE_BINARY_DIR ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"setup-pack compresses an .msi package and stores it in a copy of a
ready-built setup.exe, which decodes it and runs the Windows Installer on it.
The 32-bit and 64-bit setup stubs are included, so no compiler is needed to
pack. bspatch rebuilds a file from an old one and a BSDIFF40 patch.")
include(CPack)

add_custom_target(release
  COMMAND ${CMAKE_COMMAND} --build ${i686} --target setup_stub bspatch
  COMMAND ${VORLANE_I686_STRIP} -o ${rel}/bspatch.exe ${i686}/bspatch/bspatch.exe
  COMMAND ${CMAKE_STRIP} -o ${rel}/setup-pack.exe $<TARGET_FILE:setup-pack>
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  DEPENDS ${rel}/NOTICES.txt ${rel}/copyright ${gzipped}
  WORKING_DIRECTORY ${rel}
  COMMENT "Making the release files in ${rel}"
  VERBATIM)
add_dependencies(release setup_pack_native setup_stub setup-pack)

include(cmake/test-kit.cmake)
