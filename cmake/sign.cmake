# Optional Authenticode signing of setup.exe after the link. The password is not a cache
# variable, where it would stand in CMakeCache.txt and on the signing command line: it is read
# from the file VORLANE_SIGN_PASSWORD_FILE or, without one, from the environment variable
# VORLANE_SIGN_PASSWORD of the build.
set(VORLANE_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing key and certificate (empty: no signing)")
set(VORLANE_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of the PKCS#12 file (empty: the environment variable VORLANE_SIGN_PASSWORD)")
set(VORLANE_SIGN_TIMESTAMP_URL "" CACHE STRING "Time-stamp server URL (optional)")

function(vorlane_sign target)
  if(NOT VORLANE_SIGN_PKCS12)
    return()
  endif()
  set(env "")
  if(VORLANE_SIGN_PASSWORD_FILE)
    set(env ${CMAKE_COMMAND} -E env VORLANE_SIGN_PASSWORD_FILE=${VORLANE_SIGN_PASSWORD_FILE})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${env} ${PROJECT_SOURCE_DIR}/scripts/sign.sh $<TARGET_FILE:${target}>
            ${VORLANE_SIGN_PKCS12} ${VORLANE_SIGN_TIMESTAMP_URL}
    COMMENT "Signing ${target}")
endfunction()
