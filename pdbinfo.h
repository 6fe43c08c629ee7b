/* SPDX-License-Identifier: MIT */
/*
 * What pdbinfo prints of one database: the header in plain words, one line
 * per record or resource, optionally their bytes as hex dumps, and for a
 * Wexlar track log its points.  One item per line, "label: value", the
 * same whatever the time zone or locale.
 */
#ifndef PDBINFO_H
#define PDBINFO_H

#include <stdio.h>

#include "pdb.h"

/*
 * Prints db, read from the file named path, on out; with hex, each record,
 * resource and block also as a hex dump in the library's dump layout.
 * Write errors show in out's error indicator.
 */
void pdbinfo_print(FILE *out, const char *path, const struct pdb *db,
		   bool hex);

#endif
