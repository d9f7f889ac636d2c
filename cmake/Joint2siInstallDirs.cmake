# SPDX-License-Identifier: MIT
# Where things are installed: the GNU directory layout, except that on Windows
# the program and its documents sit side by side in the installation folder.
include(GNUInstallDirs)

if(WIN32)
    set(JOINT2SI_INSTALL_BINDIR .)
    set(JOINT2SI_INSTALL_DOCDIR .)
else()
    set(JOINT2SI_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
    set(JOINT2SI_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()
