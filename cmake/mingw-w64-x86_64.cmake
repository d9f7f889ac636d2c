# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with the mingw-w64 compilers (POSIX thread model).
# Programs are linked statically, so they run under Wine without any DLL beside
# them; CTest runs them through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static linking throughout: zlib's archive rather than the import library of
# zlib1.dll, and libgcc, libstdc++ and winpthread built into every program.
set(ZLIB_ROOT /usr/${MINGW_TRIPLET})
if(EXISTS ${ZLIB_ROOT}/lib/libz.a)
    set(ZLIB_LIBRARY ${ZLIB_ROOT}/lib/libz.a CACHE FILEPATH "zlib for the Windows target")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine /usr/bin NO_DEFAULT_PATH)
if(NOT WINE64_PROGRAM)
    find_program(WINE64_PROGRAM NAMES wine64 wine)
endif()
if(WINE64_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE64_PROGRAM})
endif()
