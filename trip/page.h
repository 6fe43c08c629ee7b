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

#include "pdb.h"

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

/*
 * Writes the page of the track log db to fd, as trkexport's writers write
 * their formats (see mag.h): 0, or -1 after one line on standard error
 * when a write fails ("write: ...") or memory runs out.  Coordinates are
 * in tenths of a view box unit; every text from the log is escaped; the
 * same log gives the same bytes on every platform.  A map of nothing (an
 * empty log) says so.
 */
int trip_write_page(struct pdb *db, int fd);

#endif
