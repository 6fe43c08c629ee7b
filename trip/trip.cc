/* SPDX-License-Identifier: MIT */
#include "trip.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <new>

#include "cp1252.h"
#include "ieee_rounding.h"
#include "mag.h"
#include "places.h"
#include "pointtext.h"

namespace {

/* A glitch lies this many times farther off than the steps around it, and
 * at least this far (metres). */
const double GLITCH_RATIO = 5.0;
const double GLITCH_LEAST = 200.0;

/* The geodesic distance in metres between two points on WGS84.  The
 * x87 FPU computes it in double precision, as every other machine does. */
template <typename Place>
__attribute__((noinline)) double geodesic(const Place &a, const Place &b)
{
	[[maybe_unused]] ieee_rounding guard;
	double s12;
	GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon,
						 s12);
	return s12;
}

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
	p->has_ele = info->has_altitude && isfinite(ele);
	p->ele = p->has_ele ? ele : 0.0;
	p->has_time = info->has_time;
	p->centis = p->has_time ? (int64_t)(uint32_t)trk->time * 100 +
				      trk->centisecs
				: 0;
	p->along = 0.0;
	p->starts_segment = false;
	return true;
}

/*
 * Keeps the points of t->kept (the points with a place) that are no
 * glitch (see trip.h), in place, each with its distance along the track,
 * and counts the glitches.  step[i] is the distance from the i-th point
 * to the next.
 */
__attribute__((noinline)) void drop_glitches(const std::vector<double> &step,
					     struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<struct trip_point> &c = t->kept;
	size_t n = c.size(), kept = 1; /* c[0, kept) is kept; kept <= i */
	if (n == 0)
		return;
	double into = 0.0;	   /* the step into the last point kept */
	bool previous_kept = true; /* c[i - 1] is the last point kept */
	for (size_t i = 1; i < n; i++) {
		const struct trip_point a = c[kept - 1];
		double leg_in = previous_kept ? step[i - 1] : geodesic(a, c[i]);
		if (i + 1 < n) {
			double context =
			    std::max(into, i + 2 < n ? step[i + 1] : 0.0);
			double leg = std::min(leg_in, step[i]);
			if (leg > std::max(GLITCH_RATIO * context,
					   GLITCH_LEAST) &&
			    geodesic(a, c[i + 1]) < leg / 2) {
				t->glitches++;
				previous_kept = false;
				continue;
			}
		}
		c[kept] = c[i];
		c[kept].along = a.along + leg_in;
		kept++;
		into = leg_in;
		previous_kept = true;
	}
	c.resize(kept);
	t->has_distance = true;
	t->distance = c.back().along;
}

/* Turning points of the elevations, a reversal of at least
 * TRIP_CLIMB_HYSTERESIS confirming one. */
struct hysteresis {
	bool started;
	int direction; /* +1 rising, -1 falling, 0 not yet known */
	double turn;   /* the last turning point */
	double extreme; /* since it, in the direction */
	double low, high; /* while the direction is not known */
};

void feed(struct hysteresis *h, double e, struct trip_track *t)
{
	if (!h->started) {
		*h = hysteresis{true, 0, e, e, e, e};
		return;
	}
	if (h->direction == 0) {
		h->low = std::min(h->low, e);
		h->high = std::max(h->high, e);
		if (h->high - h->low >= TRIP_CLIMB_HYSTERESIS) {
			h->direction = e == h->high ? 1 : -1;
			h->turn = h->direction > 0 ? h->low : h->high;
			h->extreme = e;
		}
		return;
	}
	if (h->direction > 0 ? e > h->extreme : e < h->extreme) {
		h->extreme = e;
		return;
	}
	if (fabs(h->extreme - e) < TRIP_CLIMB_HYSTERESIS)
		return;
	if (h->direction > 0)
		t->climb += h->extreme - h->turn;
	else
		t->descent += h->turn - h->extreme;
	h->turn = h->extreme;
	h->extreme = e;
	h->direction = -h->direction;
}

void finish(const struct hysteresis *h, struct trip_track *t)
{
	if (h->direction > 0)
		t->climb += h->extreme - h->turn;
	else if (h->direction < 0)
		t->descent += h->turn - h->extreme;
}

/* The times, speeds and elevations of the kept points. */
__attribute__((noinline)) void measure(struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	const struct trip_point *last_timed = NULL, *last_ele = NULL;
	struct hysteresis h = {};
	for (const struct trip_point &p : t->kept) {
		if (p.has_time) {
			if (!t->has_time) {
				t->has_time = true;
				t->start = p.centis;
			}
			t->end = p.centis;
			if (last_timed != NULL && p.centis > last_timed->centis) {
				int64_t dt = p.centis - last_timed->centis;
				double ds = p.along - last_timed->along;
				double speed = ds / ((double)dt / 100.0);
				t->duration += dt;
				if (speed > TRIP_MOVING_SPEED) {
					t->moving += dt;
					t->moving_distance += ds;
				}
				if (!t->has_speed || speed > t->max_speed)
					t->max_speed = speed;
				t->has_speed = true;
			}
			last_timed = &p;
		}
		if (p.has_ele) {
			if (!t->has_ele) {
				t->has_ele = true;
				t->min_ele = t->max_ele = p.ele;
			}
			t->min_ele = std::min(t->min_ele, p.ele);
			t->max_ele = std::max(t->max_ele, p.ele);
			if (last_ele != NULL) {
				double rise = p.ele - last_ele->ele;
				if (rise > 0)
					t->raw_climb += rise;
				else
					t->raw_descent -= rise;
			}
			feed(&h, p.ele, t);
			last_ele = &p;
		}
	}
	finish(&h, t);
}

/* The numbers of a track whose points with a place are in t->kept. */
void work_out(struct trip_track *t)
{
	const std::vector<struct trip_point> &c = t->kept;
	std::vector<double> step(c.empty() ? 0 : c.size() - 1);
	for (size_t i = 0; i + 1 < c.size(); i++)
		step[i] = geodesic(c[i], c[i + 1]);
	drop_glitches(step, t);
	measure(t);
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
		length += geodesic(r.points[i - 1], r.points[i]);
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
