/* SPDX-License-Identifier: MIT */
/*
 * The GPX 1.1 writer: everything a log holds, waypoints, routes and
 * tracks, in one document.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


#include "cp1252.h"
#include "mag.h"
#include "outbuf.h"
#include "places.h"
#include "pointtext.h"
#include "quote.h"

#define GPX11_NAMESPACE "http://www.topografix.com/GPX/1/1"
#define GPX11_SCHEMA "http://www.topografix.com/GPX/1/1/gpx.xsd"

static const char GPX11_HEADER[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Wexlar trkexport exporter - " WEXLAR_HOME
    "\" xmlns:xsi=\"" XSI_NAMESPACE "\" xmlns=\"" GPX11_NAMESPACE
    "\" xsi:schemaLocation=\"" GPX11_NAMESPACE " " GPX11_SCHEMA "\">\n";
static const char GPX11_FOOTER[] = "</gpx>\n";

/*
 * Appends one byte of Windows-1252 text to out as XML character data in
 * UTF-8: the markup characters escaped, line ends and tabs as character
 * references (a parser would fold them otherwise), and what XML 1.0 cannot
 * hold (other control characters) or the code page lacks left out.
 * Returns the new end of out, which has room for 6 bytes.
 */
static char *put_xml_char(char *out, unsigned char c)
{
	const char *entity = c == '&'	 ? "&amp;"
			     : c == '<'	 ? "&lt;"
			     : c == '>'	 ? "&gt;"
			     : c == '\t' ? "&#9;"
			     : c == '\n' ? "&#10;"
			     : c == '\r' ? "&#13;"
					 : NULL;
	if (entity != NULL)
		return stpcpy(out, entity);
	if (c < 0x20)
		return out;
	if (c < 0x80) {
		*out++ = (char)c;
		return out;
	}
	unsigned cp = cp1252_to_unicode(c);
	if (cp == 0)
		return out;
	if (cp < 0x800) {
		*out++ = (char)(0xC0 | cp >> 6);
	} else {
		*out++ = (char)(0xE0 | cp >> 12);
		*out++ = (char)(0x80 | (cp >> 6 & 0x3F));
	}
	*out++ = (char)(0x80 | (cp & 0x3F));
	return out;
}

/* Room for the longest field as XML text. */
enum { XML_TEXT_SIZE = MAG_FIELD_MAX * 6 + 1 };

/*
 * The line "<tag>text</tag>" after indent for the Windows-1252 text (at
 * most MAG_FIELD_MAX bytes), or nothing when no character of it remains.
 */
static int put_text_element(struct outbuf *ob, const char *indent,
			    const char *tag, struct magtext text)
{
	char xml[XML_TEXT_SIZE];
	char *end = xml;
	for (size_t i = 0; i < text.len && i < MAG_FIELD_MAX; i++)
		end = put_xml_char(end, (unsigned char)text.text[i]);
	if (end == xml)
		return 0;
	size_t n = strlen(tag);
	if (wexlar_out_put(ob, indent, strlen(indent)) < 0 ||
	    wexlar_out_put(ob, "<", 1) < 0 || wexlar_out_put(ob, tag, n) < 0 ||
	    wexlar_out_put(ob, ">", 1) < 0 ||
	    wexlar_out_put(ob, xml, (size_t)(end - xml)) < 0 ||
	    wexlar_out_put(ob, "</", 2) < 0 || wexlar_out_put(ob, tag, n) < 0)
		return -1;
	return wexlar_out_put(ob, ">\n", 2);
}

static int put_str(struct outbuf *ob, const char *s)
{
	return wexlar_out_put(ob, s, strlen(s));
}

static int put_fixed(struct outbuf *ob, double v)
{
	char text[FIXED_TEXT_SIZE];
	int n = wexlar_format_fixed(v, text);
	return wexlar_out_put(ob, text, (size_t)n);
}

/* A waypoint as the element tag (wpt or rtept), with its children. */
static int put_waypoint(struct outbuf *ob, const char *tag,
			const struct magwpt *w)
{
	if (put_str(ob, "<") < 0 || put_str(ob, tag) < 0 ||
	    put_str(ob, " lat=\"") < 0 || put_fixed(ob, w->lat) < 0 ||
	    put_str(ob, "\" lon=\"") < 0 || put_fixed(ob, w->lon) < 0 ||
	    put_str(ob, "\">\n") < 0)
		return -1;
	if (w->has_ele && (put_str(ob, "\t<ele>") < 0 ||
			   put_fixed(ob, w->ele) < 0 ||
			   put_str(ob, "</ele>\n") < 0))
		return -1;
	if (put_text_element(ob, "\t", "name", w->name) < 0 ||
	    put_text_element(ob, "\t", "cmt", w->comment) < 0 ||
	    put_str(ob, "</") < 0 || put_str(ob, tag) < 0)
		return -1;
	return put_str(ob, ">\n");
}

/* "route N" or "route N "NAME"" on standard error. */
static void report_route(const struct magrte *first, struct magtext name)
{
	fprintf(stderr, "route %lu", (unsigned long)first->number);
	if (name.len > 0) {
		fputc(' ', stderr);
		wexlar_put_quoted(stderr, name.text, name.len);
	}
	fputs(": ", stderr);
}

