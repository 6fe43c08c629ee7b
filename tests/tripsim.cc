// SPDX-License-Identifier: MIT
#include "tripsim.h"

#include <math.h>
#include <stdio.h>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/LocalCartesian.hpp>
#include <algorithm>

#include "calendar.h"

namespace {

const double ORIGIN_LAT = 47, ORIGIN_LON = 10;
const double DENSE = 0.25;	     // seconds between the path's true points
const double SUSTAINED = 30;	     // seconds a highest speed must last
const double JITTER_TAU = 120;	     // correlation time of the wander, s
const double SPIKE_SPREAD = 10;	     // metres between the fixes of a run
const double STALE_SPREAD = 20;	     // metres between stale fixes
const double PI = 3.14159265358979323846;
const int64_t DAY = 86400;
// 2026-08-14T07:00:00Z, the time of the path's start.
const int64_t START = (days_from_civil(2026, 8) + 13) * DAY + 7 * 3600;

// splitmix64: small, fast and the same everywhere.
struct Random {
	uint64_t state;
	uint64_t next()
	{
		uint64_t z = state += 0x9E3779B97F4A7C15ULL;
		z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9ULL;
		z = (z ^ z >> 27) * 0x94D049BB133111EBULL;
		return z ^ z >> 31;
	}
	double uniform() { return (double)(next() >> 11) * 0x1p-53; }
	int below(int n) { return (int)(next() % (uint64_t)n); }
	double gauss() // Box-Muller
	{
		double u = 1.0 - uniform();
		return sqrt(-2 * log(u)) * cos(2 * PI * uniform());
	}
};

double radians(double degrees) { return degrees * PI / 180; }

// Where the path is: east and north of its start on the tangent plane (m),
// its heading and the metres it has covered.
struct Place {
	double t, x, y, heading, along;
};

// Place after tau seconds of leg from its start at m.
Place advance(const Place &m, const sim_leg &leg, double tau)
{
	Place p = m;
	p.t = m.t + tau;
	double h0 = radians(m.heading);
	if (leg.jump_km > 0) {
		if (tau >= leg.seconds) {
			p.x += leg.jump_km * 1000 * sin(h0);
			p.y += leg.jump_km * 1000 * cos(h0);
		}
		return p;
	}
	double v = leg.kmh / 3.6;
	p.along += v * tau;
	p.heading += leg.turn * tau / leg.seconds;
	if (leg.turn == 0) {
		p.x += v * tau * sin(h0);
		p.y += v * tau * cos(h0);
	} else {
		double w = radians(leg.turn) / leg.seconds, h = radians(p.heading);
		p.x += v / w * (cos(h0) - cos(h));
		p.y += v / w * (sin(h) - sin(h0));
	}
	return p;
}

// A path with the place where each leg starts; stretches are the spans of
// time between jumps, which the log covers.
struct Course {
	const sim_path &path;
	std::vector<Place> starts;
	std::vector<std::pair<double, double>> stretches;

