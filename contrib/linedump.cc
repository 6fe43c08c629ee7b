/* SPDX-License-Identifier: MIT */
/*
 * linedump: writes the NUL-terminated strings behind the record index of a
 * Palm database as lines of text: the inverse of gpsimport.
 *
 * The whole database is read and checked before the output is created,
 * and the output is replaced whole, so a failed run leaves every file as
 * it was.
 */
#include <stdio.h>
#include <string.h>

#include "textfile.h"
#include "version.h"

enum {
	FILE_MAX = 65537,	/* the largest database gpsimport writes */
	MIN_SIZE = 79,		/* a header, a record list header and a byte */
	RECLIST_NUMRECS = 76,	/* offset of the record count */
	INDEX_START = 78,	/* first record index entry */
	ENTRY_SIZE = 8,		/* bytes per record index entry */
};

static unsigned char buf[FILE_MAX + 1];
static char outname[NAME_SIZE];

static void usage(void)
{
	fputs("Usage: linedump pdbfile [<outfile>|-] Converts a Palm PDB "
	      "database consisting of text lines into a text file.  If no "
	      "outfile name is specified, the name is constructed from the "
	      "PDB file name. If '-', stdout is used.\n",
	      stderr);
}

/* Position of the first string: right behind the index, or two bytes on
 * when the two bytes there are both 0. */
static int text_start(const unsigned char *db, int len)
{
	int recnum = db[RECLIST_NUMRECS] << 8 | db[RECLIST_NUMRECS + 1];
	int recix = INDEX_START + ENTRY_SIZE * recnum;
	if (recix < len && db[recix] == 0 && db[recix + 1] == 0)
		recix += 2;
	return recix;
}

/*
 * Writes each string of the len bytes of db (with a NUL behind them) from
 * the text start on as a line: unchanged when it holds an LF, else with an
 * LF added.  Returns 0, or -1 when a write failed.
 */
int linedump_write(const unsigned char *db, int len, FILE *out)
{
	for (int recix = text_start(db, len); recix < len;) {
		const char *s = (const char *)db + recix;
		size_t n = strlen(s);
		if (fwrite(s, 1, n, out) != n)
			return -1;
		if (memchr(s, '\n', n) == NULL && putc('\n', out) == EOF)
			return -1;
		recix += (int)n + 1;
	}
	return 0;
}

/* Everything main does; returns the exit status. */
int linedump_main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version("linedump");
	if (wants_usage(argc, argv)) {
		usage();
		return 1;
	}
	if (output_name(argc, argv, ".txt", outname) < 0)
		return 1;

	int len;
	int got = load_input(argv[1], outname, buf, FILE_MAX, &len);
	if (got < 0)
		return 1;
	if (got > 0) {
		fprintf(stderr, "PDB file is too large\n");
		return 1;
	}
	if (len < MIN_SIZE) {
		fprintf(stderr, "PDB file is too small\n");
		return 1;
	}
	buf[len] = '\0';

	struct replace_file rf;
	FILE *out = open_output(&rf, outname, "w");
	if (out == NULL)
		return 1;
	bool written = linedump_write(buf, len, out) == 0;
	return finish_output(out, &rf, outname, written) < 0 ? 1 : 0;
}

#ifndef LINEDUMP_NO_MAIN
int main(int argc, char **argv) { return linedump_main(argc, argv); }
#endif
