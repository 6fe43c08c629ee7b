// SPDX-License-Identifier: MIT
// Any bytes as a GPX document: read, turned into records and laid out as
// the database gpximport writes.
#include <stddef.h>
#include <stdint.h>
#include <unistd.h>

#include "importer.h"
#include "memfile.h"
#include "pdbimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	int fd = memfile(data, size);
	struct gpx_records records;
	struct gpx_error error;
	if (gpx_import(fd, "fuzz", &records, &error) == 0)
		pdb_head(records, "fuzz", 0);
	close(fd);
	return 0;
}
