#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the release programs and the benchmark, then runs it: loading and
# each export format for 1k, 8k and 65535 records, in process and as whole
# runs of trkexport, beside GPSBabel converting the same points to GPX;
# a folder of 1000 logs in one trkexport -t run and in a run each (GPX
# 1.1, and pages with their atlas);
# whole runs of gpximport on GPX documents of as many points, beside
# GPSBabel turning them into Magellan text.
# Extra arguments go to the benchmark (e.g. --benchmark_filter=Gpx).
set -eu
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target export_bench >/dev/null
command -v gpsbabel >/dev/null || echo "gpsbabel is not installed: its rows will fail"
exec build/release/bin/export_bench "$@"
