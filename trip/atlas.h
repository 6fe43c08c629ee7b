/* SPDX-License-Identifier: MIT */
/*
 * The atlas of a folder's trips: one HTML5 document beside the trips' own
 * pages that shows every track on one overview map, each line a link to
 * its page, and lists the tracks in a table sorted by their start, with
 * the totals.  Like a trip's page it shows as it is, offline, with
 * nothing to fetch and no script, and it is the same bytes on every
 * platform.
 *
 * It is gathered log by log as each page is written, keeping of a log
 * only what the atlas shows: the names, a few numbers a track, and each
 * track's points thinned to at most ATLAS_TRACK_POINTS, those that keep
 * its shape best (Douglas and Peucker's order), fewer for all when the
 * tracks together would hold more than ATLAS_MAP_POINTS.  So a folder of
 * many logs needs little more memory than its largest log: a few hundred
 * bytes a track beside the points.
 */
#ifndef TRIP_ATLAS_H
#define TRIP_ATLAS_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pdb.h"
#include "trip.h"

/* The most points the overview map draws of one track: its first and
 * last and then those farthest from the line through the ones before. */
enum { ATLAS_TRACK_POINTS = 200 };
/* The most points it draws of all tracks together: beyond, every track
 * keeps half as many (down to its first and last). */
enum { ATLAS_MAP_POINTS = 50000 };

/* A point of a track kept for the overview map, and its rank in the order
 * in which the thinning takes the points (0: the first, 1: the last). */
struct atlas_point {
	double lat, lon;
	uint32_t rank;
	bool starts_segment; /* no line from the point before */
};

/* A row of the atlas: a track of a log (its numbers, its name, no points)
 * and its thinned points; or a log without tracks. */
struct atlas_row {
	size_t log;   /* the index of its log in trip_atlas::logs */
	size_t order; /* rows in the order they were added */
	bool has_track;
	struct trip_track track; /* kept is empty */
	std::vector<struct atlas_point> points;
};

/* A log of the atlas: the name of its file, without directories, and the
 * name of its page in the atlas's directory (both bytes, as given). */
struct atlas_log {
	std::string file, page;
	bool dropped; /* its page did not take its name */
};

struct trip_atlas {
	std::vector<struct atlas_log> logs;
	std::vector<struct atlas_row> rows;
	size_t budget = ATLAS_TRACK_POINTS; /* points kept a track */
	size_t points = 0;		    /* points kept of all */
	size_t most = ATLAS_MAP_POINTS;	    /* points kept of all, at most */
};

/*
 * Adds the track log of the file named file (as the atlas shows it: its
 * base name), read into *log by
 * trip_read_page() (page.h), whose page is named page in the atlas's
 * directory: a row for each of its tracks (which are taken out of *log),
 * or one row without a track for a log that has none.  Returns 0, or -1
 * when memory runs out (the atlas may then hold part of the log).
 * Nothing is printed.
 */
int trip_atlas_add(struct trip_atlas *atlas, const char *file,
		   const char *page, struct trip_log *log);

/* Leaves out of the atlas the logs whose page is named page (a page that
 * could not be put in place). */
void trip_atlas_drop(struct trip_atlas *atlas, const char *page);

/*
 * Writes the atlas to fd: the overview map of every track that has a
 * position (map.h, each track's lines linked to its page), a table of a
 * row a track sorted by start (file, track, day, distance, moving time,
 * climb, as trkinfo writes them; tracks without a time last, in the order
 * added), each row linked to its page, the totals, and how the numbers
 * are found.  Every text is escaped, file names that are not UTF-8 shown
 * with U+FFFD for the bytes that are not, and each link percent-encoded.
 * Returns 0, or -1 with errno set (ENOMEM when memory runs out) when it
 * could not write all of it; nothing is printed.
 */
int trip_atlas_write(const struct trip_atlas &atlas, int fd);

#endif
