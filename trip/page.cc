/* SPDX-License-Identifier: MIT */
#include "page.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "drawing.h"
#include "ieee_rounding.h"
#include "outbuf.h"
#include "profile.h"
#include "trip.h"

namespace {

const double PI = 3.14159265358979323846;
/* Web Mercator's square world ends at this latitude. */
const double MERCATOR_LAT_MAX = 85.0511287798066;
/* The equator of WGS84, in metres. */
const double EQUATOR = 2 * PI * 6378137.0;
/* A map shows at least this much ground (metres), around a lone point. */
const double MAP_SPAN_LEAST = 500.0;
/* Room around what the map shows (view box units). */
const double MAP_MARGIN = 40.0;

/* The colours of the tracks with a row of their own in the numbers, in
 * turn: distinct hues and lightnesses that stand out on the map's and the
 * profiles' light backgrounds and from the black of routes and labels. */
const char *const COLOURS[] = {"#d7301f", "#2166ac", "#1a9850", "#762a83",
			       "#e08214", "#01665e", "#c51b7d", "#8c510a",
			       "#4eb3d3", "#9c9a00", "#f781bf", "#66bd63"};
const size_t NCOLOURS = sizeof COLOURS / sizeof COLOURS[0];
/* The colour of the other tracks, as the map draws them together. */
const char OTHERS_COLOUR[] = "#8c8c8c";

static_assert(NCOLOURS == PAGE_TRACK_ROWS, "a colour for each row");

/* The colour of the page's track i (see show_tracks()): one of its own
 * for each track with a row; NULL for the other tracks, which the map
 * draws together. */
const char *track_colour(size_t i)
{
	return i < NCOLOURS ? COLOURS[i] : NULL;
}

/* The colour of the page's track i in the legend and the tables: the
 * others' that of the map's grey. */
const char *swatch_colour(size_t i)
{
	return i < NCOLOURS ? COLOURS[i] : OTHERS_COLOUR;
}

/* Characters of a waypoint's name shown on the map. */
enum { LABEL_CHARS = 24 };

/* Numbers of this magnitude and beyond are no reading (and more digits
 * than trip_format_fixed() writes): the tables leave them out. */
const double NUMBER_LIMIT = 1e40;

const char STYLE[] =
    "body{font-family:sans-serif;color:#222;margin:1.5em auto;"
    "max-width:1040px;padding:0 10px}"
    "h1{margin-bottom:0}.day{margin-top:.2em;color:#555}"
    "h1,h2{overflow:hidden;text-overflow:ellipsis;white-space:nowrap}"
    "svg{display:block;width:100%;height:auto}"
    ".map{background:#f3f1ea;border:1px solid #bbb}"
    ".profile{background:#eef2f7;border:1px solid #bbb}"
    ".profile text{font-family:\"DejaVu Sans\",\"Liberation Sans\",Arial,"
    "Helvetica,sans-serif}"
    ".grid{stroke:#cfc9b8;stroke-width:1;fill:none}"
    ".glabel{fill:#8a8470;font-size:13px}"
    ".trk{fill:none;stroke-width:3;stroke-linejoin:round;"
    "stroke-linecap:round}"
    ".others{fill:none;stroke:#8c8c8c;stroke-width:2;"
    "stroke-linejoin:round;stroke-linecap:round}"
    ".rte{fill:none;stroke:#555;stroke-width:2;stroke-dasharray:9 6}"
    ".wpt{fill:#fff;stroke:#222;stroke-width:2}"
    ".wlabel{font-size:14px;fill:#222;paint-order:stroke;stroke:#f3f1ea;"
    "stroke-width:3}"
    ".scale{stroke:#222;stroke-width:3}.slabel{font-size:14px;fill:#222}"
    ".axis{stroke:#555;stroke-width:1}.alabel{font-size:13px;fill:#444}"
    ".pline{fill:none;stroke-width:2.5;stroke-linejoin:round}"
    ".extreme{font-size:13px;fill:#222}"
    ".legend{list-style:none;padding:0}.legend li{display:inline-block;"
    "margin-right:1.5em;max-width:100%;overflow:hidden;"
    "text-overflow:ellipsis;white-space:nowrap;vertical-align:top}"
    ".swatch{display:inline-block;width:1.5em;"
    "height:.35em;vertical-align:middle;margin-right:.4em}"
    ".numbers{overflow-x:auto}table{border-collapse:collapse;"
    "margin:.5em 0 1.5em}th,td{border:1px solid #ccc;padding:.25em .5em;"
    "text-align:right;white-space:nowrap}th{text-align:left;"
    "white-space:normal;vertical-align:bottom}"
    "td.name{text-align:left;white-space:normal;overflow-wrap:anywhere;"
    "min-width:8em}.total td{border-top:2px solid #999}"
    ".empty{fill:#777;font-size:20px}";

/* A position in Web Mercator: x and y from 0 to 1 over the world, y down. */
struct merc {
	double x, y;
};

/* The map's frame: longitudes from west on (those below it taken 360
 * degrees on, so that a log across the antimeridian stays in one piece),
 * and the view box unit per Mercator unit around the centre. */
struct frame {
	bool empty;
	double west;
	double cx, cy, scale;
};

__attribute__((noinline)) struct merc project(const struct frame &f,
					      double lat, double lon)
{
	[[maybe_unused]] ieee_rounding guard;
	if (lon < f.west)
		lon += 360.0;
	lat = std::max(-MERCATOR_LAT_MAX, std::min(MERCATOR_LAT_MAX, lat));
	double phi = lat * PI / 180.0;
	return merc{(lon + 180.0) / 360.0,
		    (1.0 - asinh(tan(phi)) / PI) / 2.0};
}

/* The latitude of the Mercator y. */
__attribute__((noinline)) double latitude_of(double y)
{
	[[maybe_unused]] ieee_rounding guard;
	return atan(sinh(PI * (1.0 - 2.0 * y))) * 180.0 / PI;
}

/* View box coordinates of a Mercator position. */
__attribute__((noinline)) void to_view(const struct frame &f, struct merc m,
				       double *x, double *y)
{
	[[maybe_unused]] ieee_rounding guard;
	*x = PAGE_MAP_WIDTH / 2.0 + (m.x - f.cx) * f.scale;
	*y = PAGE_MAP_HEIGHT / 2.0 + (m.y - f.cy) * f.scale;
}

/* Every longitude the map shows, its latitudes' range. */
struct extent {
	std::vector<double> lons;
	double south = 90, north = -90;
	void add(double lat, double lon)
	{
		lons.push_back(lon);
		south = std::min(south, lat);
		north = std::max(north, lat);
	}
};

/* The longitude after the widest gap between the longitudes around the
 * circle: where the map's west edge goes. */
double west_edge(std::vector<double> lons)
{
	std::sort(lons.begin(), lons.end());
	double west = lons.front();
	double widest = lons.front() + 360.0 - lons.back();
	for (size_t i = 1; i < lons.size(); i++)
		if (lons[i] - lons[i - 1] > widest) {
			widest = lons[i] - lons[i - 1];
			west = lons[i];
		}
	return west;
}

/* The west and east edges of the longitudes (east beyond 180 degrees
 * where they cross the antimeridian); e has some. */
void east_west(const struct extent &e, double *west, double *east)
{
	*west = *east = west_edge(e.lons);
	for (double lon : e.lons)
		*east = std::max(*east, lon < *west ? lon + 360.0 : lon);
}

/* Every point the map shows: the tracks', the waypoints', the routes'. */
struct extent extent_of(const struct trip_log &log)
{
	struct extent e;
	for (const struct trip_track &t : log.tracks)
		for (const struct trip_point &p : t.kept)
			e.add(p.lat, p.lon);
	for (const struct trip_waypoint &w : log.waypoints)
		e.add(w.lat, w.lon);
	for (const struct trip_route &r : log.routes)
		for (const struct trip_waypoint &w : r.points)
			e.add(w.lat, w.lon);
	return e;
}

__attribute__((noinline)) struct frame frame_of(const struct extent &e)
{
	[[maybe_unused]] ieee_rounding guard;
	struct frame f = {};
	if (e.lons.empty()) {
		f.empty = true;
		return f;
	}
	double east;
	east_west(e, &f.west, &east);
	struct merc nw = project(f, e.north, f.west),
		    se = project(f, e.south, east);
	f.cx = (nw.x + se.x) / 2;
	f.cy = (nw.y + se.y) / 2;
	double mid = latitude_of(f.cy) * PI / 180.0;
	double least = MAP_SPAN_LEAST / (EQUATOR * cos(mid));
	double dx = std::max(se.x - nw.x, least);
	double dy = std::max(se.y - nw.y, least);
	f.scale = std::min((PAGE_MAP_WIDTH - 2 * MAP_MARGIN) / dx,
			   (PAGE_MAP_HEIGHT - 2 * MAP_MARGIN) / dy);
	return f;
}

/* Half the last decimal place shown. */
double step_epsilon(int decimals)
{
	return 0.5 * pow(10.0, -decimals);
}

/* "47.42°N" or "10.98°W" of a latitude or longitude. */
std::string degrees_label(double v, int decimals, bool latitude)
{
	if (!latitude) {
		v = fmod(v + 180.0, 360.0);
		if (v < 0)
			v += 360.0;
		v -= 180.0;
	}
	char text[TRIP_TEXT_SIZE];
	trip_format_fixed(fabs(v), decimals, text);
	std::string label = text;
	label += "\u00b0";
	/* The equator, the prime meridian and the antimeridian have no
	 * side. */
	bool side = strspn(text, "0.") != strlen(text) &&
		    (latitude || fabs(fabs(v) - 180.0) > step_epsilon(decimals));
	if (side)
		label += latitude ? (v < 0 ? "S" : "N") : (v < 0 ? "W" : "E");
	return label;
}

/* The graticule: lines of latitude and longitude at round steps, each
 * labelled. */
__attribute__((noinline)) void put_graticule(struct page *pg,
					     const struct frame &f)
{
	[[maybe_unused]] ieee_rounding guard;
	double west_x = f.cx - PAGE_MAP_WIDTH / 2.0 / f.scale,
	       east_x = f.cx + PAGE_MAP_WIDTH / 2.0 / f.scale;
	double top_y = std::max(0.0, f.cy - PAGE_MAP_HEIGHT / 2.0 / f.scale),
	       bottom_y =
		   std::min(1.0, f.cy + PAGE_MAP_HEIGHT / 2.0 / f.scale);
	double west = west_x * 360.0 - 180.0, east = east_x * 360.0 - 180.0;
	double north = latitude_of(top_y), south = latitude_of(bottom_y);
	double step = round_step(std::max(east - west, north - south), 5);
	int decimals = decimals_of(step);
	pg->put("<g class=\"grid\">");
	for (double lon = ceil(west / step) * step; lon <= east; lon += step) {
		double x, y;
		to_view(f, merc{(lon + 180.0) / 360.0, 0}, &x, &y);
		pg->put("<line x1=\"");
		pg->tenths(x);
		pg->put("\" y1=\"0\" x2=\"");
		pg->tenths(x);
		pg->put("\" y2=\"" + std::to_string((int)PAGE_MAP_HEIGHT) +
			"\"/>");
	}
	for (double lat = ceil(south / step) * step; lat <= north;
	     lat += step) {
		double x, y;
		to_view(f, project(f, lat, f.west), &x, &y);
		pg->put("<line x1=\"0\" y1=\"");
		pg->tenths(y);
		pg->put("\" x2=\"" + std::to_string((int)PAGE_MAP_WIDTH) +
			"\" y2=\"");
		pg->tenths(y);
		pg->put("\"/>");
	}
	pg->put("</g>\n<g class=\"glabel\">");
	for (double lon = ceil(west / step) * step; lon <= east; lon += step) {
		double x, y;
		to_view(f, merc{(lon + 180.0) / 360.0, 0}, &x, &y);
		pg->put("<text x=\"");
		pg->tenths(x + 4);
		pg->put("\" y=\"16\">");
		pg->escaped(degrees_label(lon, decimals, false));
		pg->put("</text>");
	}
	for (double lat = ceil(south / step) * step; lat <= north;
	     lat += step) {
		double x, y;
		to_view(f, project(f, lat, f.west), &x, &y);
		pg->put("<text x=\"4\" y=\"");
		pg->tenths(y - 4);
		pg->put("\">");
		pg->escaped(degrees_label(lat, decimals, true));
		pg->put("</text>");
	}
	pg->put("</g>\n");
}

/* A scale bar of a round length at the bottom left. */
__attribute__((noinline)) void put_scale(struct page *pg,
					 const struct frame &f)
{
	[[maybe_unused]] ieee_rounding guard;
	double mid = latitude_of(f.cy) * PI / 180.0;
	double metres_per_unit = EQUATOR * cos(mid) / f.scale;
	/* The round length of at least 150 units (at most 375). */
	double metres = round_step(150 * metres_per_unit, 1);
	double length = metres / metres_per_unit;
	double x = 20, y = PAGE_MAP_HEIGHT - 20;
	pg->put("<g><line class=\"scale\" x1=\"20\" y1=\"");
	pg->tenths(y);
	pg->put("\" x2=\"");
	pg->tenths(x + length);
	pg->put("\" y2=\"");
	pg->tenths(y);
	pg->put("\"/><text class=\"slabel\" x=\"20\" y=\"");
	pg->tenths(y - 8);
	pg->put("\">");
	if (metres >= 1000)
		pg->number(metres / 1000, decimals_of(metres / 1000));
	else
		pg->number(metres, decimals_of(metres));
	pg->put(metres >= 1000 ? " km</text></g>\n" : " m</text></g>\n");
}

/* The points of a line, "x,y x,y ...": track points or waypoints. */
template <typename Points>
void put_points(struct page *pg, const struct frame &f, const Points &points)
{
	bool first = true;
	for (const auto &p : points) {
		double x, y;
		to_view(f, project(f, p.lat, p.lon), &x, &y);
		if (!first)
			pg->put(" ");
		first = false;
		pg->xy(x, y);
	}
}

/* A marker at a place: a ring (start) or a square (end). */
void put_marker(struct page *pg, const struct frame &f,
		const struct trip_point &p, const char *colour, bool start)
{
	double x, y;
	to_view(f, project(f, p.lat, p.lon), &x, &y);
	if (start) {
		pg->put("<circle r=\"7\" fill=\"#fff\" stroke-width=\"3\" "
			"stroke=\"");
		pg->put(colour);
		pg->put("\" cx=\"");
		pg->tenths(x);
		pg->put("\" cy=\"");
		pg->tenths(y);
		pg->put("\"><title>start</title></circle>");
	} else {
		pg->put("<rect width=\"12\" height=\"12\" fill=\"");
		pg->put(colour);
		pg->put("\" x=\"");
		pg->tenths(x - 6);
		pg->put("\" y=\"");
		pg->tenths(y - 6);
		pg->put("\"><title>end</title></rect>");
	}
}

/* The first LABEL_CHARS characters of a UTF-8 text. */
std::string shortened(const std::string &utf8)
{
	size_t chars = 0, i = 0;
	for (; i < utf8.size(); i++)
		if (((unsigned char)utf8[i] & 0xC0) != 0x80 &&
		    ++chars > LABEL_CHARS)
			break;
	return i < utf8.size() ? utf8.substr(0, i) + "\u2026" : utf8;
}

/* The tracks without a colour of their own, in one grey path of class
 * "others": a subpath for each segment, a dot for a lone point. */
void put_others(struct page *pg, const struct frame &f,
		const struct trip_log &log)
{
	bool any = false;
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const std::vector<struct trip_point> &kept = log.tracks[i].kept;
		if (track_colour(i) != NULL)
			continue;
		for (size_t j = 0; j < kept.size(); j++) {
			double x, y;
			to_view(f, project(f, kept[j].lat, kept[j].lon), &x, &y);
			bool start = j == 0 || kept[j].starts_segment;
			pg->put(!any ? "<path class=\"others\" d=\"M"
				: start ? "M" : "L");
			any = true;
			pg->xy(x, y);
			if (start && (j + 1 == kept.size() ||
				      kept[j + 1].starts_segment))
				pg->put("h0");
		}
	}
	if (any)
		pg->put("\"/>\n");
}

