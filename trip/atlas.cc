/* SPDX-License-Identifier: MIT */
#include "atlas.h"

#include <errno.h>
#include <math.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <queue>
#include <string>
#include <vector>

#include "drawing.h"
#include "ieee_rounding.h"
#include "map.h"
#include "page.h"

namespace {

/*
 * Thinning a track for the overview map.
 */

/* A point on a plane that keeps the track's shape near its first point:
 * degrees north, and degrees east times the cosine of the first latitude,
 * settled to this step so that the last bits of a platform's cosine
 * decide nothing. */
const double COSINE_STEP = 1e-6;

struct flat {
	double x, y;
};

__attribute__((noinline)) std::vector<struct flat>
flattened(const std::vector<struct trip_point> &kept)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<struct flat> v;
	v.reserve(kept.size());
	const double lat0 = kept[0].lat, lon0 = kept[0].lon;
	const double c =
	    nearbyint(cos(lat0 * (M_PI / 180)) / COSINE_STEP) * COSINE_STEP;
	for (const struct trip_point &p : kept)
		/* remainder(): the way across the antimeridian, exactly. */
		v.push_back(flat{remainder(p.lon - lon0, 360.0) * c,
				 p.lat - lat0});
	return v;
}

/* The square of the distance from p to the line from a to b (to the
 * nearer end beyond them). */
__attribute__((noinline)) double off_line(struct flat a, struct flat b,
					  struct flat p)
{
	[[maybe_unused]] ieee_rounding guard;
	double dx = b.x - a.x, dy = b.y - a.y, px = p.x - a.x, py = p.y - a.y;
	double length2 = dx * dx + dy * dy;
	double t = length2 == 0 ? 0 : (px * dx + py * dy) / length2;
	if (t <= 0)
		return px * px + py * py;
	if (t >= 1)
		return (p.x - b.x) * (p.x - b.x) + (p.y - b.y) * (p.y - b.y);
	double cross = dx * py - dy * px;
	return cross * cross / length2;
}

/* The point between from and to (both excluded) farthest off the line
 * through them, the first of the farthest; its distance is 0 where there
 * is none. */
struct split {
	double off;
	size_t at, from, to;
};

__attribute__((noinline)) struct split
farthest(const std::vector<struct flat> &v, size_t from, size_t to)
{
	[[maybe_unused]] ieee_rounding guard;
	struct split s = {0, from, from, to};
	for (size_t i = from + 1; i < to; i++) {
		double off = off_line(v[from], v[to], v[i]);
		if (off > s.off) {
			s.off = off;
			s.at = i;
		}
	}
	return s;
}

/* The farther first; of two as far, the earlier. */
struct nearer {
	bool operator()(const struct split &a, const struct split &b) const
	{
		return a.off != b.off ? a.off < b.off : a.at > b.at;
	}
};

const uint32_t UNRANKED = UINT32_MAX;

/*
 * The rank of each of the points in the order in which they are taken,
 * below budget (at least 2), the others UNRANKED: the first, the last,
 * then again and again the point farthest off the line through the points
 * taken around it, while any lies off it.
 */
__attribute__((noinline)) std::vector<uint32_t>
ranks_of(const std::vector<struct trip_point> &kept, size_t budget)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<uint32_t> rank(kept.size(), UNRANKED);
	if (kept.empty())
		return rank;
	std::vector<struct flat> v = flattened(kept);
	uint32_t next = 0;
	rank[0] = next++;
	if (kept.size() > 1)
		rank[kept.size() - 1] = next++;
	std::priority_queue<struct split, std::vector<struct split>, nearer>
	    open;
	open.push(farthest(v, 0, kept.size() - 1));
	while (next < budget && !open.empty() && open.top().off > 0) {
		struct split s = open.top();
		open.pop();
		rank[s.at] = next++;
		open.push(farthest(v, s.from, s.at));
		open.push(farthest(v, s.at, s.to));
	}
	return rank;
}

/* Keeps of points those of rank below budget, a point starting a segment
 * where one that is left out before it did. */
void keep_ranks(std::vector<struct atlas_point> *points, size_t budget)
{
	size_t n = 0;
	bool starts = false;
	for (const struct atlas_point &p : *points) {
		starts |= p.starts_segment;
		if (p.rank >= budget)
			continue;
		(*points)[n] = p;
		(*points)[n].starts_segment = starts && n > 0;
		starts = false;
		n++;
	}
	points->resize(n);
	points->shrink_to_fit();
}

