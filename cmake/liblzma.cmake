# The cross-built static liblzma of the bootstrap cache, the decoder of setup.exe: decoders
# only (the stub's size matters), with the threaded decoder, from a prefix of its own beside
# the other dependencies.
set(VORLANE_LZMA_PREFIX "${VORLANE_DEPS_PREFIX}-decoder-mt" CACHE PATH
    "Prefix holding the stub's threaded decoders-only liblzma")
if(NOT EXISTS ${VORLANE_LZMA_PREFIX}/lib/liblzma.a)
  message(FATAL_ERROR "No threaded liblzma in ${VORLANE_LZMA_PREFIX}: run scripts/bootstrap.sh")
endif()
set(LIBLZMA_INCLUDE_DIR ${VORLANE_LZMA_PREFIX}/include CACHE PATH "" FORCE)
# FindLibLZMA takes the library from LIBLZMA_LIBRARY_RELEASE when that is set, and would look
# for it in the other dependencies' prefix too, so both are fixed here.
set(LIBLZMA_LIBRARY ${VORLANE_LZMA_PREFIX}/lib/liblzma.a CACHE FILEPATH "" FORCE)
set(LIBLZMA_LIBRARY_RELEASE ${VORLANE_LZMA_PREFIX}/lib/liblzma.a CACHE FILEPATH "" FORCE)
# FindLibLZMA insists on finding the easy encoder, so its check is answered here.
set(LIBLZMA_HAS_EASY_ENCODER 1 CACHE INTERNAL "decoders-only liblzma by design")
find_package(LibLZMA REQUIRED)
# The cross-built liblzma is static; without this its header declares DLL imports.
set_property(TARGET LibLZMA::LibLZMA APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
