# The payloads that tests and benchmarks embed themselves (vorlane_add_setup PAYLOAD), made by
# the xz program as setup-pack makes its own: one LZMA2 block with a 64 MiB dictionary, CRC64,
# single-threaded so that no sizes go into the block header.
#   vorlane_compress_payload(out input [CHECK check] [THREADS n] [BLOCK_SIZE bytes])
#   vorlane_compress_payload(out ZEROS size ...)
# CHECK, THREADS and BLOCK_SIZE make the other forms a decoder must take (another integrity
# check, several blocks). ZEROS compresses that many zero bytes (head -c's size) that are never
# on disk.
find_program(VORLANE_XZ xz REQUIRED)

function(vorlane_compress_payload out)
  cmake_parse_arguments(X "" "ZEROS;CHECK;THREADS;BLOCK_SIZE" "" ${ARGN})
  if(NOT X_CHECK)
    set(X_CHECK crc64)
  endif()
  if(NOT X_THREADS)
    set(X_THREADS 1)
  endif()
  set(xz ${VORLANE_XZ} --format=xz --check=${X_CHECK} -9 -T${X_THREADS})
  if(X_BLOCK_SIZE)
    list(APPEND xz --block-size=${X_BLOCK_SIZE})
  endif()
  if(X_ZEROS)
    add_custom_command(OUTPUT ${out}
      COMMAND head -c ${X_ZEROS} /dev/zero | ${xz} > ${out}
      COMMENT "Compressing ${X_ZEROS} of zeros")
  else()
    list(GET X_UNPARSED_ARGUMENTS 0 input)
    add_custom_command(OUTPUT ${out}
      COMMAND ${xz} -c ${input} > ${out}
      DEPENDS ${input}
      COMMENT "Compressing ${input}")
  endif()
endfunction()
