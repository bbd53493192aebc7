# The Windows build: the product setup.exe, its Windows unit tests and the end-to-end driver.
# Each job in a file of its own, in the order they build on each other; setup's libraries are
# defined in setup/CMakeLists.txt.
enable_language(RC)

include(cmake/liblzma.cmake)        # the decoder library, cross-built by the bootstrap
include(cmake/product-flags.cmake)  # static linking, the product's lean compile options
include(cmake/wine-tests.cmake)     # Wine prefixes and vorlane_add_wine_test
include(cmake/gtest-mingw.cmake)    # GoogleTest from Debian's sources
include(cmake/pack.cmake)           # vorlane_add_setup, setup-pack for the build machine
include(cmake/payloads.cmake)       # vorlane_compress_payload, the tests' payloads
include(cmake/product.cmake)        # setup.exe and setup-stub.exe
include(cmake/docs.cmake)           # the README's pictures (run by hand)
