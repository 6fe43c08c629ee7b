#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build in BUILDDIR as a distribution does (DESTDIR staging
# under its configured PREFIX and LIBDIR), checks what was installed, runs
# the installed programs on a short track, and builds a library user
# against the staged tree: MODE c, a C program through pkg-config (after
# compiling each installed header alone as C99 and as C++17), or MODE
# cmake, a C++ program through find_package.  FLAGS go to the user's
# compiler and linker.  Exit 77 (skipped) when the mode's tool is missing.
set -eu
build=$1 prefix=$2 libdir=$3 mode=$4 flags=${5:-}
src=$(cd "$(dirname "$0")" && pwd)/consumer
if [ "$mode" = c ] && ! command -v pkg-config >/dev/null 2>&1; then
	echo "pkg-config is not installed: the C library user is not built"
	exit 77
fi
if [ "$mode" = c ] && ! command -v cc >/dev/null 2>&1; then
	echo "no C compiler (cc): the C library user is not built"
	exit 77
fi
stage=$(mktemp -d /tmp/wexlar-stage-XXXXXX)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" >/dev/null
root=$stage$prefix
lib=$root/$libdir
. "$(dirname "$0")/installed_files.sh"
for f in $(installed_files "$libdir"); do
	[ -e "$root/$f" ] || { echo "not installed: $prefix/$f"; exit 1; }
done
ls "$lib"/libpalmdb.* "$lib"/libtrack.* >/dev/null

work=$stage/work
mkdir "$work"
cd "$work"
export LD_LIBRARY_PATH="$lib"
printf '%s\n' '$PMGNWPL,4807.038,N,01131.000,E,495,M,HOME,,a*4C' \
	'$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E' > t.txt
"$root/bin/gpsimport" t.txt
"$root/bin/trkexport" csv t.pdb t.csv
[ "$(cat t.csv)" = "48.117300,11.516667,495.000000,2005-06-29T17:05:40.25Z" ]
"$root/bin/linedump" t.pdb t.back
cmp t.txt t.back
[ "$("$root/bin/trkexport" --version)" = "trkexport $(sed -n 's/^Version: //p' "$lib/pkgconfig/wexlar-palmdb.pc")" ]
want="2 records, 1 points, last 48.117300 11.516667"

case $mode in
c)
	for h in palm.h pdb.h util.h mag.h; do
		printf '#include <wexlar/%s>\n' "$h" > h.c
		cc -std=c99 -pedantic -Wall -Wextra -Werror -fsyntax-only \
			-I"$root/include" h.c
		c++ -std=c++17 -Wall -Wextra -Werror -fsyntax-only -x c++ \
			-I"$root/include" h.c
	done
	# The pkg-config files find the tree wherever it lies.
	export PKG_CONFIG_LIBDIR="$lib/pkgconfig"
	cc -std=c99 -Wall -Wextra -Werror $flags -o consumer "$src/consumer.c" \
		$(pkg-config --cflags --libs wexlar-track)
	;;
cmake)
	cmake -S "$src" -B build -DCMAKE_PREFIX_PATH="$root" \
		-DCMAKE_CXX_FLAGS="$flags" >/dev/null
	cmake --build build >/dev/null
	mv build/consumer consumer
	;;
esac
got=$(./consumer t.pdb)
[ "$got" = "$want" ] || { echo "library user printed: $got"; exit 1; }
echo "installed programs work; the $mode library user reads: $got"
