/* SPDX-License-Identifier: MIT */
/* The GPX and CSV writers: one item per decodable record, in file order. */
#include <stdio.h>

#include <charconv>
#include <string.h>

#include "calendar.h"
#include "mag.h"
#include "pointtext.h"
#include "outbuf.h"

#define GPX_NAMESPACE "http://www.topografix.com/GPX/1/0"
#define GPX_SCHEMA "http://www.topografix.com/GPX/1/0/gpx.xsd"

static const char GPX_HEADER[] =
    "<?xml version=\"1.0\"?>\n"
    "<gpx version=\"1.0\" creator=\"Wexlar trkexport exporter - " WEXLAR_HOME
    "\" xmlns:xsi=\"" XSI_NAMESPACE "\" xmlns=\"" GPX_NAMESPACE
    "\" xsi:schemaLocation=\"" GPX_NAMESPACE " " GPX_SCHEMA "\">\n"
    "<trk>\n<trkseg>\n";
static const char GPX_FOOTER[] = "</trkseg></trk></gpx>\n";

static const uint32_t SECS_PER_DAY = 86400;

/*
 * Each point is printed as "%f" would print its numbers (std::to_chars
 * gives the same digits, several times faster), and its time as gmtime and
 * "%Y-%m-%dT%H:%M:%S" would, followed by the hundredths:
 *   GPX  <trkpt lat="%f" lon="%f">\n\t<ele>%f</ele>\n
 *        \t<time>%s.%02dZ</time>\n</trkpt>\n
 *   CSV  %f,%f,%f,%s.%02dZ\n
 */
struct point_text {
	char *p, *end;
};

static void put_text(struct point_text *t, const char *s)
{
	size_t n = strlen(s);
	if (n > (size_t)(t->end - t->p))
		n = (size_t)(t->end - t->p);
	memcpy(t->p, s, n);
	t->p += n;
}

static void put_fixed(struct point_text *t, double v)
{
	std::to_chars_result r =
	    std::to_chars(t->p, t->end, v, std::chars_format::fixed, 6);
	if (r.ec == std::errc())
		t->p = r.ptr;
}

static void put_two_digits(struct point_text *t, unsigned v)
{
	if (t->end - t->p >= 2) {
		*t->p++ = (char)('0' + v / 10 % 10);
		*t->p++ = (char)('0' + v % 10);
	}
}

/* "YYYY-MM-DDTHH:MM:SS" of unsigned seconds since 1970, UTC, by the
 * project's own calendar: no time_t, so 2038 and later print alike on every
 * platform.  The date part is worked out once per day: a log's points share
 * a few days. */
static void put_when(struct point_text *t, uint32_t secs)
{
	static int64_t day = -1;
	static char date[sizeof "YYYY-MM-DDT"];
	int64_t d = secs / SECS_PER_DAY;
	if (d != day) {
		struct civil_date c = civil_from_days(d);
		/* 1970 to 2106: always four digits. */
		unsigned y = (unsigned)c.year;
		struct point_text dt = {date, date + sizeof date - 1};
		put_two_digits(&dt, y / 100);
		put_two_digits(&dt, y % 100);
		put_text(&dt, "-");
		put_two_digits(&dt, c.month);
		put_text(&dt, "-");
		put_two_digits(&dt, c.day);
		put_text(&dt, "T");
		*dt.p = '\0';
		day = d;
	}
	put_text(t, date);
	uint32_t s = secs % SECS_PER_DAY;
	put_two_digits(t, s / 3600);
	put_text(t, ":");
	put_two_digits(t, s / 60 % 60);
	put_text(t, ":");
	put_two_digits(t, s % 60);
}

/* The point's UTC time to the hundredth: "YYYY-MM-DDTHH:MM:SS.ccZ". */
static void put_time(struct point_text *t, const struct trkrec *trk)
{
	put_when(t, (uint32_t)trk->time);
	put_text(t, ".");
	put_two_digits(t, trk->centisecs);
	put_text(t, "Z");
}

int wexlar_format_fixed(double v, char *buf)
{
	struct point_text t = {buf, buf + FIXED_TEXT_SIZE - 1};
	put_fixed(&t, v);
	*t.p = '\0';
	return (int)(t.p - buf);
}

int wexlar_format_time(const struct trkrec *trk, char *buf)
{
	struct point_text t = {buf, buf + TIME_TEXT_SIZE - 1};
	put_time(&t, trk);
	*t.p = '\0';
	return (int)(t.p - buf);
}

int wexlar_format_point(enum point_style style, const struct trkrec *trk, char *buf)
{
	/* The 32 bits are unsigned seconds: every date from 2000 to 2099
	 * that a report can give lies within them. */
	struct point_text t = {buf, buf + POINT_TEXT_SIZE - 1};
	bool gpx = style == POINT_GPX;
	put_text(&t, gpx ? "<trkpt lat=\"" : "");
	put_fixed(&t, -trk->y);
	put_text(&t, gpx ? "\" lon=\"" : ",");
	put_fixed(&t, trk->x);
	put_text(&t, gpx ? "\">\n\t<ele>" : ",");
	put_fixed(&t, (double)trk->altitude);
	put_text(&t, gpx ? "</ele>\n\t<time>" : ",");
	put_time(&t, trk);
	put_text(&t, gpx ? "</time>\n</trkpt>\n" : "\n");
	*t.p = '\0';
	return (int)(t.p - buf);
}

int wexlar_format_track_point(const struct trkrec *trk,
			      const struct magtrkpt *info, char *buf)
{
	struct point_text t = {buf, buf + POINT_TEXT_SIZE - 1};
	put_text(&t, "<trkpt lat=\"");
	put_fixed(&t, -trk->y);
	put_text(&t, "\" lon=\"");
	put_fixed(&t, trk->x);
	put_text(&t, "\">\n");
	if (info->has_altitude) {
		double ele = (double)trk->altitude;
		put_text(&t, "\t<ele>");
		put_fixed(&t, info->feet ? wexlar_feet_to_metres(ele) : ele);
		put_text(&t, "</ele>\n");
	}
	if (info->has_time) {
		put_text(&t, "\t<time>");
		put_time(&t, trk);
		put_text(&t, "</time>\n");
	}
	put_text(&t, "</trkpt>\n");
	*t.p = '\0';
	return (int)(t.p - buf);
}

/* Writes one item for every record that decodes. */
static int put_points(struct outbuf *ob, const struct pdb *db,
		      enum point_style style)
{
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	char item[POINT_TEXT_SIZE];
	for (const struct pdb_record *r = db->rec_index.rec; r != NULL;
	     r = r->next) {
		if (!parsemagdata((const char *)r->data, r->data_len, &trk))
			continue;
		int n = wexlar_format_point(style, &trk, item);
		if (wexlar_out_put(ob, item, (size_t)n) < 0)
			return -1;
	}
	return 0;
}

int parsewexlarfilegpx(struct pdb *db, int fd)
{
	struct outbuf *ob = wexlar_out_open(fd);
	if (wexlar_out_put(ob, GPX_HEADER, strlen(GPX_HEADER)) < 0 ||
	    put_points(ob, db, POINT_GPX) < 0 ||
	    wexlar_out_put(ob, GPX_FOOTER, strlen(GPX_FOOTER)) < 0)
		return -1;
	return wexlar_out_flush(ob);
}

int parsewexlarfilecsv(struct pdb *db, int fd)
{
	struct outbuf *ob = wexlar_out_open(fd);
	if (put_points(ob, db, POINT_CSV) < 0)
		return -1;
	return wexlar_out_flush(ob);
}
