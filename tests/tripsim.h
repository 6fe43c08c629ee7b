// SPDX-License-Identifier: MIT
// Trips whose truth is known: a true path (legs of steady speed and turn,
// hills along it), the numbers it truly has, and its track log with the
// faults of real receivers laid on.  Deterministic: the same seed gives the
// same log on every platform, up to the last bits of libm.
#ifndef TESTS_TRIPSIM_H
#define TESTS_TRIPSIM_H

#include <stdint.h>

#include <string>
#include <vector>

#include "pdb.h"

// A log named "log" whose records hold the texts, each with "\n" and a NUL
// added, ids from 1.  The caller frees it with free_pdb().
struct pdb *tripsim_log(const std::vector<std::string> &texts);

// The "$PMGNTRK" text of a point lat_e4 and lon_e4 ten-thousandths of a
// minute north and east (south and west when negative), with the other
// fields as given (when: hhmmss.cc, date: ddmmyy).
std::string tripsim_sentence(int64_t lat_e4, int64_t lon_e4,
			     const std::string &alt, const char *unit,
			     const std::string &when, const char *fix,
			     const std::string &track, const std::string &date);

// A leg of the true path: seconds at a steady speed (km/h) while the
// heading turns evenly by turn degrees (clockwise positive).  A leg with
// jump_km moves that far straight on in its seconds without a fix logged;
// the fixes after it start a new segment.
struct sim_leg {
	double seconds, kmh, turn, jump_km;
};

// A path from 47 N 10 E, laid out on the plane tangent to the ellipsoid
// there (GeographicLib's LocalCartesian).  Its elevation is ele plus hills sine rollers of
// hill_height, each hill_length metres along the path, from its start.
struct sim_path {
	std::vector<sim_leg> legs;
	double heading = 30; // degrees from north, at the start
	double ele = 500;    // metres, at least 0
	int hills = 0;
	double hill_height = 0, hill_length = 1;
};

// 10 s standing, then minutes on the move at about kmh (legs of 0.9, 1
// and 1.1 times it, with turns of up to 90 degrees), with a stop of
// stop_minutes halfway.
sim_path sim_course(double kmh, double minutes, double stop_minutes = 0);
// Straight on at kmh for seconds.
sim_leg sim_straight(double kmh, double seconds);
// Moving legs of sim_course() for seconds at about kmh.
std::vector<sim_leg> sim_moving(double kmh, double seconds);
// p with count hills of height over length metres each.
sim_path sim_hilly(sim_path p, int count, double height, double length);

// The numbers the path truly has, from its points every 0.25 s: distance
// (metres, the sum of their geodesics on WGS84, none across a jump),
// duration and moving time (seconds of the legs logged, of those that
// move), the highest speed sustained over 30 s (m/s) and the climb (m).
struct sim_truth {
	double distance, duration, moving, highest, climb;
};
sim_truth sim_truth_of(const sim_path &p);

// How the receiver logs a path and what it gets wrong; the setters below
// chain, for rows of a table.
struct sim_faults {
	double interval = 1;	    // seconds between fixes
	// Time stamps cut to the second of a clock a random part of one ahead.
	bool whole_seconds = false;
	// The position wanders (per axis, an AR(1) process of this sigma in
	// metres and a correlation time of 120 s): what a stop shows.
	double jitter = 0;
	int ele_uniform = 0;  // whole metres of uniform noise, -n to n
	double ele_gauss = 0; // sigma of Gaussian noise, metres
	double ele_step = 1;  // 1: whole metres; 0.2: written with tenths
	// spikes runs of 1 to spike_run fixes, each run spike_m (+-25 %) off
	int spikes = 0, spike_run = 1;
	double spike_m = 0;
	int stale = 0; // the first fixes, stale_km off
	double stale_km = 0;
	// No fix after tunnel_at (seconds from the start) for tunnel_s; the
	// first fix after it tunnel_bad_m off (0: where it should be).
	double tunnel_at = 0, tunnel_s = 0, tunnel_bad_m = 0;
	double time_off = 0; // seconds added to one fix's time, in the middle half

	sim_faults &every(double s) { interval = s; return *this; }
	sim_faults &stamps_in_seconds() { whole_seconds = true; return *this; }
	sim_faults &jittered(double m) { jitter = m; return *this; }
	sim_faults &uniform_ele(int m) { ele_uniform = m; return *this; }
	sim_faults &gauss_ele(double m) { ele_gauss = m; return *this; }
	sim_faults &barometric() // with the sensor's noise, which flips steps
	{ ele_step = 0.2, ele_gauss = 0.1; return *this; }
	sim_faults &spiked(int n, int run, double m)
	{ spikes = n, spike_run = run, spike_m = m; return *this; }
	sim_faults &stale_start(int n, double km)
	{ stale = n, stale_km = km; return *this; }
	sim_faults &tunnel(double at, double seconds, double bad_m)
	{ tunnel_at = at, tunnel_s = seconds, tunnel_bad_m = bad_m; return *this; }
	sim_faults &time_shifted(double s) { time_off = s; return *this; }
};

// The records of the path's log as f says, from its start at
// 2026-08-14T07:00:00Z, and how many of its fixes are bad (spikes, stale
// fixes, the fix after a tunnel).  Where the path jumps, the first fix of
// each segment names the track "T" and the others name none, as a log
// marks segments.  Positions have 4 decimals of a minute; the same seed
// gives the same records.
struct sim_log {
	std::vector<std::string> records;
	size_t bad;
};
sim_log sim_records(const sim_path &p, const sim_faults &f, uint64_t seed);

#endif