/* The track's points thinned to the budget. */
std::vector<struct atlas_point> thinned(const struct trip_track &t,
					size_t budget)
{
	std::vector<uint32_t> rank = ranks_of(t.kept, budget);
	std::vector<struct atlas_point> v;
	for (size_t i = 0; i < t.kept.size(); i++)
		v.push_back(atlas_point{t.kept[i].lat, t.kept[i].lon, rank[i],
					t.kept[i].starts_segment});
	keep_ranks(&v, budget);
	return v;
}

/* Halves every track's budget while all together keep too many points,
 * down to a track's first and last. */
void fit_budget(struct trip_atlas *atlas)
{
	while (atlas->points > atlas->most && atlas->budget > 2) {
		atlas->budget = std::max<size_t>(2, atlas->budget / 2);
		atlas->points = 0;
		for (struct atlas_row &r : atlas->rows) {
			keep_ranks(&r.points, atlas->budget);
			atlas->points += r.points.size();
		}
	}
}

}  // namespace

int trip_atlas_add(struct trip_atlas *atlas, const char *file,
		   const char *page, struct trip_log *log)
{
	try {
		size_t index = atlas->logs.size();
		atlas->logs.push_back(atlas_log{file, page, false});
		if (log->tracks.empty()) {
			struct atlas_row r = {};
			r.log = index;
			r.order = atlas->rows.size();
			atlas->rows.push_back(std::move(r));
		}
		for (struct trip_track &t : log->tracks) {
			struct atlas_row r = {};
			r.log = index;
			r.order = atlas->rows.size();
			r.has_track = true;
			r.points = thinned(t, atlas->budget);
			t.kept = std::vector<struct trip_point>();
			r.track = std::move(t);
			atlas->points += r.points.size();
			atlas->rows.push_back(std::move(r));
		}
		log->tracks.clear();
		fit_budget(atlas);
	} catch (const std::bad_alloc &) {
		return -1;
	}
	return 0;
}

void trip_atlas_drop(struct trip_atlas *atlas, const char *page)
{
	for (struct atlas_log &l : atlas->logs)
		if (l.page == page)
			l.dropped = true;
}

namespace {

/*
 * Writing the atlas.
 */

/* The rows shown, sorted: those with a time by start, then the others,
 * each in the order added. */
std::vector<const struct atlas_row *> sorted_rows(const struct trip_atlas &a)
{
	std::vector<const struct atlas_row *> v;
	for (const struct atlas_row &r : a.rows)
		if (!a.logs[r.log].dropped)
			v.push_back(&r);
	std::sort(v.begin(), v.end(),
		  [](const struct atlas_row *x, const struct atlas_row *y) {
			  bool tx = x->track.has_time, ty = y->track.has_time;
			  if (tx != ty)
				  return tx;
			  if (tx && x->track.start != y->track.start)
				  return x->track.start < y->track.start;
			  return x->order < y->order;
		  });
	return v;
}

/* What stands for a byte of a file name that is no UTF-8 character an
 * HTML document may hold, so that the atlas is UTF-8 whatever the
 * names. */
const char REPLACEMENT[] = "\xef\xbf\xbd";

/* The code point of the UTF-8 sequence at s[i] and its length in *len;
 * -1 where none starts there: overlong forms, surrogates and code points
 * beyond U+10FFFF are none. */
long code_point(const std::string &s, size_t i, size_t *len)
{
	unsigned char c = (unsigned char)s[i];
	*len = c < 0x80 ? 1 : c >= 0xc2 && c < 0xe0 ? 2
			    : c >= 0xe0 && c < 0xf0   ? 3
			    : c >= 0xf0 && c < 0xf5   ? 4
						      : 0;
	if (*len == 0 || i + *len > s.size())
		return -1;
	long v = *len == 1 ? c : c & (0x7f >> *len);
	for (size_t k = 1; k < *len; k++) {
		unsigned char d = (unsigned char)s[i + k];
		if ((d & 0xc0) != 0x80)
			return -1;
		v = v << 6 | (d & 0x3f);
	}
	static const long LEAST[] = {0, 0, 0x80, 0x800, 0x10000};
	if (v < LEAST[*len] || v > 0x10ffff || (v >= 0xd800 && v < 0xe000))
		return -1;
	return v;
}

/* Characters that an HTML document must not hold: controls other than
 * white space, and noncharacters. */
bool unwelcome(long v)
{
	return v < 0x20 || (v >= 0x7f && v < 0xa0) ||
	       (v >= 0xfdd0 && v < 0xfdf0) || (v & 0xfffe) == 0xfffe;
}

std::string shown_name(const std::string &bytes)
{
	std::string v;
	for (size_t i = 0; i < bytes.size();) {
		size_t len;
		long c = code_point(bytes, i, &len);
		if (c < 0 || unwelcome(c)) {
			v += REPLACEMENT;
			i++;
			continue;
		}
		v.append(bytes, i, len);
		i += len;
	}
	return v;
}

/* A file name as a relative URL: every byte but letters, digits and
 * "-._~" percent-encoded, so that no name reads as a scheme ("a:b"), a
 * query or a fragment, whatever bytes it holds. */
std::string href_of(const std::string &name)
{
	static const char HEX[] = "0123456789ABCDEF";
	std::string v;
	for (char ch : name) {
		unsigned char c = (unsigned char)ch;
		if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
		    (c >= '0' && c <= '9') || strchr("-._~", c) != NULL) {
			v += ch;
		} else {
			v += '%';
			v += HEX[c >> 4];
			v += HEX[c & 15];
		}
	}
	return v;
}

