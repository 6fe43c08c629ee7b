/* SPDX-License-Identifier: MIT */
/*
 * The GPX 1.1 writer: everything a log holds, waypoints, routes and
 * tracks, in one document.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "cp1252.h"
#include "mag.h"
#include "outbuf.h"
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

/* Orders texts as strings of bytes: <0, 0 or >0. */
static int compare_text(struct magtext a, struct magtext b)
{
	int c = memcmp(a.text, b.text, a.len < b.len ? a.len : b.len);
	if (c != 0)
		return c;
	return a.len < b.len ? -1 : a.len > b.len;
}

namespace {

/* One line of a route and the record it came from. */
struct route_line {
	struct magrte line;
	size_t record;
};

/* A growing array on the C heap, which release() frees. */
template <typename T> struct list {
	T *items;
	size_t len, room;
	void release() { free(items); }
	/* false when out of memory */
	bool push(const T &item)
	{
		if (len == room) {
			size_t more = room < 64 ? 64 : room * 2;
			T *bigger = (T *)realloc(items, more * sizeof(T));
			if (bigger == NULL)
				return false;
			items = bigger;
			room = more;
		}
		items[len++] = item;
		return true;
	}
};

/* The waypoints and route lines of a log, in record order, and the
 * waypoints' numbers ordered by name, then number. */
struct log_places {
	list<struct magwpt> waypoints;
	list<size_t> by_name;
	list<struct route_line> lines;
};

}  // namespace

/* The first waypoint named name, or null. */
static const struct magwpt *find_waypoint(const struct log_places *places,
					  struct magtext name)
{
	const size_t *begin = places->by_name.items,
		     *end = begin + places->by_name.len;
	const struct magwpt *w = places->waypoints.items;
	const size_t *at = std::lower_bound(
	    begin, end, name, [w](size_t i, struct magtext n) {
		    return compare_text(w[i].name, n) < 0;
	    });
	return at != end && compare_text(w[*at].name, name) == 0 ? &w[*at]
								  : NULL;
}

/* Collects the waypoints and route lines of db; reports on standard error
 * each sentence that cannot be read.  -1 when out of memory. */
static int collect_places(const struct pdb *db, struct log_places *places)
{
	size_t record = 0;
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next, record++) {
		const char *data = (const char *)r->data;
		struct magwpt w;
		struct magrte line;
		int got = parsemagwaypoint(data, r->data_len, &w);
		if (got > 0) {
			if (!places->by_name.push(places->waypoints.len) ||
			    !places->waypoints.push(w))
				return -1;
			continue;
		}
		if (got < 0) {
			fprintf(stderr,
				"record %zu: waypoint cannot be read; left "
				"out\n",
				record);
			continue;
		}
		got = parsemagroute(data, r->data_len, &line);
		if (got > 0 && !places->lines.push(route_line{line, record}))
			return -1;
		if (got < 0)
			fprintf(stderr,
				"record %zu: route line cannot be read; left "
				"out\n",
				record);
	}
	const struct magwpt *w = places->waypoints.items;
	std::sort(places->by_name.items,
		  places->by_name.items + places->by_name.len,
		  [w](size_t a, size_t b) {
			  int c = compare_text(w[a].name, w[b].name);
			  return c != 0 ? c < 0 : a < b;
		  });
	return 0;
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

/* The route of the lines [first, last) of one route number, in line
 * order, its points copies of the waypoints they name. */
static int put_route(struct outbuf *ob, const struct log_places *places,
		     const struct route_line *first,
		     const struct route_line *last)
{
	struct magtext name = {NULL, 0};
	size_t lines = 0;
	for (const struct route_line *l = first; l != last; l++) {
		if (name.len == 0)
			name = l->line.name;
		if ((l == first || l->line.index != l[-1].line.index) &&
		    l->line.index >= 1 && l->line.index <= first->line.total)
			lines++;
	}
	if (lines < first->line.total) {
		report_route(&first->line, name);
		fprintf(stderr, "%lu of its %lu lines are missing\n",
			(unsigned long)(first->line.total - lines),
			(unsigned long)first->line.total);
	}
	char number[16];
	snprintf(number, sizeof number, "%lu", (unsigned long)first->line.number);
	if (put_str(ob, "<rte>\n") < 0 ||
	    put_text_element(ob, "", "name", name) < 0 ||
	    put_str(ob, "<number>") < 0 || put_str(ob, number) < 0 ||
	    put_str(ob, "</number>\n") < 0)
		return -1;
	for (const struct route_line *l = first; l != last; l++) {
		struct magrte line = l->line;
		struct magtext wpname;
		while (parsemagroutepoint(&line, &wpname)) {
			const struct magwpt *w = find_waypoint(places, wpname);
			if (w == NULL) {
				report_route(&first->line, name);
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
static int put_routes(struct outbuf *ob, struct log_places *places)
{
	struct route_line *lines = places->lines.items;
	size_t count = places->lines.len;
	std::sort(lines, lines + count,
			 [](const route_line &a, const route_line &b) {
				 if (a.line.number != b.line.number)
					 return a.line.number < b.line.number;
				 if (a.line.index != b.line.index)
					 return a.line.index < b.line.index;
				 return a.record < b.record;
			 });
	for (size_t i = 0; i < count;) {
		size_t j = i;
		while (j < count &&
		       lines[j].line.number == lines[i].line.number)
			j++;
		if (put_route(ob, places, &lines[i], &lines[j]) < 0)
			return -1;
		i = j;
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

/* The track points, a new track wherever a point names one other than
 * the track's; the points before the first named one form a track named
 * after the database.  With always_one, an empty log gives one empty
 * track. */
static int put_tracks(struct outbuf *ob, const struct pdb *db,
		      bool always_one)
{
	struct magtext db_name = {db->name, strnlen(db->name, PDB_NAME_SIZE)};
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	bool open = false, named = false;
	struct magtext current = {NULL, 0};
	char item[POINT_TEXT_SIZE];
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next) {
		struct magtrkpt info;
		if (!parsemagtrackpoint((const char *)r->data, r->data_len,
					&trk, &info))
			continue;
		struct magtext name = info.name;
		if (name.len > 0 &&
		    (!named || compare_text(name, current) != 0)) {
			if (open && put_str(ob, TRACK_END) < 0)
				return -1;
			if (open_track(ob, name) < 0)
				return -1;
			open = named = true;
			current = name;
		} else if (!open) {
			if (open_track(ob, db_name) < 0)
				return -1;
			open = true;
		}
		int n = wexlar_format_track_point(&trk, &info, item);
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
			struct log_places *places)
{
	if (collect_places(db, places) < 0) {
		fprintf(stderr, "parsewexlarfilegpx11: out of memory\n");
		return -1;
	}
	if (put_str(ob, GPX11_HEADER) < 0)
		return -1;
	for (size_t i = 0; i < places->waypoints.len; i++)
		if (put_waypoint(ob, "wpt", &places->waypoints.items[i]) < 0)
			return -1;
	if (put_routes(ob, places) < 0 ||
	    put_tracks(ob, db,
		       places->waypoints.len == 0 && places->lines.len == 0) < 0 ||
	    put_str(ob, GPX11_FOOTER) < 0)
		return -1;
	return wexlar_out_flush(ob);
}

int parsewexlarfilegpx11(struct pdb *db, int fd)
{
	struct log_places places;
	memset(&places, 0, sizeof places);
	int status = put_document(wexlar_out_open(fd), db, &places);
	places.waypoints.release();
	places.by_name.release();
	places.lines.release();
	return status;
}
