// SPDX-License-Identifier: MIT
// The numbers of simulated trips against the truth of their paths, with
// the faults of real receivers laid on: one row per case, several seeds
// each.  A failure names the case, the seed, the number, its truth and the
// value found.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "trip.h"
#include "tripsim.h"

namespace {

const int SEEDS = 5;
const double DAY = 86400;

enum Number { DISTANCE, DURATION, MOVING, HIGHEST, AVERAGE, CLIMB, GLITCHES };

struct Check {
	Number number;
	double below, above; // the allowed span around the truth
	bool percent;	     // of the truth; else in the number's unit
};

Check pct(Number n, double below, double above)
{
	return Check{n, below, above, true};
}
Check pct(Number n, double both) { return pct(n, -both, both); }
Check units(Number n, double below, double above)
{
	return Check{n, below, above, false};
}

// Every point is kept and the distance is right.
const std::vector<Check> KEEP = {units(GLITCHES, 0, 0), pct(DISTANCE, 1)};
// Every bad fix and no other is a glitch; the numbers as if it were not.
const std::vector<Check> BAD_FIXES = {units(GLITCHES, 0, 0), pct(DISTANCE, 3),
				      pct(HIGHEST, -10, 20)};
const std::vector<Check> WHOLE_SECONDS = {pct(DISTANCE, 3), pct(MOVING, 10),
					  pct(HIGHEST, -15, 20),
					  pct(AVERAGE, 10)};
const std::vector<Check> KEEP_CLIMB = {units(GLITCHES, 0, 0), pct(DISTANCE, 1),
				       units(CLIMB, -10, 10)};

struct Case {
	const char *name;
	sim_path path;
	sim_faults faults;
	std::vector<Check> checks;
};

sim_faults every(double seconds) { return sim_faults().every(seconds); }
// A fix every so many seconds, wandering as a receiver's do: what a stop
// shows, and next to nothing on the move but on a 1 s walk.
sim_faults jittery(double seconds) { return every(seconds).jittered(2.5); }

std::vector<sim_leg> operator+(std::vector<sim_leg> a,
			       const std::vector<sim_leg> &b)
{
	a.insert(a.end(), b.begin(), b.end());
	return a;
}

sim_path of(const std::vector<sim_leg> &legs, double heading = 30,
	    double ele = 500)
{
	sim_path p;
	p.legs = legs;
	p.heading = heading;
	p.ele = ele;
	return p;
}

sim_path flight()
{
	return of({sim_straight(900, 600), {90, 900, 90, 0},
		   sim_straight(900, 600), {60, 900, -45, 0},
		   sim_straight(900, 450)},
		  30, 10000);
}

sim_path uturn()
{
	return of({sim_straight(90, 60), {8, 30, 180, 0}, sim_straight(90, 60)});
}

sim_path ferry()
{
	std::vector<sim_leg> wait = {sim_straight(0, 180)};
	return of(sim_moving(5, 600) + wait + std::vector<sim_leg>{
		      sim_straight(40, 900)} + wait + sim_moving(5, 600));
}

// East, 400 m north and back between two fixes 5 minutes apart, east.
sim_path excursion()
{
	return of({sim_straight(4.8, 1800), {2, 4.8, -90, 0},
		   sim_straight(4.8, 298), {4, 4.8, 180, 0},
		   sim_straight(4.8, 296), {2, 4.8, 90, 0},
		   sim_straight(4.8, 1798)},
		  90);
}

// 8 minutes, a straight tunnel from 490 s to 670 s, 8 minutes.
sim_path tunnel()
{
	return of(std::vector<sim_leg>{sim_straight(0, 10)} +
		  sim_moving(100, 480) +
		  std::vector<sim_leg>{sim_straight(100, 180)} +
		  sim_moving(100, 480));
}

// count courses, each a jump of gap_km an hour on from the last.
sim_path segments(double kmh, double minutes, int count, double gap_km)
{
	sim_path p = sim_course(kmh, minutes);
	for (int i = 1; i < count; i++)
		p.legs = p.legs + std::vector<sim_leg>{{3600, 0, 0, gap_km}} +
			 sim_course(kmh, minutes).legs;
	return p;
}

const std::vector<Case> &cases()
{
	static const std::vector<Case> table = {
	    {"a 1 s walk with a 10-minute stop", sim_course(5, 40, 10),
	     jittery(1),
	     {pct(DISTANCE, 6), pct(MOVING, 10), pct(HIGHEST, -20, 40)}},
	    {"a 1 s walk with 4 single fixes 150 m off", sim_course(5, 40),
	     every(1).spiked(4, 1, 150), BAD_FIXES},
	    {"a 1 s walk with 5 runs of 1-3 fixes 300 m off", sim_course(5, 40),
	     every(1).spiked(5, 3, 300), BAD_FIXES},
	    {"a 1 s drive with 5 runs of 1-3 fixes 400 m off",
	     sim_course(100, 20), jittery(1).spiked(5, 3, 400), BAD_FIXES},
	    {"a 1 s walk whose first fix is 1383 km off", sim_course(5, 40),
	     every(1).stale_start(1, 1383), BAD_FIXES},
	    {"a 1 s drive whose first 2 fixes are 30 km off",
	     sim_course(100, 10), jittery(1).stale_start(2, 30), BAD_FIXES},
	    {"a ride every 5 s whose first 3 fixes are 50 km off",
	     sim_course(20, 30), jittery(5).stale_start(3, 50), BAD_FIXES},
	    {"a 1 s drive, a fix 1 km off after a 3-minute tunnel", tunnel(),
	     jittery(1).tunnel(490, 180, 1000), BAD_FIXES},
	    {"two 2 km walks in segments 100 km apart", segments(5, 24, 2, 100),
	     every(1), {pct(DISTANCE, 3)}},
	    {"a drive in 3 segments 30 km apart", segments(100, 15, 3, 30),
	     jittery(1), {pct(DISTANCE, 3)}},
	    {"a 4 Hz walk with a stop, whole-second stamps",
	     sim_course(5, 20, 2), every(0.25).stamps_in_seconds(),
	     WHOLE_SECONDS},
	    {"a 2 Hz walk with a stop, whole-second stamps",
	     sim_course(5, 20, 2), every(0.5).stamps_in_seconds(),
	     WHOLE_SECONDS},
	    {"ten 20 m hills 1 km long, every 10 s, uniform noise +-3 m",
	     sim_hilly(sim_course(5, 130), 10, 20, 1000),
	     every(10).uniform_ele(3), {pct(CLIMB, 10)}},
	    {"ten 20 m hills 1 km long, every 10 s, Gaussian sigma 5 m",
	     sim_hilly(sim_course(5, 130), 10, 20, 1000),
	     every(10).gauss_ele(5), {pct(CLIMB, 20)}},
	    {"flat, 2000 fixes every 1 s, Gaussian sigma 5 m",
	     sim_course(5, 1989.0 / 60), every(1).gauss_ele(5),
	     {units(CLIMB, 0, 20)}},
	    {"a 1 s ride on barometric rollers of 8 m in 0.2 m steps",
	     sim_hilly(sim_course(20, 20), 20, 8, 300), every(1).barometric(),
	     {pct(CLIMB, 10)}},
	    {"a 90 s walk, one time a year late", sim_course(5, 80.0 / 60),
	     every(1).time_shifted(365 * DAY),
	     {pct(DURATION, 3), pct(MOVING, 10)}},
	    {"a 90 s walk, one time a day early", sim_course(5, 80.0 / 60),
	     every(1).time_shifted(-DAY), {pct(DURATION, 3), pct(MOVING, 10)}},
	    // Real motion that only looks like bad fixes.
	    {"a flight at 250 m/s, a fix every 10 s", flight(), jittery(10),
	     KEEP},
	    {"a car's U-turn, 1 s", uturn(), jittery(1), KEEP},
	    {"a car's U-turn, a fix every 5 s", uturn(), jittery(5), KEEP},
	    {"a ferry between walks, a fix every 10 s", ferry(), jittery(10),
	     KEEP},
	    {"a 1 s ride with a 10-minute stop", sim_course(20, 40, 10),
	     jittery(1), KEEP},
	    {"a 1 s drive through a 3-minute tunnel", tunnel(),
	     jittery(1).tunnel(490, 180, 0), KEEP},
	    {"a walk, a fix every 5 minutes, a 400 m excursion", excursion(),
	     jittery(300), KEEP},
	    {"ten 20 m hills 1 km long, every 10 s, no altitude noise",
	     sim_hilly(sim_course(5, 130), 10, 20, 1000), jittery(10),
	     KEEP_CLIMB},
	    {"ten 20 m hills 440 m long, every 10 s, no altitude noise",
	     sim_hilly(sim_course(5, 56), 10, 20, 440), jittery(10),
	     KEEP_CLIMB},
	};
	return table;
}

// How a number is named and shown in a failure.
struct Shown {
	const char *name, *unit;
	double scale; // from the number's unit to the one shown
	int decimals;
};
const Shown SHOWN[] = {
    {"distance", " m", 1, 2},		     {"duration", " s", 1, 2},
    {"moving time", " s", 1, 2},	     {"highest speed", " km/h", 3.6, 2},
    {"average moving speed", " km/h", 3.6, 2}, {"climb", " m", 1, 2},
    {"glitches", "", 1, 0}};

double truth_of(Number n, const sim_truth &t, const sim_log &log)
{
	switch (n) {
	case DISTANCE: return t.distance;
	case DURATION: return t.duration;
	case MOVING: return t.moving;
	case HIGHEST: return t.highest;
	case AVERAGE: return t.distance / t.moving;
	case CLIMB: return t.climb;
	case GLITCHES: return (double)log.bad;
	}
	return 0;
}

double value_of(Number n, const struct trip_track &t)
{
	switch (n) {
	case DISTANCE: return t.distance;
	case DURATION: return (double)t.duration / 100;
	case MOVING: return (double)t.moving / 100;
	case HIGHEST: return t.has_speed ? t.max_speed : 0;
	case AVERAGE:
		return t.moving > 0 ? t.moving_distance / ((double)t.moving / 100)
				    : 0;
	case CLIMB: return t.climb;
	case GLITCHES: return (double)t.glitches;
	}
	return 0;
}

// A seed of its own for each case and seed number.
uint64_t seed_of(const char *name, int seed)
{
	uint64_t h = 14695981039346656037ULL; // FNV-1a
	for (const char *c = name; *c != '\0'; c++)
		h = (h ^ (unsigned char)*c) * 1099511628211ULL;
	return h + (uint64_t)seed;
}

TEST(TripSim, NumbersOfKnownTrips)
{
	for (const Case &c : cases()) {
		sim_truth truth = sim_truth_of(c.path);
		for (int seed = 1; seed <= SEEDS; seed++) {
			sim_log log = sim_records(c.path, c.faults,
						  seed_of(c.name, seed));
			struct pdb *db = tripsim_log(log.records);
			struct trip_log trip;
			ASSERT_EQ(trip_read(db, &trip), 0) << c.name;
			free_pdb(db);
			struct trip_track total = {};
			for (const struct trip_track &t : trip.tracks)
				trip_add(&total, &t);
			for (const Check &k : c.checks) {
				double want = truth_of(k.number, truth, log),
				       got = value_of(k.number, total);
				double scale = k.percent ? want / 100 : 1;
				double low = want + k.below * scale,
				       high = want + k.above * scale;
				if (got >= low && got <= high)
					continue;
				const Shown &u = SHOWN[k.number];
				char off[40] = "", text[400];
				if (want != 0)
					snprintf(off, sizeof off, "%+.1f %%; ",
						 (got / want - 1) * 100);
				snprintf(text, sizeof text,
					 "%s, seed %d: %s %.*f%s, truth %.*f%s "
					 "(%sallowed %.*f to %.*f)",
					 c.name, seed, u.name, u.decimals,
					 got * u.scale, u.unit, u.decimals,
					 want * u.scale, u.unit, off, u.decimals,
					 low * u.scale, u.decimals,
					 high * u.scale);
				ADD_FAILURE() << text;
			}
		}
	}
}

}  // namespace
