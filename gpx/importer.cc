/* SPDX-License-Identifier: MIT */
#include "importer.h"

#include <math.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "quote.h"
#include "sentences.h"

namespace {

/* Bytes of a position as put_position() writes it:
 * "ddmm.mmmm,N,dddmm.mmmm,E". */
enum { POSITION_LEN = 24 };

/*
 * A waypoint or route point as its sentence needs it, in one text: its
 * name as the handheld holds it (empty: none), NUL, the position, ",", the
 * altitude in whole metres ("0000904"; zero without an elevation), ",",
 * the comment.  Its place is its name and position, the text up to the
 * end of the position.
 */
std::string_view place_of(const std::string &p)
{
	return std::string_view(p).substr(0, p.find('\0') + 1 + POSITION_LEN);
}

std::string_view name_of(const std::string &p)
{
	return std::string_view(p).substr(0, p.find('\0'));
}

/* A route with points: its number (its place among the document's
 * routes) and its points [first, end) in route_points. */
struct route {
	size_t number, first, end;
};

/*
 * What the document gave so far.  The records it makes are counted as its
 * points arrive, exactly: a later waypoint can only take the place of a
 * route's new waypoint, never lower the count, so the reading stops at the
 * very point that makes one record too many.  What is kept is bounded by
 * the records: a waypoint that repeats an earlier one's sentence, and a
 * route without points, keep nothing.
 */
struct importer {
	struct gpx_error *error;
	/* The waypoints that give records, in document order (their texts
	 * never move: the sets view them), and the sentences and places
	 * among them. */
	std::deque<std::string> waypoints;
	std::unordered_set<std::string_view> sentences, places;
	std::deque<std::string> route_points;
	std::vector<struct route> routes;
	size_t routes_read;   /* rte elements ended */
	size_t route_start;   /* the first point of the route being read */
	/* The places of named route points that no waypoint has so far, each
	 * a record of its own; the nameless route points, each one too. */
	std::unordered_set<std::string_view> route_places;
	size_t nameless_route_points;
	size_t route_lines;   /* of the routes ended */
	/* The points of the track being read, one after the other, each its
	 * sentence's text before the track's name and after it (ending at
	 * marks 2i and 2i + 1) and whether it carries the name (carries[i]);
	 * the records of the tracks read. */
	std::string pending;
	std::vector<size_t> marks;
	std::vector<bool> carries;
	bool carried;	       /* its last point carries its name */
	bool named;	       /* the track's name came before its points */
	std::string track;     /* its name as the handheld holds it */
	std::string first_name; /* of the first track where it has none */
	size_t tracks_read;    /* trk elements ended */
	std::string previous;  /* the name the track before was given */
	std::string tracks;
	std::vector<size_t> track_ends;
	size_t track_points;
	std::string body; /* room to build one sentence in */
	off_t size;	  /* of the document, where it is a file */
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

/* The records of what was read so far. */
size_t records(const struct importer *im)
{
	size_t in_route = im->route_points.size() - im->route_start;
	return im->waypoints.size() + im->route_places.size() +
	       im->nameless_route_points + im->route_lines +
	       (in_route + 1) / 2 + im->track_points;
}

/* Stops the reading as soon as the records cannot fit, p the point just
 * counted. */
int check_count(struct importer *im, const struct gpx_point *p)
{
	return records(im) > RECORDS_MAX ? refuse(im, p, TOO_MANY) : 0;
}

bool is_empty(const std::string &text)
{
	return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

/* False (after refusing p) when the text of what is longer than a number
 * or time can be: it is not read from its first part. */
bool fits(struct importer *im, const struct gpx_point *p, const char *what,
	  const std::string &text)
{
	if (text.size() <= GPX_TEXT_MAX)
		return true;
	refuse(im, p,
	       std::string(what) + " " + quoted(text) + " is longer than " +
		   std::to_string((int)GPX_TEXT_MAX) + " bytes");
	return false;
}

/* The position and elevation of p; -1 after refusing p. */
int read_numbers(struct importer *im, const struct gpx_point *p, double *lat,
		 double *lon, double *ele, bool *has_ele)
{
	if (!fits(im, p, "latitude", p->lat) ||
	    !fits(im, p, "longitude", p->lon) ||
	    !fits(im, p, "elevation", p->ele))
		return -1;
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
	/* The limit holds for the whole metres written. */
	if (*has_ele && (!parse_decimal(p->ele.data(), p->ele.size(), ele) ||
			 fabs(round(*ele)) >= ELE_LIMIT))
		return refuse(im, p,
			      "elevation " + quoted(p->ele) +
				  " is not a number of metres below 10^9");
	return 0;
}

/* The text of the waypoint or route point p into *pl (see place_of());
 * -1 after refusing p. */
int read_place(struct importer *im, const struct gpx_point *p,
	       std::string *pl)
{
	double lat, lon, ele;
	bool has_ele;
	if (read_numbers(im, p, &lat, &lon, &ele, &has_ele) < 0)
		return -1;
	char field[FIELD_ROOM];
	*pl = mag_text(trim_blanks(p->name), WPT_NAME_MAX);
	*pl += '\0';
	pl->append(field, put_position(field, lat, lon));
	*pl += ',';
	pl->append(field, put_metres(field, ele, 7));
	*pl += ',';
	*pl += mag_text(trim_blanks(is_empty(p->cmt) ? p->desc : p->cmt),
			WPT_COMMENT_MAX);
	return 0;
}

int on_waypoint(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	std::string text;
	if (read_place(im, p, &text) < 0)
		return -1;
	bool named = !name_of(text).empty();
	/* The very same sentence again gives no record. */
	if (named && im->sentences.count(text) > 0)
		return 0;
	const std::string &w = im->waypoints.emplace_back(std::move(text));
	if (named) {
		im->sentences.insert(w);
		std::string_view place = place_of(w);
		/* Its place's route points now name this waypoint. */
		if (im->places.insert(place).second)
			im->route_places.erase(place);
	}
	return check_count(im, p);
}

int on_route_point(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	std::string text;
	if (read_place(im, p, &text) < 0)
		return -1;
	const std::string &rp = im->route_points.emplace_back(std::move(text));
	std::string_view place = place_of(rp);
	if (name_of(rp).empty())
		im->nameless_route_points++;
	else if (im->places.count(place) == 0)
		im->route_places.insert(place);
	return check_count(im, p);
}

int on_route_end(void *ctx, const std::string &)
{
	struct importer *im = (struct importer *)ctx;
	size_t points = im->route_points.size() - im->route_start;
	im->routes_read++;
	if (points > 0) {
		im->routes.push_back(
		    route{im->routes_read, im->route_start,
			  im->route_points.size()});
		im->route_lines += (points + 1) / 2;
	}
	im->route_start = im->route_points.size();
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

void reserve_tracks(struct importer *im);

int on_track_point(void *ctx, const struct gpx_point *p)
{
	struct importer *im = (struct importer *)ctx;
	if (im->track_points == 0)
		reserve_tracks(im);
	double lat, lon, ele;
	bool has_ele;
	if (read_numbers(im, p, &lat, &lon, &ele, &has_ele) < 0 ||
	    !fits(im, p, "time", p->time))
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
	/* The name marks where a segment starts (see importer.h); after a
	 * segment of one point it would mark nothing, and is left out. */
	bool carries = p->starts_segment && !im->carried;
	im->carried = carries;
	if (im->named) {
		im->body.assign(head, e);
		if (carries)
			im->body += im->track;
		im->body += ',';
		im->body += t.date;
		add_record(&im->tracks, &im->track_ends, im->body);
		return check_count(im, p);
	}
	im->pending.append(head, e);
	im->marks.push_back(im->pending.size());
	im->carries.push_back(carries);
	im->pending += ',';
	im->pending += t.date;
	im->marks.push_back(im->pending.size());
	return check_count(im, p);
}

/*
 * The name that the track being read is given for its name in the
 * document: a track after the first is never merged with the one before
 * it, which a receiver's log would do where their names are the same.  A
 * nameless first track takes im->first_name; a nameless later one is
 * called "Track N", N its place among the document's tracks, and one
 * named as the track before it gets " (N)" at its end.
 */
std::string track_name(const struct importer *im, const std::string &given)
{
	std::string name = mag_text(trim_blanks(given), TRACK_NAME_MAX);
	size_t place = im->tracks_read + 1;
	if (place == 1)
		return name.empty() ? im->first_name : name;
	std::string number = std::to_string(place);
	if (name.empty())
		name = "Track " + number;
	if (name != im->previous)
		return name;
	std::string suffix = " (" + number + ")";
	name.resize(std::min(name.size(), TRACK_NAME_MAX - suffix.size()));
	return name + suffix;
}

/* Points that come after the track's name are written at once; those
 * before it wait for the track's end. */
int on_track_name(void *ctx, const std::string &name)
{
	struct importer *im = (struct importer *)ctx;
	if (im->marks.empty()) {
		im->track = track_name(im, name);
		im->named = true;
	}
	return 0;
}

int on_track_end(void *ctx, const std::string &name)
{
	struct importer *im = (struct importer *)ctx;
	std::string track = im->named ? im->track : track_name(im, name);
	im->named = false;
	im->tracks_read++;
	size_t start = 0;
	for (size_t i = 0; i < im->marks.size(); i += 2) {
		size_t head = im->marks[i], tail = im->marks[i + 1];
		im->body.assign(im->pending, start, head - start);
		if (im->carries[i / 2])
			im->body += track;
		im->body.append(im->pending, head, tail - head);
		add_record(&im->tracks, &im->track_ends, im->body);
		start = tail;
	}
	im->pending.clear();
	im->marks.clear();
	im->carries.clear();
	im->carried = false;
	im->previous = std::move(track);
	return 0;
}

/* The names the records give their waypoints. */
struct namer {
	/* the place of a named waypoint to the name it was given */
	std::unordered_map<std::string_view, std::string> given;
	std::unordered_set<std::string> taken;
	/* The number to try next after a stem of a name cut to leave room
	 * for it, by the stem and its count of digits: names that share a
	 * stem share the search, so that no name taken is tried twice by
	 * the same stem, and renaming stays linear however names collide. */
	std::unordered_map<std::string, unsigned long> next;
	unsigned unnamed;

	/* name, or name with a number at its end that no waypoint has. */
	std::string unique(const std::string &name)
	{
		if (taken.insert(name).second)
			return name;
		unsigned long low = 2, high = 9;
		for (size_t digits = 1;; digits++, low = high + 1,
			    high = high * 10 + 9) {
			std::string stem = name.substr(
			    0, std::min(name.size(), WPT_NAME_MAX - digits));
			unsigned long &n =
			    next.emplace(stem + '\0' + std::to_string(digits),
					 low)
				.first->second;
			for (; n <= high; n++) {
				std::string candidate =
				    stem + std::to_string(n);
				if (taken.insert(candidate).second) {
					n++;
					return candidate;
				}
			}
		}
	}

	/* A new name for the place p, a name of its own or WPTnnn. */
	std::string new_name(const std::string &p)
	{
		std::string_view name = name_of(p);
		if (!name.empty())
			return unique(std::string(name));
		char generated[16];
		snprintf(generated, sizeof generated, "WPT%03u", ++unnamed);
		return unique(generated);
	}
};

/* The sentence of the place p named name. */
std::string waypoint_body(const std::string &p, const std::string &name)
{
	size_t position = p.find('\0') + 1;
	size_t comment = p.find(',', position + POSITION_LEN + 1) + 1;
	std::string body = "PMGNWPL,";
	body.append(p, position, comment - 1 - position);
	body += ",M,";
	body += name;
	body += ',';
	body.append(p, comment, std::string::npos);
	body += ",a";
	return body;
}

/* Bytes of a record beyond its place's text: the sentence's name and
 * fields, a name of WPT_NAME_MAX, the checksum, LF and NUL. */
enum { WAYPOINT_RECORD_EXTRA = 40 };

/* The records of what was read, in the handheld's order. */
void assemble(struct importer *im, struct gpx_records *out)
{
	/* What only the reading needed goes before the records are made. */
	std::unordered_set<std::string_view>().swap(im->sentences);
	std::unordered_set<std::string_view>().swap(im->places);
	std::unordered_set<std::string_view>().swap(im->route_places);
	if (im->waypoints.empty() && im->routes.empty()) {
		out->bytes = std::move(im->tracks);
		out->ends = std::move(im->track_ends);
		return;
	}
	size_t room = im->tracks.size();
	for (const std::string &w : im->waypoints)
		room += w.size() + WAYPOINT_RECORD_EXTRA;
	for (const std::string &p : im->route_points)
		room += p.size() + 2 * WAYPOINT_RECORD_EXTRA;
	out->bytes.reserve(room);
	out->ends.reserve(records(im));
	struct namer names = {};
	for (const std::string &w : im->waypoints) {
		std::string name = names.new_name(w);
		add_record(&out->bytes, &out->ends, waypoint_body(w, name));
		if (!name_of(w).empty())
			names.given.emplace(place_of(w), name);
	}
	for (const struct route &r : im->routes) {
		std::vector<std::string> points;
		for (size_t i = r.first; i < r.end; i++) {
			const std::string &p = im->route_points[i];
			auto found = name_of(p).empty()
					 ? names.given.end()
					 : names.given.find(place_of(p));
			if (found != names.given.end()) {
				points.push_back(found->second);
				continue;
			}
			points.push_back(names.new_name(p));
			add_record(&out->bytes, &out->ends,
				   waypoint_body(p, points.back()));
			if (!name_of(p).empty())
				names.given.emplace(place_of(p),
						    points.back());
		}
		size_t lines = (points.size() + 1) / 2;
		for (size_t i = 0; i < points.size(); i += 2) {
			std::string body =
			    "PMGNRTE," + std::to_string(lines) + "," +
			    std::to_string(i / 2 + 1) + ",c," +
			    std::to_string(r.number) + "," + points[i] + ",a";
			if (i + 1 < points.size())
				body += "," + points[i + 1] + ",a";
			add_record(&out->bytes, &out->ends, body);
		}
	}
	size_t base = out->bytes.size();
	out->bytes += im->tracks;
	for (size_t end : im->track_ends)
		out->ends.push_back(base + end);
}

/*
 * Room for the records of the tracks of the document, all at once at its
 * first track point: they take about as many bytes as the document (im->
 * size), at most RECORDS_MAX of TRACK_RECORD_ROOM, and pages never written
 * cost nothing.  The kernel is
 * asked to back the room with huge pages, where it can: a fault per 4 KiB
 * page of megabytes costs more than the rest of the import.
 */
void reserve_tracks(struct importer *im)
{
	off_t size = im->size;
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

/* True when a sentence's field holds name as it is: a name that no
 * comma, asterisk, dollar or control character would break or change. */
bool holds_as_field(const std::string &name)
{
	for (unsigned char c : name)
		if (c == ',' || c == '*' || c == '$' || c < 0x20 || c == 0x7F)
			return false;
	return !name.empty();
}

}  // namespace

int gpx_import(int fd, const std::string &db_name, struct gpx_records *out,
	       struct gpx_error *error)
{
	static const struct gpx_handler handler = {
	    on_waypoint,   on_route_point, on_route_end,
	    on_track_name, on_track_point, on_track_end,
	};
	struct importer im = {};
	im.error = error;
	/* Its points must name it to mark its segments, and the writers name
	 * it after the database all the same. */
	if (holds_as_field(db_name))
		im.first_name = db_name;
	struct stat st;
	if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
		im.size = st.st_size;
	if (gpx_read(fd, &handler, &im, error) < 0)
		return -1;
	assemble(&im, out);
	return 0;
}