/* "YYYY-MM-DD" of a time, in UTC. */
std::string day_of(int64_t centis)
{
	char text[TRIP_TEXT_SIZE];
	return std::string(trip_format_time(centis, text), 10);
}

/* The cells of a track's numbers as trkinfo writes them: day, distance,
 * moving time, climb; empty where it has no value. */
__attribute__((noinline)) std::vector<std::string>
numbers_of(const struct trip_track &t)
{
	[[maybe_unused]] ieee_rounding guard;
	char text[TRIP_TEXT_SIZE];
	return {t.has_time ? day_of(t.start) : "",
		t.has_distance
		    ? std::string(trip_format_fixed(t.distance / 1000, 2, text)) +
			  " km"
		    : "",
		t.has_time ? trip_format_duration(t.moving, text) : "",
		t.has_ele ? std::string(trip_format_fixed(t.climb, 0, text)) +
				" m"
			  : ""};
}

/* The map's colour of its track i, in turn. */
const char *atlas_colour(size_t i)
{
	return page_colour(i);
}

/* What a pointer over a track on the map shows: "file: track, day". */
std::string title_of(const struct atlas_log &l, const struct atlas_row &r)
{
	std::string title = shown_name(l.file) + ": " + trip_utf8(r.track.name);
	if (r.track.has_time)
		title += ", " + day_of(r.track.start);
	return title;
}

/* The overview map of the rows that have points, in order, each in the
 * next colour and linked to its page; their colours in *colours (NULL for
 * a row not drawn).  A paragraph instead where none has a point. */
void put_overview(struct page *pg, const struct trip_atlas &a,
		  const std::vector<const struct atlas_row *> &rows,
		  std::vector<const char *> *colours)
{
	struct trip_log drawn;
	std::vector<struct map_link> links;
	for (const struct atlas_row *r : rows) {
		if (r->points.empty()) {
			colours->push_back(NULL);
			continue;
		}
		colours->push_back(atlas_colour(drawn.tracks.size()));
		struct trip_track t = {};
		t.kept.reserve(r->points.size());
		for (const struct atlas_point &p : r->points) {
			struct trip_point q = {};
			q.lat = p.lat;
			q.lon = p.lon;
			q.starts_segment = p.starts_segment;
			t.kept.push_back(q);
		}
		drawn.tracks.push_back(std::move(t));
		const struct atlas_log &l = a.logs[r->log];
		links.push_back(map_link{href_of(l.page), title_of(l, *r)});
	}
	if (drawn.tracks.empty()) {
		pg->put("<p class=\"day\">No positions in these logs.</p>\n");
		return;
	}
	/* No marks at the tracks' ends: on a map of many trips they would
	 * hide the lines. */
	const struct map_options options = {&links, false};
	trip_put_map(pg, drawn, atlas_colour, &options);
}

/* A cell of the table holding the UTF-8 text, of class name where given. */
void put_cell(struct page *pg, const std::string &utf8, bool name = false)
{
	pg->put(name ? "<td class=\"name\">" : "<td>");
	pg->escaped(utf8);
	pg->put("</td>");
}

