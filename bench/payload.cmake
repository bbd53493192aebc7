# Payload benchmarks (Windows builds only; nothing here is built by default). They print
# figures and are run by hand with bench/payload.sh, which builds what it needs:
#   bench_payload_data     a 70 MB stand-in package and its payload (xz -9, as packed)
#   bench_payload_decode   decoding speed against liblzma's one-call decode into memory
#   bench_payload_setup    setup.exe carrying that payload, for the whole-executable runs
#   bench_setup_nopayload  setup.exe without a payload, for its size
if(CMAKE_SCRIPT_MODE_FILE OR NOT WIN32)
  return()
endif()

set(bench_payload_dir ${CMAKE_BINARY_DIR}/bench/payload)
set(bench_payload_raw ${bench_payload_dir}/package.bin)
set(bench_payload_xz ${bench_payload_dir}/package.xz)
add_custom_command(OUTPUT ${bench_payload_raw}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bench_payload_dir}
  COMMAND ${VORLANE_PERL} ${CMAKE_CURRENT_LIST_DIR}/payload-data.pl ${bench_payload_raw}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/payload-data.pl
  COMMENT "Making the 70 MB benchmark package"
  VERBATIM)
# Packing it takes about a minute.
vorlane_compress_payload(${bench_payload_xz} ${bench_payload_raw})
add_custom_target(bench_payload_data DEPENDS ${bench_payload_xz})

add_executable(bench_payload_decode EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/payload_decode.cpp)
target_link_libraries(bench_payload_decode PRIVATE setup_win)

# Packed by setup-pack, as a user's setup.exe is (its payload is package.xz's bytes): the
# resources on a page of the file, which Wine then maps instead of reading into private memory.
vorlane_add_setup(NAME bench_payload_setup MSI ${bench_payload_raw} EXCLUDE_FROM_ALL)
set_target_properties(bench_payload_setup PROPERTIES
  OUTPUT_NAME setup RUNTIME_OUTPUT_DIRECTORY ${bench_payload_dir}/bin)
add_dependencies(bench_payload_setup bench_payload_data)

vorlane_add_setup(NAME bench_setup_nopayload NO_PAYLOAD EXCLUDE_FROM_ALL)
set_target_properties(bench_setup_nopayload PROPERTIES
  OUTPUT_NAME setup RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/nopayload)
