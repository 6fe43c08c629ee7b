#!/bin/sh
# SPDX-License-Identifier: MIT
# Renders a manual page and fails on any warning.  Exit 77 (skipped) when
# neither groff nor mandoc is installed.
page=$1
if command -v groff >/dev/null 2>&1; then
	out=$(groff -man -ww -z "$page" 2>&1)
elif command -v mandoc >/dev/null 2>&1; then
	out=$(mandoc -T lint -W warning "$page" 2>&1)
else
	echo "neither groff nor mandoc is installed"
	exit 77
fi
status=$?
[ -n "$out" ] && echo "$out"
[ $status -eq 0 ] && [ -z "$out" ]
