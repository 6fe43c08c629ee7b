// SPDX-License-Identifier: MIT
// The map of a trip measured on its SVG: segments, the poles, the
// antimeridian, the whole world and the smallest trip, against what the
// ground truly holds (geodesics from GeographicLib).
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include <GeographicLib/Geodesic.hpp>

#include "drawing.h"
#include "map.h"
#include "page.h"
#include "trip.h"

namespace {

const char *red(size_t)
{
	return "#d7301f";
}

struct trip_point at(double lat, double lon, bool starts_segment = false)
{
	struct trip_point p = {};
	p.lat = lat;
	p.lon = lon;
	p.starts_segment = starts_segment;
	return p;
}

struct trip_log
log_of(const std::vector<std::vector<struct trip_point>> &tracks,
       const std::vector<struct trip_waypoint> &waypoints = {})
{
	struct trip_log log;
	log.name = "log";
	for (const auto &kept : tracks) {
		struct trip_track t = {};
		t.name = "track";
		t.kept = kept;
		log.tracks.push_back(t);
	}
	log.waypoints = waypoints;
	return log;
}

std::string map_of(const struct trip_log &log)
{
	struct page pg;
	trip_put_map(&pg, log, red);
	return pg.html;
}

// The value of attribute name in the element that starts at from.
std::string attr(const std::string &svg, size_t from, const std::string &name)
{
	size_t end = svg.find('>', from);
	size_t at = svg.find(" " + name + "=\"", from);
	if (at == std::string::npos || at > end)
		return "";
	at += name.size() + 3;
	return svg.substr(at, svg.find('"', at) - at);
}

// The starts of the elements that begin with head.
std::vector<size_t> elements(const std::string &svg, const std::string &head)
{
	std::vector<size_t> v;
	for (size_t at = svg.find(head); at != std::string::npos;
	     at = svg.find(head, at + 1))
		v.push_back(at);
	return v;
}

using Points = std::vector<std::pair<double, double>>;

Points points_of(const std::string &text)
{
	Points v;
	const char *s = text.c_str();
	while (*s != '\0') {
		char *end;
		double x = strtod(s, &end);
		double y = strtod(end + 1, &end);
		v.emplace_back(x, y);
		s = *end == ' ' ? end + 1 : end;
	}
	return v;
}

// The track lines of the map.
std::vector<Points> tracks_of(const std::string &svg)
{
	std::vector<Points> v;
	for (size_t at : elements(svg, "<polyline class=\"trk\""))
		v.push_back(points_of(attr(svg, at, "points")));
	return v;
}

double length_of(const Points &p)
{
	double sum = 0;
	for (size_t i = 1; i < p.size(); i++)
		sum += hypot(p[i].first - p[i - 1].first,
			     p[i].second - p[i - 1].second);
	return sum;
}

// Metres a view box unit, as the scale bar tells.
double metres_per_unit(const std::string &svg)
{
	size_t line = svg.find("<line class=\"scale\"");
	size_t text = svg.find("class=\"slabel\"");
	if (line == std::string::npos || text == std::string::npos)
		return 0;
	double units = atof(attr(svg, line, "x2").c_str()) -
		       atof(attr(svg, line, "x1").c_str());
	size_t value = svg.find('>', text) + 1;
	double length = atof(svg.c_str() + value);
	bool km = svg.compare(svg.find(' ', value), 4, " km<") == 0;
	return length * (km ? 1000 : 1) / units;
}

// The graticule's labels of latitude and longitude.
void grid_labels(const std::string &svg, int *latitudes, int *longitudes)
{
	*latitudes = *longitudes = 0;
	for (size_t at : elements(svg, "<text class=\"glabel\"")) {
		size_t end = svg.find("</text>", at);
		char side = svg[end - 1];
		*latitudes += side == 'N' || side == 'S';
		*longitudes += side == 'E' || side == 'W';
	}
}

double geodesic(double lat1, double lon1, double lat2, double lon2)
{
	double s;
	GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s);
	return s;
}

// No line is drawn across a segment's start: a line for each segment.
TEST(Map, SegmentsAreLinesOfTheirOwn)
{
	std::string svg = map_of(
	    log_of({{at(47.0, 10.0), at(47.001, 10.0), at(47.5, 10.5, true),
		     at(47.501, 10.5), at(47.502, 10.5)}}));
	std::vector<Points> lines = tracks_of(svg);
	ASSERT_EQ(lines.size(), 2u) << svg;
	EXPECT_EQ(lines[0].size(), 2u);
	EXPECT_EQ(lines[1].size(), 3u);
}

const char *first_only(size_t track)
{
	return track == 0 ? "#d7301f" : NULL;
}

// Tracks without a colour of their own share one path, a subpath for
// each segment and a dot for a lone point, with no marks at their ends.
TEST(Map, OtherTracksShareOnePath)
{
	struct trip_log log =
	    log_of({{at(47.0, 10.0), at(47.01, 10.0)},
		    {at(47.02, 10.0)},
		    {at(47.03, 10.0), at(47.04, 10.0), at(47.05, 10.0, true)}});
	struct page pg;
	trip_put_map(&pg, log, first_only);
	const std::string &svg = pg.html;
	EXPECT_EQ(tracks_of(svg).size(), 1u);
	std::vector<size_t> others = elements(svg, "<path class=\"others\"");
	ASSERT_EQ(others.size(), 1u) << svg;
	std::string d = attr(svg, others[0], "d");
	size_t moves = 0, lines = 0, dots = 0;
	for (size_t i = 0; i < d.size(); i++) {
		moves += d[i] == 'M';
		lines += d[i] == 'L';
		dots += d.compare(i, 2, "h0") == 0;
	}
	EXPECT_EQ(moves, 3u) << d;
	EXPECT_EQ(lines, 1u) << d;
	EXPECT_EQ(dots, 2u) << d;
	EXPECT_EQ(elements(svg, "<title>start</title>").size(), 1u);
}

