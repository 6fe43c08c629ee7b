#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the whole road on the sample track: text to database, database to
# GPX 1.0 and 1.1, CSV and MapSend, a named MapSend track, the database back
# to text, the GPX 1.1 export back into a database, and a look inside the
# database, and the numbers of the walk; then the pages of the walk and of
# a second log (lake.txt beside TRACK) in one folder with their atlas.
# Usage: demo.sh BINDIR OUTDIR TRACK
set -eu
bin=$1 out=$2 track=$3
second=$(cd "$(dirname "$track")" && pwd)/lake.txt
mkdir -p "$out"
cd "$out"
rm -f hike.pdb hike.gpx hike11.gpx hike.csv hike.html hike.ms ridge.ms hike-back.txt hike.info \
	hike11.pdb hike11.gpx.back hike.stats lake.pdb
rm -rf atlas

step() { echo "  $1"; shift; "$@"; }
echo "Wexlar demo on $(basename "$track"), outputs in $out:"
step "gpsimport  -> hike.pdb" "$bin/gpsimport" "$track" hike.pdb
step "trkexport  -> hike.gpx (GPX 1.0 track)" "$bin/trkexport" track hike.pdb hike.gpx
step "trkexport  -> hike11.gpx (GPX 1.1 track)" "$bin/trkexport" gpx hike.pdb hike11.gpx
step "trkexport  -> hike.csv (CSV points)" "$bin/trkexport" csv hike.pdb hike.csv
step "trkexport  -> hike.html (the trip as a page, for any browser)" "$bin/trkexport" html hike.pdb hike.html
step "trkexport  -> hike.ms (MapSend track \"wexlar\")" "$bin/trkexport" mapsend hike.pdb hike.ms
step "msexport   -> ridge.ms (MapSend track \"Ridge walk\")" "$bin/msexport" hike.pdb ridge.ms "Ridge walk"
step "linedump   -> hike-back.txt" "$bin/linedump" hike.pdb hike-back.txt

cmp -s "$track" hike-back.txt || { echo "hike-back.txt differs from the input" >&2; exit 1; }
if command -v xmllint >/dev/null 2>&1; then
	xmllint --noout hike.gpx hike11.gpx
	echo "hike.gpx and hike11.gpx are well-formed XML"
fi
echo "$(grep -c '<trkpt' hike.gpx) track points; first CSV line: $(head -n 1 hike.csv)"
echo "hike-back.txt is the input again, byte for byte"
step "gpximport  -> hike11.pdb (hike11.gpx back onto the handheld)" "$bin/gpximport" hike11.gpx hike11.pdb
step "trkexport  -> hike11.gpx.back (and out again)" "$bin/trkexport" gpx hike11.pdb hike11.gpx.back
[ "$(grep -c '<trkpt' hike11.gpx.back)" = "$(grep -c '<trkpt' hike11.gpx)" ] ||
	{ echo "hike11.gpx.back has other track points" >&2; exit 1; }
echo "hike11.gpx.back has the same $(grep -c '<trkpt' hike11.gpx.back) track points"
step "pdbinfo    -> hike.info (what the database holds)" sh -c '"$0" hike.pdb > hike.info' "$bin/pdbinfo"
echo "hike.info, all but its record lines:"
grep -v '^record ' hike.info | sed 's/^/  /'
step "trkinfo    -> hike.stats (the numbers of the walk)" sh -c '"$0" hike.pdb > hike.stats' "$bin/trkinfo"
sed 's/^/  /' hike.stats
step "gpsimport  -> lake.pdb (a second log: round a lake, an evening stroll)" "$bin/gpsimport" "$second" lake.pdb
mkdir atlas
step "trkexport  -> atlas/ (both logs' pages and their atlas, index.html)" "$bin/trkexport" html -t atlas hike.pdb lake.pdb
echo "atlas/: $(cd atlas && echo *); index.html links to $(grep -o '<tr><td class="name"><a href' atlas/index.html | wc -l) rows"
