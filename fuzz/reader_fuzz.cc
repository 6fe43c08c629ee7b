// SPDX-License-Identifier: MIT
// Any bytes as a database file: read, then list as pdbinfo does, export in
// every format and write back.
#include <fcntl.h>
#include <stdio.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include "mag.h"
#include "memfile.h"
#include "pdb.h"
#include "pdbinfo.h"

static int devnull = -1;
static FILE *nullfile;

/* A stream that takes everything and keeps nothing: pdbinfo's printing
 * runs in full without a system call. */
static ssize_t discard(void *, const char *, size_t len)
{
	return (ssize_t)len;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	setenv("TZ", "UTC", 1);  // the trace's local times, without file look-ups
	devnull = open("/dev/null", O_WRONLY);
	nullfile = fopencookie(NULL, "w", cookie_io_functions_t{NULL, discard,
								NULL, NULL});
	// The library's trace and messages: buffered, not a write a line.
	static char errbuf[1 << 16];
	setvbuf(stderr, errbuf, _IOFBF, sizeof errbuf);
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// Odd sizes trace everything, so that the trace is fuzzed too.
	pdb_trace = size % 2 ? 9 : 0;
	int fd = memfile(data, size);
	struct pdb *db = pdb_Read(fd);
	close(fd);
	if (db == NULL)
		return 0;
	pdbinfo_print(nullfile, "fuzz.pdb", db, size % 3 == 0);
	if (!IS_RSRC_DB(db)) {
		parsewexlarfilegpx(db, devnull);
		parsewexlarfilegpx11(db, devnull);
		parsewexlarfilecsv(db, devnull);
		parsewexlarfileimapsend(db, devnull);
	}
	pdb_Write(db, devnull);
	free_pdb(db);
	return 0;
}
