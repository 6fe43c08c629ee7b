/* SPDX-License-Identifier: MIT */
#include "profile.h"

#include <math.h>

#include <algorithm>
#include <vector>

#include "drawing.h"
#include "ieee_rounding.h"
#include "page.h"

namespace {

/* The plot within the view box; the room around it holds the axes'
 * labels. */
const double PLOT_LEFT = 70, PLOT_RIGHT = 20, PLOT_TOP = 20,
	     PLOT_BOTTOM = 45;
/* The font size of every text of the profile (view box units), as the
 * page's style sets it, in the fonts whose widths text_width() knows. */
const double FONT = 13;
/* Room kept free above the highest elevation and below the lowest, for
 * their labels. */
const double LABEL_ROOM = 26;
/* A marked point's label keeps this far from it, up or down and to the
 * side; labels keep INSET clear of the plot's sides. */
const double MARK_GAP = 5, MARK_SIDE = 8, INSET = 4;
/* Tick labels: this far below the distance axis, left of the elevation
 * axis; the distance's unit below them. */
const double TICK_GAP = 6, UNIT_BELOW = 38;
/* The axes span at least this many metres; the distance axis at most
 * DISTANCE_MOST, beyond any track on Earth's 65535 points. */
const double ELE_SPAN_LEAST = 20, DISTANCE_LEAST = 10, DISTANCE_MOST = 1e13;
/* Below this distance (metres) the distance axis is in metres. */
const double KILOMETRE = 1000;
/* About this many steps to an axis; never more than TICKS_MOST ticks. */
const double STEPS = 5;
const int TICKS_MOST = 100;

double plot_right() { return PAGE_PROFILE_WIDTH - PLOT_RIGHT; }
double plot_bottom() { return PAGE_PROFILE_HEIGHT - PLOT_BOTTOM; }

bool drawable(const struct trip_point &p)
{
	return p.has_ele && p.ele >= PROFILE_ELE_LOWEST &&
	       p.ele <= PROFILE_ELE_HIGHEST;
}

/* An axis: the values from low to high, ticks every step from the first
 * multiple at or above low, labelled with decimals. */
struct axis {
	double low, high, step;
	int decimals;
};

__attribute__((noinline)) struct axis axis_of(double low, double high)
{
	[[maybe_unused]] ieee_rounding guard;
	double step = round_step(high - low, STEPS);
	return axis{low, high, step, decimals_of(step)};
}

/* The value of the tick i steps on from the first. */
__attribute__((noinline)) double tick(const struct axis &a, int i)
{
	[[maybe_unused]] ieee_rounding guard;
	return (ceil(a.low / a.step) + i) * a.step;
}

/* Whether the tick i is past the axis's end. */
__attribute__((noinline)) bool beyond(const struct axis &a, int i)
{
	[[maybe_unused]] ieee_rounding guard;
	return i >= TICKS_MOST || tick(a, i) > a.high + a.step * 1e-9;
}

/* Where a profile's values go in its view box. */
struct plot {
	struct axis x, y;
	double unit; /* metres a unit of the distance axis */
};

/* Metres of distance along, or an elevation, in view box units. */
__attribute__((noinline)) double x_of(const struct plot &p, double metres)
{
	[[maybe_unused]] ieee_rounding guard;
	double w = plot_right() - PLOT_LEFT;
	return PLOT_LEFT + (metres / p.unit - p.x.low) / (p.x.high - p.x.low) * w;
}

__attribute__((noinline)) double y_of(const struct plot &p, double ele)
{
	[[maybe_unused]] ieee_rounding guard;
	double h = plot_bottom() - PLOT_TOP;
	return PLOT_TOP + (p.y.high - ele) / (p.y.high - p.y.low) * h;
}

/* The axes of a track whose drawn elevations lie from low to high: the
 * distance from 0, the elevations with LABEL_ROOM above and below. */
__attribute__((noinline)) struct plot plot_of(double distance, double low,
					      double high)
{
	[[maybe_unused]] ieee_rounding guard;
	struct plot p;
	distance = distance >= 0 ? std::min(distance, DISTANCE_MOST) : 0.0;
	p.unit = distance < KILOMETRE ? 1.0 : KILOMETRE;
	p.x = axis_of(0, std::max(distance, DISTANCE_LEAST) / p.unit);
	double span = std::max(high - low, ELE_SPAN_LEAST),
	       mid = (low + high) / 2;
	double room = span * LABEL_ROOM /
		      (plot_bottom() - PLOT_TOP - 2 * LABEL_ROOM);
	p.y = axis_of(mid - span / 2 - room, mid + span / 2 + room);
	return p;
}

/* The place a text takes. */
struct box {
	double left, top, right, bottom;
};

enum anchor { START, MIDDLE, END };

/* The box of text with its anchor at x and its baseline at y. */
__attribute__((noinline)) struct box text_box(const std::string &text,
					      double x, double y,
					      enum anchor a)
{
	[[maybe_unused]] ieee_rounding guard;
	double w = text_width(text, FONT);
	double left = a == START ? x : a == MIDDLE ? x - w / 2 : x - w;
	return box{left, y - text_ascent(FONT), left + w,
		   y + text_descent(FONT)};
}

__attribute__((noinline)) bool within(const struct box &inner,
				      const struct box &outer)
{
	[[maybe_unused]] ieee_rounding guard;
	return inner.left >= outer.left && inner.right <= outer.right &&
	       inner.top >= outer.top && inner.bottom <= outer.bottom;
}

__attribute__((noinline)) bool overlap(const struct box &a,
				       const struct box &b)
{
	[[maybe_unused]] ieee_rounding guard;
	return a.left < b.right && b.left < a.right && a.top < b.bottom &&
	       b.top < a.bottom;
}

/* The texts of a drawing as they are written: a text that would overlap
 * one written before, or reach beyond its bounds, is left out. */
struct texts {
	struct page *pg;
	struct box bounds;
	std::vector<struct box> taken;