void put_map(struct page *pg, const struct trip_log &log,
	     const struct extent &e)
{
	struct frame f = frame_of(e);
	std::string box = std::to_string((int)PAGE_MAP_WIDTH) + " " +
			  std::to_string((int)PAGE_MAP_HEIGHT);
	pg->put("<svg class=\"map\" xmlns=\"http://www.w3.org/2000/svg\" "
		"viewBox=\"0 0 " + box + "\" role=\"img\" "
		"aria-label=\"map\">\n");
	if (f.empty) {
		pg->put("<text class=\"empty\" x=\"500\" y=\"350\" "
			"text-anchor=\"middle\">No positions in this log</text>"
			"\n</svg>\n");
		return;
	}
	put_graticule(pg, f);
	for (const struct trip_route &r : log.routes) {
		if (r.points.empty())
			continue;
		pg->put("<polyline class=\"rte\" points=\"");
		put_points(pg, f, r.points);
		pg->put("\"/>\n");
	}
	put_others(pg, f, log);
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const struct trip_track &t = log.tracks[i];
		if (t.kept.empty() || track_colour(i) == NULL)
			continue;
		const char *colour = track_colour(i);
		pg->put("<polyline class=\"trk\" stroke=\"");
		pg->put(colour);
		pg->put("\" points=\"");
		put_points(pg, f, t.kept);
		pg->put("\"/>\n");
		put_marker(pg, f, t.kept.front(), colour, true);
		put_marker(pg, f, t.kept.back(), colour, false);
		pg->put("\n");
	}
	for (const struct trip_waypoint &w : log.waypoints) {
		double x, y;
		to_view(f, project(f, w.lat, w.lon), &x, &y);
		pg->put("<circle class=\"wpt\" r=\"5\" cx=\"");
		pg->tenths(x);
		pg->put("\" cy=\"");
		pg->tenths(y);
		pg->put("\"/><text class=\"wlabel\" x=\"");
		pg->tenths(x + 8);
		pg->put("\" y=\"");
		pg->tenths(y - 6);
		pg->put("\">");
		pg->escaped(shortened(trip_utf8(w.name)));
		pg->put("</text>\n");
	}
	put_scale(pg, f);
	pg->put("</svg>\n");
}

