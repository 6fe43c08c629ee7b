/* SPDX-License-Identifier: MIT */
#include "trip.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "cp1252.h"
#include "ieee_rounding.h"
#include "mag.h"
#include "places.h"
#include "pointtext.h"
#include "steps.h"

namespace {

/* Altitudes that no receiver reports (metres): below the deepest place
 * on land, above any aircraft that logs a track. */
const double ELE_LOWEST = -1000.0, ELE_HIGHEST = 20000.0;

std::string text_of(struct magtext t)
{
	return std::string(t.text != NULL ? t.text : "", t.len);
}

/* The point of a decoded track point, or false when it is no place. */
__attribute__((noinline)) bool point_of(const struct trkrec *trk,
					const struct magtrkpt *info,
					struct trip_point *p)
{
	[[maybe_unused]] ieee_rounding guard;
	p->lat = -trk->y + 0.0;
	p->lon = trk->x + 0.0;
	if (!(p->lat >= -90.0 && p->lat <= 90.0 && p->lon >= -180.0 &&
	      p->lon <= 180.0))
		return false;
	double ele = (double)trk->altitude;
	if (info->feet)
		ele = wexlar_feet_to_metres(ele);
	p->has_ele = info->has_altitude && ele >= ELE_LOWEST &&
		     ele <= ELE_HIGHEST;
	p->ele = p->has_ele ? ele : 0.0;
	p->has_time = info->has_time;
	p->centis = p->has_time ? (int64_t)(uint32_t)trk->time * 100 +
				      trk->centisecs
				: 0;
	p->along = 0.0;
	p->starts_segment = false;
	return true;
}

/* The segments of the points: where each starts, and their end. */
std::vector<size_t> segment_starts(const std::vector<struct trip_point> &c)
{
	std::vector<size_t> starts;
	for (size_t i = 0; i < c.size(); i++)
		if (i == 0 || c[i].starts_segment)
			starts.push_back(i);
	starts.push_back(c.size());
	return starts;
}

/* One segment, c[first, end), of the points with a place: its glitches
 * left out and counted, the rest moved down to c[*kept, ...) (the first
 * marked as a segment's start after the track's first), moved along from
 * the points kept before it and climbed.  Points whose times are out of
 * order lose their times. */
void work_out_segment(std::vector<struct trip_point> &c, size_t first,
		      size_t end, size_t *kept, struct trip_track *t)
{
	trip_check_times(c, first, end);
	struct trip_line line;
	trip_make_line(c, first, end, &line);
	std::vector<size_t> keep;
	{
		std::vector<bool> bad(end - first, false);
		t->glitches += trip_find_glitches(c, first, line, bad);
		for (size_t i = 0; i < bad.size(); i++)
			if (!bad[i])
				keep.push_back(i);
	}
	trip_keep_line(c, first, keep, &line);
	size_t base = *kept;
	double along0 = base > 0 ? c[base - 1].along : 0.0;
	for (size_t i : keep) {
		c[*kept] = c[first + i];
		c[*kept].starts_segment = *kept == base && base > 0;
		++*kept;
	}
	trip_move(c, base, *kept, line, along0, t);
	/* Only the clock is needed from here: the rest goes, so that a long
	 * log's arrays are not all held at once. */
	std::vector<double> at = std::move(line.clock.at);
	line = trip_line();
	trip_drop_spikes(c, base, *kept, at);
	trip_climb(c, base, *kept, t);
}

/* The start, end and elevations of the points, and the raw climb: every
 * rise and fall within a segment. */
__attribute__((noinline)) void measure_points(struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	const struct trip_point *last_ele = NULL;
	for (const struct trip_point &p : t->kept) {
		if (p.starts_segment)
			last_ele = NULL;
		if (p.has_time) {
			if (!t->has_time)
				t->start = p.centis;
			t->has_time = true;
			t->end = p.centis;
		}
		if (!p.has_ele)
			continue;
		if (!t->has_ele)
			t->min_ele = t->max_ele = p.ele;
		t->has_ele = true;
		t->min_ele = std::min(t->min_ele, p.ele);
		t->max_ele = std::max(t->max_ele, p.ele);
		if (last_ele != NULL) {
			double rise = p.ele - last_ele->ele;
			if (rise > 0)
				t->raw_climb += rise;
			else
				t->raw_descent -= rise;
		}
		last_ele = &p;
	}
}

/* The numbers of a track whose points with a place are in t->kept. */
void work_out(struct trip_track *t)
{
	std::vector<struct trip_point> &c = t->kept;
	if (c.empty())
		return;
	std::vector<size_t> starts = segment_starts(c);
	size_t kept = 0;
	for (size_t k = 0; k + 1 < starts.size(); k++)
		work_out_segment(c, starts[k], starts[k + 1], &kept, t);
	c.resize(kept);
	c.shrink_to_fit();
	t->has_distance = true;
	measure_points(t);
}

struct trip_track new_track(struct magtext name)
{
	struct trip_track t = {};
	t.name = text_of(name);
	return t;
}

/* The tracks of db, split as the GPX 1.1 writer splits them. */
void read_tracks(const struct pdb *db, bool always_one, struct trip_log *log)
{
	struct magtext db_name = {db->name, strnlen(db->name, PDB_NAME_SIZE)};
	struct wexlar_track_walk walk;
	memset(&walk, 0, sizeof walk);
	walk.db = db;
	int starts;
	struct magtext name;
	bool segment = false; /* the next point kept starts a segment */
	while (wexlar_next_track_point(&walk, &starts, &name)) {
		if (starts == WEXLAR_TRACK_STARTS) {
			if (!log->tracks.empty())
				work_out(&log->tracks.back());
			log->tracks.push_back(new_track(name));
			segment = false;
		}
		segment |= starts == WEXLAR_SEGMENT_STARTS;
		struct trip_track &t = log->tracks.back();
		t.points++;
		struct trip_point p;
		if (!walk.trk.validity ||
		    !point_of(&walk.trk, &walk.info, &p)) {
			t.fixless++;
			continue;
		}
		p.starts_segment = segment;
		segment = false;
		t.kept.push_back(p);
	}
	if (!log->tracks.empty())
		work_out(&log->tracks.back());
	else if (always_one)
		log->tracks.push_back(new_track(db_name));
}

struct trip_waypoint waypoint_of(const struct magwpt *w)
{
	return trip_waypoint{w->lat, w->lon, text_of(w->name)};
}

__attribute__((noinline)) double route_length(const struct trip_route &r)
{
	[[maybe_unused]] ieee_rounding guard;
	double length = 0.0;
	for (size_t i = 1; i < r.points.size(); i++)
		length += trip_geodesic(r.points[i - 1], r.points[i]);
	return length;
}

/* The waypoints and routes of db. */
int read_places(const struct pdb *db, struct trip_log *log)
{
	struct wexlar_places places;
	memset(&places, 0, sizeof places);
	if (wexlar_collect_places(db, &places, NULL) < 0) {
		wexlar_free_places(&places);
		return -1;
	}
	try {
		for (size_t i = 0; i < places.nwaypoints; i++)
			log->waypoints.push_back(
			    waypoint_of(&places.waypoints[i]));
		wexlar_sort_routes(&places);
		for (size_t i = 0; i < places.nlines;) {
			size_t end = wexlar_route_end(&places, i);
			struct trip_route r = {};
			r.number = places.lines[i].line.number;
			r.name = text_of(wexlar_route_name(&places, i, end));
			for (; i < end; i++) {
				struct magrte line = places.lines[i].line;
				struct magtext wpname;
				while (parsemagroutepoint(&line, &wpname)) {
					const struct magwpt *w =
					    wexlar_find_waypoint(&places,
								 wpname);
					if (w != NULL)
						r.points.push_back(
						    waypoint_of(w));
				}
			}
			r.length = route_length(r);
			log->routes.push_back(std::move(r));
		}
	} catch (const std::bad_alloc &) {
		wexlar_free_places(&places);
		return -1;
	}
	wexlar_free_places(&places);
	return 0;
}

}  // namespace