/* The route of the lines [first, end) of one route number, in line
 * order, its points copies of the waypoints they name. */
static int put_route(struct outbuf *ob, const struct wexlar_places *places,
		     size_t first, size_t end)
{
	const struct wexlar_route_line *lines = places->lines;
	const struct magrte *head = &lines[first].line;
	struct magtext name = wexlar_route_name(places, first, end);
	size_t present = 0;
	for (size_t l = first; l < end; l++)
		if ((l == first || lines[l].line.index != lines[l - 1].line.index) &&
		    lines[l].line.index >= 1 && lines[l].line.index <= head->total)
			present++;
	if (present < head->total) {
		report_route(head, name);
		fprintf(stderr, "%lu of its %lu lines are missing\n",
			(unsigned long)(head->total - present),
			(unsigned long)head->total);
	}
	char number[16];
	snprintf(number, sizeof number, "%lu", (unsigned long)head->number);
	if (put_str(ob, "<rte>\n") < 0 ||
	    put_text_element(ob, "", "name", name) < 0 ||
	    put_str(ob, "<number>") < 0 || put_str(ob, number) < 0 ||
	    put_str(ob, "</number>\n") < 0)
		return -1;
	for (size_t l = first; l < end; l++) {
		struct magrte line = lines[l].line;
		struct magtext wpname;
		while (parsemagroutepoint(&line, &wpname)) {
			const struct magwpt *w =
			    wexlar_find_waypoint(places, wpname);
			if (w == NULL) {
				report_route(head, name);
				fputs("no waypoint ", stderr);
				wexlar_put_quoted(stderr, wpname.text,
						  wpname.len);
				fputs(" in the log; left out of the route\n",
				      stderr);
				continue;
			}
			if (put_waypoint(ob, "rtept", w) < 0)
				return -1;
		}
	}
	return put_str(ob, "</rte>\n");
}

/* Every route, by route number, each line by its index (record order
 * among equals). */
static int put_routes(struct outbuf *ob, struct wexlar_places *places)
{
	wexlar_sort_routes(places);
	for (size_t i = 0; i < places->nlines;) {
		size_t end = wexlar_route_end(places, i);
		if (put_route(ob, places, i, end) < 0)
			return -1;
		i = end;
	}
	return 0;
}

static int open_track(struct outbuf *ob, struct magtext name)
{
	if (put_str(ob, "<trk>\n") < 0 ||
	    put_text_element(ob, "", "name", name) < 0)
		return -1;
	return put_str(ob, "<trkseg>\n");
}

static const char TRACK_END[] = "</trkseg>\n</trk>\n";
static const char SEGMENT_BREAK[] = "</trkseg>\n<trkseg>\n";

/* The track points, a new track wherever a point names one other than
 * the track's, a new segment where a point names its track again after
 * points that named none (see wexlar_track_starts()).  With always_one,
 * an empty log gives one empty track. */
static int put_tracks(struct outbuf *ob, const struct pdb *db,
		      bool always_one)
{
	struct magtext db_name = {db->name, strnlen(db->name, PDB_NAME_SIZE)};
	struct wexlar_track_walk walk;
	memset(&walk, 0, sizeof walk);
	walk.db = db;
	char item[POINT_TEXT_SIZE];
	int starts;
	struct magtext name;
	bool open = false;
	while (wexlar_next_track_point(&walk, &starts, &name)) {
		if (starts == WEXLAR_TRACK_STARTS &&
		    ((open && put_str(ob, TRACK_END) < 0) ||
		     open_track(ob, name) < 0))
			return -1;
		if (starts == WEXLAR_SEGMENT_STARTS &&
		    put_str(ob, SEGMENT_BREAK) < 0)
			return -1;
		open = true;
		int n = wexlar_format_track_point(&walk.trk, &walk.info, item);
		if (wexlar_out_put(ob, item, (size_t)n) < 0)
			return -1;
	}
	if (!open && always_one) {
		if (open_track(ob, db_name) < 0)
			return -1;
		open = true;
	}
	return open ? put_str(ob, TRACK_END) : 0;
}

static int put_document(struct outbuf *ob, struct pdb *db,
			struct wexlar_places *places)
{
	if (wexlar_collect_places(db, places, stderr) < 0) {
		fprintf(stderr, "parsewexlarfilegpx11: out of memory\n");
		return -1;
	}
	if (put_str(ob, GPX11_HEADER) < 0)
		return -1;
	for (size_t i = 0; i < places->nwaypoints; i++)
		if (put_waypoint(ob, "wpt", &places->waypoints[i]) < 0)
			return -1;
	if (put_routes(ob, places) < 0 ||
	    put_tracks(ob, db,
		       places->nwaypoints == 0 && places->nlines == 0) < 0 ||
	    put_str(ob, GPX11_FOOTER) < 0)
		return -1;
	return wexlar_out_flush(ob);
}

int parsewexlarfilegpx11(struct pdb *db, int fd)
{
	struct wexlar_places places;
	memset(&places, 0, sizeof places);
	int status = put_document(wexlar_out_open(fd), db, &places);
	wexlar_free_places(&places);
	return status;
}
