# Optional Authenticode signing of setup.exe after the link.
set(VORLANE_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing key and certificate (empty: no signing)")
set(VORLANE_SIGN_PASSWORD "" CACHE STRING "Password of the PKCS#12 file")
set(VORLANE_SIGN_TIMESTAMP_URL "" CACHE STRING "Time-stamp server URL (optional)")

function(vorlane_sign target)
  if(NOT VORLANE_SIGN_PKCS12)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign.sh $<TARGET_FILE:${target}>
            ${VORLANE_SIGN_PKCS12} ${VORLANE_SIGN_PASSWORD} ${VORLANE_SIGN_TIMESTAMP_URL}
    COMMENT "Signing ${target}")
endfunction()