int trip_read(const struct pdb *db, struct trip_log *log)
{
	try {
		*log = trip_log();
		log->name.assign(db->name, strnlen(db->name, PDB_NAME_SIZE));
		if (read_places(db, log) < 0)
			return -1;
		read_tracks(db, log->waypoints.empty() && log->routes.empty(),
			    log);
	} catch (const std::bad_alloc &) {
		return -1;
	}
	return 0;
}

__attribute__((noinline)) void trip_add(struct trip_track *total,
					const struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	total->points += t->points;
	total->fixless += t->fixless;
	total->glitches += t->glitches;
	total->has_distance |= t->has_distance;
	total->distance += t->distance;
	total->moving_distance += t->moving_distance;
	total->duration += t->duration;
	total->moving += t->moving;
	if (t->has_time) {
		total->start = total->has_time ? std::min(total->start, t->start)
					       : t->start;
		total->end = total->has_time ? std::max(total->end, t->end)
					     : t->end;
		total->has_time = true;
	}
	if (t->has_speed) {
		total->max_speed = total->has_speed
				       ? std::max(total->max_speed, t->max_speed)
				       : t->max_speed;
		total->has_speed = true;
	}
	if (t->has_ele) {
		total->min_ele = total->has_ele
				     ? std::min(total->min_ele, t->min_ele)
				     : t->min_ele;
		total->max_ele = total->has_ele
				     ? std::max(total->max_ele, t->max_ele)
				     : t->max_ele;
		total->has_ele = true;
	}
	total->climb += t->climb;
	total->descent += t->descent;
	total->raw_climb += t->raw_climb;
	total->raw_descent += t->raw_descent;
}