void put_table(struct page *pg, const struct trip_atlas &a,
	       const std::vector<const struct atlas_row *> &rows,
	       const std::vector<const char *> &colours,
	       const struct trip_track &total, size_t tracks)
{
	pg->put("<div class=\"numbers\"><table>\n<tr><th>File</th><th>Track"
		"</th><th>Day (UTC)</th><th>Distance</th><th>Moving time</th>"
		"<th>Climb</th></tr>\n");
	for (size_t i = 0; i < rows.size(); i++) {
		const struct atlas_row &r = *rows[i];
		const struct atlas_log &l = a.logs[r.log];
		pg->put("<tr><td class=\"name\"><a href=\"");
		pg->escaped(href_of(l.page));
		pg->put("\">");
		pg->escaped(shown_name(l.file));
		pg->put("</a></td><td class=\"name\">");
		if (colours[i] != NULL) {
			pg->put("<span class=\"swatch\" style=\"background:");
			pg->put(colours[i]);
			pg->put("\"></span>");
		}
		pg->text(r.track.name);
		pg->put("</td>");
		for (const std::string &c : r.has_track ? numbers_of(r.track)
							: std::vector<std::string>(4))
			put_cell(pg, c);
		pg->put("</tr>\n");
	}
	std::vector<std::string> sums = numbers_of(total);
	sums[0] = "";
	pg->put("<tr class=\"total\">");
	put_cell(pg, "All", true);
	put_cell(pg, std::to_string(tracks) + (tracks == 1 ? " track" : " tracks"),
		 true);
	for (const std::string &c : sums)
		put_cell(pg, c);
	pg->put("</tr>\n</table></div>\n");
}

const char NOTE[] =
    "<p>Each line on the map and each file in the table leads to the "
    "trip's own page, with all its numbers. They are those of trkinfo, "
    "found alike for every track: distances are geodesics on the WGS84 "
    "ellipsoid between the points that count (points without a fix and "
    "glitches are left out); moving time is the time spent faster than "
    "1 km/h over ten seconds; climb counts the rises that the noise of the "
    "track's own altitudes cannot make; the day is that of the track's "
    "start. The map draws each track through at most ";

void put_atlas(struct page *pg, const struct trip_atlas &a)
{
	std::vector<const struct atlas_row *> rows = sorted_rows(a);
	struct trip_track total = {};
	size_t tracks = 0, logs = 0;
	for (const struct atlas_row *r : rows)
		if (r->has_track) {
			trip_add(&total, &r->track);
			tracks++;
		}
	for (const struct atlas_log &l : a.logs)
		logs += !l.dropped;
	std::string days;
	if (total.has_time) {
		days = day_of(total.start);
		if (day_of(total.end) != days)
			days += " to " + day_of(total.end);
	}
	pg->put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
		"charset=\"utf-8\">\n<meta name=\"viewport\" "
		"content=\"width=device-width, initial-scale=1\">\n<title>Trips");
	if (!days.empty())
		pg->put(" \u2013 " + days);
	pg->put("</title>\n<style>");
	pg->put(TRIP_PAGE_STYLE);
	pg->put(TRIP_MAP_STYLE);
	pg->put("</style>\n</head>\n<body>\n<h1>Trips</h1>\n<p class=\"day\">" +
		std::to_string(tracks) + (tracks == 1 ? " track" : " tracks") +
		" in " + std::to_string(logs) + (logs == 1 ? " log" : " logs"));
	if (!days.empty())
		pg->put(", " + days);
	pg->put("</p>\n");
	std::vector<const char *> colours;
	put_overview(pg, a, rows, &colours);
	put_table(pg, a, rows, colours, total, tracks);
	pg->put(NOTE + std::to_string(a.budget) +
		" of its points, those that keep its shape best.</p>\n");
	pg->put("</body>\n</html>\n");
}

/* Writes all of the bytes to fd.  0, or -1 with errno set. */
int write_all(int fd, const std::string &bytes)
{
	for (size_t done = 0; done < bytes.size();) {
		ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
		if (n < 0 && errno == EINTR)
			continue;
		if (n < 0)
			return -1;
		done += (size_t)n;
	}
	return 0;
}

}  // namespace

int trip_atlas_write(const struct trip_atlas &atlas, int fd)
{
	struct page pg;
	try {
		put_atlas(&pg, atlas);
	} catch (const std::bad_alloc &) {
		errno = ENOMEM;
		return -1;
	}
	return write_all(fd, pg.html);
}
