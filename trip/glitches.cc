/* SPDX-License-Identifier: MIT */
/*
 * Bad fixes: points that the receiver put where the track cannot have
 * been, found against the track's own pace around them rather than one
 * fixed distance or speed.
 */
#include <algorithm>

#include "ieee_rounding.h"
#include "steps.h"

namespace {

/* A run of points is a glitch when the way through it is longer than the
 * way past it by more than this many times the distance the pace covers
 * in the same time: a real detour at the track's own pace adds at most
 * once that distance. */
const double DETOUR_RATIO = 3.0;
/* The longest run of bad fixes, inside, at the head or at the tail. */
const size_t RUN_MOST = 3;
/* A gap in the times is this many times the usual time step, and at least
 * this long (seconds). */
const double GAP_RATIO = 5.0;
const double GAP_LEAST = 30.0;

struct line {
	const std::vector<struct trip_point> &pts;
	size_t first;
	const std::vector<double> &at, &len, &pace;
	std::vector<bool> &bad;

	const struct trip_point &point(size_t i) const
	{
		return pts[first + i];
	}
	/* Step s, from point s to s + 1, is far faster than pace. */
	bool jump(size_t s, double pace_around) const
	{
		return trip_is_jump(len[s], at[s + 1] - at[s], pace_around);
	}
};

void mark(struct line &l, size_t from, size_t to)
{
	for (size_t i = from; i < to; i++)
		l.bad[i] = true;
}

/* Whether the points a and b (a before b) are in step with each other:
 * the way between them is no jump at the pace. */
bool in_step(const struct line &l, size_t a, size_t b, double pace)
{
	return !trip_is_jump(trip_geodesic(l.point(a), l.point(b)),
			     l.at[b] - l.at[a], pace);
}

/* Whether any of the points [from, to) is marked. */
bool any_marked(const struct line &l, size_t from, size_t to)
{
	for (size_t i = from; i < to; i++)
		if (l.bad[i])
			return true;
	return false;
}

/* The head of the points from lo: up to RUN_MOST points that the track
 * jumps away from, to run on at its pace.  Where the first of them is in
 * step with the track after the jump, the bad points are inside, for
 * find_runs(). */
void find_head(struct line &l, size_t lo)
{
	size_t n = l.bad.size();
	for (size_t k = RUN_MOST; k >= 1; k--) {
		if (lo + k + 1 >= n || any_marked(l, lo, lo + k + 2))
			continue;
		double pace = l.pace[lo + k];
		if (l.jump(lo + k - 1, pace) && !l.jump(lo + k, pace) &&
		    (k == 1 || !in_step(l, lo, lo + k, pace))) {
			mark(l, lo, lo + k);
			return;
		}
	}
}

/* The tail: up to RUN_MOST points that the track jumps to at its end. */
void find_tail(struct line &l)
{
	size_t n = l.bad.size();
	for (size_t k = RUN_MOST; k >= 1; k--) {
		if (k + 2 > n || any_marked(l, n - k - 2, n))
			continue;
		double pace = l.pace[n - k - 2];
		if (l.jump(n - k - 1, pace) && !l.jump(n - k - 2, pace) &&
		    (k == 1 || !in_step(l, n - k - 1, n - 1, pace))) {
			mark(l, n - k, n);
			return;
		}
	}
}

/* The head and tail of the segment, and a head after every gap in its
 * times, where a receiver that lost the sky (a tunnel) gives its worst
 * fixes. */
void find_ends(struct line &l, bool timed)
{
	size_t n = l.bad.size();
	find_head(l, 0);
	if (timed && n > 1) {
		std::vector<double> dt(n - 1);
		for (size_t s = 0; s + 1 < n; s++)
			dt[s] = l.at[s + 1] - l.at[s];
		std::vector<double> usual = trip_window_median(dt);
		for (size_t s = 0; s + 1 < n; s++)
			if (dt[s] > GAP_LEAST && dt[s] > GAP_RATIO * usual[s])
				find_head(l, s + 1);
	}
	find_tail(l);
}

/* Runs of one to RUN_MOST points inside that the track leaves and comes
 * back from, faster than its pace allows. */
size_t find_runs(struct line &l)
{
	size_t n = l.bad.size(), found = 0, a = 0;
	while (a < n && l.bad[a])
		a++;
	for (size_t i = a + 1; i < n && !l.bad[i];) {
		size_t k = 1;
		for (; k <= RUN_MOST; k++) {
			size_t b = i + k;
			if (b >= n || l.bad[b]) {
				k = RUN_MOST + 1;
				break;
			}
			double into = a + 1 == i ? l.len[a]
						 : trip_geodesic(l.point(a),
								 l.point(i));
			double way = into;
			for (size_t s = i; s < b; s++)
				way += l.len[s];
			double limit =
			    std::max(TRIP_FIX_NOISE,
				     DETOUR_RATIO * l.pace[i] * (l.at[b] - l.at[a]));
			/* The track leaves for the run and comes back from
			 * it: both ways are long, so no point of the run is
			 * on the track. */
			if (into > limit / 2 && l.len[b - 1] > limit / 2 &&
			    way - trip_geodesic(l.point(a), l.point(b)) > limit)
				break;
		}
		if (k <= RUN_MOST) {
			mark(l, i, i + k);
			found += k;
			i += k;
		} else {
			a = i++;
		}
	}
	return found;
}

}  // namespace

__attribute__((noinline)) size_t trip_find_glitches(
    const std::vector<struct trip_point> &pts, size_t first,
    const struct trip_line &tl, std::vector<bool> &bad)
{
	[[maybe_unused]] ieee_rounding guard;
	if (bad.size() < 3)
		return 0;
	struct line l = {pts, first, tl.clock.at, tl.len, tl.pace, bad};
	find_ends(l, tl.clock.timed);
	size_t ends = (size_t)std::count(bad.begin(), bad.end(), true);
	return ends + find_runs(l);
}
