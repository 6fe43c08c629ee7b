/* SPDX-License-Identifier: MIT */
#include "map.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <GeographicLib/AzimuthalEquidistant.hpp>
#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/Math.hpp>
#include <GeographicLib/TransverseMercator.hpp>

#include "ieee_rounding.h"
#include "labels.h"
#include "page.h"

using GeographicLib::Math;

const char TRIP_MAP_STYLE[] =
    ".map{background:#f3f1ea;border:1px solid #bbb}"
    ".map text{font-family:\"DejaVu Sans\",\"Liberation Sans\",Arial,"
    "Helvetica,sans-serif}"
    ".grid{stroke:#cfc9b8;stroke-width:1;fill:none}"
    ".glabel{fill:#8a8470;font-size:13px;paint-order:stroke;"
    "stroke:#f3f1ea;stroke-width:3}"
    ".trk{fill:none;stroke-width:3;stroke-linejoin:round;"
    "stroke-linecap:round}"
    ".others{fill:none;stroke:#8c8c8c;stroke-width:2;"
    "stroke-linejoin:round;stroke-linecap:round}"
    ".rte{fill:none;stroke:#555;stroke-width:2;stroke-dasharray:9 6}"
    ".wpt{fill:none;stroke:#222;stroke-width:10;stroke-linecap:round}"
    ".wlabel{font-size:14px;fill:#222;paint-order:stroke;stroke:#f3f1ea;"
    "stroke-width:3}"
    ".scale{stroke:#222;stroke-width:3}.slabel{font-size:14px;fill:#222}"
    ".empty{fill:#777;font-size:20px}";

