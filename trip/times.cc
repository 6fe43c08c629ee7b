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

namespace {

/* A time that goes back by more than half a day is the next day's: a log
 * without dates past midnight (hundredths). */
const int64_t DAY = 86400 * 100, HALF_DAY = DAY / 2;
/* Up to this many times in a row can be out of order. */
const size_t TIME_RUN_MOST = 3;
/* A first or last time at least this far (hundredths) and this many times
 * the usual time step from its neighbour's is a stale clock's. */
const int64_t END_GAP_LEAST = 3600 * 100;
const int64_t END_GAP_RATIO = 100;

/* Whether the times t[k, next) all lie outside [t[prev], t[next]] while
 * those two are in order. */
bool out_of_order(const std::vector<int64_t> &t, size_t prev, size_t k,
		  size_t next)
{
	if (t[prev] > t[next])
		return false;
	for (size_t j = k; j < next; j++)
		if (t[j] >= t[prev] && t[j] <= t[next])
			return false;
	return true;
}

/* The median of the steps between the times t. */
int64_t usual_step(const std::vector<int64_t> &t)
{
	std::vector<int64_t> steps(t.size() - 1);
	for (size_t k = 0; k + 1 < t.size(); k++)
		steps[k] = t[k + 1] > t[k] ? t[k + 1] - t[k] : t[k] - t[k + 1];
	size_t mid = steps.size() / 2;
	std::nth_element(steps.begin(), steps.begin() + (ptrdiff_t)mid,
			 steps.end());
	return steps[mid];
}

/* Whether the end time a lies so far from its neighbour b's that a stale
 * clock gave it. */
bool stale_end(int64_t a, int64_t b, int64_t usual)
{
	int64_t gap = a > b ? a - b : b - a;
	return gap >= END_GAP_LEAST && gap / END_GAP_RATIO > usual;
}

}  // namespace

void trip_check_times(std::vector<struct trip_point> &pts, size_t first,
		      size_t end)
{
	std::vector<size_t> timed;
	std::vector<int64_t> t;
	for (size_t i = first; i < end; i++)
		if (pts[i].has_time) {
			timed.push_back(i);
			t.push_back(pts[i].centis);
		}
	size_t n = timed.size();
	if (n < 3)
		return;
	std::vector<bool> off(n, false);
	int64_t usual = usual_step(t);
	off[0] = (t[0] > t[1] && t[1] <= t[2]) || stale_end(t[0], t[1], usual);
	off[n - 1] = (t[n - 1] < t[n - 2] && t[n - 3] <= t[n - 2]) ||
		     stale_end(t[n - 1], t[n - 2], usual);
	size_t prev = off[0] ? 1 : 0;
	for (size_t k = prev + 1; k + 1 < n; k++) {
		for (size_t m = 1; m <= TIME_RUN_MOST && k + m < n; m++) {
			if (off[k + m] || !out_of_order(t, prev, k, k + m))
				continue;
			for (size_t j = k; j < k + m; j++)
				off[j] = true;
			k += m - 1;
			break;
		}
		if (!off[k])
			prev = k;
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
	c->timed = with_time >= 2;
	if (!c->timed) {
		for (size_t i = 0; i < n; i++)
			c->at[i] = (double)i;
		return;
	}
	/* The stamps: a time that goes back by more than half a day is the
	 * next day's (a log without dates past midnight); one that goes back
	 * less takes the one before it, and the times after it go on from
	 * there. */
	bool started = false;
	int64_t last = 0, offset = 0;
	for (size_t i = 0; i < n; i++) {
		const struct trip_point &p = pts[first + i];
		if (p.has_time) {
			c->valid[i] = true;
			int64_t stamp = p.centis + offset;
			if (started && last - stamp > HALF_DAY) {
				int64_t days =
				    (last - stamp - HALF_DAY + DAY - 1) / DAY;
				offset += days * DAY;
				stamp += days * DAY;
			}
			if (started && stamp < last) {
				offset += last - stamp;
				stamp = last;
			}
			last = stamp;
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
	/* The points without a time, in step between their neighbours, and
	 * before the first time and after the last at the mean step between
	 * them.  Those before the first time take its stamp. */
	size_t head = timed.front(), tail = timed.back();
	for (size_t i = 0; i < head; i++)
		c->stamp[i] = c->stamp[head];
	double step = timed.size() > 1 ? (c->at[tail] - c->at[head]) /
					     (double)(tail - head)
				       : 1.0;
	for (size_t i = 0; i < head; i++)
		c->at[i] = c->at[head] - step * (double)(head - i);
	for (size_t i = tail + 1; i < n; i++)
		c->at[i] = c->at[tail] + step * (double)(i - tail);
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
	/* The window slides one value at a time: kept sorted, it loses one
	 * value and gains one, and its middle is the median. */
	size_t n = v.size();
	std::vector<double> out(n), window;
	size_t lo = 0, hi = 0; /* window holds v[lo, hi), sorted */
	for (size_t i = 0; i < n; i++) {
		size_t want_lo = i > TRIP_WINDOW_STEPS ? i - TRIP_WINDOW_STEPS : 0;
		size_t want_hi = std::min(n, i + TRIP_WINDOW_STEPS + 1);
		for (; hi < want_hi; hi++)
			window.insert(std::upper_bound(window.begin(),
						       window.end(), v[hi]),
				      v[hi]);
		for (; lo < want_lo; lo++)
			window.erase(std::lower_bound(window.begin(),
						      window.end(), v[lo]));
		out[i] = window[window.size() / 2];
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
