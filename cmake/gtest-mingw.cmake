# GoogleTest for the Windows unit tests and the end-to-end driver, built from Debian's sources.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
add_library(vorlane_gtest_main INTERFACE)
target_link_libraries(vorlane_gtest_main INTERFACE gtest_main gtest)
