# The cross-built static liblzma of the bootstrap cache, the decoder of setup.exe.

# liblzma is built with decoders only (the stub's size matters); FindLibLZMA insists on
# finding the easy encoder, so its check is answered here.
set(LIBLZMA_HAS_EASY_ENCODER 1 CACHE INTERNAL "decoders-only liblzma by design")
find_package(LibLZMA REQUIRED)
# The cross-built liblzma is static; without this its header declares DLL imports.
set_property(TARGET LibLZMA::LibLZMA APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
