# debian_staging.cmake - run by cpack on the staged files just before it makes the Debian package:
# the changelog signed by the package's maintainer, and the program stripped as Debian strips
# programs (no symbols, no compiler notes).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()
set(staged "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")

file(READ "${CPACK_KALIMBOR_CHANGELOG}" changelog)
string(REPLACE "@KALIMBOR_MAINTAINER@" "${CPACK_DEBIAN_PACKAGE_MAINTAINER}" changelog
    "${changelog}")
file(WRITE "${staged}/${CPACK_KALIMBOR_DOC}/changelog" "${changelog}")
execute_process(COMMAND gzip -9nf "${staged}/${CPACK_KALIMBOR_DOC}/changelog"
    COMMAND_ERROR_IS_FATAL ANY)

execute_process(COMMAND "${CPACK_KALIMBOR_STRIP}" --remove-section=.comment
    --remove-section=.note --strip-unneeded "${staged}/${CPACK_KALIMBOR_PROGRAM}"
    COMMAND_ERROR_IS_FATAL ANY)
