/* SPDX-License-Identifier: MIT */
/*
 * The numbers of a trip: how far, how long, how fast and how much climbing,
 * for every track of a Wexlar track log, and its waypoints and routes.
 *
 * Tracks are the ones the GPX 1.1 writer writes, in its order.  Of their
 * points, those without a fix (status other than "A") and those that are
 * no place (a latitude beyond 90 degrees, a longitude beyond 180, not
 * finite) are counted and left out; so is a glitch (see trip_read()).
 * Distances are geodesics on the WGS84 ellipsoid (GeographicLib),
 * horizontal only.  Every number is the same on every platform.
 */
#ifndef TRIP_TRIP_H
#define TRIP_TRIP_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "pdb.h"

/* Elevation changes smaller than this are taken as noise of the receiver's
 * altitudes when climb and descent are counted (metres). */
#define TRIP_CLIMB_HYSTERESIS 10.0
/* Steps faster than this are moving (metres a second: 1 km/h). */
#define TRIP_MOVING_SPEED (1000.0 / 3600.0)

/* A point of a track that counts, in record order. */
struct trip_point {
	double lat, lon; /* degrees, north and east positive */
	double ele;	 /* metres, when has_ele */
	int64_t centis;	 /* hundredths of a second since 1970, UTC, when
			    has_time */
	double along;	 /* metres along the track from its first point */
	bool has_ele, has_time;
	/* The first point kept of a segment after the track's first: no
	 * distance, time or speed is counted from the point before it, and
	 * no line is drawn to it. */
	bool starts_segment;
};

/* One track and its numbers.  A number whose has_ flag is false has no
 * value: the track has no point with a time, no step with a speed or no
 * point with an elevation. */
struct trip_track {
	std::string name; /* Windows-1252, as the log holds it */
	size_t points;	  /* every track point, the left-out ones too */
	size_t fixless;	  /* without a fix or a place */
	size_t glitches;
	std::vector<struct trip_point> kept; /* the points that count */
	bool has_distance;		     /* some point counts */
	double distance;		     /* metres */
	bool has_time;
	int64_t start, end;	  /* hundredths: the first time and the last */
	int64_t duration, moving; /* hundredths */
	double moving_distance;	  /* metres covered while moving */
	bool has_speed;
	double max_speed; /* metres a second, over one step */
	bool has_ele;
	double min_ele, max_ele;
	double climb, descent;	       /* after the hysteresis */
	double raw_climb, raw_descent; /* every rise and fall */
};

/* A waypoint, where the log has it. */
struct trip_waypoint {
	double lat, lon;
	std::string name; /* Windows-1252 */
};

/* A route: its number and name, the points of its waypoints that the log
 * holds (in route order), and its length along them (metres). */
struct trip_route {
	uint32_t number;
	std::string name; /* Windows-1252; empty when the lines give none */
	std::vector<struct trip_waypoint> points;
	double length;
};

/* Everything about one log. */
struct trip_log {
	std::string name; /* the database's, Windows-1252 */
	std::vector<struct trip_track> tracks;
	std::vector<struct trip_waypoint> waypoints;
	std::vector<struct trip_route> routes;
};

/*
 * Reads the tracks, waypoints and routes of the track log db into *log
 * (replacing what it held) and works out each track's numbers:
 *   - the points are decoded as the writers decode them, an altitude in
 *     feet as metres; a point whose altitude field is empty has no
 *     elevation, one whose time and date fields are both empty no time;
 *   - a glitch is a single point that lies far off both its neighbours
 *     while they lie close to each other: a point (not the first or last)
 *     whose distances to the point kept before it and to the point after
 *     it are both above five times the longer of the steps around them
 *     (the step into the point before, the step out of the point after)
 *     and above 200 m, while those two points lie less than half that
 *     distance apart;
 *   - distance: the sum of the steps between the points kept;
 *   - times: the steps between consecutive points with a time; a step
 *     whose time does not increase adds no time and no speed; duration
 *     is the sum of the steps' times, moving time that of the steps
 *     faster than TRIP_MOVING_SPEED, the highest speed that of the
 *     fastest step;
 *   - climb and descent: the rises and falls between the turning points
 *     of the elevations, a turning point being one that the elevations
 *     then leave by at least TRIP_CLIMB_HYSTERESIS the other way; the raw
 *     sums add every rise and fall between consecutive elevations.
 * An empty log has one empty track named after the database, as the GPX
 * 1.1 writer writes it; a log of only waypoints and routes has none.
 * Returns 0, or -1 when out of memory (*log is then partly filled).
 */
int trip_read(const struct pdb *db, struct trip_log *log);

/* Adds the numbers of t to *total, as of one track of all the points of
 * both, in order: counts, distances, times and climbs add up; the start
 * is the earliest, the end the latest, the extremes the extremes.  Leaves
 * total's name and kept points alone. */
void trip_add(struct trip_track *total, const struct trip_track *t);

/* Room for any text that the trip_format_ functions write. */
enum { TRIP_TEXT_SIZE = 64 };

/* Writes "YYYY-MM-DDTHH:MM:SS.ccZ" of centis (hundredths since 1970, UTC,
 * from 1970 to 2105) at buf; returns buf. */
char *trip_format_time(int64_t centis, char *buf);

/* Writes a duration of centis hundredths, rounded to the second, as
 * "H:MM:SS" at buf; returns buf. */
char *trip_format_duration(int64_t centis, char *buf);

/* Writes v with decimals places (0 to 6), as printf's "%.*f" rounds it,
 * but "0" rather than "-0" for what rounds to zero, at buf (of
 * TRIP_TEXT_SIZE bytes; v of magnitude below 10^40); returns buf. */
char *trip_format_fixed(double v, int decimals, char *buf);

/* The Windows-1252 text as UTF-8, without control characters. */
std::string trip_utf8(const std::string &cp1252);

#endif