	explicit Course(const sim_path &p) : path(p)
	{
		Place m = {0, 0, 0, p.heading, 0};
		double from = 0;
		for (const sim_leg &leg : p.legs) {
			if (leg.jump_km > 0 && m.t > from)
				stretches.push_back({from, m.t});
			starts.push_back(m);
			m = advance(m, leg, leg.seconds);
			if (leg.jump_km > 0)
				from = m.t;
		}
		if (m.t > from)
			stretches.push_back({from, m.t});
		starts.push_back(m);
	}
	Place at(double t) const
	{
		size_t i = 0;
		while (i + 2 < starts.size() && starts[i + 1].t <= t)
			i++;
		return advance(starts[i], path.legs[i], t - starts[i].t);
	}
	double ele(double along) const
	{
		const sim_path &p = path;
		if (along >= p.hills * p.hill_length)
			return p.ele;
		return p.ele +
		       p.hill_height * (1 - cos(2 * PI * along / p.hill_length)) / 2;
	}
};

// Times from a to b, step apart, and b.
std::vector<double> times(double a, double b, double step)
{
	std::vector<double> t;
	for (int k = 0; a + k * step < b - 1e-6; k++)
		t.push_back(a + k * step);
	t.push_back(b);
	return t;
}

const GeographicLib::LocalCartesian &plane()
{
	static const GeographicLib::LocalCartesian p(ORIGIN_LAT, ORIGIN_LON, 0);
	return p;
}

void lat_lon(double x, double y, double *lat, double *lon)
{
	double h;
	plane().Reverse(x, y, 0, *lat, *lon, h);
}

std::string degrees_minutes(int64_t e4, int width)
{
	int64_t a = e4 < 0 ? -e4 : e4;
	char text[40];
	snprintf(text, sizeof text, "%0*lld%02lld.%04lld", width,
		 (long long)(a / 600000), (long long)(a / 10000 % 60),
		 (long long)(a % 10000));
	return text;
}

// A fix as logged: when (seconds from the start), where, its true
// elevation, and whether it starts a segment.
struct Fix {
	double t, x, y, ele;
	bool starts;
};

// Moves f m metres a random way, and each axis by Gaussian noise of spread.
void displace(Fix *f, Random &r, double m, double spread)
{
	double az = 2 * PI * r.uniform();
	f->x += m * sin(az) + spread * r.gauss();
	f->y += m * cos(az) + spread * r.gauss();
}

// The altitude field of a fix at ele metres, with f's noise, in its steps.
std::string altitude(const sim_faults &f, double ele, Random &r)
{
	long long q = llround((ele + f.ele_gauss * r.gauss()) / f.ele_step);
	if (f.ele_uniform > 0)
		q += r.below(2 * f.ele_uniform + 1) - f.ele_uniform;
	char text[40];
	if (f.ele_step == 1)
		snprintf(text, sizeof text, "%05lld", q);
	else {
		long long tenths = llround(q * f.ele_step * 10);
		snprintf(text, sizeof text, "%05lld.%lld", tenths / 10,
			 tenths % 10);
	}
	return text;
}

// The record of a fix at centis (hundredths since 1970, UTC).
std::string render(const Fix &fix, int64_t centis, const std::string &alt,
		   bool segments)
{
	double lat, lon;
	lat_lon(fix.x, fix.y, &lat, &lon);
	int64_t secs = centis / 100;
	char when[20], date[20];
	snprintf(when, sizeof when, "%02d%02d%02d.%02d",
		 (int)(secs % DAY / 3600), (int)(secs % 3600 / 60),
		 (int)(secs % 60), (int)(centis % 100));
	struct civil_date d = civil_from_days(secs / DAY);
	snprintf(date, sizeof date, "%02u%02u%02d", d.day, d.month,
		 (int)(d.year % 100));
	return tripsim_sentence(llround(lat * 600000), llround(lon * 600000),
				alt, "M", when, "A",
				segments && fix.starts ? "T" : "", date);
}

}  // namespace

struct pdb *tripsim_log(const std::vector<std::string> &texts)
{
	struct pdb *db = new_pdb();
	snprintf(db->name, sizeof db->name, "log");
	udword id = 1;
	for (const std::string &t : texts) {
		std::string data = t + "\n";
		pdb_AppendRecord(db, new_Record(0, 0, id++,
						(uword)(data.size() + 1),
						(const ubyte *)data.c_str()));
	}
	return db;
}

std::string tripsim_sentence(int64_t lat_e4, int64_t lon_e4,
			     const std::string &alt, const char *unit,
			     const std::string &when, const char *fix,
			     const std::string &track, const std::string &date)
{
	return "$PMGNTRK," + degrees_minutes(lat_e4, 2) + "," +
	       (lat_e4 < 0 ? "S," : "N,") + degrees_minutes(lon_e4, 3) + "," +
	       (lon_e4 < 0 ? "W," : "E,") + alt + "," + unit + "," + when +
	       "," + fix + "," + track + "," + date + "*00";
}

sim_leg sim_straight(double kmh, double seconds)
{
	return sim_leg{seconds, kmh, 0, 0};
}

std::vector<sim_leg> sim_moving(double kmh, double seconds)
{
	// seconds, speed as a share of kmh, turn
	static const double pattern[][3] = {{120, 1.0, 0}, {20, 1.0, 60},
					    {90, 1.1, 0},  {30, 0.9, -90},
					    {60, 0.9, 0},  {10, 1.0, 30}};
	std::vector<sim_leg> legs;
	for (size_t i = 0; seconds > 0; i = (i + 1) % 6) {
		double s = std::min(seconds, pattern[i][0]);
		legs.push_back(sim_leg{s, kmh * pattern[i][1],
				       pattern[i][2] * s / pattern[i][0], 0});
		seconds -= s;
	}
	return legs;
}

sim_path sim_course(double kmh, double minutes, double stop_minutes)
{
	sim_path p;
	p.legs.push_back(sim_straight(0, 10));
	std::vector<sim_leg> half = sim_moving(kmh, minutes * 30);
	p.legs.insert(p.legs.end(), half.begin(), half.end());
	if (stop_minutes > 0)
		p.legs.push_back(sim_straight(0, stop_minutes * 60));
	half = sim_moving(kmh, minutes * 30);
	p.legs.insert(p.legs.end(), half.begin(), half.end());
	return p;
}

sim_path sim_hilly(sim_path p, int count, double height, double length)
{
	p.hills = count;
	p.hill_height = height;
	p.hill_length = length;
	return p;
}

