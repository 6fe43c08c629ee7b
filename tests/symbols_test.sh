#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: symbols_test.sh NM LIBRARY...
# Lists the external symbols that each library defines (NM; the dynamic
# ones of a shared library) and fails on any that is neither a name of the
# library's interface nor carries the project prefix "wexlar_".  Names that
# a sanitizer adds, and the compiler's 32-bit x86 position helpers, are left
# out: among them the type-info of function types (_ZTIF..., _ZTSF...),
# which clang's function sanitizer emits beside every instrumented function
# (the libraries define no type of their own with type-info).  Exit 77
# (skipped) without nm.
set -eu
nm=$1
shift
command -v "$nm" >/dev/null 2>&1 || { echo "$nm is not installed"; exit 77; }
api='^(pdb_[A-Za-z]+|new_[A-Za-z]+|free_[A-Za-z]+|(peek|get|put)_u(byte|word|dword)'
api=$api'|debug_dump|merge_attributes|split_attributes|get_file_length'
api=$api'|mag2degrees|parsemag[a-z]*|parsewexlarfile[a-z0-9]*|wexlar_[a-z_]+)$'
status=0
for lib in "$@"; do
	case $lib in
	*.so*) opt=-D ;;
	*) opt= ;;
	esac
	names=$("$nm" $opt --defined-only -g "$lib" | awk 'NF == 3 { print $3 }' |
		grep -Ev '^(__odr_asan|__asan|__ubsan|__sanitizer|__x86\.get_pc_thunk\.|_ZT[IS]F)' ||
		true)
	[ -n "$names" ] || { echo "$lib: nm listed no symbols"; exit 1; }
	bad=$(printf '%s\n' "$names" | grep -Ev "$api" || true)
	if [ -n "$bad" ]; then
		echo "$lib defines names outside its interface:"
		echo "$bad"
		status=1
	fi
done
exit $status