/* The text of a number, or "" without a value (or beyond what a table
 * shows). */
std::string value(bool has, double v, int decimals, const char *unit)
{
	char text[TRIP_TEXT_SIZE];
	return has && fabs(v) < NUMBER_LIMIT
		   ? std::string(trip_format_fixed(v, decimals, text)) + unit
		   : "";
}

std::string when(bool has, int64_t centis, bool duration)
{
	char text[TRIP_TEXT_SIZE];
	return !has ? ""
	       : duration ? trip_format_duration(centis, text)
			  : trip_format_time(centis, text);
}

/* The longer of two tracks: the one of more distance, then of more points
 * drawn, then the one earlier in the log (i before j). */
bool longer(const struct trip_track &a, size_t i, const struct trip_track &b,
	    size_t j)
{
	if (a.distance != b.distance)
		return a.distance > b.distance;
	if (a.kept.size() != b.kept.size())
		return a.kept.size() > b.kept.size();
	return i < j;
}

/* The indices of the n longest of tracks[0, end) that pass keep(), in log
 * order. */
template <typename Keep>
std::vector<size_t> longest(const std::vector<struct trip_track> &tracks,
			    size_t end, size_t n, Keep keep)
{
	std::vector<size_t> v;
	for (size_t i = 0; i < end; i++)
		if (keep(tracks[i]))
			v.push_back(i);
	if (v.size() > n) {
		std::partial_sort(v.begin(), v.begin() + (ptrdiff_t)n, v.end(),
				  [&](size_t i, size_t j) {
					  return longer(tracks[i], i, tracks[j],
							j);
				  });
		v.resize(n);
		std::sort(v.begin(), v.end());
	}
	return v;
}

