/* SPDX-License-Identifier: MIT */
/* A Wexlar database of text records, laid out in memory. */
#ifndef GPX_PDBIMAGE_H
#define GPX_PDBIMAGE_H

#include <stdint.h>

#include <string>

#include "importer.h"

/*
 * The database file of the records (at most RECORDS_MAX), in the layout
 * gpsimport writes: the header (name, the first 31 bytes of name; created
 * and modified at secs, seconds since 1904; type DATA, creator Wxl1), one
 * index entry per record (attributes 0, unique IDs 1, 2, 3, ...), two zero
 * bytes, then the records, with no gaps.
 */
std::string pdb_image(const struct gpx_records &records,
		      const std::string &name, uint32_t secs);

#endif