namespace {

const double W = PAGE_MAP_WIDTH, H = PAGE_MAP_HEIGHT;
/* The font sizes of TRIP_MAP_STYLE. */
const double WAYPOINT_PX = 14, GRID_PX = 13, SCALE_PX = 14;
/* A map shows at least this much ground (metres), around a lone point. */
const double SPAN_LEAST = 500.0;
/* Room around what the map shows (view box units). */
const double MARGIN = 40.0;
/* Room kept between a text and the map's edge (units). */
const double EDGE_GAP = 2.0;
/* The widest waypoint label, and the narrower one tried where that fits
 * nowhere (units). */
const double LABEL_WIDEST = 200.0, LABEL_NARROW = 100.0;
/* Graticule lines wanted each way, at least: a step is at most 2.5 times
 * span / GRID_LINES, so that at least two lines cross the map. */
const double GRID_LINES = 6.0;
/* Samples of a graticule line across what the map shows; points closer
 * than STRAIGHT to the line through their neighbours are dropped. */
const int GRID_SAMPLES = 120;
const double STRAIGHT = 0.1;
/* A step between samples longer than this is a jump through infinity
 * (near the antipode of an azimuthal map's centre): no line is drawn. */
const double JUMP = W / 4;
/* Graticule lines end this far from an azimuthal map's centre (metres):
 * towards the antipode the projection grows so sensitive that the last
 * bits of a platform's maths would move them. */
const double GRID_REACH = 15000e3;
/* The scale bar: at least this long (units), from this corner. */
const double SCALE_LEAST = 150.0, SCALE_X = 20.0, SCALE_Y = H - 20.0;

struct place {
	double lat, lon;
};

enum projection_kind { TRANSVERSE_MERCATOR, AZIMUTHAL_EQUIDISTANT };

/* How places go onto the map: the projection's centre; the position on
 * its plane at the map's centre, the plane's metres a metre of ground
 * there, and the view box units a metre of the plane. */
struct projection {
	enum projection_kind kind;
	double lat0, lon0;
	double y0; /* transverse Mercator's northing of the centre */
	double x_mid, y_mid, k;
	double scale;
};

const GeographicLib::TransverseMercator &transverse_mercator()
{
	static const GeographicLib::TransverseMercator tm(
	    GeographicLib::Constants::WGS84_a(),
	    GeographicLib::Constants::WGS84_f(), 1.0);
	return tm;
}

/* The azimuthal map is on the sphere of the Earth's mean radius (WGS84's
 * (2a + b) / 3): its geodesics are great circles, several times quicker
 * to find than the ellipsoid's, and at the scales of such maps (tens of
 * kilometres a unit) no more than 0.6 % off them. */
const double MEAN_RADIUS = 6371008.8;

const GeographicLib::AzimuthalEquidistant &azimuthal_equidistant()
{
	static const GeographicLib::AzimuthalEquidistant ae(
	    GeographicLib::Geodesic(MEAN_RADIUS, 0));
	return ae;
}

/* Metres east and north of the centre on the projection's plane; false
 * where they are not finite. */
__attribute__((noinline)) bool to_plane(const struct projection &p, double lat,
					double lon, double *x, double *y)
{
	[[maybe_unused]] ieee_rounding guard;
	if (p.kind == TRANSVERSE_MERCATOR) {
		transverse_mercator().Forward(p.lon0, lat, lon, *x, *y);
		*y -= p.y0;
	} else {
		azimuthal_equidistant().Forward(p.lat0, p.lon0, lat, lon, *x,
						*y);
	}
	return std::isfinite(*x) && std::isfinite(*y);
}

/* The place at metres east and north of the centre; false where it is no
 * place. */
__attribute__((noinline)) bool from_plane(const struct projection &p, double x,
					  double y, double *lat, double *lon)
{
	[[maybe_unused]] ieee_rounding guard;
	if (p.kind == TRANSVERSE_MERCATOR)
		transverse_mercator().Reverse(p.lon0, x, y + p.y0, *lat, *lon);
	else
		azimuthal_equidistant().Reverse(p.lat0, p.lon0, x, y, *lat,
						*lon);
	return std::isfinite(*lat) && std::isfinite(*lon);
}

__attribute__((noinline)) bool to_view(const struct projection &p, double lat,
				       double lon, double *vx, double *vy)
{
	[[maybe_unused]] ieee_rounding guard;
	double x, y;
	if (!to_plane(p, lat, lon, &x, &y))
		return false;
	*vx = W / 2 + (x - p.x_mid) * p.scale;
	*vy = H / 2 - (y - p.y_mid) * p.scale;
	return std::isfinite(*vx) && std::isfinite(*vy);
}

__attribute__((noinline)) bool from_view(const struct projection &p, double vx,
					 double vy, double *lat, double *lon)
{
	[[maybe_unused]] ieee_rounding guard;
	return from_plane(p, (vx - W / 2) / p.scale + p.x_mid,
			  (H / 2 - vy) / p.scale + p.y_mid, lat, lon);
}

/* v to a whole number of steps: the numbers that fix the projection are
 * taken so, that their last bits, which the platforms' maths may find
 * differently, make no difference. */
__attribute__((noinline)) double settled(double v, double step)
{
	[[maybe_unused]] ieee_rounding guard;
	return nearbyint(v / step) * step;
}

/* v to 32 significant bits, for the same reason. */
__attribute__((noinline)) double settled_bits(double v)
{
	[[maybe_unused]] ieee_rounding guard;
	int exponent;
	frexp(v, &exponent);
	return ldexp(nearbyint(ldexp(v, 32 - exponent)), exponent - 32);
}

/* Degrees of the centre are settled to this (about 0.1 mm). */
const double CENTRE_STEP = 1e-9;
/* The middle of the map on the plane is settled to this (metres). */
const double MIDDLE_STEP = 1e-3;

/* A projection of the kind centred on c, the map too, at one unit a
 * metre. */
__attribute__((noinline)) struct projection centred(enum projection_kind kind,
						    struct place c)
{
	[[maybe_unused]] ieee_rounding guard;
	struct projection p = {};
	p.kind = kind;
	p.lat0 = settled(c.lat, CENTRE_STEP);
	p.lon0 = settled(c.lon, CENTRE_STEP);
	p.k = p.scale = 1;
	if (kind == TRANSVERSE_MERCATOR) {
		double x;
		transverse_mercator().Forward(p.lon0, p.lat0, p.lon0, x, p.y0);
	}
	return p;
}

/* At most this many of the places, evenly picked, find the map's centre
 * and whether transverse Mercator serves: enough for a centre, while
 * every place is projected only once (or twice). */
const size_t SAMPLES = 2048;

/* Every nth of the places, and the last, for at most about SAMPLES. */
std::vector<struct place> sample_of(const std::vector<struct place> &places)
{
	size_t every = places.size() / SAMPLES + 1;
	std::vector<struct place> v;
	for (size_t i = 0; i < places.size(); i += every)
		v.push_back(places[i]);
	if ((places.size() - 1) % every != 0)
		v.push_back(places.back());
	return v;
}

/* The centre of the places on the globe: the direction of the sum of
 * their unit vectors; the first place where they cancel out (spread
 * evenly round the globe). */
__attribute__((noinline)) struct place
centre_of(const std::vector<struct place> &places)
{
	[[maybe_unused]] ieee_rounding guard;
	double x = 0, y = 0, z = 0;
	for (const struct place &pl : places) {
		double slat, clat, slon, clon;
		Math::sincosd(pl.lat, slat, clat);
		Math::sincosd(pl.lon, slon, clon);
		x += clat * clon;
		y += clat * slon;
		z += slat;
	}
	double equatorial = hypot(x, y);
	if (hypot(equatorial, z) < 1e-6 * (double)places.size())
		return places.front();
	return place{Math::atan2d(z, equatorial),
		     equatorial == 0 ? 0.0 : Math::atan2d(y, x)};
}

/* A place on the projection's plane (metres from the centre), where it
 * has one. */
struct planar {
	double x, y;
	bool ok;
};

/* The extremes of the places on a projection's plane (metres), and the
 * farthest from its centre there (infinite where one has no position);
 * their positions there in *plane unless NULL. */
struct bounds {
	double west, east, south, north, reach;
};

__attribute__((noinline)) struct bounds
bounds_of(const struct projection &p, const std::vector<struct place> &places,
	  std::vector<struct planar> *plane)
{
	[[maybe_unused]] ieee_rounding guard;
	struct bounds b = {HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL, 0};
	for (const struct place &pl : places) {
		struct planar q = {0, 0, false};
		q.ok = to_plane(p, pl.lat, pl.lon, &q.x, &q.y);
		if (plane != NULL)
			plane->push_back(q);
		if (!q.ok) {
			b.reach = HUGE_VAL;
			continue;
		}
		b.west = std::min(b.west, q.x);
		b.east = std::max(b.east, q.x);
		b.south = std::min(b.south, q.y);
		b.north = std::max(b.north, q.y);
		b.reach = std::max(b.reach, hypot(q.x, q.y));
	}
	if (b.west > b.east)
		b.west = b.east = b.south = b.north = 0;
	return b;
}

/* The projection that suits the places (see map.h), the map centred on
 * the middle of what they cover and scaled so that they fit with a
 * margin; the places on its plane in *plane.  Transverse Mercator is
 * conformal: its map is centred off the projection's centre, its scale bar
 * true there by the scale factor.  Azimuthal equidistant is true only
 * from its centre: it is centred anew on the middle.  Where a sample of
 * the places reaches too far for transverse Mercator, it is not tried on
 * all of them. */
__attribute__((noinline)) struct projection
projection_of(const std::vector<struct place> &places,
	      std::vector<struct planar> *plane)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<struct place> sample = sample_of(places);
	struct place c = centre_of(sample);
	plane->reserve(places.size());
	struct projection p = centred(TRANSVERSE_MERCATOR, c);
	struct bounds b = bounds_of(p, sample, NULL);
	if (b.reach <= MAP_LOCAL_REACH)
		b = bounds_of(p, places, plane);
	struct place middle;
	if (b.reach <= MAP_LOCAL_REACH) {
		p.x_mid = settled((b.west + b.east) / 2, MIDDLE_STEP);
		p.y_mid = settled((b.south + b.north) / 2, MIDDLE_STEP);
		double x, y, gamma;
		if (from_plane(p, p.x_mid, p.y_mid, &middle.lat, &middle.lon))
			transverse_mercator().Forward(p.lon0, middle.lat,
						      middle.lon, x, y, gamma,
						      p.k);
		p.k = settled_bits(p.k);
	} else {
		plane->clear();
		p = centred(AZIMUTHAL_EQUIDISTANT, c);
		b = bounds_of(p, sample, NULL);
		if (from_plane(p, (b.west + b.east) / 2,
			       (b.south + b.north) / 2, &middle.lat,
			       &middle.lon))
			p = centred(AZIMUTHAL_EQUIDISTANT, middle);
		b = bounds_of(p, places, plane);
	}
	double half_x = std::max({p.x_mid - b.west, b.east - p.x_mid,
				  SPAN_LEAST / 2}),
	       half_y = std::max({p.y_mid - b.south, b.north - p.y_mid,
				  SPAN_LEAST / 2});
	p.scale = settled_bits(
	    std::min((W / 2 - MARGIN) / half_x, (H / 2 - MARGIN) / half_y));
	return p;
}