/* The tracks with a row of their own among the page's tracks. */
size_t own_rows(const struct trip_log &log)
{
	return std::min(log.tracks.size(), (size_t)PAGE_TRACK_ROWS);
}

/*
 * Makes log's tracks the page's: when there are more than
 * PAGE_TRACK_ROWS, the longest of them, in log order, and after them one
 * track of all the others, named "N other tracks": their numbers summed
 * (as trip_add() sums them), their points in order, each track's first
 * point starting a segment so that no line joins two tracks.
 */
void show_tracks(struct trip_log *log)
{
	std::vector<struct trip_track> &all = log->tracks;
	if (all.size() <= PAGE_TRACK_ROWS)
		return;
	std::vector<size_t> own =
	    longest(all, all.size(), PAGE_TRACK_ROWS,
		    [](const struct trip_track &) { return true; });
	std::vector<bool> has_row(all.size());
	for (size_t i : own)
		has_row[i] = true;
	std::vector<struct trip_track> shown;
	struct trip_track others = {};
	size_t points = 0;
	for (size_t i = 0; i < all.size(); i++)
		points += has_row[i] ? 0 : all[i].kept.size();
	others.kept.reserve(points);
	for (size_t i = 0; i < all.size(); i++) {
		if (has_row[i]) {
			shown.push_back(std::move(all[i]));
			continue;
		}
		trip_add(&others, &all[i]);
		for (size_t k = 0; k < all[i].kept.size(); k++) {
			others.kept.push_back(all[i].kept[k]);
			others.kept.back().starts_segment |=
			    k == 0 && others.kept.size() > 1;
		}
		all[i] = trip_track();
	}
	size_t n = all.size() - own.size();
	others.name = std::to_string(n) + (n == 1 ? " other track" : " other tracks");
	shown.push_back(std::move(others));
	all = std::move(shown);
}

