# The docs step: the README's pictures taken again from this build's programs, so that they
# follow the code (the error dialog shows a line number). Needs a virtual display; the script
# installs one. Run by hand: cmake --build --preset windows --target docs
add_custom_target(docs
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/screenshots.sh ${CMAKE_BINARY_DIR}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  USES_TERMINAL)
add_dependencies(docs e2e_nopayload e2e_slow)
