/* SPDX-License-Identifier: MIT */
/*
 * The steps that turn a segment of a track's points into numbers, each in
 * a unit of its own: its clock (times.cc), its bad fixes (glitches.cc), its
 * motion (motion.cc) and its climb (climb.cc).  A segment is the points
 * [first, end) of a track's kept points.  Not installed.
 *
 * Every function that computes with floating point keeps to IEEE double
 * arithmetic (ieee_rounding) so that the numbers are the same everywhere.
 */
#ifndef TRIP_STEPS_H
#define TRIP_STEPS_H

#include <stddef.h>
#include <stdint.h>

#include <GeographicLib/Geodesic.hpp>
#include <vector>

#include "ieee_rounding.h"
#include "trip.h"

/* A fix is uncertain by about this much (metres): no glitch is smaller,
 * and no jump of the fix is shorter. */
#define TRIP_FIX_NOISE 20.0
/* A step this many times faster than the pace around it is a jump of the
 * fix. */
#define TRIP_JUMP_RATIO 5.0

/* The geodesic distance in metres between two places (lat, lon) on WGS84.
 * The x87 FPU computes it in double precision, as every other machine
 * does. */
template <typename Place>
__attribute__((noinline)) double trip_geodesic(const Place &a, const Place &b)
{
	[[maybe_unused]] ieee_rounding guard;
	double s12;
	GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon,
						 s12);
	return s12;
}

/* Whether a step of len metres in dt seconds is a jump of the fix where
 * the track's pace is pace metres a second. */
bool trip_is_jump(double len, double dt, double pace);

/* The time line of a segment: monotonic stamps for the sums, and a clock
 * that strictly increases for the pace of every step. */
struct trip_clock {
	bool timed;		   /* most points have a time */
	std::vector<int64_t> stamp; /* hundredths; never decreases */
	std::vector<bool> valid;    /* the point's own time counts */
	std::vector<double> at;	    /* seconds, strictly increasing */
};

/*
 * Leaves out of the times of pts[first, end) (clears has_time) every run
 * of one to three points whose times are out of order with the points
 * around it: none lies between the times of the points with a time before
 * and after the run while those two are in order.  At the ends: a first
 * time after the next while that one is in order with its next, or one at
 * least an hour and a hundred usual time steps from its neighbour's (a
 * stale clock); and the same for the last.
 */
void trip_check_times(std::vector<struct trip_point> &pts, size_t first,
		      size_t end);

/*
 * Fills *c for pts[first, end).  A segment is timed when at least two of
 * its points have a time.  stamp: each point's time, a point without one
 * taking the time before it, the times after one that goes back (a log
 * without dates past midnight) going on from the one before it; so a
 * step's time is the stamps' difference.  at: the stamps in seconds with the
 * points of one stamp spread evenly over the next second (or up to the next
 * stamp), the points without a time placed between their neighbours in
 * step, and beyond the first and last time at the mean step; an untimed
 * segment has one second a step.
 */
void trip_make_clock(const std::vector<struct trip_point> &pts, size_t first,
		     size_t end, struct trip_clock *c);

/* The median of v[i - TRIP_WINDOW_STEPS, i + TRIP_WINDOW_STEPS] for every
 * i (the window cut at the ends): the pace around each step from the
 * steps' speeds, the usual time step from their times. */
#define TRIP_WINDOW_STEPS 10
std::vector<double> trip_window_median(const std::vector<double> &v);

/* A segment's points as a line of steps: step i goes from point i to
 * point i + 1. */
struct trip_line {
	struct trip_clock clock;
	std::vector<double> len;  /* metres */
	std::vector<double> pace; /* around each step (see trip_window_median),
				     metres a second of the clock */
};

/* Fills *l with the clock, steps and pace of pts[first, end). */
void trip_make_line(const std::vector<struct trip_point> &pts, size_t first,
		    size_t end, struct trip_line *l);

/*
 * Keeps of the line *l of the points pts[first, ...) only the points kept
 * (their indexes from first, in order): their clock, their steps (measured
 * anew where points between were left out) and the pace of the original
 * step that each starts.
 */
void trip_keep_line(const std::vector<struct trip_point> &pts, size_t first,
		    const std::vector<size_t> &kept, struct trip_line *l);

/*
 * Marks in bad (one entry a point of l, false on entry) the glitches of
 * the points pts[first, ...) of the line l: runs of one to three points
 * that the track leaves and comes back from, heads and tails of up to
 * three points, and a bad fix after a gap in the times (see trip.h).
 * Returns how many it marked.
 */
size_t trip_find_glitches(const std::vector<struct trip_point> &pts,
			  size_t first, const struct trip_line &l,
			  std::vector<bool> &bad);

/*
 * The motion of the segment pts[first, end) (glitches removed), whose
 * line is l: sets each point's along, starting from along0; adds to t its
 * distance, moving distance, moving time and duration; raises its highest
 * speed.
 */
void trip_move(std::vector<struct trip_point> &pts, size_t first, size_t end,
	       const struct trip_line &l, double along0, struct trip_track *t);

/*
 * Leaves out of the elevations of pts[first, end) (clears has_ele), whose
 * clock is at (from first), the altitude spikes: runs of one to three
 * elevations that leave the elevations around them and come back faster
 * than three times the vertical pace around them allows (the median rate
 * of the 21 changes around) and by more than 20 m, as a receiver's 2D fix
 * at 0 m gives; at the ends, runs beyond the elevation after (before)
 * them.
 */
void trip_drop_spikes(std::vector<struct trip_point> &pts, size_t first,
		      size_t end, const std::vector<double> &at);

/* Adds the climb and descent of the elevations of pts[first, end) to t. */
void trip_climb(const std::vector<struct trip_point> &pts, size_t first,
		size_t end, struct trip_track *t);

/* The median of v (not empty), which it reorders. */
double trip_median(std::vector<double> &v);

#endif