/* A track's name in a table's first column, after its colour. */
void put_name_cell(struct page *pg, const struct trip_track &t,
		   const char *colour)
{
	pg->put("<td class=\"name\">");
	if (colour != NULL) {
		pg->put("<span class=\"swatch\" style=\"background:");
		pg->put(colour);
		pg->put("\"></span>");
	}
	pg->text(t.name);
	pg->put("</td>");
}

/* The numbers of a track in two tables' rows: counts and times, then
 * distances, speeds and elevations. */
std::vector<std::string> times_of(const struct trip_track &t)
{
	return {std::to_string(t.points),	   std::to_string(t.fixless),
		std::to_string(t.glitches),	   when(t.has_time, t.start, false),
		when(t.has_time, t.end, false),	   when(t.has_time, t.duration, true),
		when(t.has_time, t.moving, true)};
}

__attribute__((noinline)) std::vector<std::string>
distances_of(const struct trip_track &t)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<std::string> v = {
	    value(t.has_distance, t.distance / 1000, 2, " km"),
	    value(t.moving > 0,
		  t.moving_distance / ((double)t.moving / 100) * 3.6, 1,
		  " km/h"),
	    value(t.has_speed, t.max_speed * 3.6, 1, " km/h"),
	};
	for (double e : {t.min_ele, t.max_ele, t.climb, t.descent, t.raw_climb,
			 t.raw_descent})
		v.push_back(value(t.has_ele, e, 0, " m"));
	return v;
}