	/* Writes text at x, y (its anchor, its baseline) with attributes
	 * attrs, unless it finds no room; true when it was written. */
	bool put(const std::string &text, double x, double y, enum anchor a,
		 const char *attrs = "")
	{
		struct box b = text_box(text, x, y, a);
		if (!within(b, bounds))
			return false;
		for (const struct box &t : taken)
			if (overlap(b, t))
				return false;
		taken.push_back(b);
		pg->put("<text");
		pg->put(attrs);
		pg->put(a == START    ? ""
			: a == MIDDLE ? " text-anchor=\"middle\""
				      : " text-anchor=\"end\"");
		pg->put(" x=\"");
		pg->tenths(x);
		pg->put("\" y=\"");
		pg->tenths(y);
		pg->put("\">" + text + "</text>");
		return true;
	}
};

std::string fixed(double v, int decimals)
{
	char text[TRIP_TEXT_SIZE];
	return trip_format_fixed(v, decimals, text);
}

void put_line(struct page *pg, double x1, double y1, double x2, double y2)
{
	pg->put("<line x1=\"");
	pg->tenths(x1);
	pg->put("\" y1=\"");
	pg->tenths(y1);
	pg->put("\" x2=\"");
	pg->tenths(x2);
	pg->put("\" y2=\"");
	pg->tenths(y2);
	pg->put("\"/>");
}

/* The units of the axes, then the labels of their ticks where they find
 * room. */
__attribute__((noinline)) void put_axes(struct texts *tx, const struct plot &p)
{
	[[maybe_unused]] ieee_rounding guard;
	struct page *pg = tx->pg;
	pg->put("<g class=\"axis\">");
	put_line(pg, PLOT_LEFT, plot_bottom(), plot_right(), plot_bottom());
	put_line(pg, PLOT_LEFT, PLOT_TOP, PLOT_LEFT, plot_bottom());
	pg->put("</g>\n<g class=\"alabel\">");
	/* A tick's label centred on its tick. */
	double centre = (text_ascent(FONT) - text_descent(FONT)) / 2;
	tx->put(p.unit == 1.0 ? "m" : "km", plot_right(),
		plot_bottom() + UNIT_BELOW, END);
	tx->put("m", TICK_GAP, PLOT_TOP + centre, START);
	double below = plot_bottom() + TICK_GAP + text_ascent(FONT);
	for (int i = 0; !beyond(p.x, i); i++) {
		double v = tick(p.x, i);
		tx->put(fixed(v, p.x.decimals), x_of(p, v * p.unit), below,
			MIDDLE);
	}
	for (int i = 0; !beyond(p.y, i); i++) {
		double v = tick(p.y, i);
		tx->put(fixed(v, p.y.decimals), PLOT_LEFT - TICK_GAP,
			y_of(p, v) + centre, END);
	}
	pg->put("</g>\n");
}

struct vertex {
	double x, y;
};

/* Writes the vertices of one line, of the ones that fall in the same
 * column one unit wide only the first, the lowest, the highest and the
 * last, in their order. */
__attribute__((noinline)) void put_thinned(struct page *pg,
					   const std::vector<struct vertex> &v)
{
	[[maybe_unused]] ieee_rounding guard;
	bool first = true;
	for (size_t a = 0; a < v.size();) {
		double column = floor(v[a].x);
		size_t b = a + 1, low = a, high = a;
		for (; b < v.size() && floor(v[b].x) == column; b++) {
			if (v[b].y > v[low].y)
				low = b;
			if (v[b].y < v[high].y)
				high = b;
		}
		size_t keep[] = {a, std::min(low, high), std::max(low, high),
				 b - 1};
		for (size_t k = 0; k < 4; k++) {
			if (k > 0 && keep[k] == keep[k - 1])
				continue;
			if (!first)
				pg->put(" ");
			first = false;
			pg->xy(v[keep[k]].x, v[keep[k]].y);
		}
		a = b;
	}
}

/* The line of the drawn points, one polyline a track: a segment starts
 * where the one before it ended along the track, so the profile goes on
 * at the same distance, and a log of tens of thousands of segments stays
 * a line of a few thousand points. */
void put_lines(struct page *pg, const struct plot &p,
	       const struct trip_track &t, const char *colour)
{
	std::vector<struct vertex> v;
	auto flush = [&]() {
		if (v.empty())
			return;
		pg->put("<polyline class=\"pline\" stroke=\"");
		pg->put(colour);
		pg->put("\" points=\"");
		put_thinned(pg, v);
		pg->put("\"/>\n");
		v.clear();
	};
	for (const struct trip_point &pt : t.kept) {
		if (drawable(pt))
			v.push_back(vertex{x_of(p, pt.along), y_of(p, pt.ele)});
	}
	flush();
}

void put_dot(struct page *pg, double x, double y)
{
	pg->put("<circle r=\"4\" fill=\"#222\" cx=\"");
	pg->tenths(x);
	pg->put("\" cy=\"");
	pg->tenths(y);
	pg->put("\"/>");
}

/* The label of a marked point at x, y: above it (or below), on its right
 * where it fits, else on its left. */
__attribute__((noinline)) void put_mark(struct texts *tx,
					const std::string &text, double x,
					double y, bool above)
{
	[[maybe_unused]] ieee_rounding guard;
	put_dot(tx->pg, x, y);
	double baseline = above ? y - MARK_GAP - text_descent(FONT)
				: y + MARK_GAP + text_ascent(FONT);
	double w = text_width(text, FONT);
	if (x + MARK_SIDE + w <= plot_right() - INSET)
		tx->put(text, x + MARK_SIDE, baseline, START,
			" class=\"extreme\"");
	else
		tx->put(text, std::max(x - MARK_SIDE, PLOT_LEFT + INSET + w),
			baseline, END, " class=\"extreme\"");
}

}  // namespace

