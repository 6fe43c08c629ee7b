# SPDX-License-Identifier: MIT
# What a distribution packages: the six programs and their manual pages,
# the libraries with their headers, a CMake package and pkg-config files,
# the licence; and the DEB and TGZ packages of all that (cpack).

install(TARGETS trkexport msexport gpsimport gpximport linedump pdbinfo
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS palmdb track EXPORT wexlarTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES palmdb/palm.h palmdb/pdb.h palmdb/util.h track/mag.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/wexlar)
install(FILES man/trkexport.1 man/msexport.1 man/gpsimport.1 man/gpximport.1
              man/linedump.1 man/pdbinfo.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian's place and name for the licence of a package.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/wexlar
        RENAME copyright)

# find_package(wexlar) gives wexlar::palmdb and wexlar::track.
set(WEXLAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/wexlar)
install(EXPORT wexlarTargets NAMESPACE wexlar::
        DESTINATION ${WEXLAR_CMAKE_DIR})
include(CMakePackageConfigHelpers)
write_basic_package_version_file(
  ${CMAKE_BINARY_DIR}/wexlarConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES cmake/wexlarConfig.cmake
              ${CMAKE_BINARY_DIR}/wexlarConfigVersion.cmake
        DESTINATION ${WEXLAR_CMAKE_DIR})

# pkg-config: wexlar-palmdb and wexlar-track.  A static library needs the
# C++ runtime named on the link line of a C program.
if(BUILD_SHARED_LIBS)
  set(WEXLAR_PC_RUNTIME "")
else()
  set(WEXLAR_PC_RUNTIME " -lstdc++ -lm")
endif()
foreach(pc wexlar-palmdb wexlar-track)
  configure_file(cmake/${pc}.pc.in ${CMAKE_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

set(CPACK_PACKAGE_NAME wexlar)
set(CPACK_PACKAGE_VENDOR "Wexlar developers")
set(CPACK_PACKAGE_CONTACT "Wexlar developers <dev@wexlar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "track-log tools for Palm OS handhelds: GPX, CSV and MapSend export")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop tools for the Wexlar track logger on Palm OS handhelds: "
    "trkexport and msexport turn a track-log database into a GPX track, "
    "CSV lines or a MapSend track file; gpsimport packs a text file of "
    "Magellan position reports into a database for the handheld, gpximport "
    "the waypoints, routes and tracks of a GPX file; linedump "
    "turns such a database back into text; pdbinfo shows what any Palm "
    "database holds.  With the libraries libpalmdb "
    "(Palm database reader and writer) and libtrack (position report "
    "decoding and the writers), their headers, CMake package and pkg-config "
    "files.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libexpat1")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://wexlar.example.org/")
include(CPack)
