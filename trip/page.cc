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
#include "map.h"
#include "outbuf.h"
#include "trip.h"

namespace {

/* Profile plot area within its view box. */
const double PLOT_LEFT = 70, PLOT_RIGHT = 20, PLOT_TOP = 20,
	     PLOT_BOTTOM = 45;

/* Each track's colour, in turn. */
const char *const COLOURS[] = {"#d7301f", "#2166ac", "#1a9850", "#762a83",
			       "#e08214", "#01665e", "#c51b7d", "#4d4d4d"};
const size_t NCOLOURS = sizeof COLOURS / sizeof COLOURS[0];

/* Tracks drawn in a colour of their own on the map, with their ends
 * marked; the others are drawn together, in grey. */
const size_t TRACKS_COLOURED = 100;

const char *track_colour(size_t track)
{
	return track < TRACKS_COLOURED ? COLOURS[track % NCOLOURS] : NULL;
}

const char STYLE[] =
    "body{font-family:sans-serif;color:#222;margin:1.5em auto;"
    "max-width:1040px;padding:0 10px}"
    "h1{margin-bottom:0}.day{margin-top:.2em;color:#555}"
    "svg{display:block;width:100%;height:auto}"
    ".profile{background:#eef2f7;border:1px solid #bbb}"
    ".axis{stroke:#555;stroke-width:1}.alabel{font-size:13px;fill:#444}"
    ".pline{fill:none;stroke-width:2.5;stroke-linejoin:round}"
    ".extreme{font-size:13px;fill:#222}"
    ".legend{list-style:none;padding:0}.legend li{display:inline-block;"
    "margin-right:1.5em}.swatch{display:inline-block;width:1.5em;"
    "height:.35em;vertical-align:middle;margin-right:.4em}"
    ".numbers{overflow-x:auto}table{border-collapse:collapse;"
    "margin:.5em 0 1.5em}th,td{border:1px solid #ccc;padding:.25em .5em;"
    "text-align:right;white-space:nowrap}th{text-align:left}"
    "td:first-child{text-align:left;white-space:normal}";

/* The axis ticks of a profile: every step from the first multiple at or
 * above low up to high. */
struct axis {
	double low, high, step;
	int decimals;
};

__attribute__((noinline)) struct axis axis_of(double low, double high,
					      double least_span)
{
	[[maybe_unused]] ieee_rounding guard;
	if (high - low < least_span) {
		double mid = (low + high) / 2;
		low = mid - least_span / 2;
		high = mid + least_span / 2;
	}
	double step = round_step(high - low, 5);
	return axis{low, high, step, decimals_of(step)};
}

/* The profile of a track with elevations: elevation against the distance
 * along it. */
__attribute__((noinline)) void put_profile(struct page *pg,
					   const struct trip_track &t,
					   const char *colour)
{
	[[maybe_unused]] ieee_rounding guard;
	struct axis ax = axis_of(0, t.distance / 1000, 0.1);
	/* Room above the highest point and below the lowest for their
	 * labels. */
	double span = t.max_ele - t.min_ele;
	struct axis ay =
	    axis_of(t.min_ele - 0.1 * span, t.max_ele + 0.12 * span, 20);
	double w = PAGE_PROFILE_WIDTH - PLOT_LEFT - PLOT_RIGHT,
	       h = PAGE_PROFILE_HEIGHT - PLOT_TOP - PLOT_BOTTOM;
	auto px = [&](double km) {
		return PLOT_LEFT + (km - ax.low) / (ax.high - ax.low) * w;
	};
	auto py = [&](double m) {
		return PLOT_TOP + (ay.high - m) / (ay.high - ay.low) * h;
	};
	pg->put("<svg class=\"profile\" xmlns=\"http://www.w3.org/2000/svg\" "
		"viewBox=\"0 0 " +
		std::to_string((int)PAGE_PROFILE_WIDTH) + " " +
		std::to_string((int)PAGE_PROFILE_HEIGHT) +
		"\" role=\"img\" aria-label=\"elevation profile\">\n"
		"<g class=\"axis\">");
	double bottom = PLOT_TOP + h, right = PLOT_LEFT + w;
	pg->put("<line x1=\"");
	pg->tenths(PLOT_LEFT);
	pg->put("\" y1=\"");
	pg->tenths(bottom);
	pg->put("\" x2=\"");
	pg->tenths(right);
	pg->put("\" y2=\"");
	pg->tenths(bottom);
	pg->put("\"/><line x1=\"");
	pg->tenths(PLOT_LEFT);
	pg->put("\" y1=\"");
	pg->tenths(PLOT_TOP);
	pg->put("\" x2=\"");
	pg->tenths(PLOT_LEFT);
	pg->put("\" y2=\"");
	pg->tenths(bottom);
	pg->put("\"/></g>\n<g class=\"alabel\">");
	for (double km = ceil(ax.low / ax.step) * ax.step;
	     km <= ax.high + ax.step * 1e-9; km += ax.step) {
		pg->put("<text text-anchor=\"middle\" x=\"");
		pg->tenths(px(km));
		pg->put("\" y=\"");
		pg->tenths(bottom + 18);
		pg->put("\">");
		pg->number(km, ax.decimals);
		pg->put("</text>");
	}
	for (double m = ceil(ay.low / ay.step) * ay.step;
	     m <= ay.high + ay.step * 1e-9; m += ay.step) {
		pg->put("<text text-anchor=\"end\" x=\"");
		pg->tenths(PLOT_LEFT - 6);
		pg->put("\" y=\"");
		pg->tenths(py(m) + 4);
		pg->put("\">");
		pg->number(m, ay.decimals);
		pg->put("</text>");
	}
	pg->put("<text text-anchor=\"end\" x=\"");
	pg->tenths(right);
	pg->put("\" y=\"");
	pg->tenths(bottom + 38);
	pg->put("\">km</text><text x=\"6\" y=\"");
	pg->tenths(PLOT_TOP + 4);
	pg->put("\">m</text></g>\n<polyline class=\"pline\" stroke=\"");
	pg->put(colour);
	pg->put("\" points=\"");
	const struct trip_point *low = NULL, *high = NULL;
	bool first = true;
	for (const struct trip_point &p : t.kept) {
		if (!p.has_ele)
			continue;
		if (low == NULL || p.ele < low->ele)
			low = &p;
		if (high == NULL || p.ele > high->ele)
			high = &p;
		if (!first)
			pg->put(" ");
		first = false;
		pg->xy(px(p.along / 1000), py(p.ele));
	}
	pg->put("\"/>\n");
	for (const struct trip_point *p : {low, high}) {
		double x = px(p->along / 1000), y = py(p->ele);
		pg->put("<circle r=\"4\" fill=\"#222\" cx=\"");
		pg->tenths(x);
		pg->put("\" cy=\"");
		pg->tenths(y);
		pg->put("\"/><text class=\"extreme\" text-anchor=\"");
		pg->put(x > PLOT_LEFT + w * 0.8 ? "end" : "start");
		pg->put("\" x=\"");
		pg->tenths(x > PLOT_LEFT + w * 0.8 ? x - 8 : x + 8);
		pg->put("\" y=\"");
		pg->tenths(p == high ? y - 8 : y + 18);
		pg->put("\">");
		pg->put(p == high ? "highest " : "lowest ");
		pg->number(p->ele, 0);
		pg->put(" m</text>");
	}
	pg->put("\n</svg>\n");
}

/* The text of a number, or "" without a value. */
std::string value(bool has, double v, int decimals, const char *unit)
{
	char text[TRIP_TEXT_SIZE];
	return has ? std::string(trip_format_fixed(v, decimals, text)) + unit
		   : "";
}

std::string when(bool has, int64_t centis, bool duration)
{
	char text[TRIP_TEXT_SIZE];
	return !has ? ""
	       : duration ? trip_format_duration(centis, text)
			  : trip_format_time(centis, text);
}

/* The numbers of a track, one text a row of the table. */
std::vector<std::string> numbers_of(const struct trip_track &t)
{
	std::vector<std::string> v = {
	    std::to_string(t.points),
	    std::to_string(t.fixless),
	    std::to_string(t.glitches),
	    when(t.has_time, t.start, false),
	    when(t.has_time, t.end, false),
	    when(t.has_time, t.duration, true),
	    when(t.has_time, t.moving, true),
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

/* The numbers of every track, a column each (and the totals' when there
 * are several), a row a number. */
void put_numbers(struct page *pg, const struct trip_log &log)
{
	static const char *const ROWS[] = {
	    "Points",	      "Without a fix",	"Glitches",
	    "Start (UTC)",    "End (UTC)",	"Duration",
	    "Moving time",    "Distance",	"Average moving speed",
	    "Highest speed",  "Lowest elevation", "Highest elevation",
	    "Climb",	      "Descent",	"Raw climb",
	    "Raw descent"};
	if (log.tracks.empty())
		return;
	std::vector<std::vector<std::string>> columns;
	struct trip_track total = {};
	pg->put("<h2>Numbers</h2>\n<div class=\"numbers\"><table>\n<tr>"
		"<th></th>");
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const struct trip_track &t = log.tracks[i];
		pg->put("<th><span class=\"swatch\" style=\"background:");
		pg->put(COLOURS[i % NCOLOURS]);
		pg->put("\"></span>");
		pg->text(t.name);
		pg->put("</th>");
		columns.push_back(numbers_of(t));
		trip_add(&total, &t);
	}
	if (log.tracks.size() > 1) {
		pg->put("<th>All tracks</th>");
		columns.push_back(numbers_of(total));
	}
	pg->put("</tr>\n");
	for (size_t row = 0; row < sizeof ROWS / sizeof ROWS[0]; row++) {
		pg->put("<tr><th>");
		pg->put(ROWS[row]);
		pg->put("</th>");
		for (const std::vector<std::string> &c : columns)
			pg->put("<td>" + c[row] + "</td>");
		pg->put("</tr>\n");
	}
	pg->put("</table></div>\n<p>Distances are geodesics on the WGS84 "
		"ellipsoid; moving time counts the steps faster than 1 km/h; "
		"climb and descent count the changes of at least 10 m between "
		"turning points, the raw sums every change.</p>\n");
}

void put_places(struct page *pg, const struct trip_log &log)
{
	if (!log.waypoints.empty()) {
		pg->put("<h2>Waypoints</h2>\n<table>\n<tr><th>Name</th><th>"
			"Latitude</th><th>Longitude</th></tr>\n");
		for (const struct trip_waypoint &w : log.waypoints) {
			pg->put("<tr><td>");
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
			pg->put("<tr><td>");
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
	pg->put(TRIP_MAP_STYLE);
	pg->put("</style>\n</head>\n<body>\n<h1>");
	pg->text(log.name);
	pg->put("</h1>\n");
	if (!day.empty())
		pg->put("<p class=\"day\">" + day + "</p>\n");
	trip_put_map(pg, log, track_colour);
	pg->put("<ul class=\"legend\">");
	for (size_t i = 0; i < log.tracks.size(); i++) {
		pg->put("<li><span class=\"swatch\" style=\"background:");
		pg->put(COLOURS[i % NCOLOURS]);
		pg->put("\"></span>");
		pg->text(log.tracks[i].name);
		pg->put("</li>");
	}
	if (!log.routes.empty())
		pg->put("<li>- - - routes</li>");
	pg->put("</ul>\n");
	trip_put_map_link(pg, log);
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const struct trip_track &t = log.tracks[i];
		if (!t.has_ele)
			continue;
		pg->put("<h2>Elevation: ");
		pg->text(t.name);
		pg->put("</h2>\n");
		put_profile(pg, t, COLOURS[i % NCOLOURS]);
	}
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
