# Everything links statically: the executables need no DLL but the system's.
add_link_options(-static)

# The product code stays lean: no exceptions, no RTTI, unused sections dropped.
set(VORLANE_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)
# The setup's own code is also optimised across its files when a setup executable is linked
# (-flto: about 1.8 KiB less code in the 32-bit stub); its objects keep their machine code too,
# for the test programs' links. The tools (setup-pack, bspatch) are built without it.
set(VORLANE_SETUP_FLAGS ${VORLANE_PRODUCT_FLAGS} -flto -ffat-lto-objects)
