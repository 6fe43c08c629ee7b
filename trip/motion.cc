/* SPDX-License-Identifier: MIT */
/*
 * Motion: which steps move, how far they go, for how long, and the highest
 * speed that the track keeps up.
 */
#include <algorithm>

#include "ieee_rounding.h"
#include "steps.h"

namespace {

/* Moving is decided over this much time around each step (seconds). */
const double MOVING_WINDOW = 60.0;
/* The highest speed is kept up at least this long (hundredths). */
const int64_t SUSTAINED = 3000;

/* Whether each step moves: the way made good over half of MOVING_WINDOW
 * (or the step, when longer) to its end, or from its start, is faster than
 * TRIP_MOVING_SPEED.  Over half a
 * minute the jitter of a standing receiver goes nowhere, and a U-turn
 * still moves on one side. */
std::vector<bool> moving_steps(const std::vector<struct trip_point> &pts,
			       size_t first, const std::vector<double> &at)
{
	size_t n = at.size();
	std::vector<bool> moving(n - 1);
	size_t l = 0, r = 1;
	auto fast = [&](size_t from, size_t to) {
		double made_good =
		    trip_geodesic(pts[first + from], pts[first + to]);
		return made_good > TRIP_MOVING_SPEED * (at[to] - at[from]);
	};
	for (size_t s = 0; s + 1 < n; s++) {
		while (l < s && at[l] < at[s + 1] - MOVING_WINDOW / 2)
			l++;
		r = std::max(r, s + 1);
		while (r + 1 < n && at[r + 1] <= at[s] + MOVING_WINDOW / 2)
			r++;
		moving[s] = fast(l, s + 1) || fast(s, r);
	}
	return moving;
}

/* The highest speed over SUSTAINED or more, from each point that starts a
 * stamp to the first point with a stamp at least SUSTAINED later, over no
 * jump; a segment shorter than that gives its average.  along: the raw
 * distance of each point from the first.  Returns false without one. */
bool highest_speed(const std::vector<double> &along,
		   const std::vector<bool> &jump, const struct trip_clock &c,
		   double *best)
{
	size_t n = along.size();
	std::vector<size_t> jumps(n, 0); /* jumps in the steps before i */
	for (size_t s = 0; s + 1 < n; s++)
		jumps[s + 1] = jumps[s] + (jump[s] ? 1 : 0);
	size_t i0 = 0, last = n - 1;
	while (i0 < n && !c.valid[i0])
		i0++;
	while (last > i0 && !c.valid[last])
		last--;
	if (i0 >= last || c.stamp[last] == c.stamp[i0])
		return false;
	bool found = false;
	auto consider = [&](size_t i, size_t j) {
		if (jumps[j] != jumps[i])
			return;
		double v = (along[j] - along[i]) /
			   ((double)(c.stamp[j] - c.stamp[i]) / 100.0);
		if (!found || v > *best)
			*best = v;
		found = true;
	};
	if (c.stamp[last] - c.stamp[i0] < SUSTAINED) {
		consider(i0, last);
		return found;
	}
	size_t j = i0;
	for (size_t i = i0; i < n; i++) {
		if (!c.valid[i] || (i > i0 && c.stamp[i] == c.stamp[i - 1]))
			continue;
		j = std::max(j, i);
		while (j < n && !(c.valid[j] && c.stamp[j] - c.stamp[i] >=
							SUSTAINED))
			j++;
		if (j == n)
			break;
		consider(i, j);
	}
	return found;
}

}  // namespace

__attribute__((noinline)) void trip_move(std::vector<struct trip_point> &pts,
					 size_t first, size_t end,
					 const struct trip_clock &c,
					 double along0, struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	size_t n = end - first;
	pts[first].along = along0;
	if (n < 2)
		return;
	std::vector<double> len(n - 1), speed(n - 1), raw(n, 0.0);
	for (size_t s = 0; s + 1 < n; s++) {
		len[s] = trip_geodesic(pts[first + s], pts[first + s + 1]);
		speed[s] = len[s] / (c.at[s + 1] - c.at[s]);
		raw[s + 1] = raw[s] + len[s];
	}
	std::vector<bool> moving = c.timed ? moving_steps(pts, first, c.at)
					   : std::vector<bool>(n - 1, true);
	for (size_t s = 0; s + 1 < n; s++) {
		double counted = moving[s] ? len[s] : 0.0;
		pts[first + s + 1].along = pts[first + s].along + counted;
		if (c.timed && moving[s]) {
			t->moving_distance += len[s];
			t->moving += c.stamp[s + 1] - c.stamp[s];
		}
	}
	t->distance += pts[end - 1].along - along0;
	if (!c.timed)
		return;
	t->duration += c.stamp[n - 1] - c.stamp[0];
	std::vector<double> pace = trip_window_median(speed);
	std::vector<bool> jump(n - 1);
	for (size_t s = 0; s + 1 < n; s++)
		jump[s] = trip_is_jump(len[s], c.at[s + 1] - c.at[s], pace[s]);
	double best;
	if (highest_speed(raw, jump, c, &best)) {
		if (!t->has_speed || best > t->max_speed)
			t->max_speed = best;
		t->has_speed = true;
	}
}
