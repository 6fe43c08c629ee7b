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
#include "profile.h"
#include "trip.h"

namespace {

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

/* How the numbers are found, in short (trkinfo's manual page says it in
 * full). */
const char NUMBERS_NOTE[] =
    "<p>Distances are geodesics on the WGS84 ellipsoid between the points "
    "that move: a step moves when the way made good over ten seconds is "
    "faster than 1 km/h, so a standing receiver's jitter adds nothing. "
    "Glitches, points the track cannot have reached at its own pace, are "
    "left out. The highest speed is kept up for at least 30 s. Climb and "
    "descent count the rises and falls that the altitudes' own noise, "
    "measured in the track, cannot make; the raw sums count every "
    "change.</p>\n";

/* Numbers of this magnitude and beyond are no reading (and more digits
 * than trip_format_fixed() writes): the tables leave them out. */
const double NUMBER_LIMIT = 1e40;

}  // namespace

const char TRIP_PAGE_STYLE[] =
    "body{font-family:sans-serif;color:#222;margin:1.5em auto;"
    "max-width:1040px;padding:0 10px}"
    "h1{margin-bottom:0}.day{margin-top:.2em;color:#555}"
    "h1,h2{overflow:hidden;text-overflow:ellipsis;white-space:nowrap}"
    "svg{display:block;width:100%;height:auto}"
    ".profile{background:#eef2f7;border:1px solid #bbb}"
    ".profile text{font-family:\"DejaVu Sans\",\"Liberation Sans\",Arial,"
    "Helvetica,sans-serif}"
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
    ".more{overflow-wrap:anywhere}";

namespace {

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
	pg->put(NUMBERS_NOTE);
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

/* The names of the waypoints after the first rows, which have none of
 * their own, so that a log of tens of thousands still names them all. */
void put_more_waypoints(struct page *pg, const struct trip_log &log,
			size_t rows)
{
	if (rows == log.waypoints.size())
		return;
	pg->put("<p class=\"more\">" +
		std::to_string(log.waypoints.size() - rows) +
		" more waypoints (their places are in trkexport gpx): ");
	for (size_t i = rows; i < log.waypoints.size(); i++) {
		if (i > rows)
			pg->put(", ");
		pg->text(log.waypoints[i].name);
	}
	pg->put("</p>\n");
}

void put_places(struct page *pg, const struct trip_log &log)
{
	if (!log.waypoints.empty()) {
		pg->put("<h2>Waypoints</h2>\n<table>\n<tr><th>Name</th><th>"
			"Latitude</th><th>Longitude</th></tr>\n");
		size_t rows = std::min(log.waypoints.size(),
				       (size_t)PAGE_WAYPOINT_ROWS);
		for (size_t i = 0; i < rows; i++) {
			const struct trip_waypoint &w = log.waypoints[i];
			pg->put("<tr><td class=\"name\">");
			pg->text(w.name);
			pg->put("</td><td>");
			pg->number(w.lat, 6);
			pg->put("</td><td>");
			pg->number(w.lon, 6);
			pg->put("</td></tr>\n");
		}
		pg->put("</table>\n");
		put_more_waypoints(pg, log, rows);
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
	pg->put(TRIP_PAGE_STYLE);
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
		pg->put(swatch_colour(i));
		pg->put("\"></span>");
		pg->text(log.tracks[i].name);
		pg->put("</li>");
	}
	if (!log.routes.empty())
		pg->put("<li>- - - routes</li>");
	pg->put("</ul>\n");
	trip_put_map_link(pg, log);
	put_profiles(pg, log);
	put_numbers(pg, log);
	put_places(pg, log);
	pg->put("</body>\n</html>\n");
}

}  // namespace

const char *page_colour(size_t i)
{
	return COLOURS[i % NCOLOURS];
}

int trip_read_page(const struct pdb *db, struct trip_log *log)
{
	try {
		if (trip_read(db, log) < 0)
			throw std::bad_alloc();
		show_tracks(log);
	} catch (const std::bad_alloc &) {
		fprintf(stderr, "trip_write_page: out of memory\n");
		return -1;
	}
	return 0;
}

int trip_write_page_of(const struct trip_log &log, int fd)
{
	struct page pg;
	try {
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

int trip_write_page(struct pdb *db, int fd)
{
	struct trip_log log;
	if (trip_read_page(db, &log) < 0)
		return -1;
	return trip_write_page_of(log, fd);
}