// Around the pole and towards it: a circle stays a circle, and a track's
// length against the scale bar is its length on the ground.
TEST(Map, PolesAreDrawnTrue)
{
	std::vector<struct trip_point> circle, north, south;
	for (int i = 0; i <= 72; i++)
		circle.push_back(at(89.5, -180.0 + 5 * (i % 72)));
	for (int i = 0; i <= 53; i++)
		north.push_back(at(84.0 + 0.1 * i, 30.0));
	for (int i = 0; i <= 50; i++)
		south.push_back(at(-80.0 - 0.2 * i, -60.0 + 0.4 * i));
	struct Row {
		const char *what;
		std::vector<std::vector<struct trip_point>> tracks;
	} rows[] = {
	    {"circle at 89.5N", {circle}},
	    {"to 89.3N", {north}},
	    {"both", {circle, north}},
	    {"towards the south pole", {south}},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		std::string svg = map_of(log_of(r.tracks));
		std::vector<Points> lines = tracks_of(svg);
		ASSERT_EQ(lines.size(), r.tracks.size());
		double scale = metres_per_unit(svg);
		ASSERT_GT(scale, 0) << svg;
		for (size_t t = 0; t < lines.size(); t++) {
			const auto &kept = r.tracks[t];
			double truth = 0;
			for (size_t i = 1; i < kept.size(); i++)
				truth +=
				    geodesic(kept[i - 1].lat, kept[i - 1].lon,
					     kept[i].lat, kept[i].lon);
			EXPECT_NEAR(length_of(lines[t]) * scale / truth, 1.0,
				    0.05)
			    << "track " << t;
			if (kept[0].lat != 89.5)
				continue;
			double cx = 0, cy = 0;
			for (size_t i = 0; i + 1 < lines[t].size(); i++) {
				cx += lines[t][i].first;
				cy += lines[t][i].second;
			}
			cx /= (double)(lines[t].size() - 1);
			cy /= (double)(lines[t].size() - 1);
			double low = 1e9, high = 0;
			for (const auto &p : lines[t]) {
				double d = hypot(p.first - cx, p.second - cy);
				low = std::min(low, d);
				high = std::max(high, d);
			}
			EXPECT_GT(low, 10.0);
			EXPECT_LT(high / low, 1.02) << low << " " << high;
		}
	}
}

// Anywhere and of any size: a graticule with at least two labelled lines
// each way, every coordinate finite and on the map, no line across it.
TEST(Map, AnyPlaceAnySize)
{
	std::vector<struct trip_point> tiny, half_world, across, spread;
	for (int i = 0; i < 10; i++)
		tiny.push_back(at(47.42 + i * 4e-6, 10.98 + i * 4e-6));
	for (int i = 0; i <= 120; i++)
		half_world.push_back(at(-60.0 + i, -170.0 + 2.5 * i));
	for (int i = 0; i < 20; i++)
		across.push_back(at(-17.0 + 0.01 * i, -179.9 - 0.01 * i));
	for (double lat : {-90.0, 0.0, 90.0})
		for (double lon : {-180.0, -90.0, 0.0, 90.0, 180.0})
			spread.push_back(at(lat, lon));
	// short: every step of the track is short on the ground, and so
	// on the map.
	struct Row {
		const char *what;
		struct trip_log log;
		bool short_steps;
	} rows[] = {
	    {"5 m", log_of({tiny}), true},
	    {"20,000 km", log_of({half_world}), true},
	    {"across the antimeridian", log_of({across}), true},
	    {"London, New York, Tokyo",
	     log_of({}, {{51.5074, -0.1278, "London"},
			 {40.7128, -74.006, "New York"},
			 {35.6762, 139.6503, "Tokyo"}}),
	     true},
	    {"every corner of the globe", log_of({spread}), false},
	    {"antipodes", log_of({{at(10, 20), at(-10, -160)}}), false},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		std::string svg = map_of(r.log);
		int latitudes, longitudes;
		grid_labels(svg, &latitudes, &longitudes);
		EXPECT_GE(latitudes, 2) << svg;
		EXPECT_GE(longitudes, 2) << svg;
		EXPECT_EQ(svg.find("nan"), std::string::npos);
		EXPECT_EQ(svg.find("inf"), std::string::npos);
		for (const Points &line : tracks_of(svg)) {
			for (const auto &p : line) {
				EXPECT_TRUE(p.first >= 0 &&
					    p.first <= PAGE_MAP_WIDTH &&
					    p.second >= 0 &&
					    p.second <= PAGE_MAP_HEIGHT)
				    << p.first << "," << p.second;
			}
			for (size_t i = 1; r.short_steps && i < line.size();
			     i++)
				EXPECT_LT(
				    hypot(line[i].first - line[i - 1].first,
					  line[i].second - line[i - 1].second),
				    PAGE_MAP_WIDTH / 4.0);
		}
	}
	std::string world = map_of(rows[3].log);
	for (const char *name : {">London<", ">New York<", ">Tokyo<"})
		EXPECT_NE(world.find(name), std::string::npos) << name;
}

}  // namespace
