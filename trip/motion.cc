/* SPDX-License-Identifier: MIT */
/*
 * Motion: which steps move, how far they go, for how long, and the highest
 * speed that the track keeps up.
 */
#include <stdint.h>

#include <GeographicLib/Geocentric.hpp>
#include <algorithm>

#include "ieee_rounding.h"
#include "steps.h"

namespace {

/* Moving is decided over this much time around each step (seconds): half
 * of it either side is long enough for a standing receiver's wander to go
 * nowhere, and short enough to find a standing start of ten seconds. */
const double MOVING_WINDOW = 20.0;
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
	/* The way made good over a minute at most is the chord between the
	 * points' places on the ellipsoid, within millimetres of the
	 * geodesic and much cheaper to find. */
	const GeographicLib::Geocentric &earth =
	    GeographicLib::Geocentric::WGS84();
	/* The places of the last few points asked for: the window's ends
	 * and the step's move on one point at a time. */
	struct cached {
		size_t i;
		double x, y, z;
	} cache[4] = {{SIZE_MAX, 0, 0, 0}, {SIZE_MAX, 0, 0, 0},
		      {SIZE_MAX, 0, 0, 0}, {SIZE_MAX, 0, 0, 0}};
	size_t next = 0;
	auto place = [&](size_t i) -> const struct cached & {
		for (const struct cached &c : cache)
			if (c.i == i)
				return c;
		struct cached &c = cache[next++ % 4];
		c.i = i;
		earth.Forward(pts[first + i].lat, pts[first + i].lon, 0.0, c.x,
			      c.y, c.z);
		return c;
	};
	auto fast = [&](size_t from, size_t to) {
		const struct cached a = place(from), b = place(to);
		double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
		double limit = TRIP_MOVING_SPEED * (at[to] - at[from]);
		return dx * dx + dy * dy + dz * dz > limit * limit;
	};
	std::vector<bool> moving(n - 1);
	size_t l = 0, r = 1;
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
 * stamp to the first point with a stamp at least SUSTAINED later, along the
 * steps len, over no jump; a segment shorter than that gives its average.
 * Returns false without one. */
bool highest_speed(const std::vector<double> &len,
		   const std::vector<bool> &jump, const struct trip_clock &c,
		   double *best)
{
	size_t n = c.at.size();
	size_t i0 = 0, last = n - 1;
	while (i0 < n && !c.valid[i0])
		i0++;
	while (last > i0 && !c.valid[last])
		last--;
	if (i0 >= last || c.stamp[last] == c.stamp[i0])
		return false;
	bool found = false;
	/* The way and the jumps from i to j, kept as both move on. */
	size_t i = i0, j = i0, jumps = 0;
	double way = 0.0;
	auto reach = [&](size_t to) {
		for (; j < to; j++) {
			way += len[j];
			jumps += jump[j] ? 1 : 0;
		}
	};
	auto leave = [&](size_t to) {
		for (; i < to; i++) {
			way -= len[i];
			jumps -= jump[i] ? 1 : 0;
		}
	};
	auto consider = [&]() {
		if (jumps > 0)
			return;
		double v = way / ((double)(c.stamp[j] - c.stamp[i]) / 100.0);
		if (!found || v > *best)
			*best = v;
		found = true;
	};
	if (c.stamp[last] - c.stamp[i0] < SUSTAINED) {
		reach(last);
		consider();
		return found;
	}
	for (size_t from = i0; from < n; from++) {
		if (!c.valid[from] ||
		    (from > i0 && c.stamp[from] == c.stamp[from - 1]))
			continue;
		if (j < from)
			reach(from);
		leave(from);
		size_t to = j;
		while (to < n && !(c.valid[to] &&
				   c.stamp[to] - c.stamp[from] >= SUSTAINED))
			to++;
		if (to == n)
			break;
		reach(to);
		consider();
	}
	return found;
}

}  // namespace

__attribute__((noinline)) void trip_move(std::vector<struct trip_point> &pts,
					 size_t first, size_t end,
					 const struct trip_line &l,
					 double along0, struct trip_track *t)
{
	[[maybe_unused]] ieee_rounding guard;
	const struct trip_clock &c = l.clock;
	size_t n = end - first;
	pts[first].along = along0;
	if (n < 2)
		return;
	std::vector<bool> moving = c.timed ? moving_steps(pts, first, c.at)
					   : std::vector<bool>(n - 1, true);
	for (size_t s = 0; s + 1 < n; s++) {
		double counted = moving[s] ? l.len[s] : 0.0;
		pts[first + s + 1].along = pts[first + s].along + counted;
		if (c.timed && moving[s]) {
			t->moving_distance += l.len[s];
			t->moving += c.stamp[s + 1] - c.stamp[s];
		}
	}
	t->distance += pts[end - 1].along - along0;
	if (!c.timed)
		return;
	t->duration += c.stamp[n - 1] - c.stamp[0];
	std::vector<bool> jump(n - 1);
	for (size_t s = 0; s + 1 < n; s++)
		jump[s] = trip_is_jump(l.len[s], c.at[s + 1] - c.at[s],
				       l.pace[s]);
	double best;
	if (highest_speed(l.len, jump, c, &best)) {
		if (!t->has_speed || best > t->max_speed)
			t->max_speed = best;
		t->has_speed = true;
	}
}