/*
 * The graticule.
 */

/* What the map shows: its latitudes, and its longitudes as west and east
 * of the centre's meridian (at most 180 degrees either way). */
struct view_range {
	double south, north, west, east;
	bool round; /* every longitude */
};

/* Samples of the map's view box, each way. */
const int RANGE_SAMPLES = 40;

/* Whether sample (i, j) of the view box can hold an extreme of the
 * latitudes and longitudes shown.  Transverse Mercator is conformal: the
 * isometric latitude and the longitude are harmonic functions on its
 * plane, whose extremes over the box lie on its edges (the poles, where
 * they are not, are taken apart below), so only the edges are sampled,
 * which saves most of the projections a page's map costs. */
bool may_be_extreme(const struct projection &p, int i, int j)
{
	return p.kind != TRANSVERSE_MERCATOR || i == 0 ||
	       i == RANGE_SAMPLES || j == 0 || j == RANGE_SAMPLES;
}

__attribute__((noinline)) struct view_range range_of(const struct projection &p)
{
	[[maybe_unused]] ieee_rounding guard;
	struct view_range r = {90, -90, 180, -180, false};
	for (int i = 0; i <= RANGE_SAMPLES; i++)
		for (int j = 0; j <= RANGE_SAMPLES; j++) {
			if (!may_be_extreme(p, i, j))
				continue;
			double lat, lon;
			if (!from_view(p, W * i / RANGE_SAMPLES,
				       H * j / RANGE_SAMPLES, &lat, &lon))
				continue;
			double d = Math::AngDiff(p.lon0, lon);
			r.south = std::min(r.south, lat);
			r.north = std::max(r.north, lat);
			r.west = std::min(r.west, d);
			r.east = std::max(r.east, d);
		}
	for (double pole : {-90.0, 90.0}) {
		double x, y;
		if (to_view(p, pole, p.lon0, &x, &y) && x >= 0 && x <= W &&
		    y >= 0 && y <= H) {
			r.south = std::min(r.south, pole);
			r.north = std::max(r.north, pole);
			r.round = true;
		}
	}
	if (r.round || r.east - r.west > 270) {
		r.round = true;
		r.west = -180;
		r.east = 180;
	}
	r.west += p.lon0;
	r.east += p.lon0;
	return r;
}

/* The step of graticule lines in degrees: a round one at or above want
 * (1, 2 or 5 times a power of ten; beyond 10 degrees, a divisor of 90
 * or 180). */
__attribute__((noinline)) double degree_step(double want)
{
	[[maybe_unused]] ieee_rounding guard;
	if (want <= 10)
		return round_step(std::max(want, 1e-6), 1);
	for (double step : {15.0, 20.0, 30.0, 45.0, 60.0})
		if (step >= want)
			return step;
	return 90.0;
}

/* Half the last decimal place shown. */
__attribute__((noinline)) double half_place(int decimals)
{
	[[maybe_unused]] ieee_rounding guard;
	return 0.5 * pow(10.0, -decimals);
}

