# SPDX-License-Identifier: MIT
# Packages: on Windows, CPack makes a zip of the program with the README and the
# manual as text (run cpack in the build tree); on Linux the Debian packages come
# from a Debian source package (below). Both name the one maintainer given here.
set(CPACK_PACKAGE_NAME joint2si)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the joint2si developers")
set(JOINT2SI_MAINTAINER "joint2si developers <joint2si-developers@users.noreply.invalid>"
    CACHE STRING "Maintainer named in the packages: Name <address>")
set(CPACK_PACKAGE_CONTACT ${JOINT2SI_MAINTAINER})

if(WIN32)
    set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
    set(CPACK_STRIP_FILES ON)
    include(CPackComponent)
    cpack_add_component(Program DISPLAY_NAME "joint2si program" GROUP Runtime)
    cpack_add_component(Documentation DISPLAY_NAME "Manual and README" GROUP Runtime)
    # One zip holding the program and its documents only.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
    set(CPACK_COMPONENTS_ALL Program Documentation)
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    set(CPACK_PACKAGE_FILE_NAME joint2si-${PROJECT_VERSION}-win64)
    set(CPACK_ARCHIVE_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
    include(CPack)
    return()
endif()

# The Debian packages come from the Debian source package in packaging/debian,
# built by dpkg-buildpackage (scripts/package.sh deb). Its control file and
# changelog name the maintainer and the version from here: the build tree's
# debian/ directory is that source package's debian/ directory, ready to be
# placed at the top of a copy of the sources.
set(JOINT2SI_LIBSTDCXX_DEV libstdc++-dev)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    string(REGEX MATCH "^[0-9]+" gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
    set(JOINT2SI_LIBSTDCXX_DEV "libstdc++-${gcc_major}-dev | libstdc++-dev")
endif()
string(TIMESTAMP JOINT2SI_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(debian_dir ${CMAKE_BINARY_DIR}/debian)
file(REMOVE_RECURSE ${debian_dir})
file(COPY ${PROJECT_SOURCE_DIR}/packaging/debian/ DESTINATION ${debian_dir} PATTERN "*.in" EXCLUDE)
foreach(template IN ITEMS control changelog)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/${template}.in ${debian_dir}/${template} @ONLY)
endforeach()
