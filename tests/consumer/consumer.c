/* SPDX-License-Identifier: MIT */
/*
 * A C program of a library user: reads a track log through the installed
 * libraries and prints its record count, the points that decode and the
 * last point.  Built by the install test through pkg-config.
 */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <wexlar/mag.h>
#include <wexlar/pdb.h>

int main(int argc, char **argv)
{
	int fd = argc == 2 ? open(argv[1], O_RDONLY) : -1;
	struct pdb *db = fd >= 0 ? pdb_Read(fd) : NULL;
	if (db == NULL)
		return 1;
	close(fd);
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	int points = 0;
	for (struct pdb_record *r = db->rec_index.rec; r != NULL; r = r->next)
		points += parsemagdata((const char *)r->data, r->data_len, &trk);
	printf("%u records, %d points, last %.6f %.6f\n", db->numrecs, points,
	       -trk.y, trk.x);
	free_pdb(db);
	return 0;
}
