# SPDX-License-Identifier: MIT
# Packages made by CPack from the install rules (run cpack in the build tree):
# - on Linux, Debian packages: joint2si (the program, its manual page and bash
#   completion) and libtools-dev (the library's headers, archive and CMake and
#   pkg-config files), with dependencies computed by dpkg-shlibdeps;
# - on Windows, a zip of the program with the README and the manual as text.
set(CPACK_PACKAGE_NAME joint2si)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the joint2si developers")
set(JOINT2SI_PACKAGE_CONTACT "joint2si maintainers <maintainers@joint2si.example>" CACHE STRING
    "Maintainer named in the packages")
set(CPACK_PACKAGE_CONTACT ${JOINT2SI_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

include(CPackComponent)
cpack_add_component(Program DISPLAY_NAME "joint2si program" GROUP Runtime)
cpack_add_component(Documentation DISPLAY_NAME "Manual and README" GROUP Runtime)
cpack_add_component(Completion DISPLAY_NAME "bash completion" GROUP Runtime)
cpack_add_component(Development DISPLAY_NAME "libtools development files")

if(WIN32)
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

set(CPACK_GENERATOR DEB)
# CPackDeb puts the package-wide summary in front of every package's description
# unless it is CPack's default one; here each package's description begins with
# its own synopsis line instead.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Program Documentation Completion Development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SOURCE joint2si)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME joint2si)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "convert joint attribute files to SI units
joint2si rewrites joint attribute files in place so that their forces are
in newtons and their moments in newton metres. The unit the values are
written in is named on the command line; plain and gzip-compressed files
are read, and each file is replaced only once it was converted completely.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtools-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "zlib1g-dev")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "support library of joint2si (development files)
libtools is the C-style support library of joint2si: heap strings in
caller-owned slots, string lists, number text, wildcard matching, a
comment-stripping line reader, file and directory operations and one
stream type over plain and gzip-compressed files. This package holds the
headers, the static library, a CMake package (libtools::libtools) and a
pkg-config file (libtools).")

# Every Debian package carries its copyright and changelog in its own
# documentation folder; a plain `cmake --install` leaves them out.
string(TIMESTAMP JOINT2SI_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
               ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${CMAKE_COMMAND} -DMODE=gzip -DTOOL=${GZIP_PROGRAM}
            -DINPUT=${CMAKE_BINARY_DIR}/packaging/changelog
            -DOUTPUT=${CMAKE_BINARY_DIR}/packaging/changelog.gz
            -P ${PROJECT_SOURCE_DIR}/cmake/PrepareDocument.cmake
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog ${PROJECT_SOURCE_DIR}/cmake/PrepareDocument.cmake
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
foreach(package_component IN ITEMS Documentation Development)
    if(package_component STREQUAL "Development")
        set(package_docdir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME})
    else()
        set(package_docdir ${CMAKE_INSTALL_DOCDIR})
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
                  ${CMAKE_BINARY_DIR}/packaging/changelog.gz
            DESTINATION ${package_docdir} COMPONENT ${package_component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
