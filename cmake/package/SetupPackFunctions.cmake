# setup_pack(<target> MSI <file-or-generator-expression> [OUTPUT <file>] [STUB <file>]
#            [ICON <file>] [VERSION <x.y.z.w>] [STORE_CABINETS] [THREADS <n>] [KEEP_BRANDING])
# Adds <target>, built with the default target, that puts the package into a setup executable:
# OUTPUT (default <target>.exe in the current binary directory), from STUB (default the 32-bit
# stub). It is made again when the package, the stub or the icon changes. ICON, VERSION,
# STORE_CABINETS, THREADS and KEEP_BRANDING are setup-pack's --icon, --version,
# --store-cabinets, --threads and --keep-branding. Relative MSI, STUB and ICON paths are taken
# from the current source directory, a relative OUTPUT from the current binary directory. An
# .msi made by a custom command of another directory needs add_dependencies(<target> ...).
function(setup_pack target)
  cmake_parse_arguments(PARSE_ARGV 1 SP "STORE_CABINETS;KEEP_BRANDING" "MSI;OUTPUT;STUB;ICON;VERSION;THREADS" "")
  set(where "setup_pack(${target})")
  if(SP_UNPARSED_ARGUMENTS)
    list(GET SP_UNPARSED_ARGUMENTS 0 first)
    message(FATAL_ERROR "${where}: unknown argument ${first} (known: MSI OUTPUT STUB ICON VERSION "
                        "STORE_CABINETS THREADS KEEP_BRANDING)")
  endif()
  if(SP_KEYWORDS_MISSING_VALUES)
    list(GET SP_KEYWORDS_MISSING_VALUES 0 first)
    message(FATAL_ERROR "${where}: ${first} needs a value")
  endif()
  if(NOT SP_MSI)
    message(FATAL_ERROR "${where}: MSI <file> is required")
  endif()
  if(DEFINED SP_VERSION AND NOT SP_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "${where}: VERSION ${SP_VERSION} is not one to four numbers")
  endif()
  if(DEFINED SP_THREADS AND NOT SP_THREADS MATCHES "^[0-9]+$")
    message(FATAL_ERROR "${where}: THREADS ${SP_THREADS} is not a number")
  endif()
  if(SP_KEEP_BRANDING AND (DEFINED SP_ICON OR DEFINED SP_VERSION))
    message(FATAL_ERROR "${where}: KEEP_BRANDING goes with neither ICON nor VERSION")
  endif()
  if(NOT SP_STUB)
    set(SP_STUB "${SETUP_PACK_STUB}")
  endif()
  if(NOT SP_OUTPUT)
    set(SP_OUTPUT "${target}.exe")
  endif()
  foreach(input MSI STUB ICON)
    if(DEFINED SP_${input} AND NOT SP_${input} MATCHES "^\\$<")
      cmake_path(ABSOLUTE_PATH SP_${input} BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
  endforeach()
  cmake_path(ABSOLUTE_PATH SP_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")

  set(options "")
  if(DEFINED SP_ICON)
    list(APPEND options --icon "${SP_ICON}")
  endif()
  if(DEFINED SP_VERSION)
    list(APPEND options --version "${SP_VERSION}")
  endif()
  if(DEFINED SP_THREADS)
    list(APPEND options --threads "${SP_THREADS}")
  endif()
  if(SP_STORE_CABINETS)
    list(APPEND options --store-cabinets)
  endif()
  if(SP_KEEP_BRANDING)
    list(APPEND options --keep-branding)
  endif()
  add_custom_command(OUTPUT "${SP_OUTPUT}"
    COMMAND SetupPack::setup-pack ${options} "${SP_STUB}" "${SP_MSI}" "${SP_OUTPUT}"
    DEPENDS "${SP_MSI}" "${SP_STUB}" ${SP_ICON} "$<TARGET_FILE:SetupPack::setup-pack>"
    COMMENT "Packing ${SP_MSI} into ${SP_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${SP_OUTPUT}")
endfunction()