/* A table of a row per track of the page (and one of all of them when
 * there are several), of the headings and the cells of numbers(). */
template <typename Numbers>
void put_table(struct page *pg, const struct trip_log &log,
	       const std::vector<const char *> &headings, Numbers numbers)
{
	pg->put("<div class=\"numbers\"><table>\n<tr><th>Track</th>");
	for (const char *h : headings)
		pg->put(std::string("<th>") + h + "</th>");
	pg->put("</tr>\n");
	struct trip_track total = {};
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const struct trip_track &t = log.tracks[i];
		pg->put("<tr>");
		put_name_cell(pg, t, swatch_colour(i));
		for (const std::string &c : numbers(t))
			pg->put("<td>" + c + "</td>");
		pg->put("</tr>\n");
		trip_add(&total, &t);
	}
	if (log.tracks.size() > 1) {
		total.name = "All tracks";
		pg->put("<tr class=\"total\">");
		put_name_cell(pg, total, NULL);
		for (const std::string &c : numbers(total))
			pg->put("<td>" + c + "</td>");
		pg->put("</tr>\n");
	}
	pg->put("</table></div>\n");
}

/* The numbers of the page's tracks, a row each. */
void put_numbers(struct page *pg, const struct trip_log &log)
{
	if (log.tracks.empty())
		return;
	pg->put("<h2>Numbers</h2>\n");
	put_table(pg, log,
		  {"Points", "Without a fix", "Glitches", "Start (UTC)",
		   "End (UTC)", "Duration", "Moving time"},
		  times_of);
	put_table(pg, log,
		  {"Distance", "Average moving speed", "Highest speed",
		   "Lowest elevation", "Highest elevation", "Climb", "Descent",
		   "Raw climb", "Raw descent"},
		  distances_of);
	pg->put("<p>Distances are geodesics on the WGS84 "
		"ellipsoid; moving time counts the steps faster than 1 km/h; "
		"climb and descent count the changes of at least 10 m between "
		"turning points, the raw sums every change.</p>\n");
}

