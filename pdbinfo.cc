// SPDX-License-Identifier: MIT
/*
 * pdbinfo: shows what is inside Palm databases (.pdb and .prc files): the
 * header, the records or resources, and the points of a Wexlar track log.
 * It only reads.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "pdbinfo.h"
#include "version.h"

static void usage(FILE *out)
{
	fputs("usage: pdbinfo [-x] FILE...\n"
	      "Shows the header, the records or resources and, for a Wexlar "
	      "track log,\nthe track points of each Palm database FILE.\n"
	      "  -x  also show each record, resource and block as a hex dump\n",
	      out);
}

/* Reads and prints one file.  Returns 0, or -1 after the reader's messages
 * and a line naming the file on standard error. */
static int show(const char *path, bool hex, bool first)
{
	int fd = open(path, O_RDONLY);
	if (fd < 0) {
		fprintf(stderr, "pdbinfo: %s: %s\n", path, strerror(errno));
		return -1;
	}
	struct pdb *db = pdb_Read(fd);
	close(fd);
	if (db == NULL) {
		fprintf(stderr, "pdbinfo: %s: not a readable Palm database\n",
			path);
		return -1;
	}
	if (!first)
		putchar('\n');
	pdbinfo_print(stdout, path, db, hex);
	free_pdb(db);
	return 0;
}

int main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version("pdbinfo");
	bool hex = false;
	int i = 1;
	for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; i++) {
		if (strcmp(argv[i], "--") == 0) {
			i++;
			break;
		}
		if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
			usage(stdout);
			return fclose(stdout) == 0 ? 0 : 1;
		}
		if (strcmp(argv[i], "-x") != 0) {
			fprintf(stderr, "pdbinfo: unknown option %s\n", argv[i]);
			usage(stderr);
			return 1;
		}
		hex = true;
	}
	if (i == argc) {
		usage(stderr);
		return 1;
	}
	int status = 0;
	bool first = true;
	for (; i < argc; i++) {
		/* Keep the reports in order with the listing. */
		fflush(stdout);
		if (show(argv[i], hex, first) < 0)
			status = 1;
		else
			first = false;
	}
	if (fclose(stdout) != 0) {
		perror("pdbinfo: standard output");
		return 1;
	}
	return status;
}
