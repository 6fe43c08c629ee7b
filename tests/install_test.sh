#!/bin/sh
# Installs the build in BUILDDIR into a fresh prefix and runs the installed
# programs on a short track.
set -eu
build=$1
prefix=$(mktemp -d /tmp/wexlar-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/trkexport bin/msexport bin/gpsimport bin/linedump \
	share/man/man1/trkexport.1 share/man/man1/msexport.1 \
	share/man/man1/gpsimport.1 share/man/man1/linedump.1 \
	include/wexlar/pdb.h include/wexlar/palm.h include/wexlar/util.h \
	include/wexlar/mag.h; do
	[ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
ls "$prefix"/lib*/libpalmdb.a "$prefix"/lib*/libtrack.a >/dev/null

cd "$prefix"
printf '%s\n' '$PMGNTRK,4807.038,N,01131.000,E,495,M,170540.25,A,,290605*7E' > t.txt
bin/gpsimport t.txt
bin/trkexport csv t.pdb t.csv
[ "$(cat t.csv)" = "48.117300,11.516667,495.000000,2005-06-29T17:05:40.25Z" ]
bin/msexport t.pdb t.ms Test
[ "$(wc -c < t.ms)" -eq 56 ]
bin/linedump t.pdb t.back
cmp t.txt t.back
echo "installed programs work"
