/* SPDX-License-Identifier: MIT */
/* The time line of a segment and the pace of its steps. */
#include <algorithm>

#include "ieee_rounding.h"
#include "steps.h"

namespace {

/* The points of one stamp are spread over at most this much (seconds). */
const double SPREAD_MOST = 1.0;

}  // namespace

__attribute__((noinline)) bool trip_is_jump(double len, double dt,
					    double pace)
{
	[[maybe_unused]] ieee_rounding guard;
	return len > TRIP_FIX_NOISE && len > TRIP_JUMP_RATIO * pace * dt;
}

void trip_check_times(std::vector<struct trip_point> &pts, size_t first,
		      size_t end)
{
	std::vector<size_t> timed;
	for (size_t i = first; i < end; i++)
		if (pts[i].has_time)
			timed.push_back(i);
	size_t n = timed.size();
	if (n < 3)
		return;
	auto t = [&](size_t k) { return pts[timed[k]].centis; };
	std::vector<bool> off(n, false);
	for (size_t k = 0; k < n; k++) {
		if (k == 0)
			off[k] = t(0) > t(1) && t(1) <= t(2);
		else if (k + 1 == n)
			off[k] = t(k) < t(k - 1) && t(k - 2) <= t(k - 1);
		else
			off[k] = t(k - 1) <= t(k + 1) &&
				 (t(k) < t(k - 1) || t(k) > t(k + 1));
	}
	for (size_t k = 0; k < n; k++)
		if (off[k])
			pts[timed[k]].has_time = false;
}

/* Seconds of hundredths. */
static double seconds(int64_t centis)
{
	return (double)centis / 100.0;
}

__attribute__((noinline)) void trip_make_clock(
    const std::vector<struct trip_point> &pts, size_t first, size_t end,
    struct trip_clock *c)
{
	[[maybe_unused]] ieee_rounding guard;
	size_t n = end - first, with_time = 0;
	c->stamp.assign(n, 0);
	c->valid.assign(n, false);
	c->at.assign(n, 0.0);
	for (size_t i = 0; i < n; i++)
		if (pts[first + i].has_time)
			with_time++;
	c->timed = with_time >= 2 && 2 * with_time >= n;
	if (!c->timed) {
		for (size_t i = 0; i < n; i++)
			c->at[i] = (double)i;
		return;
	}
	/* The stamps, never going back. */
	bool started = false;
	int64_t last = 0;
	for (size_t i = 0; i < n; i++) {
		const struct trip_point &p = pts[first + i];
		if (p.has_time) {
			c->valid[i] = true;
			last = started ? std::max(last, p.centis) : p.centis;
			started = true;
		}
		c->stamp[i] = last;
	}
	/* The clock of the points with a time: each run of one stamp spread
	 * evenly up to the next stamp, or over a second. */
	std::vector<size_t> timed;
	for (size_t i = 0; i < n; i++)
		if (c->valid[i])
			timed.push_back(i);
	for (size_t k = 0; k < timed.size();) {
		size_t run = k;
		while (run < timed.size() &&
		       c->stamp[timed[run]] == c->stamp[timed[k]])
			run++;
		double base = seconds(c->stamp[timed[k]]);
		double span = SPREAD_MOST;
		if (run < timed.size())
			span = std::min(span,
					seconds(c->stamp[timed[run]]) - base);
		for (size_t j = k; j < run; j++)
			c->at[timed[j]] =
			    base + span * (double)(j - k) / (double)(run - k);
		k = run;
	}
	/* The points without a time, in step between their neighbours; one
	 * second a step before the first time and after the last.  Those
	 * before the first time take its stamp. */
	size_t head = timed.front(), tail = timed.back();
	for (size_t i = 0; i < head; i++)
		c->stamp[i] = c->stamp[head];
	for (size_t i = 0; i < head; i++)
		c->at[i] = c->at[head] - (double)(head - i);
	for (size_t i = tail + 1; i < n; i++)
		c->at[i] = c->at[tail] + (double)(i - tail);
	for (size_t k = 0; k + 1 < timed.size(); k++) {
		size_t a = timed[k], b = timed[k + 1];
		for (size_t i = a + 1; i < b; i++)
			c->at[i] = c->at[a] + (c->at[b] - c->at[a]) *
						  (double)(i - a) /
						  (double)(b - a);
	}
}

double trip_median(std::vector<double> &v)
{
	size_t mid = v.size() / 2;
	std::nth_element(v.begin(), v.begin() + (ptrdiff_t)mid, v.end());
	return v[mid];
}

std::vector<double> trip_window_median(const std::vector<double> &v)
{
	size_t n = v.size();
	std::vector<double> out(n), window;
	for (size_t i = 0; i < n; i++) {
		size_t lo = i > TRIP_WINDOW_STEPS ? i - TRIP_WINDOW_STEPS : 0;
		size_t hi = std::min(n, i + TRIP_WINDOW_STEPS + 1);
		window.assign(v.begin() + (ptrdiff_t)lo,
			      v.begin() + (ptrdiff_t)hi);
		out[i] = trip_median(window);
	}
	return out;
}

__attribute__((noinline)) void trip_make_line(
    const std::vector<struct trip_point> &pts, size_t first, size_t end,
    struct trip_line *l)
{
	[[maybe_unused]] ieee_rounding guard;
	trip_make_clock(pts, first, end, &l->clock);
	size_t steps = end - first > 0 ? end - first - 1 : 0;
	const std::vector<double> &at = l->clock.at;
	std::vector<double> speed(steps);
	l->len.resize(steps);
	for (size_t s = 0; s < steps; s++) {
		l->len[s] = trip_geodesic(pts[first + s], pts[first + s + 1]);
		speed[s] = l->len[s] / (at[s + 1] - at[s]);
	}
	l->pace = trip_window_median(speed);
}

void trip_keep_line(const std::vector<struct trip_point> &pts, size_t first,
		    const std::vector<size_t> &kept, struct trip_line *l)
{
	/* In place: the k-th point kept is at k or later. */
	size_t m = kept.size();
	for (size_t k = 0; k < m; k++) {
		size_t i = kept[k];
		l->clock.stamp[k] = l->clock.stamp[i];
		l->clock.valid[k] = l->clock.valid[i];
		l->clock.at[k] = l->clock.at[i];
		if (k + 1 == m)
			break;
		size_t j = kept[k + 1];
		if (j != i + 1)
			l->len[i] = trip_geodesic(pts[first + i], pts[first + j]);
		l->len[k] = l->len[i];
		l->pace[k] = l->pace[i];
	}
	l->clock.stamp.resize(m);
	l->clock.valid.resize(m);
	l->clock.at.resize(m);
	l->len.resize(m > 0 ? m - 1 : 0);
	l->pace.resize(l->len.size());
}
