#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the DEB and TGZ packages of the build in BUILDDIR (cpack) and checks
# their control fields and file lists.  Exit 77 (skipped) without cpack or
# dpkg-deb.
set -eu
build=$1 libdir=$2
for tool in cpack dpkg-deb; do
	command -v $tool >/dev/null 2>&1 ||
		{ echo "$tool is not installed: the packages are not checked"; exit 77; }
done
out=$(mktemp -d /tmp/wexlar-package-XXXXXX)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G "DEB;TGZ" -B "$out" >/dev/null)
deb=$(ls "$out"/*.deb)
tgz=$(ls "$out"/*.tar.gz)
for field in Package Version Maintainer Description Depends; do
	[ -n "$(dpkg-deb -f "$deb" $field)" ] || { echo "no $field in $deb"; exit 1; }
done
dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./||' > "$out/deb.list"
tar tzf "$tgz" | sed 's|^[^/]*/||' > "$out/tgz.list"
. "$(dirname "$0")/installed_files.sh"
for f in $(installed_files "$libdir"); do
	grep -qx "usr/$f" "$out/deb.list" || { echo "not in $deb: usr/$f"; exit 1; }
	grep -qx "$f" "$out/tgz.list" || { echo "not in $tgz: $f"; exit 1; }
done
grep -Eq "^usr/$libdir/libpalmdb\.(a|so)" "$out/deb.list"
grep -Eq "^usr/$libdir/libtrack\.(a|so)" "$out/deb.list"
echo "$(basename "$deb") and $(basename "$tgz") hold the programs, pages, libraries, headers and package files"