/* "47.42°N" or "10.98°W" of a latitude or longitude, in Windows-1252. */
__attribute__((noinline)) std::string degrees_label(double v, int decimals,
						    bool latitude)
{
	[[maybe_unused]] ieee_rounding guard;
	if (!latitude)
		v = Math::AngNormalize(v);
	char text[TRIP_TEXT_SIZE];
	trip_format_fixed(fabs(v), decimals, text);
	std::string label = text;
	label += '\xb0';
	/* The equator, the prime meridian and the antimeridian have no
	 * side. */
	bool side = strspn(text, "0.") != strlen(text) &&
		    (latitude || fabs(fabs(v) - 180.0) > half_place(decimals));
	if (side)
		label += latitude ? (v < 0 ? "S" : "N") : (v < 0 ? "W" : "E");
	return label;
}

/* Where a graticule line meets the map's edge, or a point of it inside. */
enum edge { EDGE_TOP, EDGE_RIGHT, EDGE_BOTTOM, EDGE_LEFT, EDGE_NONE };

struct anchor {
	double x, y;
	enum edge edge;
};

/* A graticule line on the map: its pieces inside the view box, and where
 * it may be labelled. */
struct grid_line {
	std::vector<std::vector<std::pair<double, double>>> pieces;
	std::vector<struct anchor> ends, inner;
};

__attribute__((noinline)) enum edge edge_of(double x, double y)
{
	[[maybe_unused]] ieee_rounding guard;
	return y <= 0	? EDGE_TOP
	       : x >= W ? EDGE_RIGHT
	       : y >= H ? EDGE_BOTTOM
	       : x <= 0 ? EDGE_LEFT
			: EDGE_NONE;
}

/* Clips the segment from (x0, y0) to (x1, y1) to the view box (Liang and
 * Barsky); false where none of it lies inside. */
__attribute__((noinline)) bool clip(double *x0, double *y0, double *x1,
				    double *y1)
{
	[[maybe_unused]] ieee_rounding guard;
	double dx = *x1 - *x0, dy = *y1 - *y0, t0 = 0, t1 = 1;
	const double p[4] = {-dx, dx, -dy, dy},
		     q[4] = {*x0, W - *x0, *y0, H - *y0};
	for (int i = 0; i < 4; i++) {
		if (p[i] == 0) {
			if (q[i] < 0)
				return false;
			continue;
		}
		double t = q[i] / p[i];
		if (p[i] < 0)
			t0 = std::max(t0, t);
		else
			t1 = std::min(t1, t);
	}
	if (t0 > t1)
		return false;
	double ax = *x0 + t0 * dx, ay = *y0 + t0 * dy;
	*x1 = *x0 + t1 * dx;
	*y1 = *y0 + t1 * dy;
	*x0 = ax;
	*y0 = ay;
	return true;
}

/* Whether (bx, by) lies within STRAIGHT of the line from a to c. */
__attribute__((noinline)) bool between(std::pair<double, double> a, double bx,
				       double by, double cx, double cy)
{
	[[maybe_unused]] ieee_rounding guard;
	double dx = cx - a.first, dy = cy - a.second;
	double length = hypot(dx, dy);
	if (length == 0)
		return hypot(bx - cx, by - cy) <= STRAIGHT;
	double off = fabs(dx * (by - a.second) - dy * (bx - a.first)) / length;
	double along = (dx * (bx - a.first) + dy * (by - a.second)) / length;
	return off <= STRAIGHT && along >= 0 && along <= length;
}

/* Adds a step of a line to the map, clipped to the view box. */
__attribute__((noinline)) void add_step(struct grid_line *g, bool *open,
					double x0, double y0, double x1,
					double y1)
{
	[[maybe_unused]] ieee_rounding guard;
	if (hypot(x1 - x0, y1 - y0) > JUMP) {
		*open = false;
		return;
	}
	double ox1 = x1, oy1 = y1;
	if (!clip(&x0, &y0, &x1, &y1)) {
		*open = false;
		return;
	}
	x0 = snapped(x0);
	y0 = snapped(y0);
	x1 = snapped(x1);
	y1 = snapped(y1);
	if (!*open) {
		g->pieces.emplace_back();
		g->pieces.back().emplace_back(x0, y0);
		enum edge e = edge_of(x0, y0);
		if (e != EDGE_NONE)
			g->ends.push_back(anchor{x0, y0, e});
		*open = true;
	}
	auto &piece = g->pieces.back();
	std::pair<double, double> to(x1, y1);
	if (piece.back() != to) {
		if (piece.size() >= 2 &&
		    between(piece[piece.size() - 2], piece.back().first,
			    piece.back().second, x1, y1))
			piece.back() = to;
		else
			piece.push_back(to);
	}
	if (x1 != ox1 || y1 != oy1) {
		enum edge e = edge_of(x1, y1);
		if (e != EDGE_NONE)
			g->ends.push_back(anchor{x1, y1, e});
		*open = false;
	} else {
		g->inner.push_back(anchor{x1, y1, EDGE_NONE});
	}
}

/* The line of latitude (along, from from to to in longitude) or of
 * longitude (from and to in latitude) at v. */
__attribute__((noinline)) struct grid_line
grid_line_of(const struct projection &p, bool parallel, double v, double from,
	     double to)
{
	[[maybe_unused]] ieee_rounding guard;
	struct grid_line g;
	bool open = false, had = false;
	double px = 0, py = 0;
	for (int i = 0; i <= GRID_SAMPLES; i++) {
		double t = i == GRID_SAMPLES
			       ? to
			       : std::min(to, from + (to - from) * i / GRID_SAMPLES);
		double x, y;
		if (!(parallel ? to_view(p, v, t, &x, &y)
			       : to_view(p, t, v, &x, &y)) ||
		    (p.kind == AZIMUTHAL_EQUIDISTANT &&
		     hypot(x - W / 2, y - H / 2) > GRID_REACH * p.scale)) {
			had = open = false;
			continue;
		}
		x = snapped(x);
		y = snapped(y);
		if (had)
			add_step(&g, &open, px, py, x, y);
		px = x;
		py = y;
		had = true;
	}
	return g;
}