/* The elevation profiles of the longest of the tracks with a row, in log
 * order, after a word that there are more where there are. */
void put_profiles(struct page *pg, const struct trip_log &log)
{
	std::vector<size_t> drawn = longest(log.tracks, own_rows(log),
					    PAGE_PROFILES, trip_profile_drawable);
	size_t drawable = 0;
	for (const struct trip_track &t : log.tracks)
		drawable += trip_profile_drawable(t);
	if (drawable > drawn.size())
		pg->put("<p>Elevation profiles of the " +
			std::to_string(drawn.size()) +
			" longest tracks.</p>\n");
	for (size_t i : drawn) {
		pg->put("<h2>Elevation: ");
		pg->text(log.tracks[i].name);
		pg->put("</h2>\n");
		trip_put_profile(pg, log.tracks[i], track_colour(i));
	}
}

void put_places(struct page *pg, const struct trip_log &log)
{
	if (!log.waypoints.empty()) {
		pg->put("<h2>Waypoints</h2>\n<table>\n<tr><th>Name</th><th>"
			"Latitude</th><th>Longitude</th></tr>\n");
		for (const struct trip_waypoint &w : log.waypoints) {
			pg->put("<tr><td class=\"name\">");
			pg->text(w.name);
			pg->put("</td><td>");
			pg->number(w.lat, 6);
			pg->put("</td><td>");
			pg->number(w.lon, 6);
			pg->put("</td></tr>\n");
		}
		pg->put("</table>\n");
	}
	if (!log.routes.empty()) {
		pg->put("<h2>Routes</h2>\n<table>\n<tr><th>Name</th><th>Number"
			"</th><th>Points</th><th>Length</th></tr>\n");
		for (const struct trip_route &r : log.routes) {
			pg->put("<tr><td class=\"name\">");
			pg->text(r.name);
			pg->put("</td><td>" + std::to_string(r.number) +
				"</td><td>" + std::to_string(r.points.size()) +
				"</td>");
			pg->put("<td>" + value(true, r.length / 1000, 2, " km") +
				"</td></tr>\n");
		}
		pg->put("</table>\n");
	}
}

