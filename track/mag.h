/* SPDX-License-Identifier: MIT */
/*
 * Track points of a Wexlar track log and the writers that export them.
 *
 * Each record of a track log holds one Magellan position report as text:
 * comma-separated fields with latitude and longitude in degrees and
 * minutes, hemisphere letters, altitude, time of day, fix status and date.
 */
#ifndef TRACK_MAG_H
#define TRACK_MAG_H

#include <stddef.h>
#include <stdint.h>

#include "pdb.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * One decoded track point; also the 29-byte point record of a MapSend
 * track file, which stores these fields in this order, little-endian.
 */
struct trkrec {
	double x;	   /* longitude in degrees, east positive */
	double y;	   /* latitude in degrees, negated: north negative */
	float altitude;	   /* in the unit of the text */
	int32_t time;	   /* seconds since 1970-01-01 UTC, low 32 bits */
	int32_t validity;  /* 1 when the fix status begins with "A" */
	uint8_t centisecs; /* hundredths of the second, 0 to 99 */
};

/* Header of a MapSend track file (18 bytes in the file). */
struct maghead {
	ubyte length;	    /* 13: bytes of signature and version */
	char signature[11]; /* "4D533336 MS", no terminator */
	char version[2];    /* "36" */
	udword type;	    /* 2: a track */
};

#define MAG_HEAD_SIZE 18
#define MAG_POINT_SIZE 29
#define MAG_NAME_MAX 255

/*
 * Degrees-and-minutes (dddmm.mmmm) to decimal degrees; the sign carries
 * through and a zero degree part is +0.  An infinite value is returned as
 * it is.
 */
double mag2degrees(double mag_val);

/*
 * Decodes the position report in the len bytes at data into trk; the text
 * ends at the first CR, LF or NUL after its first byte, or after len bytes.
 * Only the fields reached are assigned; the others keep their values, so a
 * point reused over the records of a log repeats what a record lacks.
 * Returns 1 when the fix-status field (the ninth) was decoded, else 0 (a
 * comment starting with "#", fewer than nine separators, no data).  A text
 * that begins with "$" is a track point only when its first field is
 * exactly "$PMGNTRK": a route, waypoint or format sentence decodes to 0
 * and assigns nothing.  Texts without the "$" are read by position.
 */
int parsemagdata(const char *data, size_t len, struct trkrec *trk);

/* parsemagdata() on a NUL-terminated text. */
int parsemagdatastring(const char *data, struct trkrec *trk);

/*
 * A writer exports the track log db to the descriptor fd, which it does not
 * close.  Returns 0, or -1 after a system error report on standard error
 * when a write fails (it stops at the first failure).
 */
typedef int (*_parsewexlarffile)(struct pdb *db, int fd);

/* A GPX 1.0 document of one track of one segment. */
int parsewexlarfilegpx(struct pdb *db, int fd);

/*
 * A GPX 1.1 document of one track of one segment, the points as
 * parsewexlarfilegpx() writes them; the track is named after the database
 * (its Windows-1252 text as UTF-8, without what XML cannot hold), and has
 * no name when that leaves nothing.
 */
int parsewexlarfilegpx11(struct pdb *db, int fd);

/* One CSV line per point: latitude, longitude, altitude, UTC time. */
int parsewexlarfilecsv(struct pdb *db, int fd);

/*
 * A MapSend track file named fname (its first 255 bytes).  On a descriptor
 * that cannot seek (a pipe) the points are counted before they are
 * written; otherwise the count is written last at its place, as the format
 * has it.  0, or -1 after a system error report.
 */
int parsewexlarfile(struct pdb *db, int fd, const char *fname);

/* parsewexlarfile() with the track name "wexlar". */
int parsewexlarfileimapsend(struct pdb *db, int fd);

#ifdef __cplusplus
}
#endif

#endif