/* Where the label of a graticule line may go, best first: beside where it
 * meets the edges (a meridian the top, then the bottom; a parallel the
 * left side, then the right; then the others), else beside a point of it
 * inside, from its middle outwards. */
__attribute__((noinline)) std::vector<struct label>
grid_candidates(const struct grid_line &g, bool parallel)
{
	[[maybe_unused]] ieee_rounding guard;
	const double gap = 4, up = text_descent(GRID_PX) + gap,
		     down = text_ascent(GRID_PX) + gap;
	static const enum edge MERIDIAN[] = {EDGE_TOP, EDGE_BOTTOM, EDGE_LEFT,
					     EDGE_RIGHT},
			       PARALLEL[] = {EDGE_LEFT, EDGE_RIGHT, EDGE_TOP,
					     EDGE_BOTTOM};
	std::vector<struct label> at;
	for (enum edge e : parallel ? PARALLEL : MERIDIAN)
		for (const struct anchor &a : g.ends) {
			if (a.edge != e)
				continue;
			switch (e) {
			case EDGE_TOP:
				at.push_back(
				    label{a.x + gap, down, ANCHOR_START});
				at.push_back(
				    label{a.x - gap, down, ANCHOR_END});
				break;
			case EDGE_BOTTOM:
				at.push_back(
				    label{a.x + gap, H - up, ANCHOR_START});
				at.push_back(
				    label{a.x - gap, H - up, ANCHOR_END});
				break;
			case EDGE_LEFT:
				at.push_back(
				    label{gap, a.y - up, ANCHOR_START});
				at.push_back(
				    label{gap, a.y + down, ANCHOR_START});
				break;
			default:
				at.push_back(
				    label{W - gap, a.y - up, ANCHOR_END});
				at.push_back(
				    label{W - gap, a.y + down, ANCHOR_END});
			}
		}
	/* Some ten points along the line inside. */
	size_t n = g.inner.size(), every = std::max<size_t>(1, n / 10);
	std::vector<size_t> points;
	for (size_t i = every / 2; i < n; i += every)
		points.push_back(i);
	std::stable_sort(points.begin(), points.end(), [n](size_t a, size_t b) {
		return (a > n / 2 ? a - n / 2 : n / 2 - a) <
		       (b > n / 2 ? b - n / 2 : n / 2 - b);
	});
	for (size_t i : points) {
		const struct anchor &a = g.inner[i];
		at.push_back(label{a.x + gap, a.y - up, ANCHOR_START});
		at.push_back(label{a.x - gap, a.y - up, ANCHOR_END});
		at.push_back(label{a.x + gap, a.y + down, ANCHOR_START});
		at.push_back(label{a.x - gap, a.y + down, ANCHOR_END});
	}
	return at;
}

void put_piece(struct page *pg,
	       const std::vector<std::pair<double, double>> &piece)
{
	pg->put("<polyline points=\"");
	for (size_t i = 0; i < piece.size(); i++) {
		if (i > 0)
			pg->put(" ");
		pg->xy(piece[i].first, piece[i].second);
	}
	pg->put("\"/>");
}

/* The graticule's lines, and the labels that fit, one a line, added to
 * *labels. */
__attribute__((noinline)) void put_graticule(struct page *pg,
					     const struct projection &p,
					     class label_space *taken,
					     std::string *labels)
{
	[[maybe_unused]] ieee_rounding guard;
	struct view_range r = range_of(p);
	/* The lines are drawn from beyond the map's edges, so that no sample
	 * falls on an edge, where the last bits of the maths would decide
	 * whether it lies inside. */
	double lon_beyond = r.round ? 0 : (r.east - r.west) / GRID_SAMPLES * 2,
	       lat_beyond = (r.north - r.south) / GRID_SAMPLES * 2;
	pg->put("<g class=\"grid\">");
	struct page texts;
	for (bool parallel : {true, false}) {
		double low = parallel ? r.south : r.west,
		       high = parallel ? r.north : r.east;
		double step = degree_step((high - low) / GRID_LINES);
		int decimals = decimals_of(step);
		long long first = (long long)ceil(low / step),
			  last = (long long)floor(high / step);
		if (!parallel && r.round)
			last = first + (long long)floor(360.0 / step + 0.5) - 1;
		for (long long k = first; k <= last; k++) {
			double v = (double)k * step;
			if (parallel && fabs(v) >= 90)
				continue;
			struct grid_line g =
			    parallel
				? grid_line_of(p, true, v, r.west - lon_beyond,
					       r.east + lon_beyond)
				: grid_line_of(
				      p, false, v,
				      std::max(-90.0, r.south - lat_beyond),
				      std::min(90.0, r.north + lat_beyond));
			for (const auto &piece : g.pieces)
				put_piece(pg, piece);
			std::string text = degrees_label(v, decimals, parallel);
			struct label at;
			if (!g.pieces.empty() &&
			    taken->place(grid_candidates(g, parallel),
					 text_width(text, GRID_PX), GRID_PX,
					 &at))
				put_label(&texts, "glabel", at,
					  trip_utf8(text));
		}
	}
	pg->put("</g>\n");
	*labels += texts.html;
}

/*
 * The scale bar.
 */

/* A round length of ground on at least SCALE_LEAST units, and the units it
 * takes. */
