/* SPDX-License-Identifier: MIT */
/*
 * msexport: exports a Wexlar track log as a MapSend track file under a
 * track name of the user's choosing.
 */
#include <stdio.h>
#include <string.h>

#include "frontend.h"
#include "mag.h"
#include "version.h"

static const char defname[] = "Wexlor";

/* The track name in use, for write_named. */
static const char *name = defname;

static int write_named(struct pdb *db, int fd)
{
	return parsewexlarfile(db, fd, name);
}

static void usage(const char *prog)
{
	printf("\nUsage: %s <inputfile> <ouputfile> [Trackname]\n\n", prog);
}

int main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version("msexport");
	if (argc > 3)
		name = argv[3];
	if (argc < 3) {
		usage(argc > 0 ? argv[0] : "msexport");
		return 1;
	}
	if (strlen(name) > MAG_NAME_MAX) {
		printf("Track name too long: at most %d bytes.\n",
		       MAG_NAME_MAX);
		return 1;
	}
	/* Several logs go out with trkexport's MapSend format. */
	static const struct export_format format = {"msexport", "mapsend",
						    write_named, ".trk"};
	return export_track_log(argv[1], argv[2], &format);
}
