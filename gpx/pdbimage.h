/* SPDX-License-Identifier: MIT */
/* A Wexlar database of text records, laid out in memory. */
#ifndef GPX_PDBIMAGE_H
#define GPX_PDBIMAGE_H

#include <stdint.h>

#include <string>

#include "importer.h"

/* The database's name as its header holds it: the first 31 bytes of
 * name. */
std::string pdb_name(const std::string &name);

/*
 * The start of the database file of the records (at most RECORDS_MAX), in
 * the layout gpsimport writes: the header (name, the first 31 bytes of
 * name; created and modified at secs, seconds since 1904; type DATA,
 * creator Wxl1), one index entry per record (attributes 0, unique IDs 1,
 * 2, 3, ...) and two zero bytes.  The records' bytes follow it in the
 * file, with no gap.
 */
std::string pdb_head(const struct gpx_records &records,
		     const std::string &name, uint32_t secs);

#endif
