/* SPDX-License-Identifier: MIT */
#include "pdbimage.h"

#include <string.h>

#include "palm.h"
#include "pdb.h"
#include "util.h"

enum { NAME_MAX_CHARS = PDB_NAME_SIZE - 1, INDEX_GAP = 2 };

std::string pdb_name(const std::string &name)
{
	return name.substr(0, NAME_MAX_CHARS);
}

std::string pdb_head(const struct gpx_records &records,
		     const std::string &name, uint32_t secs)
{
	size_t count = records.ends.size();
	size_t data = PDB_HEADER_SIZE + PDB_RECLIST_HEADER_SIZE +
		      PDB_RECORD_ENTRY_SIZE * count + INDEX_GAP;
	std::string image(data, '\0');
	ubyte *p = (ubyte *)&image[0];
	std::string kept = pdb_name(name);
	memcpy(p, kept.data(), kept.size());
	ubyte *h = p + PDB_NAME_SIZE;
	put_uword(&h, 0); /* attributes */
	put_uword(&h, 0); /* version */
	put_udword(&h, secs);
	put_udword(&h, secs);
	h += 4 * 4; /* backed up, modification number, AppInfo, sort block */
	put_udword(&h, PALM_FOURCC('D', 'A', 'T', 'A'));
	put_udword(&h, PALM_FOURCC('W', 'x', 'l', '1'));
	h += 4 + 4; /* unique ID seed, next record list */
	put_uword(&h, (uword)count);
	size_t start = 0;
	for (size_t i = 0; i < count; i++) {
		put_udword(&h, (udword)(data + start));
		put_ubyte(&h, 0);
		put_ubyte(&h, (ubyte)((i + 1) >> 16));
		put_uword(&h, (uword)(i + 1));
		start = records.ends[i];
	}
	return image;
}
