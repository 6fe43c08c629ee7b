# SPDX-License-Identifier: MIT
# What a distribution packages: the seven programs and their manual pages,
# the libraries with their headers, a CMake package and pkg-config files,
# the licence; and the DEB and TGZ packages of all that (cpack).

# Three components, each a Debian package of its own (see below): tools
# (the programs and their pages), libs (the shared libraries, in a shared
# build) and dev (headers, static libraries or the shared ones' links,
# CMake and pkg-config files).
set(WEXLAR_PROGRAMS trkexport msexport gpsimport gpximport linedump pdbinfo
    trkinfo)
install(TARGETS ${WEXLAR_PROGRAMS}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(TARGETS palmdb track EXPORT wexlarTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libs
                NAMELINK_COMPONENT dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libs)
install(FILES palmdb/palm.h palmdb/pdb.h palmdb/util.h track/mag.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wexlar COMPONENT dev)

# Manual pages and the changelog compressed as Debian wants them: gzip -9n,
# no name or time stamp inside, so the same bytes every build.
find_program(GZIP gzip REQUIRED)
set(WEXLAR_GZ_FILES "")
function(wexlar_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${GZIP} -9n -c ${source} > ${output}
                     DEPENDS ${source} VERBATIM)
  set(WEXLAR_GZ_FILES ${WEXLAR_GZ_FILES} ${output} PARENT_SCOPE)
endfunction()
foreach(program ${WEXLAR_PROGRAMS})
  wexlar_gzip(${CMAKE_SOURCE_DIR}/man/${program}.1
              ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${program}.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
endforeach()
wexlar_gzip(${CMAKE_SOURCE_DIR}/CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
add_custom_target(compressed_docs ALL DEPENDS ${WEXLAR_GZ_FILES})

# Debian's places and names for the licence and changelog of a package.
set(WEXLAR_DOC_PACKAGES tools:wexlar dev:libwexlar-dev)
if(BUILD_SHARED_LIBS)
  list(APPEND WEXLAR_DOC_PACKAGES libs:libwexlar1)
endif()
foreach(pair ${WEXLAR_DOC_PACKAGES})
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          RENAME copyright COMPONENT ${component})
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          COMPONENT ${component})
endforeach()

# find_package(wexlar) gives wexlar::palmdb and wexlar::track.
set(WEXLAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/wexlar)
install(EXPORT wexlarTargets NAMESPACE wexlar::
        DESTINATION ${WEXLAR_CMAKE_DIR} COMPONENT dev)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(
  ${CMAKE_BINARY_DIR}/wexlarConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES cmake/wexlarConfig.cmake
              ${CMAKE_BINARY_DIR}/wexlarConfigVersion.cmake
        DESTINATION ${WEXLAR_CMAKE_DIR} COMPONENT dev)

# pkg-config: wexlar-palmdb and wexlar-track.  A static library needs the
# C++ runtime named on the link line of a C program.
if(BUILD_SHARED_LIBS)
  set(WEXLAR_PC_RUNTIME "")
else()
  set(WEXLAR_PC_RUNTIME " -lstdc++ -lm")
endif()
# The prefix as seen from the files' own directory, so that they hold
# wherever the tree is installed (the packages install under /usr, not
# under the build's prefix).
file(RELATIVE_PATH WEXLAR_PC_PREFIX
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" WEXLAR_PC_PREFIX "${WEXLAR_PC_PREFIX}")
foreach(pc wexlar-palmdb wexlar-track)
  configure_file(cmake/${pc}.pc.in ${CMAKE_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()

set(CPACK_PACKAGE_NAME wexlar)
set(CPACK_PACKAGE_VENDOR "Wexlar developers")
set(CPACK_PACKAGE_CONTACT "Wexlar developers <dev@wexlar.example.org>")
# Each package's description starts with its own summary: CPack puts a
# summary of its own before it unless that is CPack's default.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)

# One DEB a component; the tarball holds them all.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL tools dev)
if(BUILD_SHARED_LIBS)
  list(APPEND CPACK_COMPONENTS_ALL libs)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(WEXLAR_SAME_VERSION "(= ${PROJECT_VERSION})")

# Descriptions: a summary line, then the long description in lines below
# 80 columns, joined into one text (a CMake list would show its ";").
string(CONCAT WEXLAR_ABOUT
       "Wexlar is a track logger for Palm OS handhelds; its logs are Palm\n"
       "databases of Magellan position reports.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME wexlar)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
    "track-log tools for Palm OS handhelds: GPX, CSV and MapSend export\n"
    "${WEXLAR_ABOUT} These tools move\n"
    "tracks, waypoints and routes between the handheld and the desktop:\n"
    "trkexport and msexport turn a track log into GPX 1.0 or 1.1, CSV\n"
    "lines or a MapSend track file; gpsimport packs a text file of Magellan\n"
    "sentences into a database for the handheld, and gpximport the\n"
    "waypoints, routes and tracks of a GPX file; linedump turns such a\n"
    "database back into text; pdbinfo shows what any Palm database holds;\n"
    "trkinfo gives the numbers of every trip: distance, times, speeds,\n"
    "climb and descent.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libc6, libstdc++6, libexpat1")
# trkinfo links the system's shared GeographicLib: the package that holds
# it, as dpkg knows it.
get_filename_component(geographiclib_real ${GEOGRAPHICLIB_LIBRARY} REALPATH)
execute_process(COMMAND dpkg-query -S ${geographiclib_real}
                OUTPUT_VARIABLE geographiclib_owner ERROR_QUIET
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(geographiclib_real MATCHES "\\.so" AND
   geographiclib_owner MATCHES "^([^:,]+)")
  string(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ", ${CMAKE_MATCH_1}")
endif()

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libwexlar-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_COMPONENT_DEV_DESCRIPTION
    "Palm database and track-log libraries of Wexlar: development files\n"
    "${WEXLAR_ABOUT} libpalmdb reads\n"
    "and writes Palm databases; libtrack decodes position reports and\n"
    "writes them as GPX, CSV and MapSend.  This package holds their C\n"
    "headers, the libraries to link, a CMake package and pkg-config files.")

set(CPACK_DEBIAN_LIBS_PACKAGE_NAME libwexlar1)
set(CPACK_DEBIAN_LIBS_PACKAGE_SECTION libs)
string(CONCAT CPACK_COMPONENT_LIBS_DESCRIPTION
    "Palm database and track-log libraries of Wexlar\n"
    "${WEXLAR_ABOUT} libpalmdb reads\n"
    "and writes Palm databases; libtrack decodes position reports and\n"
    "writes them as GPX, CSV and MapSend.  This package holds the shared\n"
    "libraries.")
set(CPACK_DEBIAN_LIBS_PACKAGE_DEPENDS "libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

if(BUILD_SHARED_LIBS)
  string(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS
         ", libwexlar1 ${WEXLAR_SAME_VERSION}")
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libwexlar1 ${WEXLAR_SAME_VERSION}")
  # The two libraries come as one package, named after the project,
  # registered by the ldconfig trigger.
  set(CPACK_DEBIAN_LIBS_PACKAGE_CONTROL_EXTRA
      ${CMAKE_SOURCE_DIR}/cmake/deb/triggers)
  set(CPACK_POST_BUILD_SCRIPTS
      ${CMAKE_SOURCE_DIR}/cmake/deb/ldconfig-trigger.cmake)
  install(FILES cmake/deb/libwexlar1.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
          RENAME libwexlar1 COMPONENT libs)
endif()

# CPack writes no Multi-Arch field of its own: it goes in after the
# section, a line of the control file.  The programs serve any
# architecture's users; the libraries and their development files are
# installed side by side for several.
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://wexlar.example.org/")
string(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_SECTION "\nMulti-Arch: foreign")
string(APPEND CPACK_DEBIAN_DEV_PACKAGE_SECTION "\nMulti-Arch: same")
string(APPEND CPACK_DEBIAN_LIBS_PACKAGE_SECTION "\nMulti-Arch: same")
include(CPack)
