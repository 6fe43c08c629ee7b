# SPDX-License-Identifier: MIT
# Sourced by the install and package tests: prints, one a line, the files
# that an installation holds below its prefix, for the library directory
# LIBDIR (relative to the prefix).
installed_files() {
	printf '%s\n' bin/trkexport bin/msexport bin/gpsimport bin/gpximport \
		bin/linedump bin/pdbinfo bin/trkinfo share/man/man1/trkexport.1.gz \
		share/man/man1/msexport.1.gz share/man/man1/gpsimport.1.gz \
		share/man/man1/gpximport.1.gz share/man/man1/linedump.1.gz \
		share/man/man1/pdbinfo.1.gz share/man/man1/trkinfo.1.gz \
		include/wexlar/palm.h \
		include/wexlar/pdb.h include/wexlar/util.h include/wexlar/mag.h \
		share/doc/wexlar/copyright share/doc/wexlar/changelog.gz \
		share/doc/libwexlar-dev/copyright "$1/pkgconfig/wexlar-palmdb.pc" \
		"$1/pkgconfig/wexlar-track.pc" "$1/cmake/wexlar/wexlarConfig.cmake" \
		"$1/cmake/wexlar/wexlarTargets.cmake"
}
