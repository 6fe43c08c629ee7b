/* SPDX-License-Identifier: MIT */
/*
 * gpsimport: packs a text file, as a rule Magellan track, route and
 * waypoint lines, into a Wexlar database for the handheld: one record per
 * line, each the line with its LF and a NUL.
 *
 * The whole input is read and the database laid out in memory before the
 * output is created, and the output is replaced whole, so a failed run
 * leaves every file as it was.
 */
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "textfile.h"
#include "version.h"

enum {
	INPUT_MAX = 65536,	 /* an input this long is refused */
	IMAGE_SIZE = 65537,	 /* the largest database written */
	HEADER_NAME_MAX = 31,	 /* characters of the database name */
	RECLIST_NUMRECS = 76,	 /* offset of the record count */
	INDEX_START = 78,	 /* first record index entry */
	ENTRY_SIZE = 8,		 /* bytes per record index entry */
	INDEX_GAP = 2,		 /* the two zero bytes after the index */
	SIZE_LIMIT = 65535,	 /* bound of 78 + 9 * records + input length */
};

/* Header field offsets. */
enum { H_CTIME = 36, H_MTIME = 40, H_TYPE = 60, H_CREATOR = 64 };

/* Seconds from 1904-01-01, the Palm epoch, to 1970-01-01. */
static const uint32_t PALM_EPOCH_OFFSET = 2082844800u;

static unsigned char inbuf[INPUT_MAX + 1];
static unsigned char outbuf[IMAGE_SIZE];
static char outname[NAME_SIZE];
static char pdbname[NAME_SIZE];

static void usage(void)
{
	fputs("Usage: gpsimport <file> [<pdb-file>|-] Translates an ASCII file "
	      "with Magellan track, route, and waypoint information into a "
	      "PDB database for the Palm.\n",
	      stderr);
}

/* Stores the low 16 bits of val big-endian at ptr. */
static void put2b(unsigned char *ptr, unsigned int val)
{
	ptr[0] = (unsigned char)(val >> 8);
	ptr[1] = (unsigned char)val;
}

/* Stores the low 32 bits of val big-endian at ptr. */
static void put4b(unsigned char *ptr, unsigned int val)
{
	ptr[0] = (unsigned char)(val >> 24);
	ptr[1] = (unsigned char)(val >> 16);
	ptr[2] = (unsigned char)(val >> 8);
	ptr[3] = (unsigned char)val;
}

/* The database name: the output's base name without its last '.' and what
 * follows, at most 31 characters; "-" for standard output. */
static void database_name(const char *out, char *name)
{
	strcpy(pdbname, base_name(out));
	char *dot = strrchr(pdbname, '.');
	if (dot != NULL)
		*dot = '\0';
	size_t n = strnlen(pdbname, HEADER_NAME_MAX);
	memcpy(name, pdbname, n);
	name[n] = '\0';
}

enum build_result { BUILD_TOO_LARGE = -1, BUILD_NO_LF = -2 };

/*
 * Lays out the database of the len bytes of text (with a NUL behind them)
 * in image (IMAGE_SIZE bytes), named name and stamped secs.  Returns its
 * size, BUILD_TOO_LARGE or BUILD_NO_LF (a NUL before the last LF).
 */
int gpsimport_build(const unsigned char *text, int len, const char *name,
		    uint32_t secs, unsigned char *image)
{
	memset(image, 0, IMAGE_SIZE);
	memcpy(image, name, strnlen(name, HEADER_NAME_MAX));
	put4b(image + H_CTIME, secs);
	put4b(image + H_MTIME, secs);
	memcpy(image + H_TYPE, "DATA", 4);
	memcpy(image + H_CREATOR, "Wxl1", 4);

	int recnum = 0;
	for (int i = 0; i < len; i++)
		recnum += text[i] == '\n';
	put2b(image + RECLIST_NUMRECS, (unsigned)recnum);
	if (INDEX_START + 9 * recnum + len > SIZE_LIMIT)
		return BUILD_TOO_LARGE;

	unsigned char *pdir = image + INDEX_START;
	const unsigned char *pline = text;
	int recix = INDEX_START + ENTRY_SIZE * recnum + INDEX_GAP;
	for (int ix = 1; ix <= recnum; ix++) {
		const unsigned char *peol =
		    (const unsigned char *)strchr((const char *)pline, '\n');
		if (peol == NULL)
			return BUILD_NO_LF;
		int linelen = (int)(peol - pline) + 1;
		put4b(pdir, (unsigned)recix);
		put2b(pdir + 6, (unsigned)ix);
		memcpy(image + recix, pline, (size_t)linelen);
		pdir += ENTRY_SIZE;
		pline += linelen;
		recix += linelen + 1;
	}
	return recix;
}

/* Everything main does; returns the exit status. */
int gpsimport_main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version("gpsimport");
	if (wants_usage(argc, argv)) {
		usage();
		return 1;
	}
	if (output_name(argc, argv, ".pdb", outname) < 0)
		return 1;

	int len;
	int got = load_input(argv[1], outname, inbuf, INPUT_MAX, &len);
	if (got < 0)
		return 1;
	if (got > 0 || len == INPUT_MAX) {
		fprintf(stderr, "File to large for conversion\n");
		return 1;
	}
	inbuf[len] = '\0';

	char name[HEADER_NAME_MAX + 1];
	database_name(outname, name);
	uint32_t secs = (uint32_t)time(NULL) + PALM_EPOCH_OFFSET;
	int size = gpsimport_build(inbuf, len, name, secs, outbuf);
	if (size == BUILD_TOO_LARGE) {
		fprintf(stderr, "File to large for conversion\n");
		return 1;
	}
	if (size == BUILD_NO_LF) {
		fprintf(stderr, "Cannot find LF in input file. Format error?\n");
		return 1;
	}

	struct replace_file rf;
	FILE *out = open_output(&rf, outname, "wb");
	if (out == NULL)
		return 1;
	bool written = fwrite(outbuf, 1, (size_t)size, out) == (size_t)size;
	return finish_output(out, &rf, outname, written) < 0 ? 1 : 0;
}

#ifndef GPSIMPORT_NO_MAIN
int main(int argc, char **argv) { return gpsimport_main(argc, argv); }
#endif
