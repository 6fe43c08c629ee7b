#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# from its committed seed corpus.  Any crash, leak, sanitizer report or
# time-out makes the script fail; the input that caused it is left in
# build/fuzz/findings/.  New inputs found on the way go to
# build/fuzz/corpus/TARGET, not into the committed seeds.
# Usage: fuzz/run.sh [SECONDS] [TARGET...]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-reader decode gpsimport gpximport linedump trip}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
mkdir -p build/fuzz/findings
for t in $targets; do
	work=build/fuzz/corpus/$t
	mkdir -p "$work"
	echo "fuzzing $t for $seconds s"
	# -close_fd_mask=3: the programs' own messages would drown the log.
	build/fuzz/bin/${t}_fuzz "$work" fuzz/corpus/$t \
		-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
		-close_fd_mask=3 -print_final_stats=1 \
		-artifact_prefix=build/fuzz/findings/$t- 2>&1 |
		grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|==|SUMMARY|Done|INFO: a leak|.*ERROR)' || true
	# The pipe above hides the fuzzer's status: look for what it left.
	if ls build/fuzz/findings/$t-* >/dev/null 2>&1; then
		echo "fuzz target $t found a failure:" >&2
		ls build/fuzz/findings/$t-* >&2
		exit 1
	fi
done