struct scale_bar {
	double metres, length;
};

__attribute__((noinline)) struct scale_bar scale_of(const struct projection &p)
{
	[[maybe_unused]] ieee_rounding guard;
	double metres = round_step(SCALE_LEAST / (p.scale * p.k), 1);
	return scale_bar{metres, metres * p.k * p.scale};
}

/* "2 km" or "500 m". */
__attribute__((noinline)) std::string scale_text(double metres)
{
	[[maybe_unused]] ieee_rounding guard;
	struct page pg;
	bool km = metres >= 1000;
	double v = km ? metres / 1000 : metres;
	pg.number(v, decimals_of(v));
	return pg.html + (km ? " km" : " m");
}

struct label scale_label()
{
	return label{SCALE_X, SCALE_Y - 8, ANCHOR_START};
}

/* Keeps the scale bar's room from other texts. */
__attribute__((noinline)) void take_scale(class label_space *taken,
					  const struct scale_bar &s)
{
	[[maybe_unused]] ieee_rounding guard;
	struct label_box text =
	    label_box_of(scale_label(),
			 text_width(scale_text(s.metres), SCALE_PX), SCALE_PX);
	taken->take(label_box{SCALE_X - 3, text.y0,
			      std::max(text.x1, SCALE_X + s.length + 3),
			      SCALE_Y + 3});
}

void put_scale(struct page *pg, const struct scale_bar &s)
{
	pg->put("<g><line class=\"scale\" x1=\"");
	pg->tenths(SCALE_X);
	pg->put("\" y1=\"");
	pg->tenths(SCALE_Y);
	pg->put("\" x2=\"");
	pg->tenths(SCALE_X + s.length);
	pg->put("\" y2=\"");
	pg->tenths(SCALE_Y);
	pg->put("\"/>");
	struct page text;
	put_label(&text, "slabel", scale_label(), scale_text(s.metres));
	text.html.pop_back(); /* the newline */
	pg->put(text.html);
	pg->put("</g>\n");
}

/*
 * Tracks, routes and waypoints.
 */

/* The view box positions of places (x, y), false where one has none. */
struct spot {
	double x, y;
	bool ok;
};

/* The view box positions of the places on the projection's plane. */
__attribute__((noinline)) std::vector<struct spot>
spots_of(const struct projection &p, const std::vector<struct planar> &plane)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<struct spot> v;
	v.reserve(plane.size());
	for (const struct planar &q : plane) {
		struct spot s = {snapped(W / 2 + (q.x - p.x_mid) * p.scale),
				 snapped(H / 2 - (q.y - p.y_mid) * p.scale),
				 q.ok};
		s.ok = s.ok && std::isfinite(s.x) && std::isfinite(s.y);
		v.push_back(s);
	}
	return v;
}

/* Where the parts of the places of places_of() begin among them. */
struct parts {
	std::vector<size_t> tracks, routes;
	size_t waypoints, end;
};

struct parts parts_of(const struct trip_log &log)
{
	struct parts at;
	size_t n = 0;
	for (const struct trip_track &t : log.tracks) {
		at.tracks.push_back(n);
		n += t.kept.size();
	}
	at.waypoints = n;
	n += log.waypoints.size();
	for (const struct trip_route &r : log.routes) {
		at.routes.push_back(n);
		n += r.points.size();
	}
	at.end = n;
	return at;
}

/* A polyline of class cls through the spots from begin to end (those
 * that have a place); where there is but one, with dot, twice, which a
 * round cap then shows. */
void put_line(struct page *pg, const char *cls, const char *colour,
	      const std::vector<struct spot> &s, size_t begin, size_t end,
	      bool dot = false)
{
	pg->put("<polyline class=\"");
	pg->put(cls);
	if (colour != NULL) {
		pg->put("\" stroke=\"");
		pg->put(colour);
	}
	pg->put("\" points=\"");
	size_t written = 0, last = begin;
	for (size_t i = begin; i < end; i++) {
		if (!s[i].ok)
			continue;
		if (written++ > 0)
			pg->put(" ");
		pg->xy(s[i].x, s[i].y);
		last = i;
	}
	if (dot && written == 1) {
		pg->put(" ");
		pg->xy(s[last].x, s[last].y);
	}
	pg->put("\"/>\n");
}

/* Room that the markers take (around their centre). */
const double START_RADIUS = 7, END_HALF = 6, WAYPOINT_RADIUS = 5,
	     MARKER_ROOM = 3;

__attribute__((noinline)) struct label_box around(const struct spot &s,
						  double half)
{
	[[maybe_unused]] ieee_rounding guard;
	return label_box{s.x - half, s.y - half, s.x + half, s.y + half};
}

/* A track's start (a ring) and end (a square). */
void put_ends(struct page *pg, const struct spot &start, const struct spot &end,
	      const char *colour)
{
	if (start.ok) {
		pg->put("<circle r=\"7\" fill=\"#fff\" stroke-width=\"3\" "
			"stroke=\"");
		pg->put(colour);
		pg->put("\" cx=\"");
		pg->tenths(start.x);
		pg->put("\" cy=\"");
		pg->tenths(start.y);
		pg->put("\"><title>start</title></circle>");
	}
	if (end.ok) {
		pg->put("<rect width=\"12\" height=\"12\" fill=\"");
		pg->put(colour);
		pg->put("\" x=\"");
		pg->tenths(end.x - END_HALF);
		pg->put("\" y=\"");
		pg->tenths(end.y - END_HALF);
		pg->put("\"><title>end</title></rect>");
	}
	pg->put("\n");
}