/* The day of the log's first point with a time, "YYYY-MM-DD", or "". */
std::string first_day(const struct trip_log &log)
{
	for (const struct trip_track &t : log.tracks)
		if (t.has_time) {
			char text[TRIP_TEXT_SIZE];
			return std::string(trip_format_time(t.start, text), 10);
		}
	return "";
}

/* A link to the map's area on openstreetmap.org, followed only when
 * clicked. */
__attribute__((noinline)) void put_link(struct page *pg,
					const struct extent &e)
{
	[[maybe_unused]] ieee_rounding guard;
	if (e.lons.empty())
		return;
	double west, east, south = e.south, north = e.north;
	east_west(e, &west, &east);
	double span = std::max({east - west, north - south, 0.002});
	int zoom = std::max(1, std::min(18, (int)floor(log2(360.0 / span))));
	double lon = fmod((west + east) / 2 + 180.0, 360.0) - 180.0;
	pg->put("<p><a href=\"https://www.openstreetmap.org/#map=" +
		std::to_string(zoom) + "/");
	pg->number((south + north) / 2, 5);
	pg->put("/");
	pg->number(lon, 5);
	pg->put("\">This area on OpenStreetMap</a> (on the web)</p>\n");
}

void put_page(struct page *pg, const struct trip_log &log)
{
	std::string day = first_day(log);
	pg->put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta "
		"charset=\"utf-8\">\n<meta name=\"viewport\" "
		"content=\"width=device-width, initial-scale=1\">\n<title>");
	pg->text(log.name);
	if (!day.empty())
		pg->put(" \u2013 " + day);
	pg->put("</title>\n<style>");
	pg->put(STYLE);
	pg->put("</style>\n</head>\n<body>\n<h1>");
	pg->text(log.name);
	pg->put("</h1>\n");
	if (!day.empty())
		pg->put("<p class=\"day\">" + day + "</p>\n");
	struct extent e = extent_of(log);
	put_map(pg, log, e);
	pg->put("<ul class=\"legend\">");
	for (size_t i = 0; i < log.tracks.size(); i++) {
		pg->put("<li><span class=\"swatch\" style=\"background:");
		pg->put(swatch_colour(i));
		pg->put("\"></span>");
		pg->text(log.tracks[i].name);
		pg->put("</li>");
	}
	if (!log.routes.empty())
		pg->put("<li>- - - routes</li>");
	pg->put("</ul>\n");
	put_link(pg, e);
	put_profiles(pg, log);
	put_numbers(pg, log);
	put_places(pg, log);
	pg->put("</body>\n</html>\n");
}

}  // namespace

int trip_write_page(struct pdb *db, int fd)
{
	struct page pg;
	try {
		struct trip_log log;
		if (trip_read(db, &log) < 0)
			throw std::bad_alloc();
		show_tracks(&log);
		put_page(&pg, log);
	} catch (const std::bad_alloc &) {
		fprintf(stderr, "trip_write_page: out of memory\n");
		return -1;
	}
	struct outbuf *ob = wexlar_out_open(fd);
	if (wexlar_out_put(ob, pg.html.data(), pg.html.size()) < 0)
		return -1;
	return wexlar_out_flush(ob);
}
