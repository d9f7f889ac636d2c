# SPDX-License-Identifier: MIT
# Hardening of every target the project builds, on by default (JOINT2SI_HARDEN):
# - GCC and clang: -fstack-protector-strong; _FORTIFY_SOURCE=3 in optimised
#   builds (glibc and mingw-w64 fall back to level 2 on their own where
#   the compiler lacks __builtin_dynamic_object_size); _GLIBCXX_ASSERTIONS in Debug;
#   position-independent code and executables;
# - ELF: full RELRO (-z relro -z now) and a non-executable stack;
# - PE (mingw-w64, MSVC): address-space randomisation with high entropy and
#   data-execution prevention (--dynamicbase --high-entropy-va --nxcompat).
# Fortification checks the size of each buffer a libc call writes; it needs an
# optimised build and is left out under the sanitizers (which check more, and do
# not combine with it cleanly) and the coverage build (-O0).
include_guard(GLOBAL)
include(CheckPIESupported)

option(JOINT2SI_HARDEN "Build with the compiler's and linker's hardening options" ON)
set(JOINT2SI_FORTIFY_LEVEL 3 CACHE STRING "_FORTIFY_SOURCE level of optimised builds (0: none)")

if(NOT JOINT2SI_HARDEN)
    return()
endif()

if(MSVC)
    add_compile_options(/GS)
    add_link_options(/DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT)
    return()
endif()

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
check_pie_supported(OUTPUT_VARIABLE joint2si_pie_message LANGUAGES C CXX)

add_compile_options(-fstack-protector-strong)
# Also at the link: there it makes mingw-w64's GCC link libssp, which holds the
# stack protector's and the fortified functions' code on Windows (glibc has both).
add_link_options(-fstack-protector-strong)
add_compile_definitions($<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(JOINT2SI_SANITIZE OR JOINT2SI_SANITIZE_THREAD OR JOINT2SI_FUZZ OR JOINT2SI_COVERAGE)
    set(JOINT2SI_FORTIFY_LEVEL 0)
endif()
# Optimised are the usual optimised configurations, and a build of another type
# (Debian's None, or none at all) whose flags ask for optimisation at the end.
set(joint2si_fortify_when "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
if(NOT CMAKE_BUILD_TYPE MATCHES "^(Debug|Release|RelWithDebInfo|MinSizeRel)$")
    string(REGEX MATCHALL "(^| )-O[^ ]*" joint2si_levels "${CMAKE_CXX_FLAGS}")
    list(POP_BACK joint2si_levels joint2si_level)
    if(joint2si_level AND NOT joint2si_level MATCHES "-O0$")
        set(joint2si_fortify_when 1)
    else()
        set(joint2si_fortify_when 0)
    endif()
endif()
if(JOINT2SI_FORTIFY_LEVEL GREATER 0)
    # As options, not definitions, so they come after the flags the builder gave
    # (Debian's CPPFLAGS carry -D_FORTIFY_SOURCE=2): the undefinition keeps the
    # compiler from warning about a redefined macro.
    add_compile_options($<${joint2si_fortify_when}:-U_FORTIFY_SOURCE>
                        $<${joint2si_fortify_when}:-D_FORTIFY_SOURCE=${JOINT2SI_FORTIFY_LEVEL}>)
endif()

if(WIN32)
    add_link_options(LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
else()
    add_link_options(LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
endif()