/* The tracks without a colour of their own, in one path of class
 * "others": a subpath for each segment, a dot for a lone point; written
 * compactly, since there may be tens of thousands. */
__attribute__((noinline)) void put_others(struct page *pg,
					  const struct trip_log &log,
					  const std::vector<struct spot> &s,
					  const struct parts &at,
					  const char *(*colour)(size_t))
{
	[[maybe_unused]] ieee_rounding guard;
	bool any = false;
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const std::vector<struct trip_point> &kept = log.tracks[i].kept;
		if (kept.empty() || colour(i) != NULL)
			continue;
		if (!any)
			pg->put("<path class=\"others\" d=\"");
		any = true;
		bool open = false;
		for (size_t j = 0; j < kept.size(); j++) {
			const struct spot &p = s[at.tracks[i] + j];
			if (!p.ok)
				continue;
			bool start = !open || kept[j].starts_segment;
			bool lone = start && (j + 1 == kept.size() ||
					      kept[j + 1].starts_segment);
			pg->put(start ? "M" : "L");
			pg->xy(p.x, p.y);
			if (lone)
				pg->put("h0");
			open = true;
		}
	}
	if (any)
		pg->put("\"/>\n");
}

/* The default options: the page's map. */
const struct map_options PAGE_OPTIONS = {NULL, true};

void put_tracks(struct page *pg, const struct trip_log &log,
		const std::vector<struct spot> &s, const struct parts &at,
		const char *(*colour)(size_t), const struct map_options &options)
{
	for (size_t i = 0; i < log.routes.size(); i++)
		if (!log.routes[i].points.empty())
			put_line(pg, "rte", NULL, s, at.routes[i],
				 at.routes[i] + log.routes[i].points.size());
	put_others(pg, log, s, at, colour);
	for (size_t i = 0; i < log.tracks.size(); i++) {
		const std::vector<struct trip_point> &kept = log.tracks[i].kept;
		if (kept.empty() || colour(i) == NULL)
			continue;
		if (options.links != NULL) {
			pg->put("<a href=\"");
			pg->escaped((*options.links)[i].href);
			pg->put("\"><title>");
			pg->escaped((*options.links)[i].title);
			pg->put("</title>\n");
		}
		/* A line for each segment: none across a segment's start. */
		size_t begin = 0;
		for (size_t j = 1; j <= kept.size(); j++)
			if (j == kept.size() || kept[j].starts_segment) {
				put_line(pg, "trk", colour(i), s,
					 at.tracks[i] + begin,
					 at.tracks[i] + j, !options.ends);
				begin = j;
			}
		if (options.ends)
			put_ends(pg, s[at.tracks[i]],
				 s[at.tracks[i] + kept.size() - 1], colour(i));
		if (options.links != NULL)
			pg->put("</a>\n");
	}
}

/* Keeps the markers' room from the texts: the tracks' ends and the
 * waypoints. */
void take_markers(class label_space *taken, const struct trip_log &log,
		  const std::vector<struct spot> &s, const struct parts &at,
		  const char *(*colour)(size_t), bool ends)
{
	for (size_t i = 0; i < log.tracks.size(); i++) {
		size_t n = log.tracks[i].kept.size();
		if (n == 0 || colour(i) == NULL || !ends)
			continue;
		if (s[at.tracks[i]].ok)
			taken->take(around(s[at.tracks[i]], START_RADIUS + 2));
		if (s[at.tracks[i] + n - 1].ok)
			taken->take(
			    around(s[at.tracks[i] + n - 1], END_HALF + 1));
	}
	for (size_t i = at.waypoints; i < at.waypoints + log.waypoints.size();
	     i++)
		if (s[i].ok)
			taken->take(around(s[i], WAYPOINT_RADIUS + 1));
}

/* Where a waypoint's label may go around its marker at s, best first:
 * right, left, the four corners, above, below; then the same farther out,
 * clear of a track's start or end marker on the same place. */
__attribute__((noinline)) std::vector<struct label>
waypoint_candidates(const struct spot &s)
{
	[[maybe_unused]] ieee_rounding guard;
	const double a = text_ascent(WAYPOINT_PX),
		     d = text_descent(WAYPOINT_PX), mid = s.y + (a - d) / 2;
	std::vector<struct label> at;
	for (double corner : {WAYPOINT_RADIUS, START_RADIUS + 2}) {
		const double side = corner + MARKER_ROOM;
		at.insert(at.end(),
			  {label{s.x + side, mid, ANCHOR_START},
			   label{s.x - side, mid, ANCHOR_END},
			   label{s.x + corner, s.y - corner - d - 1,
				 ANCHOR_START},
			   label{s.x + corner, s.y + corner + a + 1,
				 ANCHOR_START},
			   label{s.x - corner, s.y - corner - d - 1, ANCHOR_END},
			   label{s.x - corner, s.y + corner + a + 1, ANCHOR_END},
			   label{s.x, s.y - side - d, ANCHOR_MIDDLE},
			   label{s.x, s.y + side + a, ANCHOR_MIDDLE}});
	}
	return at;
}

