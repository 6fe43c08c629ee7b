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

/* Bytes kept of any field of a sentence; the rest of a longer one is
 * dropped. */
#define MAG_FIELD_MAX 255

/* A field of a sentence: len bytes at text, inside the record's data (no
 * NUL of its own), valid while the data is. */
struct magtext {
	const char *text;
	size_t len;
};

/*
 * parsemagdata() that also gives the track's name: *name receives field 9
 * (between the fix status and the date; empty in most logs, the track's
 * name on some receivers), its first MAG_FIELD_MAX bytes, when the text
 * holds the separator that ends it; else an empty field.  Returns what
 * parsemagdata() returns for the same text.
 */
int parsemagtrack(const char *data, size_t len, struct trkrec *trk,
		  struct magtext *name);

/* What a track point's text holds beside its trkrec. */
struct magtrkpt {
	struct magtext name; /* field 9, as parsemagtrack() gives it */
	int has_time;	     /* 0: the time and date fields are both empty */
	int has_altitude;    /* 0: the altitude field is empty */
	int feet;	     /* 1: the altitude's unit is "F" (or "f"), feet */
};

/*
 * parsemagtrack() that also tells what the text leaves out: *info gets the
 * track's name, whether the time or the date field holds anything, whether
 * the altitude field does, and whether the altitude is in feet.  A field
 * that the text does not reach counts as empty.  Returns what
 * parsemagdata() returns for the same text; *info is filled in any case.
 */
int parsemagtrackpoint(const char *data, size_t len, struct trkrec *trk,
		       struct magtrkpt *info);

/* Metres in feet: the unit of a track point's altitude field "F". */
double wexlar_feet_to_metres(double feet);

/* One waypoint of a $PMGNWPL sentence. */
struct magwpt {
	double lat, lon;	      /* decimal degrees, north and east positive */
	double ele;		      /* metres, when has_ele */
	int has_ele;		      /* 0: the altitude field is empty */
	struct magtext name, comment; /* comment: empty when the text has none */
};

/*
 * Decodes the waypoint sentence
 *   $PMGNWPL,llll.lll,N|S,yyyyy.yyy,E|W,altitude,M|F,name,comment,icon*HH
 * in the len bytes at data (ending as for parsemagdata(); fields end at
 * ",", the sentence at "*", whose checksum is not checked) into *wpt.  The
 * hemispheres are read as parsemagdata() reads them (north only for "N",
 * west only for "W"); an altitude in feet ("F" or "f") becomes metres, one
 * that is empty or not finite gives has_ele 0.  Returns 1 when decoded; 0,
 * assigning nothing, when the text is not a $PMGNWPL sentence; -1 when it
 * is one that cannot be read: no name field, or a position outside -90 to
 * 90 degrees of latitude or -180 to 180 of longitude.
 */
int parsemagwaypoint(const char *data, size_t len, struct magwpt *wpt);

/* One line of a route, from a $PMGNRTE sentence. */
struct magrte {
	uint32_t total, index;	/* line index of total lines */
	uint32_t number;	/* the route's number */
	struct magtext name;	/* the route's name; empty when not given */
	size_t npoints;		/* waypoint names the line holds */
	struct magtext rest;	/* its point fields not yet taken */
};

/*
 * Decodes the route line
 *   $PMGNRTE,total,index,c|m,number[,route name],wpname,icon[,...]*HH
 * in the len bytes at data (ending as for parsemagwaypoint()) into *rte.
 * After the route number come pairs of waypoint name and icon, the route's
 * name first when their count, less the empty fields at the end of the
 * line, is odd (as eXplorist receivers write it; Meridian-style ones give
 * no name and an even count).  Returns 1 when decoded; 0, assigning
 * nothing, when the text is not a $PMGNRTE sentence; -1 when it is one
 * that cannot be read: fewer than five fields, or a total, index or
 * number that is not a decimal number below 10^9.
 */
int parsemagroute(const char *data, size_t len, struct magrte *rte);

/*
 * Takes the next waypoint name of a route line decoded by parsemagroute()
 * into *wpname.  Returns 1, or 0 when the line holds no more.
 */
int parsemagroutepoint(struct magrte *rte, struct magtext *wpname);

/*
 * A writer exports the track log db to the descriptor fd, which it does not
 * close.  Returns 0, or -1 after a system error report on standard error
 * when a write fails (it stops at the first failure).
 */
typedef int (*_parsewexlarffile)(struct pdb *db, int fd);

/* A GPX 1.0 document of one track of one segment. */
int parsewexlarfilegpx(struct pdb *db, int fd);

/*
 * A GPX 1.1 document of what the log holds: every waypoint ($PMGNWPL) as a
 * <wpt> in record order, then every route ($PMGNRTE lines, assembled by
 * route number and line index) as an <rte> of copies of its waypoints,
 * then the track points as parsewexlarfilegpx() writes them, but with
 * altitudes in feet as metres, no <ele> where the altitude field is empty
 * and no <time> where the time and date fields are (see
 * parsemagtrackpoint()).  Points
 * before any that names its track (parsemagtrack()) form a track named
 * after the database; a point whose name differs from the track's starts
 * a new track of that name.  Names are Windows-1252 text shown as UTF-8,
 * without what XML cannot hold; a track whose name leaves nothing has no
 * name.  A route line that cannot be read, and a route point that names no
 * waypoint of the log, are left out, each after one line on standard
 * error.  An empty log gives one empty track.
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
