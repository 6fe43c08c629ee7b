#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: package_prefix_test.sh SOURCEDIR CMAKE
# The packages do not depend on the prefix a build is configured with: a
# build of SOURCEDIR configured with CMake's default prefix (/usr/local,
# not the presets' /usr), as a user or a distribution's tooling may make
# it, gives packages that pass the package test, lintian included, with
# the libraries in the multiarch directory.
set -eu
src=$1 cmake=$2
work=$(mktemp -d /tmp/wexlar-prefix-XXXXXX)
trap 'rm -rf "$work"' EXIT
"$cmake" -S "$src" -B "$work/build" -DWEXLAR_TESTS=OFF >/dev/null
"$cmake" --build "$work/build" -j 2 >/dev/null
cache=$work/build/CMakeCache.txt
grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr/local' "$cache" ||
	{ echo "not configured with the default prefix"; exit 1; }
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$cache")
arch=$(sed -n 's/^CMAKE_LIBRARY_ARCHITECTURE:[A-Z]*=//p' "$cache")
if [ -n "$arch" ] && [ "$libdir" != "lib/$arch" ]; then
	echo "libraries go to $libdir, not lib/$arch"
	exit 1
fi
sh "$(dirname "$0")/package_test.sh" "$work/build" "$libdir"
