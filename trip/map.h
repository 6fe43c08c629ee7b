/* SPDX-License-Identifier: MIT */
/*
 * The map of a trip on its page: every track (a line of its own colour for
 * each of its segments, its start and end marked), route (dashed) and
 * waypoint (a marker and, where it fits, its name), with a labelled
 * graticule and a scale bar, as one SVG element of class "map".
 *
 * The projection suits the trip's extent, from GeographicLib: transverse
 * Mercator on the meridian of the trip's centre while every point lies
 * within MAP_LOCAL_REACH of that centre on its plane (shapes true, the
 * poles included, since they lie on that meridian), else azimuthal
 * equidistant centred on the trip, on the sphere of the Earth's mean
 * radius (distances and directions from the centre true within 0.6 %, the
 * whole world in one piece).  The trip's centre is that of its points on
 * the globe; the map is centred on the middle of what it shows, where the
 * scale bar is true.  The graticule's lines are curves sampled densely; no
 * two texts on the map overlap and none crosses its edge.
 */
#ifndef TRIP_MAP_H
#define TRIP_MAP_H

#include <stddef.h>

#include <string>
#include <vector>

#include "drawing.h"
#include "trip.h"

/* Transverse Mercator serves a trip whose points all lie within this
 * distance of its centre (metres): its scale is then at most 1.3 % off. */
#define MAP_LOCAL_REACH 1000e3

/* The style sheet's rules for the map's elements (its font sizes are the
 * ones its labels are laid out for). */
extern const char TRIP_MAP_STYLE[];

/* Where a track on the map leads: a URL (escaped where it is written)
 * and the title that a pointer over the track shows (UTF-8). */
struct map_link {
	std::string href, title;
};

/* What a map of many trips asks beyond the page's map. */
struct map_options {
	/* A link for each track, or NULL: the lines of a track with a
	 * colour are drawn inside an SVG a element to its link. */
	const std::vector<struct map_link> *links;
	/* Whether the start and end of each track with a colour are marked;
	 * without, a segment of one point is drawn as a dot. */
	bool ends;
};

/*
 * Appends to *pg the map of log: the svg element of class "map", its view
 * box PAGE_MAP_WIDTH by PAGE_MAP_HEIGHT (page.h), or one that says "No
 * positions in this log".  colour(i) names the colour of log.tracks[i]
 * (CSS): a polyline of class "trk" in that colour for each of its
 * segments, its start and end marked; or is NULL for a track drawn among
 * the others, all in one grey path of class "others" without marks (so
 * that tens of thousands of tracks stay small).  options, when not NULL,
 * says how the tracks are drawn beside that (by default: no links, their
 * ends marked).  A waypoint's name is
 * shortened with an ellipsis where room is short and left out (its marker
 * stays) where it fits nowhere.  Every coordinate written is finite; the
 * same log gives the same bytes on every platform.  Throws std::bad_alloc
 * when memory runs out.
 */
void trip_put_map(struct page *pg, const struct trip_log &log,
		  const char *(*colour)(size_t track),
		  const struct map_options *options = NULL);

/*
 * Appends to *pg a paragraph with a link to the area of log's points on
 * openstreetmap.org; nothing for a log without positions.  Throws
 * std::bad_alloc when memory runs out.
 */
void trip_put_map_link(struct page *pg, const struct trip_log &log);

#endif
