# The test kit for Windows, made with the release files: the test programs of the 32-bit tree
# (VORLANE_I686_BUILD) and of this 64-bit one, with the setup builds, stand-ins and packages they
# use, in the places the programs look for them, and run-tests.cmd, which runs them all:
#   release/setup-tests-<version>-windows.zip
# Everything is linked statically, so the kit needs nothing installed on Windows.
set(VORLANE_TEST_KIT ${rel}/setup-tests-${VORLANE_RELEASE_VERSION}-windows.zip)
set(kit_targets setup setup_stub setup-pack bspatch unit_portable unit_windows setup_e2e)
add_custom_target(test_kit
  COMMAND ${CMAKE_COMMAND} --build ${i686} --target ${kit_targets}
  COMMAND ${CMAKE_COMMAND} -DX86=${i686} -DX64=${CMAKE_BINARY_DIR} -DCMD=${files}/run-tests.cmd -DOBJDUMP=${CMAKE_OBJDUMP}
          -DOUT=${VORLANE_TEST_KIT} -P ${files}/test-kit.cmake
  WORKING_DIRECTORY ${rel}
  COMMENT "Making the test kit ${VORLANE_TEST_KIT}"
  VERBATIM)
add_dependencies(test_kit ${kit_targets})
add_dependencies(release test_kit)
