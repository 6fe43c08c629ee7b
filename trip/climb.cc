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
/* Second differences over two steps this many times those over one (in
 * variance) are a smooth profile's: noise alone gives as much over both. */
const double CURVED = 4.0;
/* The deviation of a normal variable from the median of its magnitude. */
const double MAD_TO_DEVIATION = 1.4826;

/* The deviation of the noise of e; 0 for fewer than five elevations.
 * Second differences over one step hold the noise (variance 6 s^2 for
 * white noise of deviation s) and the profile's curvature c; over two
 * steps, the same noise and four times the curvature.  So the noise is
 * told from the curvature of real hills, however sparsely sampled:
 * s^2 = (16 v1 - v2) / 90, with v1 and v2 the variances of the two, found
 * robustly from their medians; where v2 is CURVED times v1 or more, the
 * curvature rules and the elevations are taken as they are. */
double noise_of(const std::vector<double> &e)
{
	size_t n = e.size();
	if (n < NOISE_POINTS_LEAST)
		return 0.0;
	std::vector<double> d1(n - 2), d2(n - 4);
	for (size_t i = 1; i + 1 < n; i++)
		d1[i - 1] = fabs(e[i + 1] - 2 * e[i] + e[i - 1]);
	for (size_t i = 2; i + 2 < n; i++)
		d2[i - 2] = fabs(e[i + 2] - 2 * e[i] + e[i - 2]);
	double v1 = MAD_TO_DEVIATION * trip_median(d1);
	double v2 = MAD_TO_DEVIATION * trip_median(d2);
	v1 *= v1;
	v2 *= v2;
	if (v2 >= CURVED * v1)
		return 0.0;
	return sqrt((16 * v1 - v2) / 90);
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

/* An altitude spike leaves and comes back faster than this many times the
 * vertical pace around it allows, and by at least this much (metres). */
const double SPIKE_RATIO = 3.0;
const double SPIKE_LEAST = 20.0;
/* The longest run of spiked altitudes. */
const size_t SPIKE_RUN_MOST = 3;

/* The elevations of a segment and their clock. */
struct heights {
	std::vector<size_t> point; /* index in pts */
	std::vector<double> e, at, pace;
};

/* Whether the elevations run[from, to) all lie beyond both a and b
 * (either may be missing: -1) by more than limit, on one side. */
bool beyond(const struct heights &h, size_t from, size_t to, long a, long b,
	    double limit)
{
	for (int side = -1; side <= 1; side += 2) {
		bool all = true;
		for (size_t j = from; j < to && all; j++)
			for (long n : {a, b})
				if (n >= 0 &&
				    side * (h.e[j] - h.e[(size_t)n]) <= limit)
					all = false;
		if (all)
			return true;
	}
	return false;
}

/* The limit for the elevations between a and b. */
double spike_limit(const struct heights &h, size_t a, size_t b)
{
	return std::max(SPIKE_LEAST,
			SPIKE_RATIO * h.pace[std::min(a, h.pace.size() - 1)] *
			    (h.at[b] - h.at[a]));
}

/* Marks in bad the spikes of h: runs of one to SPIKE_RUN_MOST elevations
 * inside that leave both neighbours by more than the limit on one side
 * while those lie within half of it of each other; and such runs at the
 * ends, beyond the elevation after (before) them, whose next step is
 * none. */
void find_spikes(const struct heights &h, std::vector<bool> &bad)
{
	size_t n = h.e.size();
	for (size_t m = SPIKE_RUN_MOST; m >= 1; m--) {
		if (m + 2 > n)
			continue;
		if (beyond(h, 0, m, -1, (long)m, spike_limit(h, 0, m)) &&
		    fabs(h.e[m + 1] - h.e[m]) <= spike_limit(h, m, m + 1) / 2) {
			std::fill(bad.begin(), bad.begin() + (ptrdiff_t)m, true);
			break;
		}
	}
	for (size_t m = SPIKE_RUN_MOST; m >= 1; m--) {
		if (m + 2 > n || bad[n - m - 2])
			continue;
		size_t b = n - m - 1;
		if (beyond(h, n - m, n, -1, (long)b, spike_limit(h, b, n - 1)) &&
		    fabs(h.e[b] - h.e[b - 1]) <= spike_limit(h, b - 1, b) / 2) {
			std::fill(bad.end() - (ptrdiff_t)m, bad.end(), true);
			break;
		}
	}
	size_t a = 0;
	while (a < n && bad[a])
		a++;
	for (size_t i = a + 1; i + 1 < n && !bad[i];) {
		size_t m = 1;
		for (; m <= SPIKE_RUN_MOST && i + m < n && !bad[i + m]; m++) {
			double limit = spike_limit(h, a, i + m);
			if (fabs(h.e[i + m] - h.e[a]) <= limit / 2 &&
			    beyond(h, i, i + m, (long)a, (long)(i + m), limit))
				break;
		}
		if (m <= SPIKE_RUN_MOST && i + m < n && !bad[i + m]) {
			std::fill(bad.begin() + (ptrdiff_t)i,
				  bad.begin() + (ptrdiff_t)(i + m), true);
			i += m;
		} else {
			a = i++;
		}
	}
}

}  // namespace

__attribute__((noinline)) void trip_drop_spikes(
    std::vector<struct trip_point> &pts, size_t first, size_t end,
    const std::vector<double> &at)
{
	[[maybe_unused]] ieee_rounding guard;
	struct heights h;
	for (size_t i = first; i < end; i++)
		if (pts[i].has_ele) {
			h.point.push_back(i);
			h.e.push_back(pts[i].ele);
			h.at.push_back(at[i - first]);
		}
	size_t n = h.e.size();
	if (n < 4)
		return;
	std::vector<double> rate(n - 1);
	for (size_t k = 0; k + 1 < n; k++)
		rate[k] = fabs(h.e[k + 1] - h.e[k]) / (h.at[k + 1] - h.at[k]);
	h.pace = trip_window_median(rate);
	std::vector<bool> bad(n, false);
	find_spikes(h, bad);
	for (size_t k = 0; k < n; k++)
		if (bad[k])
			pts[h.point[k]].has_ele = false;
}

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
