#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the Debian packages of the build in BUILDDIR (cpack -G DEB: wexlar
# and libwexlar-dev, and libwexlar1 in a shared build) and the tarball,
# checks their control fields and file lists, installs the packages into a
# scratch root and runs every program's --version from there, and has
# lintian check them where it is installed.  Exit 77 (skipped) without
# cpack or dpkg-deb.
set -eu
build=$1 libdir=$2
for tool in cpack dpkg-deb; do
	command -v $tool >/dev/null 2>&1 ||
		{ echo "$tool is not installed: the packages are not checked"; exit 77; }
done
out=$(mktemp -d /tmp/wexlar-package-XXXXXX)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G "DEB;TGZ" -B "$out" >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
packages="wexlar libwexlar-dev"
if grep -q '^BUILD_SHARED_LIBS:BOOL=ON' "$build/CMakeCache.txt"; then
	packages="$packages libwexlar1"
	depends="libwexlar1 (= $version)"
else
	depends=""
fi
[ "$(ls "$out"/*.deb | wc -l)" = "$(echo $packages | wc -w)" ] ||
	{ echo "not the packages $packages:"; ls "$out"; exit 1; }

fail() { echo "$1"; exit 1; }
# field PACKAGE NAME: the control field of the package's DEB.
field() { dpkg-deb -f "$out/$1"_*.deb "$2"; }
for p in $packages; do
	deb=$(ls "$out/$p"_*.deb)
	for f in Package Version Maintainer Description Section Multi-Arch; do
		[ -n "$(field $p $f)" ] || fail "no $f in $deb"
	done
	[ "$(field $p Version)" = "$version" ] || fail "$deb: version"
	dpkg-deb -c "$deb" | awk '{ print $(NF - 1) == "->" ? $(NF - 2) : $NF }' |
		sed 's|^\./||' > "$out/$p.list"
	grep -qx "usr/share/doc/$p/copyright" "$out/$p.list" || fail "$deb: no copyright"
	grep -qx "usr/share/doc/$p/changelog.gz" "$out/$p.list" || fail "$deb: no changelog"
done
[ "$(field wexlar Multi-Arch)" = foreign ] || fail "wexlar: Multi-Arch"
[ "$(field libwexlar-dev Multi-Arch)" = same ] || fail "libwexlar-dev: Multi-Arch"
# The programs and the development files depend on the shared libraries,
# at this very version, or on nothing of each other.
for p in wexlar libwexlar-dev; do
	case "$(field $p Depends)" in
	*libwexlar*) [ -n "$depends" ] && field $p Depends | grep -qF "$depends" ||
		fail "$p: Depends: $(field $p Depends)" ;;
	*) [ -z "$depends" ] || fail "$p does not depend on $depends" ;;
	esac
done

. "$(dirname "$0")/installed_files.sh"
cat "$out"/*.list > "$out/all.list"
tar tzf "$out"/*.tar.gz | sed 's|^[^/]*/||' > "$out/tgz.list"
for f in $(installed_files "$libdir"); do
	grep -qx "usr/$f" "$out/all.list" || fail "in no package: usr/$f"
	grep -qx "$f" "$out/tgz.list" || fail "not in the tarball: $f"
done
for f in $(installed_files "$libdir" | grep -E '^(bin|share/man)/'); do
	grep -qx "usr/$f" "$out/wexlar.list" || fail "not in wexlar: usr/$f"
done
grep -q '^usr/include/wexlar/pdb.h$' "$out/libwexlar-dev.list" ||
	fail "no headers in libwexlar-dev"
if [ -n "$depends" ]; then
	grep -Eq "^usr/$libdir/libpalmdb\.so\.1" "$out/libwexlar1.list" ||
		fail "no shared libpalmdb in libwexlar1"
	grep -Eq "^usr/$libdir/libtrack\.so$" "$out/libwexlar-dev.list" ||
		fail "no link libtrack.so in libwexlar-dev"
else
	grep -Eq "^usr/$libdir/libtrack\.a$" "$out/libwexlar-dev.list" ||
		fail "no libtrack.a in libwexlar-dev"
fi

# Installed into a scratch root, the programs run.
root=$out/root
for p in $packages; do
	dpkg-deb -x "$out/$p"_*.deb "$root"
done
for program in trkexport msexport gpsimport gpximport linedump pdbinfo trkinfo; do
	got=$(LD_LIBRARY_PATH="$root/usr/$libdir" "$root/usr/bin/$program" --version)
	[ "$got" = "$program $version" ] || fail "$program --version: $got"
done

if command -v lintian >/dev/null 2>&1; then
	lintian --fail-on error,warning --suppress-tags-from-file /dev/null \
		"$out"/*.deb || fail "lintian reports errors or warnings"
	echo "lintian: no error or warning"
else
	echo "lintian is not installed: the packages are not checked against Debian's rules"
fi
echo "$packages and the tarball hold the programs, pages, libraries, headers and package files"
