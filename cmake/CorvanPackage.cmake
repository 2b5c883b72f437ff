# SPDX-License-Identifier: MIT
# Debian packages from the install rules: "corvan" (component runtime) for operators'
# desktops, "corvan-dev" (component devel) for the people who write hosts.
# `cpack -G DEB` in the build folder (or ./dev.sh package) writes both beside it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvan)
set(CPACK_PACKAGE_VENDOR "The Corvan developers")
set(CPACK_PACKAGE_CONTACT "${CORVAN_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CORVAN_PACKAGE_PREFIX})
# Release binaries go out without their debugging sections.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")

# Libraries the binaries link come from dpkg-shlibdeps; our own private ones are found
# in the package itself. What is loaded by name at run time is listed by hand: Qt's
# SQLite and PostgreSQL drivers, the fonts that show the Chinese user interface and
# Qt's own Chinese texts for its dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME corvan)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "libqt6sql6-psql, fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"BTS relocation for the radio-network inventory
Corvan is a desktop component for the people who keep a mobile operator's
radio-network inventory. They find machine rooms by city, name and number, see
the base stations (BTS) of networks G, C and D that stand in a room, move one
BTS to another room through a two-page wizard, and later search, view, export
and print the record of every relocation. The user interface is in Chinese.

This package holds the corvan program (the reference host), the component
plug-in it loads, their private libraries and the database schema for SQLite
and PostgreSQL.")

set(CPACK_DEBIAN_DEVEL_PACKAGE_NAME corvan-dev)
set(CPACK_DEBIAN_DEVEL_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_DEVEL_PACKAGE_DEPENDS "corvan (= ${PROJECT_VERSION}), qt6-base-dev")
set(CPACK_DEBIAN_DEVEL_DESCRIPTION
"BTS relocation component: files for writing a host
Corvan's component is a Qt plug-in that a host application loads and hands a
set of services (database access, user context and rights, messages, sheets).

This package holds the headers of that contract and of the controls library,
a CMake package configuration (find_package(Corvan)) and a pkg-config file.")

include(CPack)