void put_waypoints(struct page *pg, const struct trip_log &log,
		   const std::vector<struct spot> &all, const struct parts &at,
		   class label_space *taken, std::string *labels)
{
	std::vector<struct spot> s(
	    all.begin() + (ptrdiff_t)at.waypoints,
	    all.begin() + (ptrdiff_t)(at.waypoints + log.waypoints.size()));
	/* The markers: a dot each, in one path, so that tens of thousands
	 * stay small. */
	bool any = false;
	for (const struct spot &w : s)
		if (w.ok) {
			pg->put(any ? "M" : "<path class=\"wpt\" d=\"M");
			any = true;
			pg->xy(w.x, w.y);
			pg->put("h0");
		}
	if (any)
		pg->put("\"/>\n");
	struct page texts;
	for (size_t i = 0; i < s.size(); i++) {
		if (!s[i].ok)
			continue;
		std::vector<struct label> at = waypoint_candidates(s[i]);
		/* No label of the name is narrower than its first byte. */
		const std::string &name = log.waypoints[i].name;
		if (name.empty() ||
		    !taken->fits(at, text_width(name.substr(0, 1), WAYPOINT_PX),
				 WAYPOINT_PX))
			continue;
		struct label chosen;
		for (double widest : {LABEL_WIDEST, LABEL_NARROW}) {
			std::string text = label_fitted(log.waypoints[i].name,
							widest, WAYPOINT_PX);
			std::string shown = trip_utf8(text);
			if (shown.find_first_not_of(' ') == std::string::npos)
				break;
			if (taken->place(at, text_width(text, WAYPOINT_PX),
					 WAYPOINT_PX, &chosen)) {
				put_label(&texts, "wlabel", chosen, shown);
				break;
			}
		}
	}
	*labels += texts.html;
}

/* Every place the map shows: the tracks' kept points, the waypoints, the
 * routes' points. */
std::vector<struct place> places_of(const struct trip_log &log)
{
	std::vector<struct place> v;
	for (const struct trip_track &t : log.tracks)
		for (const struct trip_point &pt : t.kept)
			v.push_back(place{pt.lat, pt.lon});
	for (const struct trip_waypoint &w : log.waypoints)
		v.push_back(place{w.lat, w.lon});
	for (const struct trip_route &r : log.routes)
		for (const struct trip_waypoint &w : r.points)
			v.push_back(place{w.lat, w.lon});
	return v;
}

/* The longitude after the widest gap between the longitudes around the
 * circle, where the area's west edge goes, and the east edge (beyond 180
 * degrees where the area crosses the antimeridian). */
void west_east(const std::vector<struct place> &places, double *west,
	       double *east)
{
	std::vector<double> lons;
	lons.reserve(places.size());
	for (const struct place &pl : places)
		lons.push_back(pl.lon);
	std::sort(lons.begin(), lons.end());
	*west = lons.front();
	double widest = lons.front() + 360.0 - lons.back();
	for (size_t i = 1; i < lons.size(); i++)
		if (lons[i] - lons[i - 1] > widest) {
			widest = lons[i] - lons[i - 1];
			*west = lons[i];
		}
	*east = *west;
	for (double lon : lons)
		*east = std::max(*east, lon < *west ? lon + 360.0 : lon);
}

}  // namespace

void trip_put_map(struct page *pg, const struct trip_log &log,
		  const char *(*colour)(size_t track),
		  const struct map_options *options)
{
	if (options == NULL)
		options = &PAGE_OPTIONS;
	std::vector<struct place> places = places_of(log);
	pg->put("<svg class=\"map\" xmlns=\"http://www.w3.org/2000/svg\" "
		"viewBox=\"0 0 " +
		std::to_string((int)W) + " " + std::to_string((int)H) +
		"\" role=\"img\" aria-label=\"map\">\n");
	if (places.empty()) {
		pg->put("<text class=\"empty\" x=\"500\" y=\"350\" "
			"text-anchor=\"middle\">No positions in this log</text>"
			"\n</svg>\n");
		return;
	}
	std::vector<struct spot> spots;
	struct projection p;
	{
		std::vector<struct planar> plane;
		p = projection_of(places, &plane);
		places = std::vector<struct place>();
		spots = spots_of(p, plane);
	}
	struct parts at = parts_of(log);
	class label_space taken(W, H, EDGE_GAP);
	struct scale_bar s = scale_of(p);
	take_scale(&taken, s);
	take_markers(&taken, log, spots, at, colour, options->ends);
	/* Lines first, then markers, texts on top; the graticule's labels
	 * are placed before the waypoints' so that each way gets some. */
	std::string labels;
	put_graticule(pg, p, &taken, &labels);
	put_tracks(pg, log, spots, at, colour, *options);
	put_waypoints(pg, log, spots, at, &taken, &labels);
	pg->put(labels);
	put_scale(pg, s);
	pg->put("</svg>\n");
}

__attribute__((noinline)) void trip_put_map_link(struct page *pg,
						 const struct trip_log &log)
{
	[[maybe_unused]] ieee_rounding guard;
	std::vector<struct place> places = places_of(log);
	if (places.empty())
		return;
	double west, east, south = 90, north = -90;
	west_east(places, &west, &east);
	for (const struct place &pl : places) {
		south = std::min(south, pl.lat);
		north = std::max(north, pl.lat);
	}
	double span = std::max({east - west, north - south, 0.002});
	int zoom = std::max(1, std::min(18, (int)floor(log2(360.0 / span))));
	double lon = fmod((west + east) / 2 + 180.0, 360.0) - 180.0;
	pg->put("<p><a href=\"https://www.openstreetmap.org/#map=" +
		std::to_string(zoom) + "/");
	pg->number((south + north) / 2, 5);
	pg->put("/");
	pg->number(lon, 5);
	pg->put("\">This area on OpenStreetMap</a> (on the web)</p>\n");
}
