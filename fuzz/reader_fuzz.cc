// SPDX-License-Identifier: MIT
// Any bytes as a database file: read, then export in every format and
// write back.
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include "mag.h"
#include "memfile.h"
#include "pdb.h"

static int devnull = -1;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	setenv("TZ", "UTC", 1);  // the trace's local times, without file look-ups
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (devnull < 0)
		devnull = open("/dev/null", O_WRONLY);
	// Odd sizes trace everything, so that the trace is fuzzed too.
	pdb_trace = size % 2 ? 9 : 0;
	int fd = memfile(data, size);
	struct pdb *db = pdb_Read(fd);
	close(fd);
	if (db == NULL)
		return 0;
	if (!IS_RSRC_DB(db)) {
		parsewexlarfilegpx(db, devnull);
		parsewexlarfilecsv(db, devnull);
		parsewexlarfileimapsend(db, devnull);
	}
	pdb_Write(db, devnull);
	free_pdb(db);
	return 0;
}
