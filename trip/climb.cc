/* SPDX-License-Identifier: MIT */
/*
 * Climb and descent through the noise of the receiver's altitudes: the
 * noise is measured in the track itself, the elevations are smoothed just
 * enough to calm it, and only rises and falls that the noise left cannot
 * make are counted.
 */
#include <math.h>

#include <algorithm>

#include "ieee_rounding.h"
#include "steps.h"

namespace {

/* A turning point needs a reversal of at least this much (metres) even in
 * noise-free elevations: a whole metre's rounding makes no hill.  Where
 * too few elevations tell the noise, a receiver's usual noise is assumed. */
const double CLIMB_LEAST = 2.0;
const double CLIMB_UNMEASURED = 10.0;
const size_t NOISE_POINTS_LEAST = 5;
/* Smoothing aims at noise of this much (metres), over at most so many
 * points: more would flatten real hills. */
const double SMOOTH_NOISE = 1.0;
const size_t SMOOTH_MOST = 11;
/* A reversal smaller than this many times the noise left after smoothing
 * can be the noise's own. */
const double SWING = 7.0;
/* Noise from the median of the absolute second differences: for white
 * noise of deviation s, that median is 0.6745 * sqrt(6) * s. */
const double MAD_TO_SIGMA = 1.4826 / 2.449489742783178;

/* The deviation of the noise of e, which the second differences of a
 * smooth profile leave alone; 0 for fewer than five elevations. */
double noise_of(const std::vector<double> &e)
{
	if (e.size() < NOISE_POINTS_LEAST)
		return 0.0;
	std::vector<double> d2(e.size() - 2);
	for (size_t i = 1; i + 1 < e.size(); i++)
		d2[i - 1] = fabs(e[i + 1] - 2 * e[i] + e[i - 1]);
	return MAD_TO_SIGMA * trip_median(d2);
}

/* The mean of the points within half of e's, a window cut the same on
 * both sides at the ends, so that a track's first and last elevations
 * stay their own. */
std::vector<double> smoothed(const std::vector<double> &e, size_t half)
{
	size_t n = e.size();
	std::vector<double> sum(n + 1, 0.0), out(n);
	for (size_t i = 0; i < n; i++)
		sum[i + 1] = sum[i] + e[i];
	for (size_t i = 0; i < n; i++) {
		size_t h = std::min(half, std::min(i, n - 1 - i));
		out[i] = (sum[i + h + 1] - sum[i - h]) / (double)(2 * h + 1);
	}
	return out;
}

/* Turning points of the elevations, a reversal of at least least
 * confirming one. */
struct hysteresis {
	double least;
	int direction;	  /* +1 rising, -1 falling, 0 not yet known */
	double turn;	  /* the last turning point */
	double extreme;	  /* since it, in the direction */
	double low, high; /* while the direction is not known */
};

void feed(struct hysteresis *h, double e, struct trip_track *t)
{
	if (h->direction == 0) {
		h->low = std::min(h->low, e);
		h->high = std::max(h->high, e);
		if (h->high - h->low >= h->least) {
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
	if (fabs(h->extreme - e) < h->least)
		return;
	if (h->direction > 0)
		t->climb += h->extreme - h->turn;
	else
		t->descent += h->turn - h->extreme;
	h->turn = h->extreme;
	h->extreme = e;
	h->direction = -h->direction;
}

}  // namespace

__attribute__((noinline)) void trip_climb(
    const std::vector<struct trip_point> &pts, size_t first, size_t end,
    struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<double> e;
	for (size_t i = first; i < end; i++)
		if (pts[i].has_ele)
			e.push_back(pts[i].ele);
	if (e.size() < 2)
		return;
	double noise = noise_of(e);
	size_t points = (size_t)ceil(noise * noise /
				     (SMOOTH_NOISE * SMOOTH_NOISE));
	size_t half = std::min(points, SMOOTH_MOST) / 2;
	double left = noise / sqrt((double)(2 * half + 1));
	std::vector<double> s = smoothed(e, half);
	double least = e.size() < NOISE_POINTS_LEAST
			   ? CLIMB_UNMEASURED
			   : std::max(CLIMB_LEAST, SWING * left);
	struct hysteresis h = {least, 0, s[0], s[0], s[0], s[0]};
	for (size_t i = 1; i < s.size(); i++)
		feed(&h, s[i], t);
	/* The last rise or fall, already as large as the threshold, counts
	 * to the last extreme. */
	if (h.direction > 0)
		t->climb += h.extreme - h.turn;
	else if (h.direction < 0)
		t->descent += h.turn - h.extreme;
}
