/* SPDX-License-Identifier: MIT */
/*
 * The records that a GPX document gives the handheld: one Magellan
 * sentence each, waypoints first, then routes, then track points.
 */
#ifndef GPX_IMPORTER_H
#define GPX_IMPORTER_H

#include <stddef.h>

#include <string>
#include <vector>

#include "gpxread.h"

/* The most records a database holds. */
enum { RECORDS_MAX = 65535 };

/* Records as the handheld stores them: each sentence followed by LF and
 * NUL, one after the other in bytes; ends[i] is where record i ends. */
struct gpx_records {
	std::string bytes;
	std::vector<size_t> ends;
};

/*
 * Reads the GPX document from fd (see gpx_read()) into *out, for a
 * database named db_name (as its header holds it), in order:
 *   - every wpt as "$PMGNWPL,lat,N|S,lon,E|W,altitude,M,name,comment,a",
 *     the altitude in whole metres as "%07ld" ("0000000" without ele), the
 *     comment its cmt, else its desc, else empty; a wpt that gives the
 *     very same sentence as an earlier named one gives no record;
 *   - every rte with points: a $PMGNWPL for each of its points that is no
 *     waypoint of the same name and position already (a point that is
 *     names the first such), then its lines
 *     "$PMGNRTE,total,index,c,number,name,a[,name,a]", two points a line,
 *     the routes numbered by their place among the document's rte
 *     elements, 1, 2, ...;
 *   - every trkpt of every trk as "$PMGNTRK,lat,N|S,lon,E|W,altitude,M,
 *     hhmmss.cc,A|V,track name,ddmmyy", the altitude as "%05ld" (empty
 *     without ele), V for a fix of "none", time and date empty without a
 *     time; the track's name on the first point of each trkseg with
 *     points and empty on the others, so that a point naming its track
 *     after one that names none starts a segment (the first point of a
 *     trkseg that follows a trkseg of one point has it empty too: it
 *     would mark nothing there); the first trk without a name is named
 *     db_name where a field holds it unchanged (else its points name
 *     none); a later trk is named "Track N" without a name, and gets
 *     " (N)" where the trk before it was given the same name (N its place
 *     among the document's trk elements), so that no two run into one;
 * each followed by "*HH".  Names and comments lose the XML white space at
 * their ends and are cut to 20 bytes, comments to 46, track names to 255
 * (see mag_text()); a point without a name gets WPT001, WPT002, ...; a
 * later waypoint whose name another has is renamed with a number at its
 * end, and routes name it so.  The same document always gives the same
 * records.  Renaming takes time linear in the waypoints, and what is kept
 * is bounded by the records, whatever the document's size.
 *
 * Returns 0, or -1 with *error filled (see gpx_read()) when the reading
 * fails or a point is refused: a latitude or longitude that is no number
 * or out of range, an elevation that is no number or rounds to a
 * magnitude of 10^9 metres or more, a number or time longer than
 * GPX_TEXT_MAX bytes, a track point's time that is none or lies outside
 * 2000 to 2099 (UTC), or the point that makes the records more than 65535,
 * which stops the reading at once.  Throws std::bad_alloc when memory runs
 * out outside the parsing (out is then partly filled).
 */
int gpx_import(int fd, const std::string &db_name, struct gpx_records *out,
	       struct gpx_error *error);

#endif
