/* SPDX-License-Identifier: MIT */
/*
 * The page of a trip: one HTML5 document that any browser shows as it is,
 * offline, with nothing to fetch and no script.  It holds the log's name
 * and first day; a map of every track, route and waypoint, with a
 * graticule and a scale bar, in a projection that suits the trip (map.h);
 * the elevation profiles of the longest tracks (profile.h); and the
 * numbers of trip.h in tables, a row a track.
 */
#ifndef TRIP_PAGE_H
#define TRIP_PAGE_H

#include <stddef.h>

#include "pdb.h"
#include "trip.h"

/* Tracks with a row of their own in the page's numbers, a colour of their
 * own and a place in the legend: the longest, when a log has more; the
 * others share one row, one grey and one entry. */
enum { PAGE_TRACK_ROWS = 12 };
/* Tracks with an elevation profile: the longest of those with a row that
 * have elevations. */
enum { PAGE_PROFILES = 5 };

/* Waypoints with a row of their own, name and place, in the page's table;
 * the names of the others follow it in one paragraph. */
enum { PAGE_WAYPOINT_ROWS = 2000 };

/* The map's and the profiles' view boxes (SVG units). */
enum { PAGE_MAP_WIDTH = 1000, PAGE_MAP_HEIGHT = 700 };
enum { PAGE_PROFILE_WIDTH = 1000, PAGE_PROFILE_HEIGHT = 300 };

/* The page's style sheet, less its map's (TRIP_MAP_STYLE of map.h). */
extern const char TRIP_PAGE_STYLE[];

/* The colour (CSS) of the page's track i with a row of its own, for
 * i below PAGE_TRACK_ROWS; beyond, the same colours over again.  Each
 * stands out from the drawings' light backgrounds, from black and from
 * the colours next to it. */
const char *page_colour(size_t i);

/*
 * Writes the page of the track log db to fd, as trkexport's writers write
 * their formats (see mag.h): 0, or -1 after one line on standard error
 * when a write fails ("write: ...") or memory runs out.  Coordinates are
 * in tenths of a view box unit; every text from the log is escaped; the
 * same log gives the same bytes on every platform.  A map of nothing (an
 * empty log) says so.
 */
int trip_write_page(struct pdb *db, int fd);

/*
 * The two steps of trip_write_page(), for a caller that keeps what the
 * page shows.  trip_read_page() reads db into *log (see trip_read()) and
 * makes its tracks the ones the page shows, a row each: all of them
 * where there are at most PAGE_TRACK_ROWS; else the longest of them, in
 * log order, and after them one track of all the others, named "N other
 * tracks", their numbers summed (trip_add()) and their points in order,
 * each track's first starting a segment.  Returns 0, or -1 after a line
 * on standard error when memory runs out.  trip_write_page_of() writes
 * the page of such a log to fd, with the same bytes and results as
 * trip_write_page().
 */
int trip_read_page(const struct pdb *db, struct trip_log *log);
int trip_write_page_of(const struct trip_log &log, int fd);

#endif
