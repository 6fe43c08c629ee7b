/* SPDX-License-Identifier: MIT */
/*
 * Streaming reader of GPX 1.0 and 1.1 documents: the waypoints, routes and
 * tracks they hold, handed over one at a time as the parser meets them.
 * No tree of the document is built.
 */
#ifndef GPX_GPXREAD_H
#define GPX_GPXREAD_H

#include <string>

/* Bytes of any text of a point that are read: far more than a sentence
 * holds.  One more is kept, so that a longer text is known as such. */
enum { GPX_TEXT_MAX = 4096, GPX_TEXT_KEPT = GPX_TEXT_MAX + 1 };

/* A wpt, rtept or trkpt: its texts as the document gives them (UTF-8, at
 * most GPX_TEXT_KEPT bytes each: a longer text is cut there; empty when
 * absent), where it starts, and for a trkpt whether it is the first of its
 * trkseg. */
struct gpx_point {
	std::string lat, lon;		   /* attributes */
	std::string ele, time, fix;	   /* elements */
	std::string name, cmt, desc;
	unsigned long line, column;	   /* of its start tag, from 1 */
	bool starts_segment;
};

/*
 * What the reader hands over, in document order.  Each returns 0 to go on,
 * or -1 to stop the reading (after putting its reason in *error, see
 * gpx_read()).  The name of a route or track is given at its end, since
 * the document may give it after the points; a track's name also as soon
 * as its name element ends.
 */
struct gpx_handler {
	int (*waypoint)(void *ctx, const struct gpx_point *p);
	int (*route_point)(void *ctx, const struct gpx_point *p);
	int (*route_end)(void *ctx, const std::string &name);
	int (*track_name)(void *ctx, const std::string &name);
	int (*track_point)(void *ctx, const struct gpx_point *p);
	int (*track_end)(void *ctx, const std::string &name);
};

/* Why a reading failed: line and column (from 1; 0 when the failure has
 * no place, as an I/O error) and the message. */
struct gpx_error {
	unsigned long line, column;
	std::string message;
};

/*
 * Reads the GPX document from the descriptor fd to its end, in pieces,
 * through expat, handing each point, route end and track end to h with
 * ctx.  The root must be a gpx element, in the GPX 1.0 or 1.1 namespace or
 * in none; elements of other namespaces (extensions) are skipped with
 * everything in them.  The document may be in any encoding expat knows or
 * in windows-1252.  Internal entities, parameter entities too, are
 * expanded within expat's limits on amplification; nothing is ever
 * loaded: a reference to an external entity (the external DTD subset
 * too), and one to an entity whose declaration was not read, fails the
 * reading.  Returns 0 when the whole document was read and every handler
 * returned 0; -1 with *error filled when the document is not well-formed
 * ("LINE:COLUMN" of the fault and expat's message), its root is no gpx
 * element ("not a GPX document"), a read fails (column 0, the system's
 * error text), memory runs out while parsing (the system's text for
 * ENOMEM) or a handler stopped the reading (whatever it put in *error).
 * A handler may throw std::bad_alloc, which stops the reading so.  Throws
 * std::bad_alloc when it cannot start.
 */
int gpx_read(int fd, const struct gpx_handler *h, void *ctx,
	     struct gpx_error *error);

#endif
