# SPDX-License-Identifier: MIT
# Where an installed corvan keeps its files, and the rules that put them there.
#
# The shared libraries are private to corvan: they live in a folder of their own under
# the library directory, with the plug-in in a folder below it, and every installed
# binary finds them through a RUNPATH relative to itself ($ORIGIN). The same tree then
# runs wherever it is unpacked (a staged install, an extracted package), and no other
# program's library search changes.

# Debian's multiarch library folder under any prefix, not only under /usr: the private
# folder is then /usr/lib/<triplet>/corvan in the package, as Debian lays such folders out.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)

# The shared libraries corvan and its plug-in load: the controls, which a host's developer
# links too. The component's and the host's own libraries are static, inside the plug-in and
# the program. A new shared library target is one more line here.
set(CORVAN_INSTALLED_LIBRARIES
  corvan-items
  corvan-controls
)

set(CORVAN_INSTALL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/corvan)
set(CORVAN_INSTALL_PLUGINDIR ${CORVAN_INSTALL_PRIVATE_LIBDIR}/plugins)
set(CORVAN_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/corvan)
set(CORVAN_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvan)
set(CORVAN_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
# The prefix of the Debian package; the manual page names its paths.
set(CORVAN_PACKAGE_PREFIX /usr)
# Who answers for the packages (their maintainer and changelog).
set(CORVAN_MAINTAINER "The Corvan developers <corvan@example.org>")

# Relative paths, from a folder of the installed tree to another, for what must work
# wherever the tree is: the executable's plug-in lookup and RUNPATH.
function(_corvan_relative out from to)
  file(RELATIVE_PATH path /prefix/${from} /prefix/${to})
  set(${out} ${path} PARENT_SCOPE)
endfunction()
_corvan_relative(CORVAN_PLUGINDIR_FROM_BINDIR ${CMAKE_INSTALL_BINDIR} ${CORVAN_INSTALL_PLUGINDIR})
_corvan_relative(_corvan_libdir_from_bindir ${CMAKE_INSTALL_BINDIR} ${CORVAN_INSTALL_PRIVATE_LIBDIR})

# The release date comes from this version's entry in CHANGELOG.md, so that the manual
# page, the metadata and the package's changelog agree and a rebuild gives the same bytes.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md _corvan_release
  REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9]+-[0-9]+-[0-9]+$")
if(NOT _corvan_release)
  message(FATAL_ERROR "CHANGELOG.md has no entry \"## [${PROJECT_VERSION}] - YYYY-MM-DD\"")
endif()
string(REGEX REPLACE ".* - " "" CORVAN_RELEASE_DAY "${_corvan_release}")
execute_process(COMMAND date -u -R -d "${CORVAN_RELEASE_DAY} 12:00"
  OUTPUT_VARIABLE CORVAN_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md)

# corvan_install_rules(): called once every target exists. Component "runtime" is what
# the program needs; "devel" is what a host's developer builds with.
function(corvan_install_rules)
  set(pkg ${PROJECT_SOURCE_DIR}/packaging)
  set(out ${CMAKE_BINARY_DIR}/packaging)

  set_target_properties(${CORVAN_INSTALLED_LIBRARIES} corvan-xlsx-reader PROPERTIES INSTALL_RPATH "$ORIGIN")
  set_target_properties(prjCorvan PROPERTIES INSTALL_RPATH "$ORIGIN/..")
  set_target_properties(corvan PROPERTIES INSTALL_RPATH "$ORIGIN/${_corvan_libdir_from_bindir}")

  install(TARGETS corvan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  install(TARGETS ${CORVAN_INSTALLED_LIBRARIES}
    LIBRARY DESTINATION ${CORVAN_INSTALL_PRIVATE_LIBDIR} COMPONENT runtime NAMELINK_SKIP)
  install(TARGETS prjCorvan LIBRARY DESTINATION ${CORVAN_INSTALL_PLUGINDIR} COMPONENT runtime)
  # The .xlsx reader module, which the sheet service loads from beside the controls' library.
  install(TARGETS corvan-xlsx-reader LIBRARY DESTINATION ${CORVAN_INSTALL_PRIVATE_LIBDIR} COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/db/schema-sqlite.sql ${PROJECT_SOURCE_DIR}/db/schema-postgresql.sql
    DESTINATION ${CORVAN_INSTALL_DATADIR} COMPONENT runtime)

  # What a desktop and its users expect of an installed program.
  install(FILES ${pkg}/corvan.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT runtime)
  install(FILES ${pkg}/corvan.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT runtime)
  configure_file(${pkg}/corvan.metainfo.xml ${out}/corvan.metainfo.xml @ONLY)
  install(FILES ${out}/corvan.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT runtime)

  # Debian wants manual pages and changelogs compressed to the maximum and without a
  # time stamp.
  configure_file(${pkg}/corvan.1.in ${out}/corvan.1 @ONLY)
  configure_file(${pkg}/changelog.in ${out}/changelog @ONLY)
  add_custom_command(OUTPUT ${out}/corvan.1.gz ${out}/changelog.gz
    COMMAND gzip -9nkf ${out}/corvan.1 ${out}/changelog
    DEPENDS ${out}/corvan.1 ${out}/changelog
    COMMENT "Compressing the manual page and the package changelog")
  add_custom_target(corvan-packaging-files ALL DEPENDS ${out}/corvan.1.gz ${out}/changelog.gz)
  install(FILES ${out}/corvan.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  install(FILES ${pkg}/copyright ${out}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvan COMPONENT runtime)
  install(FILES ${pkg}/copyright ${out}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvan-dev COMPONENT devel)

  # For hosts: the contract's headers, the link name of the controls library, and the
  # files find_package(Corvan) and pkg-config read.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/corvan
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT devel FILES_MATCHING PATTERN "*.h")
  install(TARGETS corvan-items corvan-controls
    LIBRARY DESTINATION ${CORVAN_INSTALL_PRIVATE_LIBDIR} COMPONENT devel NAMELINK_ONLY)

  include(CMakePackageConfigHelpers)
  get_target_property(controls_soversion corvan-controls SOVERSION)
  set(CORVAN_CONTROLS_SONAME libcorvan-controls.so.${controls_soversion})
  get_target_property(items_soversion corvan-items SOVERSION)
  set(CORVAN_ITEMS_SONAME libcorvan-items.so.${items_soversion})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/CorvanConfig.cmake.in ${out}/CorvanConfig.cmake
    INSTALL_DESTINATION ${CORVAN_INSTALL_CMAKEDIR}
    PATH_VARS CMAKE_INSTALL_INCLUDEDIR CORVAN_INSTALL_PRIVATE_LIBDIR CORVAN_INSTALL_PLUGINDIR
              CORVAN_INSTALL_DATADIR)
  # Before 1.0 a minor release may change the contract.
  write_basic_package_version_file(${out}/CorvanConfigVersion.cmake COMPATIBILITY SameMinorVersion)
  install(FILES ${out}/CorvanConfig.cmake ${out}/CorvanConfigVersion.cmake
    DESTINATION ${CORVAN_INSTALL_CMAKEDIR} COMPONENT devel)
  # pkg-config gets the prefix of the install at hand (a staged one, the package's /usr).
  set(CORVAN_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
  configure_file(${pkg}/corvan.pc.in ${out}/corvan.pc.in @ONLY)
  install(CODE "configure_file([[${out}/corvan.pc.in]] [[${out}/corvan.pc]] @ONLY)" COMPONENT devel)
  install(FILES ${out}/corvan.pc DESTINATION ${CORVAN_INSTALL_PKGCONFIGDIR} COMPONENT devel)
endfunction()
