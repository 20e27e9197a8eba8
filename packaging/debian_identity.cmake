# debian_identity.cmake - read by cpack before it makes a package: settles who the Debian
# package's maintainer is, and stops a package whose changelog or AppStream release lags behind
# the version it is built as.
#
# The project has no mail address of its own, so the maintainer is whoever builds the package,
# named as Debian's own tools name them: DEBFULLNAME and DEBEMAIL, or DEBEMAIL alone in the
# form "Name <address>".
if(NOT CPACK_GENERATOR STREQUAL "DEB")
    return()
endif()

set(maintainerName "$ENV{DEBFULLNAME}")
set(maintainerMail "$ENV{DEBEMAIL}")
if(maintainerMail MATCHES "^(.*[^ ]) *<([^>]+)>$")
    if(maintainerName STREQUAL "")
        set(maintainerName "${CMAKE_MATCH_1}")
    endif()
    set(maintainerMail "${CMAKE_MATCH_2}")
endif()
if(maintainerName STREQUAL "" OR NOT maintainerMail MATCHES "^[^@ ]+@[^@ ]+$")
    message(FATAL_ERROR "The Debian package names whoever builds it as its maintainer, and "
        "DEBFULLNAME and DEBEMAIL do not say who that is. Set both to your own name and mail "
        "address, for example: DEBFULLNAME='Your Name' DEBEMAIL=you@example.org cpack -G DEB")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${maintainerName} <${maintainerMail}>")

# The version lives in CMakeLists.txt's project(); the changelog's newest entry and the newest
# AppStream release must name it.
file(STRINGS "${CPACK_KALIMBOR_CHANGELOG}" changelogHead LIMIT_COUNT 1)
string(REGEX MATCH "^kalimbor \\(([^)]+)\\)" changelogHead "${changelogHead}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
    message(FATAL_ERROR "The package is version ${CPACK_PACKAGE_VERSION} but the newest entry "
        "of ${CPACK_KALIMBOR_CHANGELOG} is \"${CMAKE_MATCH_1}\": add an entry for this release")
endif()
file(READ "${CPACK_KALIMBOR_METAINFO}" metainfo)
string(REGEX MATCH "<release version=\"([^\"]+)\"" newestRelease "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
    message(FATAL_ERROR "The package is version ${CPACK_PACKAGE_VERSION} but the newest release "
        "in ${CPACK_KALIMBOR_METAINFO} is \"${CMAKE_MATCH_1}\": add a release for it")
endif()
