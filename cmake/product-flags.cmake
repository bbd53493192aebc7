# Everything links statically: the executables need no DLL but the system's.
add_link_options(-static)

# The product code stays lean: no exceptions, no RTTI, unused sections dropped.
set(VORLANE_PRODUCT_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections)
