# SPDX-License-Identifier: MIT
# Installs libtools for other projects: the public headers, the static library,
# a CMake package (find_package(libtools CONFIG) gives libtools::libtools) and a
# pkg-config file. Everything here belongs to the Development component.
include(CMakePackageConfigHelpers)

set(LIBTOOLS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/libtools)

# An optimised GCC build compiles for link-time optimisation, and its objects then
# hold GCC's intermediate code, which only the same GCC release reads, and which
# another project's link would optimise anew with its own warning options. With
# JOINT2SI_PLAIN_ARCHIVE (the `package` preset) the objects also carry machine
# code, and the installed archive keeps only that, as Debian's own packages do.
option(JOINT2SI_PLAIN_ARCHIVE "Install libtools.a without link-time optimisation data" OFF)
if(JOINT2SI_PLAIN_ARCHIVE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(libtools PRIVATE -ffat-lto-objects)
    set(LIBTOOLS_STRIP_LTO_DATA ON)
endif()

install(TARGETS libtools EXPORT libtoolsTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
if(LIBTOOLS_STRIP_LTO_DATA)
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\"
                      --remove-section=.gnu.lto_* --remove-section=.gnu.debuglto_* --remove-section=.comment
                      --strip-symbol=__gnu_lto_v1 --strip-symbol=__gnu_lto_slim
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:libtools>\"
                      COMMAND_ERROR_IS_FATAL ANY)"
            COMPONENT Development)
endif()
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/libtools
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(EXPORT libtoolsTargets NAMESPACE libtools:: DESTINATION ${LIBTOOLS_CMAKE_DIR}
        COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/libtoolsConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/libtoolsConfig.cmake INSTALL_DESTINATION ${LIBTOOLS_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/libtoolsConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/libtoolsConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/libtoolsConfigVersion.cmake
        DESTINATION ${LIBTOOLS_CMAKE_DIR} COMPONENT Development)

# libtools.a is C++ inside and the only form installed, so whoever links it needs
# zlib, the thread library and the C++ runtime. A C++ link brings the runtime
# itself; a program linked by the C compiler (a C-only CMake project, or a plain
# `cc` with pkg-config) gets it named here: in the CMake package for C links only,
# in the pkg-config file always (pkg-config cannot tell the linker, and naming the
# runtime twice is harmless).
set(LIBTOOLS_CXX_RUNTIME "")
foreach(runtime_library IN LISTS CMAKE_CXX_IMPLICIT_LINK_LIBRARIES)
    if(runtime_library MATCHES "^(stdc\\+\\+|c\\+\\+|c\\+\\+abi|m)$")
        list(APPEND LIBTOOLS_CXX_RUNTIME ${runtime_library})
    endif()
endforeach()
list(REMOVE_DUPLICATES LIBTOOLS_CXX_RUNTIME)
foreach(runtime_library IN LISTS LIBTOOLS_CXX_RUNTIME)
    target_link_libraries(libtools INTERFACE $<$<LINK_LANGUAGE:C>:${runtime_library}>)
endforeach()

# pkg-config: the prefix is found from the .pc file's own place, so the file
# stays right wherever the tree is installed or unpacked.
set(LIBTOOLS_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${LIBTOOLS_PC_DIR}")
    set(LIBTOOLS_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH LIBTOOLS_PC_PREFIX /root/${LIBTOOLS_PC_DIR} /root)
    string(REGEX REPLACE "/$" "" LIBTOOLS_PC_PREFIX "${LIBTOOLS_PC_PREFIX}")
    set(LIBTOOLS_PC_PREFIX "\${pcfiledir}/${LIBTOOLS_PC_PREFIX}")
endif()
list(TRANSFORM LIBTOOLS_CXX_RUNTIME PREPEND " -l" OUTPUT_VARIABLE LIBTOOLS_PC_RUNTIME)
string(JOIN "" LIBTOOLS_PC_RUNTIME ${LIBTOOLS_PC_RUNTIME})
configure_file(${PROJECT_SOURCE_DIR}/cmake/libtools.pc.in ${CMAKE_CURRENT_BINARY_DIR}/libtools.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/libtools.pc DESTINATION ${LIBTOOLS_PC_DIR}
        COMPONENT Development)
