# SPDX-License-Identifier: MIT
# Run by cpack after the packages are made (CPACK_POST_BUILD_SCRIPTS).
# CPack gives a package of shared libraries maintainer scripts that call
# ldconfig; Debian asks for the ldconfig trigger instead, which the
# package carries (cmake/deb/triggers).  The scripts are taken out of the
# shared-library package, which is then put together again as it was.
foreach(deb ${CPACK_PACKAGE_FILES})
  if(NOT deb MATCHES "/libwexlar1_[^/]*\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b ${tree} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