char *trip_format_time(int64_t centis, char *buf)
{
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	uint32_t secs = (uint32_t)(centis / 100);
	/* the low 32 bits, as a point holds them */
	trk.time = secs <= INT32_MAX ? (int32_t)secs
				     : (int32_t)((int64_t)secs - 4294967296LL);
	trk.centisecs = (uint8_t)(centis % 100);
	char text[TIME_TEXT_SIZE];
	wexlar_format_time(&trk, text);
	snprintf(buf, TRIP_TEXT_SIZE, "%s", text);
	return buf;
}

char *trip_format_duration(int64_t centis, char *buf)
{
	int64_t secs = (centis + 50) / 100;
	snprintf(buf, TRIP_TEXT_SIZE, "%lld:%02d:%02d", (long long)(secs / 3600),
		 (int)(secs / 60 % 60), (int)(secs % 60));
	return buf;
}

char *trip_format_fixed(double v, int decimals, char *buf)
{
	snprintf(buf, TRIP_TEXT_SIZE, "%.*f", decimals, v);
	if (buf[0] == '-' && strspn(buf + 1, "0.") == strlen(buf + 1))
		memmove(buf, buf + 1, strlen(buf));
	return buf;
}

std::string trip_utf8(const std::string &cp1252)
{
	std::string out;
	for (unsigned char c : cp1252) {
		unsigned cp = cp1252_to_unicode(c);
		if (cp < 0x20 || cp == 0x7F)
			continue;
		if (cp < 0x80) {
			out += (char)cp;
			continue;
		}
		if (cp < 0x800) {
			out += (char)(0xC0 | cp >> 6);
		} else {
			out += (char)(0xE0 | cp >> 12);
			out += (char)(0x80 | (cp >> 6 & 0x3F));
		}
		out += (char)(0x80 | (cp & 0x3F));
	}
	return out;
}
