/* SPDX-License-Identifier: MIT */
#include "importer.h"

#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "quote.h"
#include "sentences.h"

namespace {

/* A waypoint or route point as its sentence needs it. */
struct place {
	std::string name;     /* as the handheld holds it; empty: none */
	std::string position; /* "ddmm.mmmm,N,dddmm.mmmm,E" */
	std::string metres;   /* "0000904"; zero without an elevation */
	std::string comment;
};

struct importer {
	struct gpx_error *error;
	std::vector<place> waypoints;
	std::vector<std::vector<place>> routes;
	std::vector<place> route; /* the route being read */
	size_t route_points;	  /* in all routes so far */
	/* The points of the track being read, one after the other, each its
	 * sentence's text before the track's name and after it (ending at
	 * marks 2i and 2i + 1); the records of the tracks read. */
	std::string pending;
	std::vector<size_t> marks;
	bool named;	       /* the track's name came before its points */
	std::string track;     /* its name as the handheld holds it */
	std::string tracks;
	std::vector<size_t> track_ends;
	size_t track_points;
	std::string body; /* room to build one sentence in */
};

/* text for a message: quoted as names are (see quote.h), at most 40
 * bytes of it. */
std::string quoted(const std::string &text)
{
	enum { SHOWN = 40 };
	char shown[WEXLAR_QUOTED_SIZE(SHOWN)];
	wexlar_quote(shown, text.data(), std::min(text.size(), (size_t)SHOWN));
	return std::string(shown) + (text.size() > SHOWN ? "..." : "");
}

int refuse(struct importer *im, const struct gpx_point *p,
	   const std::string &message)
{
	*im->error = gpx_error{p->line, p->column, message};
	return -1;
}

/* Bytes of a long track point record (with a track name of 32 bytes). */
enum { TRACK_RECORD_ROOM = 112 };

const char TOO_MANY[] =
    "more than 65535 records: 65535 is the most a database holds";

/* Stops the reading as soon as the records cannot fit, p the point just
 * counted: each waypoint and track point is one, each route point half a
 * line at least. */
int check_count(struct importer *im, const struct gpx_point *p)
{
	size_t least = im->waypoints.size() + im->track_points +
		       (im->route_points + 1) / 2;
	return least > RECORDS_MAX ? refuse(im, p, TOO_MANY) : 0;
}

bool is_empty(const std::string &text)
{
	return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

/* The position and elevation of p; -1 after refusing p. */
int read_numbers(struct importer *im, const struct gpx_point *p, double *lat,
		 double *lon, double *ele, bool *has_ele)
{
	if (!parse_decimal(p->lat.data(), p->lat.size(), lat) || *lat < -90 ||
	    *lat > 90)
		return refuse(im, p,
			      "latitude " + quoted(p->lat) +
				  " is not a number from -90 to 90");
	if (!parse_decimal(p->lon.data(), p->lon.size(), lon) ||
	    *lon < -180 || *lon > 180)
		return refuse(im, p,
			      "longitude " + quoted(p->lon) +
				  " is not a number from -180 to 180");
	*has_ele = !is_empty(p->ele);
	*ele = 0;
	if (*has_ele && (!parse_decimal(p->ele.data(), p->ele.size(), ele) ||
			 *ele <= -ELE_LIMIT || *ele >= ELE_LIMIT))
		return refuse(im, p,
			      "elevation " + quoted(p->ele) +
				  " is not a number of metres below 10^9");
	return 0;
}

/* The waypoint or route point p into *pl; -1 after refusing p. */
int read_place(struct importer *im, const struct gpx_point *p,
	       struct place *pl)
{
	double lat, lon, ele;
	bool has_ele;
	if (read_numbers(im, p, &lat, &lon, &ele, &has_ele) < 0)
		return -1;
	char field[FIELD_ROOM];
	pl->position.assign(field, put_position(field, lat, lon));
	pl->metres.assign(field, put_metres(field, ele, 7));
	pl->name = mag_text(p->name, WPT_NAME_MAX);
	pl->comment =
	    mag_text(p->cmt.empty() ? p->desc : p->cmt, WPT_COMMENT_MAX);
	return 0;
}

/* Reads the waypoint or route point p onto the end of places. */
int add_place(struct importer *im, const struct gpx_point *p,
	      std::vector<place> *places)
{
	struct place pl;
	if (read_place(im, p, &pl) < 0)
		return -1;
	places->push_back(std::move(pl));
	return check_count(im, p);
}

int on_waypoint(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	return add_place(im, p, &im->waypoints);
}

int on_route_point(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	im->route_points++;
	return add_place(im, p, &im->route);
}

int on_route_end(void *ctx, const std::string &)
{
	struct importer *im = (struct importer *)ctx;
	im->routes.push_back(std::move(im->route));
	im->route.clear();
	return 0;
}

bool is_none(const std::string &fix)
{
	size_t b = fix.find_first_not_of(" \t\r\n");
	size_t e = fix.find_last_not_of(" \t\r\n");
	return b != std::string::npos && fix.compare(b, e - b + 1, "none") == 0;
}

/* Appends text to out; returns the end. */
char *put(char *out, const char *text)
{
	while (*text != '\0')
		*out++ = *text++;
	return out;
}

/* Appends one record: the sentence of body, LF and NUL. */
void add_record(std::string *bytes, std::vector<size_t> *ends,
		const std::string &body)
{
	append_sentence(bytes, body.data(), body.size());
	bytes->append("\n", 2); /* LF and the NUL behind it */
	ends->push_back(bytes->size());
}

int on_track_point(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	double lat, lon, ele;
	bool has_ele;
	if (read_numbers(im, p, &lat, &lon, &ele, &has_ele) < 0)
		return -1;
	struct mag_time t = {"", ""};
	if (!is_empty(p->time)) {
		enum time_status s =
		    parse_gpx_time(p->time.data(), p->time.size(), &t);
		if (s == TIME_INVALID)
			return refuse(im, p,
				      "time " + quoted(p->time) +
					  " is not a date and time");
		if (s == TIME_OUT_OF_RANGE)
			return refuse(im, p,
				      "time " + quoted(p->time) +
					  " is not from 2000 to 2099 (UTC), "
					  "which a two-digit year holds");
	}
	char head[4 * FIELD_ROOM];
	char *e = put(head, "PMGNTRK,");
	e = put_position(e, lat, lon);
	*e++ = ',';
	if (has_ele)
		e = put_metres(e, ele, 5);
	e = put(e, ",M,");
	e = put(e, t.hms);
	e = put(e, is_none(p->fix) ? ",V," : ",A,");
	im->track_points++;
	if (im->named) {
		im->body.assign(head, e);
		im->body += im->track;
		im->body += ',';
		im->body += t.date;
		add_record(&im->tracks, &im->track_ends, im->body);
		return check_count(im, p);
	}
	im->pending.append(head, e);
	im->marks.push_back(im->pending.size());
	im->pending += ',';
	im->pending += t.date;
	im->marks.push_back(im->pending.size());
	return check_count(im, p);
}

/* Points that come after the track's name are written at once; those
 * before it wait for the track's end. */
int on_track_name(void *ctx, const std::string &name)
{
	struct importer *im = (struct importer *)ctx;
	if (im->marks.empty()) {
		im->track = mag_text(name, TRACK_NAME_MAX);
		im->named = true;
	}
	return 0;
}

int on_track_end(void *ctx, const std::string &name)
{
	struct importer *im = (struct importer *)ctx;
	std::string track = mag_text(name, TRACK_NAME_MAX);
	im->named = false;
	size_t start = 0;
	for (size_t i = 0; i < im->marks.size(); i += 2) {
		size_t head = im->marks[i], tail = im->marks[i + 1];
		im->body.assign(im->pending, start, head - start);
		im->body += track;
		im->body.append(im->pending, head, tail - head);
		add_record(&im->tracks, &im->track_ends, im->body);
		start = tail;
	}
	im->pending.clear();
	im->marks.clear();
	return 0;
}

/* The names the records give their waypoints, each naming one place. */
struct namer {
	/* name and position of a named place to the name it was given */
	std::unordered_map<std::string, std::string> given;
	std::unordered_set<std::string> taken;
	unsigned unnamed;

	static std::string key(const struct place &p)
	{
		return p.name + '\0' + p.position;
	}

	/* name, or name with a number at its end that no place has. */
	std::string unique(const std::string &name)
	{
		std::string candidate = name;
		for (unsigned n = 2; taken.count(candidate) > 0; n++) {
			std::string number = std::to_string(n);
			size_t keep = name.size() + number.size() <= WPT_NAME_MAX
					  ? name.size()
					  : WPT_NAME_MAX - number.size();
			candidate = name.substr(0, keep) + number;
		}
		taken.insert(candidate);
		return candidate;
	}

	/* The name of p; *is_new tells whether no place had it before. */
	std::string name_of(const struct place &p, bool *is_new)
	{
		*is_new = true;
		if (p.name.empty()) {
			char generated[16];
			snprintf(generated, sizeof generated, "WPT%03u",
				 ++unnamed);
			return unique(generated);
		}
		auto found = given.find(key(p));
		if (found != given.end()) {
			*is_new = false;
			return found->second;
		}
		std::string name = unique(p.name);
		given.emplace(key(p), name);
		return name;
	}
};

std::string waypoint_body(const struct place &p, const std::string &name)
{
	return "PMGNWPL," + p.position + "," + p.metres + ",M," + name + "," +
	       p.comment + ",a";
}

/* The records of what was read, in the handheld's order. */
void assemble(struct importer *im, struct gpx_records *out)
{
	struct namer names = {};
	bool is_new;
	for (const struct place &w : im->waypoints)
		add_record(&out->bytes, &out->ends,
			   waypoint_body(w, names.name_of(w, &is_new)));
	for (size_t r = 0; r < im->routes.size(); r++) {
		std::vector<std::string> points;
		for (const struct place &p : im->routes[r]) {
			points.push_back(names.name_of(p, &is_new));
			if (is_new)
				add_record(&out->bytes, &out->ends,
					   waypoint_body(p, points.back()));
		}
		size_t lines = (points.size() + 1) / 2;
		for (size_t i = 0; i < points.size(); i += 2) {
			std::string body =
			    "PMGNRTE," + std::to_string(lines) + "," +
			    std::to_string(i / 2 + 1) + ",c," +
			    std::to_string(r + 1) + "," + points[i] + ",a";
			if (i + 1 < points.size())
				body += "," + points[i + 1] + ",a";
			add_record(&out->bytes, &out->ends, body);
		}
	}
	size_t base = out->bytes.size();
	if (base == 0)
		out->bytes = std::move(im->tracks);
	else
		out->bytes += im->tracks;
	for (size_t end : im->track_ends)
		out->ends.push_back(base + end);
}

/*
 * Room for the records of the tracks of a document of size bytes, at once:
 * they take about as many bytes as the document, at most RECORDS_MAX of
 * TRACK_RECORD_ROOM, and pages never written cost nothing.  The kernel is
 * asked to back the room with huge pages, where it can: a fault per 4 KiB
 * page of megabytes costs more than the rest of the import.
 */
void reserve_tracks(struct importer *im, off_t size)
{
	enum { SMALLEST_TRKPT = 24 }; /* <trkpt lat="0" lon="0"/> */
	size_t bytes = (size_t)std::min<off_t>(
	    size, (off_t)RECORDS_MAX * TRACK_RECORD_ROOM);
	im->tracks.reserve(bytes);
	im->track_ends.reserve(std::min(bytes / SMALLEST_TRKPT,
					(size_t)RECORDS_MAX));
	const uintptr_t page = 4096;
	uintptr_t start = ((uintptr_t)im->tracks.data() + page - 1) & ~(page - 1);
	uintptr_t end = ((uintptr_t)im->tracks.data() + im->tracks.capacity()) &
			~(page - 1);
	if (end > start)
		madvise((void *)start, end - start, MADV_HUGEPAGE);
}

}  // namespace

int gpx_import(int fd, struct gpx_records *out, struct gpx_error *error)
{
	static const struct gpx_handler handler = {
	    on_waypoint,   on_route_point, on_route_end,
	    on_track_name, on_track_point, on_track_end,
	};
	struct importer im = {};
	im.error = error;
	struct stat st;
	if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
		reserve_tracks(&im, st.st_size);
	if (gpx_read(fd, &handler, &im, error) < 0)
		return -1;
	assemble(&im, out);
	if (out->ends.size() > RECORDS_MAX) {
		*error = gpx_error{0, 0, TOO_MANY};
		return -1;
	}
	return 0;
}
