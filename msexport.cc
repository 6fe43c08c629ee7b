/*
 * msexport: exports a Wexlar track log as a MapSend track file under a
 * track name of the user's choosing.
 */
#include <stdio.h>
#include <string.h>

#include "frontend.h"
#include "mag.h"

static const char defname[] = "Wexlor";

static void usage(const char *prog)
{
	printf("\nUsage: %s <inputfile> <ouputfile> [Trackname]\n\n", prog);
}

int main(int argc, char **argv)
{
	const char *name = argc > 3 ? argv[3] : defname;
	if (argc < 3) {
		usage(argc > 0 ? argv[0] : "msexport");
		return 1;
	}
	if (strlen(name) > MAG_NAME_MAX) {
		printf("Track name too long: at most %d bytes.\n",
		       MAG_NAME_MAX);
		return 1;
	}
	struct stat input;
	struct pdb *db = load_track_log(argv[1], &input);
	if (db == NULL)
		return 1;
	int fd = create_output(argv[2], &input);
	int status = fd < 0 ? 1 : finish_output(fd, parsewexlarfile(db, fd, name));
	free_pdb(db);
	return status;
}