bool trip_profile_drawable(const struct trip_track &t)
{
	for (const struct trip_point &p : t.kept)
		if (drawable(p))
			return true;
	return false;
}

void trip_put_profile(struct page *pg, const struct trip_track &t,
		      const char *colour)
{
	/* The first lowest and the first highest point drawn. */
	const struct trip_point *low = NULL, *high = NULL;
	for (const struct trip_point &p : t.kept) {
		if (!drawable(p))
			continue;
		if (low == NULL || p.ele < low->ele)
			low = &p;
		if (high == NULL || p.ele > high->ele)
			high = &p;
	}
	if (low == NULL)
		return;
	struct plot p = plot_of(t.distance, low->ele, high->ele);
	pg->put("<svg class=\"profile\" xmlns=\"http://www.w3.org/2000/svg\" "
		"viewBox=\"0 0 " +
		std::to_string((int)PAGE_PROFILE_WIDTH) + " " +
		std::to_string((int)PAGE_PROFILE_HEIGHT) +
		"\" role=\"img\" aria-label=\"elevation profile\">\n");
	struct texts tx = {pg,
			   box{0, 0, PAGE_PROFILE_WIDTH, PAGE_PROFILE_HEIGHT},
			   {}};
	put_axes(&tx, p);
	put_lines(pg, p, t, colour);
	std::string lowest = fixed(low->ele, 0), highest = fixed(high->ele, 0);
	/* Inside the plot, clear of its axes. */
	tx.bounds = box{PLOT_LEFT + INSET, PLOT_TOP + INSET,
			plot_right() - INSET, plot_bottom() - INSET};
	if (lowest == highest) {
		put_mark(&tx, highest + " m throughout", x_of(p, high->along),
			 y_of(p, high->ele), true);
	} else {
		put_mark(&tx, "highest " + highest + " m", x_of(p, high->along),
			 y_of(p, high->ele), true);
		put_mark(&tx, "lowest " + lowest + " m", x_of(p, low->along),
			 y_of(p, low->ele), false);
	}
	pg->put("\n</svg>\n");
}
