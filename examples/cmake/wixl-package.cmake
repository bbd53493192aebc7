# CPack's External generator: the staged files become <package file name>.msi through wixl.
execute_process(COMMAND ${CPACK_SAMPLE_WIXL} -o ${CPACK_TEMPORARY_DIRECTORY}/../${CPACK_PACKAGE_FILE_NAME}.msi
                        ${CPACK_SAMPLE_WXS}
                WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}
                COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES ${CPACK_TEMPORARY_DIRECTORY}/../${CPACK_PACKAGE_FILE_NAME}.msi)
