// SPDX-License-Identifier: MIT
// The numbers of synthetic trips against numbers from an independent
// source: the distances are GeographicLib's GeodSolve (geographiclib-tools,
// "GeodSolve -i -p 9"), the other numbers are worked out by hand.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "pdb.h"
#include "trip.h"
#include "tripsim.h"

namespace {

// "$PMGNTRK" of a point: minutes of latitude north of 0 and of longitude
// east of 0, altitude and unit, seconds of the day, fix, track, date.
std::string point(double lat_min, double lon_min, const std::string &alt,
		  long secs, const char *fix = "A", const char *track = "",
		  const char *unit = "M", const char *date = "140826")
{
	char when[16] = "";
	if (secs >= 0)
		snprintf(when, sizeof when, "%02ld%02ld%02ld.00",
			 secs / 3600 % 24, secs / 60 % 60, secs % 60);
	return tripsim_sentence(llround(lat_min * 10000),
				llround(lon_min * 10000), alt, unit, when, fix,
				track, date);
}

// Uniform whole metres from -3 to 3, the same every run.
struct Noise {
	unsigned long state = 12345;
	int next()
	{
		state = state * 1103515245 + 12345;
		return (int)(state >> 16 & 0x7FFF) % 7 - 3;
	}
};

// A walk due north along 10 degrees east from 47 degrees, 0.001 degree
// (0.06') a minute, at 500 m; change may alter each point.
std::vector<std::string> walk(
    std::function<std::string(int, std::string)> change = nullptr)
{
	std::vector<std::string> texts;
	for (int i = 0; i <= 100; i++) {
		std::string p = point(47 * 60 + i * 0.06, 600, "00500",
				      7 * 3600 + i * 60);
		texts.push_back(change ? change(i, p) : p);
	}
	return texts;
}

// Elevations along a line due north, 0.01' (18.5 m) each 10 s.
std::vector<std::string> profile(const std::vector<int> &elevations)
{
	std::vector<std::string> texts;
	for (size_t i = 0; i < elevations.size(); i++)
		texts.push_back(point(47 * 60 + i * 0.01, 600,
				      std::to_string(elevations[i]),
				      8 * 3600 + (long)i * 10));
	return texts;
}

// Ten hills of 30 m, six fixes each, as a fix a minute logs rolling
// ground: no noise at all.
std::vector<int> short_hills()
{
	std::vector<int> e;
	for (int hill = 0; hill < 10; hill++)
		for (int v : {500, 508, 522, 530, 522, 508})
			e.push_back(v);
	e.push_back(500);
	return e;
}

// A drive due north at 0.0108' (20 m) a second for 400 s, through two
// tunnels of a minute with three fixes between them; the first fix after
// each tunnel 0.237' (300 m) east.
std::vector<std::string> two_tunnels()
{
	std::vector<std::string> texts;
	for (int i = 0; i <= 400; i++) {
		if ((i >= 100 && i < 160) || (i >= 163 && i < 223))
			continue;
		double east = i == 160 || i == 223 ? 0.237 : 0;
		texts.push_back(point(47 * 60 + i * 0.0108, 600 + east, "00500",
				      7 * 3600 + i));
	}
	return texts;
}

struct Want {
	size_t tracks, points, fixless, glitches;
	double distance; // metres, to 0.01
	double duration, moving; // seconds
	double climb, climb_slack, descent;
	double min_ele, max_ele;
};

double low(const std::vector<int> &v)
{
	return *std::min_element(v.begin(), v.end());
}

double high(const std::vector<int> &v)
{
	return *std::max_element(v.begin(), v.end());
}

// Reads the log of the record texts into *log: trip_read()'s result.
int read_log(const std::vector<std::string> &texts, struct trip_log *log)
{
	struct pdb *db = tripsim_log(texts);
	int status = trip_read(db, log);
	free_pdb(db);
	return status;
}

TEST(Trip, SyntheticTracks)
{
	Noise noise;
	std::vector<int> flat, ramp, hills;
	for (int i = 0; i < 300; i++)
		flat.push_back(500 + noise.next());
	for (int i = 0; i <= 500; i++)
		ramp.push_back(1000 + i + noise.next());
	for (int hill = 0; hill < 10; hill++)
		for (int i = 0; i < 40; i++)
			hills.push_back(700 + (i < 20 ? i : 40 - i));
	hills.push_back(700);
	// Out 10 steps of 0.0162' (30.016 m) a second, and back.
	std::vector<std::string> uturn;
	for (int i = 0; i <= 20; i++)
		uturn.push_back(point(47 * 60 + (i <= 10 ? i : 20 - i) * 0.0162,
				      600, "", 9 * 3600 + i));
	// 1.35' (2488 m) of latitude every 10 s, straight on: 249 m/s.
	std::vector<std::string> flight;
	for (int i = 0; i <= 25; i++)
		flight.push_back(point(i * 1.35, 600, "10000", 10 * 3600 + i * 10));
	const double WALK = 11117.181673317;	 // 47 10 47.1 10
	const double FLIGHT = 62198.050215084;	 // 0 10 0.5625 10
	const double UTURN = 2 * 300.161343158; // 47 10 47.0027 10
	struct Row {
		const char *what;
		std::vector<std::string> texts;
		Want want;
	} rows[] = {
	    {"a walk due north along a meridian", walk(),
	     {1, 101, 0, 0, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"a point displaced by 5 km east",
	     walk([](int i, std::string p) {
		     return i == 50 ? point(47 * 60 + 3, 604, "00500",
					    7 * 3600 + 50 * 60)
				    : p;
	     }),
	     {1, 101, 0, 1, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"a flight at 249 m/s, a point every 10 s", flight,
	     {1, 26, 0, 0, FLIGHT, 250, 250, 0, 0, 0, 10000, 10000}},
	    {"a car's U-turn at 30 m/s", uturn,
	     {1, 21, 0, 0, UTURN, 20, 20, 0, 0, 0, 0, 0}},
	    {"points without a fix or a place",
	     walk([](int i, std::string p) {
		     if (i == 10 || i == 11)
			     p.replace(p.find(",A,"), 3, ",V,");
		     return i == 12 ? p.replace(9, 2, "91") : p;
	     }),
	     {1, 101, 3, 0, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"altitudes no receiver reports, high and deep",
	     walk([](int i, std::string p) {
		     return i == 20 || i == 70
				? p.replace(p.find("00500"), 5,
					    i == 20 ? "3.4e38" : "-1200")
				: p;
	     }),
	     {1, 101, 0, 0, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"flat with noise of -3 to 3 m", profile(flat),
	     {1, 300, 0, 0, 5540.037820945, 2990, 2990, 0, 10, 0, low(flat),
	      high(flat)}}, // 47 10 47.0498333333333 10
	    {"a 500 m ramp with the same noise", profile(ramp),
	     {1, 501, 0, 0, 9264.304517030, 5000, 5000, 500, 10, 0, low(ramp),
	      high(ramp)}}, // 47 10 47.083333333333 10
	    {"ten hills of 20 m", profile(hills),
	     {1, 401, 0, 0, 7411.432778199, 4000, 4000, 200, 0, 200, 700,
	      720}}, // 47 10 47.066666666667 10
	    // Faults found by trying to break the numbers.
	    {"the first time a day early, as a receiver's stale clock gives",
	     walk([](int i, std::string p) {
		     return i == 0 ? point(47 * 60, 600, "00500", 7 * 3600, "A",
					   "", "M", "130826")
				   : p;
	     }),
	     {1, 101, 0, 0, WALK, 5940, 5940, 0, 0, 0, 500, 500}},
	    {"the last time a day late",
	     walk([](int i, std::string p) {
		     return i == 100 ? point(47 * 60 + 6, 600, "00500",
					     7 * 3600 + 6000, "A", "", "M",
					     "150826")
				     : p;
	     }),
	     {1, 101, 0, 0, WALK, 5940, 5940, 0, 0, 0, 500, 500}},
	    {"two times in a row a day late",
	     walk([](int i, std::string p) {
		     return i == 50 || i == 51
				? point(47 * 60 + i * 0.06, 600, "00500",
					7 * 3600 + i * 60, "A", "", "M",
					"150826")
				: p;
	     }),
	     {1, 101, 0, 0, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"a night without dates, 23:10 to 00:50",
	     walk([](int i, std::string p) {
		     (void)p;
		     return point(47 * 60 + i * 0.06, 600, "00500",
				  (23 * 3600 + 600 + i * 60) % 86400, "A", "",
				  "M", "");
	     }),
	     {1, 101, 0, 0, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"a time on every third point only",
	     walk([](int i, std::string p) {
		     return i % 3 == 0 ? p
				       : point(47 * 60 + i * 0.06, 600, "00500",
					       -1, "A", "", "M", "");
	     }),
	     {1, 101, 0, 0, WALK, 5940, 5940, 0, 0, 0, 500, 500}},
	    {"a 2D fix whose altitude is 0",
	     walk([](int i, std::string p) {
		     return i == 50 ? p.replace(p.find("00500"), 5, "00000")
				    : p;
	     }),
	     {1, 101, 0, 0, WALK, 6000, 6000, 0, 10, 0, 500, 500}},
	    {"a point 5 km east, second in the log",
	     walk([](int i, std::string p) {
		     return i == 1 ? point(47 * 60 + 0.06, 604, "00500",
					   7 * 3600 + 60)
				   : p;
	     }),
	     {1, 101, 0, 1, WALK, 6000, 6000, 0, 0, 0, 500, 500}},
	    {"a fix 300 m off after each of two tunnels 3 s apart",
	     two_tunnels(),
	     {1, 281, 0, 2, 8004.351145194, 400, 400, 0, 0, 0, 500,
	      500}}, // 47 10 47.072 10
	    {"ten 30 m hills of six fixes each, no noise",
	     profile(short_hills()),
	     {1, 61, 0, 0, 1111.709390327, 600, 600, 300, 30, 300, 500,
	      530}}, // 47 10 47.01 10
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		struct trip_log log;
		ASSERT_EQ(read_log(r.texts, &log), 0);
		ASSERT_EQ(log.tracks.size(), r.want.tracks);
		const struct trip_track &t = log.tracks[0];
		EXPECT_EQ(t.name, "log");
		EXPECT_EQ(t.points, r.want.points);
		EXPECT_EQ(t.fixless, r.want.fixless);
		EXPECT_EQ(t.glitches, r.want.glitches);
		EXPECT_NEAR(t.distance, r.want.distance, 0.01);
		EXPECT_EQ(t.duration, (int64_t)(r.want.duration * 100));
		EXPECT_EQ(t.moving, (int64_t)(r.want.moving * 100));
		EXPECT_NEAR(t.climb, r.want.climb, r.want.climb_slack);
		EXPECT_NEAR(t.descent, r.want.descent, r.want.climb_slack);
		EXPECT_EQ(t.has_ele, r.want.max_ele > 0);
		if (t.has_ele) {
			EXPECT_EQ(t.min_ele, r.want.min_ele);
			EXPECT_EQ(t.max_ele, r.want.max_ele);
		}
	}
}

// What the others leave out: feet, timeless and elevation-less points,
// named tracks, a night without dates, routes; and the empty log.
TEST(Trip, UnitsTracksTimesAndRoutes)
{
	std::vector<std::string> texts = {
	    "$PMGNWPL,4700.000,N,01000.000,E,0,M,A,,a*00",
	    "$PMGNWPL,4706.000,N,01000.000,E,0,M,B,,a*00",
	    "$PMGNRTE,1,1,c,5,Up,A,a,B,a,Gone,a*00",
	    point(47 * 60, 600, "1000", 23 * 3600 + 59 * 60 + 50, "A", "",
		  "F", ""),
	    point(47 * 60 + 0.06, 600, "", -1, "A", "", "M", ""),
	    point(47 * 60 + 0.12, 600, "2000", 23 * 3600 + 59 * 60 + 55, "A",
		  "", "F", ""),
	    point(47 * 60 + 0.18, 600, "1500", 5, "A", "", "F", ""),
	    point(47 * 60 + 0.24, 600, "1500", 10, "A", "Day 2", "F", ""),
	    point(47 * 60 + 0.30, 600, "1500", 20, "A", "Day 2", "F", ""),
	};
	struct pdb *db = tripsim_log(texts);
	struct trip_log log;
	ASSERT_EQ(trip_read(db, &log), 0);
	free_pdb(db);
	ASSERT_EQ(log.tracks.size(), 2u);
	const struct trip_track &a = log.tracks[0], &b = log.tracks[1];
	EXPECT_EQ(a.name, "log");
	EXPECT_EQ(b.name, "Day 2");
	EXPECT_EQ(a.points, 4u);
	EXPECT_NEAR(a.distance, 3 * 111.170938, 0.01); // 47 10 47.001 10
	// 23:59:50, 23:59:55, then 00:00:05 of no date: that step adds none.
	EXPECT_EQ(a.duration, 500);
	EXPECT_EQ(a.min_ele, 304.8);
	EXPECT_EQ(a.max_ele, 609.6);
	EXPECT_NEAR(a.raw_climb, 304.8, 1e-9);
	EXPECT_NEAR(a.raw_descent, 152.4, 1e-9);
	EXPECT_EQ(b.duration, 1000);
	ASSERT_EQ(log.waypoints.size(), 2u);
	ASSERT_EQ(log.routes.size(), 1u);
	EXPECT_EQ(log.routes[0].number, 5u);
	EXPECT_EQ(log.routes[0].name, "Up");
	EXPECT_EQ(log.routes[0].points.size(), 2u);
	EXPECT_NEAR(log.routes[0].length, 11117.181673317, 0.01);

	struct trip_track total = {};
	trip_add(&total, &a);
	trip_add(&total, &b);
	EXPECT_EQ(total.points, 6u);
	EXPECT_EQ(total.duration, 1500);
	EXPECT_NEAR(total.distance, a.distance + b.distance, 1e-9);

	db = tripsim_log({});
	ASSERT_EQ(trip_read(db, &log), 0);
	free_pdb(db);
	ASSERT_EQ(log.tracks.size(), 1u);
	EXPECT_EQ(log.tracks[0].points, 0u);
	EXPECT_FALSE(log.tracks[0].has_distance || log.tracks[0].has_time ||
		     log.tracks[0].has_ele);
}

// Where segments start among the points kept: the first kept point of a
// segment after the first, passed on past points without a fix or a place.
TEST(Trip, SegmentStartsOnTheFirstPointKept)
{
	// A point of the track named name ("" for none); fix "V" or "no
	// place" leaves it out.
	auto pt = [](const char *name, const char *fix = "A") {
		static int n = 0;
		std::string p =
		    point(47 * 60 + n++ * 0.01, 600, "500", 3600, "A", name);
		if (strcmp(fix, "V") == 0)
			p.replace(p.find(",A,"), 3, ",V,");
		else if (strcmp(fix, "no place") == 0)
			p.replace(9, 2, "91");
		return p;
	};
	struct Row {
		const char *what;
		std::vector<std::string> texts;
		// each track: its name, then 1 or 0 for each point kept
		std::string want;
	} rows[] = {
	    {"every point named: one segment",
	     {pt("T"), pt("T"), pt("T")}, "T 000"},
	    {"three segments", {pt("T"), pt(""), pt("T"), pt(""), pt("T")},
	     "T 00101"},
	    {"a start without a fix passes to the next point kept",
	     {pt("T"), pt(""), pt("T", "V"), pt("", "no place"), pt(""),
	      pt("")},
	     "T 0010"},
	    {"a segment with none kept: the next segment starts",
	     {pt("T"), pt(""), pt("T", "V"), pt("", "V"), pt("T"), pt("")},
	     "T 0010"},
	    {"a new track takes no start left over",
	     {pt("T"), pt(""), pt("T", "V"), pt("U"), pt("")}, "T 00 U 00"},
	    {"the database's name after nameless points: a track of its own",
	     {pt(""), pt("log"), pt(""), pt("log")}, "log 0 log 001"},
	};
	for (const Row &r : rows) {
		SCOPED_TRACE(r.what);
		struct trip_log log;
		ASSERT_EQ(read_log(r.texts, &log), 0);
		std::string got;
		for (const struct trip_track &t : log.tracks) {
			got += (got.empty() ? "" : " ") + t.name + " ";
			for (const struct trip_point &p : t.kept)
				got += p.starts_segment ? '1' : '0';
		}
		EXPECT_EQ(got, r.want);
	}
}

TEST(Trip, Formats)
{
	char text[TRIP_TEXT_SIZE];
	EXPECT_STREQ(trip_format_time(178669332525LL, text),
		     "2026-08-14T07:42:05.25Z");
	EXPECT_STREQ(trip_format_duration(0, text), "0:00:00");
	EXPECT_STREQ(trip_format_duration(362949, text), "1:00:29");
	EXPECT_STREQ(trip_format_duration(36000000, text), "100:00:00");
}

}  // namespace
