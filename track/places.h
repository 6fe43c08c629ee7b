/* SPDX-License-Identifier: MIT */
/*
 * The waypoints and routes of a track log, gathered for the writers and
 * the trip's numbers: every $PMGNWPL and $PMGNRTE sentence decoded once,
 * the waypoints found by name, the route lines put in route order.
 * Not installed.
 */
#ifndef TRACK_PLACES_H
#define TRACK_PLACES_H

#include <stdio.h>

#include "mag.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One line of a route and the record it came from. */
struct wexlar_route_line {
	struct magrte line;
	size_t record;
};

/* The waypoints and route lines of a log, in record order (the lines in
 * route order after wexlar_sort_routes()), and the waypoints' indexes
 * ordered by name, then index.  Arrays on the C heap. */
struct wexlar_places {
	struct magwpt *waypoints;
	size_t *by_name;
	size_t nwaypoints, waypoints_room, by_name_room;
	struct wexlar_route_line *lines;
	size_t nlines, lines_room;
};

/*
 * Fills *places, which must be zeroed, with the waypoints and route lines
 * of db, which it points into (valid while db is).  A sentence that cannot
 * be read is left out, after one line on report ("record N: waypoint
 * cannot be read; left out", "record N: route line cannot be read; left
 * out") where report is not null.  Returns 0, or -1 when out of memory;
 * either way wexlar_free_places() releases what *places holds.
 */
int wexlar_collect_places(const struct pdb *db, struct wexlar_places *places,
			  FILE *report);

/* Releases the arrays of *places and zeroes it. */
void wexlar_free_places(struct wexlar_places *places);

/* The first waypoint named name (the bytes, exactly), or null. */
const struct magwpt *wexlar_find_waypoint(const struct wexlar_places *places,
					  struct magtext name);

/* Puts the route lines in order: by route number, each route's lines by
 * index, record order among equals. */
void wexlar_sort_routes(struct wexlar_places *places);

/* After wexlar_sort_routes(): the end of the route whose lines start at
 * lines[first], the index of the first line of another route or nlines. */
size_t wexlar_route_end(const struct wexlar_places *places, size_t first);

/* The route's name: the first that its lines [first, end) give, else an
 * empty text. */
struct magtext wexlar_route_name(const struct wexlar_places *places,
				 size_t first, size_t end);

/* Where the track points of a log stand: a track open, named by its
 * points (current) or after the database, and whether the last point's
 * name was empty.  Zeroed at the start. */
struct wexlar_tracks {
	int open, named, after_nameless;
	struct magtext current;
};

/* What a track point starts: nothing (it continues the current segment),
 * a track, or a segment of the current track. */
enum { WEXLAR_TRACK_STARTS = 1, WEXLAR_SEGMENT_STARTS = 2 };

/*
 * What the next track point, whose field 9 is point_name, starts, as the
 * GPX 1.1 writer splits a log: the points before any that names its track
 * form a track named after the database; a point whose name is not empty
 * and differs from the current named track's starts a track of that name;
 * a point that repeats the current named track's name right after a point
 * whose name is empty starts a segment of that track; any other point
 * continues the current segment.  Returns WEXLAR_TRACK_STARTS with the new
 * track's name in *name (point_name or db_name), WEXLAR_SEGMENT_STARTS,
 * or 0.
 */
int wexlar_track_starts(struct wexlar_tracks *t, struct magtext point_name,
			struct magtext db_name, struct magtext *name);

/* A walk over the track points of a log, in record order.  Zero it and
 * set db before the first step. */
struct wexlar_track_walk {
	const struct pdb *db;
	const struct pdb_record *record; /* the last read; null at first */
	int done;
	struct trkrec trk;	/* the point, reused over the records */
	struct magtrkpt info;	/* what its text leaves out */
	struct wexlar_tracks tracks;
};

/*
 * Steps to the next track point (see parsemagtrackpoint()): 1 with the
 * point in w->trk and w->info and what it starts in *starts (see
 * wexlar_track_starts()), with the new track's name in *name when that is
 * WEXLAR_TRACK_STARTS; 0 after the last.
 */
int wexlar_next_track_point(struct wexlar_track_walk *w, int *starts,
			    struct magtext *name);

/* Orders texts as strings of bytes: <0, 0 or >0. */
int wexlar_compare_text(struct magtext a, struct magtext b);

#ifdef __cplusplus
}
#endif

#endif