sim_truth sim_truth_of(const sim_path &p)
{
	Course c(p);
	sim_truth truth = {};
	for (const sim_leg &leg : p.legs)
		if (leg.jump_km == 0) {
			truth.duration += leg.seconds;
			truth.moving += leg.kmh > 0 ? leg.seconds : 0;
		}
	const GeographicLib::Geodesic &g = GeographicLib::Geodesic::WGS84();
	for (const auto &stretch : c.stretches) {
		std::vector<double> t = times(stretch.first, stretch.second,
					      DENSE);
		std::vector<double> covered(t.size(), 0.0);
		double lat0 = 0, lon0 = 0, ele0 = 0;
		for (size_t i = 0; i < t.size(); i++) {
			Place m = c.at(t[i]);
			double lat, lon, s = 0, ele = c.ele(m.along);
			lat_lon(m.x, m.y, &lat, &lon);
			if (i > 0) {
				g.Inverse(lat0, lon0, lat, lon, s);
				covered[i] = covered[i - 1] + s;
				truth.climb += std::max(0.0, ele - ele0);
			}
			lat0 = lat, lon0 = lon, ele0 = ele;
		}
		truth.distance += covered.back();
		size_t window = (size_t)(SUSTAINED / DENSE);
		for (size_t i = 0; i + window < t.size(); i++)
			truth.highest = std::max(
			    truth.highest, (covered[i + window] - covered[i]) /
					       (t[i + window] - t[i]));
	}
	return truth;
}

sim_log sim_records(const sim_path &p, const sim_faults &f, uint64_t seed)
{
	Course c(p);
	Random r = {seed};
	sim_log log = {{}, 0};
	std::vector<Fix> fixes;
	bool tunnel_ends = false;
	for (const auto &stretch : c.stretches)
		for (double t : times(stretch.first, stretch.second,
				      f.interval)) {
			if (f.tunnel_s > 0 && t > f.tunnel_at &&
			    t < f.tunnel_at + f.tunnel_s)
				continue;
			Place m = c.at(t);
			Fix fix = {t, m.x, m.y, c.ele(m.along),
				   t == stretch.first};
			if (f.tunnel_bad_m > 0 && !tunnel_ends &&
			    t >= f.tunnel_at + f.tunnel_s) {
				displace(&fix, r, f.tunnel_bad_m, 0);
				log.bad++;
				tunnel_ends = true;
			}
			fixes.push_back(fix);
		}
	// The wander: each fix keeps exp(-dt / tau) of the one before's.
	double ex = f.jitter * r.gauss(), ey = f.jitter * r.gauss();
	for (size_t i = 0; i < fixes.size(); i++) {
		double keep = i == 0 ? 0.0
				     : exp(-(fixes[i].t - fixes[i - 1].t) /
					   JITTER_TAU),
		       fresh = f.jitter * sqrt(1 - keep * keep);
		ex = keep * ex + fresh * r.gauss();
		ey = keep * ey + fresh * r.gauss();
		fixes[i].x += ex;
		fixes[i].y += ey;
	}
	size_t n = fixes.size();
	for (int s = 0; s < f.spikes; s++) {
		// Each in its own share of the track, away from its ends.
		size_t at = n * (s + 1) / (f.spikes + 1) +
			    (size_t)r.below((int)(n / (4 * f.spikes + 4)) + 1);
		size_t run = 1 + (size_t)r.below(f.spike_run);
		Fix off = {0, 0, 0, 0, false};
		displace(&off, r, f.spike_m * (0.75 + 0.5 * r.uniform()), 0);
		for (size_t i = at; i < std::min(at + run, n); i++) {
			fixes[i].x += off.x + SPIKE_SPREAD * r.gauss();
			fixes[i].y += off.y + SPIKE_SPREAD * r.gauss();
			log.bad++;
		}
	}
	Fix stale = {0, 0, 0, 0, false};
	displace(&stale, r, f.stale_km * 1000, 0);
	for (size_t i = 0; i < (size_t)f.stale && i < n; i++) {
		fixes[i].x += stale.x + STALE_SPREAD * r.gauss();
		fixes[i].y += stale.y + STALE_SPREAD * r.gauss();
		log.bad++;
	}
	double ahead = r.uniform(); // of the clock that cuts the stamps
	size_t shifted = n / 4 + (size_t)r.below((int)(n / 2) + 1);
	for (size_t i = 0; i < n; i++) {
		const Fix &fix = fixes[i];
		int64_t centis = START * 100 +
				 (f.whole_seconds
				      ? (int64_t)floor(fix.t + ahead) * 100
				      : llround(fix.t * 100));
		if (i == shifted)
			centis += llround(f.time_off * 100);
		log.records.push_back(render(fix, centis,
					     altitude(f, fix.ele, r),
					     c.stretches.size() > 1));
	}
	return log;
}
