/* SPDX-License-Identifier: MIT */
/*
 * The elevation profile of a track, a drawing of the trip page: its
 * elevations against the distance along it (metres along a track shorter
 * than a kilometre, kilometres beyond), on axes of round steps, its
 * lowest and highest points marked and labelled inside the plot (a flat
 * track once).  No text of it overlaps another, crosses the drawing's
 * edge or lies on an axis.
 */
#ifndef TRIP_PROFILE_H
#define TRIP_PROFILE_H

#include "drawing.h"
#include "trip.h"

/* Elevations outside this range (metres) are a receiver's fault, not a
 * place: the profile leaves them out, whatever the track's numbers
 * hold. */
#define PROFILE_ELE_LOWEST (-1000.0)
#define PROFILE_ELE_HIGHEST 20000.0

/* Whether t has a point that its profile draws: one with an elevation in
 * the range above. */
bool trip_profile_drawable(const struct trip_track &t);

/*
 * Appends the profile of t, a drawable track, to *pg: an <svg> element
 * of class "profile" (view box PAGE_PROFILE_WIDTH by PAGE_PROFILE_HEIGHT
 * of page.h) whose lines, of class "pline", are drawn in colour (a CSS
 * colour) and broken where a segment starts.  Of the points that fall in
 * one view box unit of distance, only the first, lowest, highest and last
 * are written: the same picture at any length.  Every coordinate is a
 * finite number and the bytes are the same on every platform.  Throws
 * std::bad_alloc when out of memory (the page's writer catches it).
 */
void trip_put_profile(struct page *pg, const struct trip_track &t,
		      const char *colour);

#endif
