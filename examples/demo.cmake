# The packages built from examples/ by wixl:
#   VORLANE_DEMO_MSI     the demo product "Vorlane Demo", the default payload of setup.exe
#   VORLANE_FAILING_MSI  a package whose installation always fails (false launch condition)
# The builds are reproducible: the sources are copied with one fixed modification time (the
# cabinet records it) and the package's build stamps are replaced afterwards.
set(vorlane_examples_src ${CMAKE_CURRENT_LIST_DIR})
set(vorlane_examples_out ${CMAKE_BINARY_DIR}/examples)
set(VORLANE_DEMO_MSI ${vorlane_examples_out}/demo.msi)
set(VORLANE_FAILING_MSI ${vorlane_examples_out}/failing.msi)

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(vorlane_source_date "$ENV{SOURCE_DATE_EPOCH}")
else()
  set(vorlane_source_date 1767225600)  # 2026-01-01 00:00:00 UTC
endif()

file(GLOB vorlane_example_files CONFIGURE_DEPENDS ${vorlane_examples_src}/files/*)

# The demo's data file of 768 KiB, text and incompressible blocks, made by the generator of
# the payload benchmarks.
set(vorlane_catalog_generator ${PROJECT_SOURCE_DIR}/bench/payload-data.pl)

function(vorlane_build_msi name)
  set(out ${vorlane_examples_out}/${name}.msi)
  set(work ${vorlane_examples_out}/${name}.files)
  set(wxs ${vorlane_examples_src}/${name}.wxs)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${vorlane_examples_src}/files ${work}
    COMMAND ${VORLANE_PERL} ${vorlane_catalog_generator} ${work}/catalog.dat 786432
    COMMAND find ${work} -type f -exec touch -d @${vorlane_source_date} {} +
    COMMAND ${CMAKE_COMMAND} -E chdir ${work}
            ${CMAKE_COMMAND} -E env TZ=UTC ${VORLANE_WIXL} -o ${out}.raw ${wxs}
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${vorlane_source_date}
            ${VORLANE_PERL} ${vorlane_examples_src}/normalize-msi.pl ${out}.raw ${out}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${out}.raw
    DEPENDS ${wxs} ${vorlane_example_files} ${vorlane_examples_src}/normalize-msi.pl
            ${vorlane_catalog_generator}
    COMMENT "Building ${name}.msi with wixl"
    VERBATIM)
endfunction()

vorlane_build_msi(demo)
vorlane_build_msi(failing)
# Setup executables in any directory wait for the packages through this target.
add_custom_target(vorlane_examples ALL DEPENDS ${VORLANE_DEMO_MSI} ${VORLANE_FAILING_MSI})
