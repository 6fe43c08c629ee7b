/* SPDX-License-Identifier: MIT */
/* Decoding of the Magellan position report of one track-log record. */
#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "calendar.h"
#include "ieee_rounding.h"
#include "mag.h"

enum { FIELD_MAX = MAG_FIELD_MAX };

/* Field numbers, by the count of separators met when the field ends. */
enum {
	END_LATITUDE = 2,
	END_LAT_HEMISPHERE = 3,
	END_LONGITUDE = 4,
	END_LON_HEMISPHERE = 5,
	END_ALTITUDE = 6,
	END_UNIT = 7,
	END_TIME = 8,
	END_STATUS = 9,
	END_TRACK_NAME = 10,
	END_DATE = 11,
};

/* The broken-down date and time that the time and date fields fill. */
struct work_area {
	unsigned sec, min, hour, mday;
	long mon, year; /* months 0 to 11 and years since 1900, as in tm */
};

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

static bool is_end_mark(char c) { return c == '\r' || c == '\n' || c == '\0'; }

/*
 * The number at the start of text as atof reads it, by its grammar alone:
 * white space, a sign, digits with an optional point, an optional
 * exponent.  Anything else ("nan", "inf", "0x10" past its 0) holds no
 * number, or no more of one.
 */
static double text_to_double(const char *text)
{
	const char *p = text;
	while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
		p++;
	const char *start = p;
	if (*p == '+' || *p == '-')
		p++;
	size_t digits = 0;
	for (; is_digit(*p); p++)
		digits++;
	if (*p == '.')
		for (p++; is_digit(*p); p++)
			digits++;
	if (digits == 0)
		return 0.0;
	if (*p == 'e' || *p == 'E') {
		const char *q = p + 1;
		if (*q == '+' || *q == '-')
			q++;
		if (is_digit(*q)) {
			while (is_digit(*q))
				q++;
			p = q;
		}
	}
	char number[FIELD_MAX + 1];
	size_t n = (size_t)(p - start);
	memcpy(number, start, n);
	number[n] = '\0';
	return strtod(number, NULL);
}

/* A double as float, beyond the float range as an infinity. */
__attribute__((noinline)) static float narrow(double v)
{
	[[maybe_unused]] ieee_rounding guard;
	if (v > FLT_MAX)
		return HUGE_VALF;
	if (v < -FLT_MAX)
		return -HUGE_VALF;
	return (float)v;
}

__attribute__((noinline)) double mag2degrees(double mag_val)
{
	[[maybe_unused]] ieee_rounding guard;
	double tmp_val = mag_val / 100.0;
	if (isinf(tmp_val))
		return tmp_val;
	double deg = trunc(tmp_val) + 0.0; /* + 0.0: a zero part is +0 */
	double minutes = (tmp_val - deg) * 100.0;
	minutes = minutes / 60.0;
	return deg + minutes;
}

/* Reads up to two decimal digits at *p into *value; returns how many. */
static int two_digits(const char **p, unsigned *value)
{
	int n = 0;
	*value = 0;
	while (n < 2 && is_digit(**p)) {
		*value = *value * 10 + (unsigned)(**p - '0');
		(*p)++;
		n++;
	}
	return n;
}

/* hhmmss.cc: fills what the text supplies; one digit after the point is
 * tenths.  The hundredths are left alone when the text has none. */
static void read_time(const char *text, struct work_area *wa,
		      struct trkrec *trk)
{
	*wa = work_area();
	const char *p = text;
	unsigned v;
	if (!two_digits(&p, &v))
		return;
	wa->hour = v;
	if (!two_digits(&p, &v))
		return;
	wa->min = v;
	if (!two_digits(&p, &v))
		return;
	wa->sec = v;
	if (*p++ != '.')
		return;
	int n = two_digits(&p, &v);
	if (n > 0)
		trk->centisecs = (uint8_t)(n == 1 ? v * 10 : v);
}

/* The work area as a UTC time, the inverse of gmtime: months outside 0 to
 * 11 carry into the year, days and hours simply add on.  Low 32 bits. */
static int32_t utc_seconds(const struct work_area *wa)
{
	int64_t mon = wa->mon % 12, year = 1900 + wa->year + wa->mon / 12;
	if (mon < 0) {
		mon += 12;
		year--;
	}
	int64_t days = days_from_civil(year, mon + 1) + (int64_t)wa->mday - 1;
	int64_t secs =
	    ((days * 24 + wa->hour) * 60 + wa->min) * 60 + (int64_t)wa->sec;
	uint32_t low = (uint32_t)secs;
	return low <= INT32_MAX ? (int32_t)low
				: (int32_t)((int64_t)low - 4294967296LL);
}

/* ddmmyy: the year is always 2000 + yy. */
static void read_date(const char *text, struct work_area *wa,
		      struct trkrec *trk)
{
	const char *p = text;
	unsigned v;
	if (two_digits(&p, &v)) {
		wa->mday = v;
		if (two_digits(&p, &v)) {
			wa->mon = v;
			if (two_digits(&p, &v))
				wa->year = v;
		}
	}
	wa->mon -= 1;
	wa->year += 100;
	trk->time = utc_seconds(wa);
}

static void decode_field(int seps, const char *text, struct work_area *wa,
			 struct trkrec *trk, int *result)
{
	switch (seps) {
	case END_LATITUDE:
		trk->y = mag2degrees(text_to_double(text));
		break;
	case END_LAT_HEMISPHERE:
		if (text[0] == 'N')
			trk->y = -trk->y;
		break;
	case END_LONGITUDE:
		trk->x = mag2degrees(text_to_double(text));
		break;
	case END_LON_HEMISPHERE:
		if (text[0] == 'W')
			trk->x = -trk->x;
		break;
	case END_ALTITUDE:
		trk->altitude = narrow(text_to_double(text));
		break;
	case END_TIME:
		read_time(text, wa, trk);
		break;
	case END_STATUS:
		trk->validity = text[0] == 'A';
		*result = 1;
		break;
	case END_DATE:
		read_date(text, wa, trk);
		break;
	default:
		break;
	}
}

/* Sentence names: a track point, a waypoint, a line of a route.  The
 * format sentence "$PMGNFMT" and the others a receiver writes hold none. */
static const char TRACK_SENTENCE[] = "$PMGNTRK";
static const char WAYPOINT_SENTENCE[] = "$PMGNWPL";
static const char ROUTE_SENTENCE[] = "$PMGNRTE";

/* True when the first field of the text (up to ",", "*" or its end) is
 * exactly name, a sentence name of 8 bytes. */
static bool is_sentence(const char *data, size_t len, const char *name)
{
	size_t n = 1;
	while (n < len && data[n] != ',' && data[n] != '*' &&
	       !is_end_mark(data[n]))
		n++;
	return n == sizeof TRACK_SENTENCE - 1 && memcmp(data, name, n) == 0;
}

/* True when the text is a sentence of another kind: it begins with "$"
 * and its first field is not exactly the track sentence's name. */
static bool is_other_sentence(const char *data, size_t len)
{
	return data[0] == '$' && !is_sentence(data, len, TRACK_SENTENCE);
}

int parsemagtrack(const char *data, size_t len, struct trkrec *trk,
		  struct magtext *name)
{
	struct magtrkpt info;
	int result = parsemagtrackpoint(data, len, trk, &info);
	*name = info.name;
	return result;
}

int parsemagtrackpoint(const char *data, size_t len, struct trkrec *trk,
		       struct magtrkpt *info)
{
	*info = magtrkpt{magtext{data, 0}, 0, 0, 0};
	struct magtext *name = &info->name;
	if (data == NULL || len == 0 || data[0] == '#' || data[0] == '\0' ||
	    is_other_sentence(data, len))
		return 0;
	char field[FIELD_MAX + 1];
	size_t flen = 0, start = 0;
	int seps = 0, result = 0;
	struct work_area wa = work_area();
	for (size_t i = 0;;) {
		char c = data[i];
		if (c == ',' || c == '*') {
			field[flen] = '\0';
			decode_field(++seps, field, &wa, trk, &result);
			if (seps == END_TRACK_NAME)
				*name = magtext{data + start, flen};
			else if (seps == END_TIME || seps == END_DATE)
				info->has_time |= flen > 0;
			else if (seps == END_ALTITUDE)
				info->has_altitude = flen > 0;
			else if (seps == END_UNIT)
				info->feet = field[0] == 'F' ||
					     field[0] == 'f';
			flen = 0;
			start = i + 1;
		} else if (flen < FIELD_MAX) {
			field[flen++] = c;
		}
		if (++i >= len || is_end_mark(data[i]))
			break;
	}
	return result;
}

int parsemagdata(const char *data, size_t len, struct trkrec *trk)
{
	struct magtext name;
	return parsemagtrack(data, len, trk, &name);
}

int parsemagdatastring(const char *data, struct trkrec *trk)
{
	return parsemagdata(data, data != NULL ? strlen(data) : 0, trk);
}

/* The comma-separated fields of a waypoint or route sentence: they end at
 * its checksum mark "*", its line end or the end of its data. */
struct sentence_fields {
	const char *p, *end;
	bool more;
};

static struct sentence_fields fields_of(const char *data, size_t len)
{
	size_t n = 0;
	while (n < len && data[n] != '*' && !is_end_mark(data[n]))
		n++;
	return sentence_fields{data, data + n, true};
}

/* Takes the next field into *f, its first FIELD_MAX bytes; false when
 * none is left. */
static bool next_field(struct sentence_fields *s, struct magtext *f)
{
	if (!s->more)
		return false;
	const char *comma =
	    (const char *)memchr(s->p, ',', (size_t)(s->end - s->p));
	const char *stop = comma != NULL ? comma : s->end;
	size_t n = (size_t)(stop - s->p);
	*f = magtext{s->p, n < (size_t)FIELD_MAX ? n : (size_t)FIELD_MAX};
	s->more = comma != NULL;
	s->p = comma != NULL ? comma + 1 : s->end;
	return true;
}

/* The number at the start of a field, as the track fields are read. */
static double field_number(struct magtext f)
{
	char text[FIELD_MAX + 1];
	memcpy(text, f.text, f.len);
	text[f.len] = '\0';
	return text_to_double(text);
}

static const double METRES_PER_FOOT = 0.3048;

__attribute__((noinline)) double wexlar_feet_to_metres(double feet)
{
	[[maybe_unused]] ieee_rounding guard;
	return feet * METRES_PER_FOOT;
}

/* Waypoint fields, numbered from the sentence name. */
enum { WPL_LAT = 1, WPL_LAT_HEMI, WPL_LON, WPL_LON_HEMI, WPL_ALT, WPL_UNIT,
       WPL_NAME, WPL_COMMENT, WPL_FIELDS };

int parsemagwaypoint(const char *data, size_t len, struct magwpt *wpt)
{
	if (data == NULL || len == 0 ||
	    !is_sentence(data, len, WAYPOINT_SENTENCE))
		return 0;
	struct sentence_fields s = fields_of(data, len);
	struct magtext f[WPL_FIELDS];
	int n = 0;
	while (n < WPL_FIELDS && next_field(&s, &f[n]))
		n++;
	if (n <= WPL_NAME)
		return -1;
	double lat = mag2degrees(field_number(f[WPL_LAT]));
	double lon = mag2degrees(field_number(f[WPL_LON]));
	if (f[WPL_LAT_HEMI].len == 0 || f[WPL_LAT_HEMI].text[0] != 'N')
		lat = -lat;
	if (f[WPL_LON_HEMI].len > 0 && f[WPL_LON_HEMI].text[0] == 'W')
		lon = -lon;
	if (!(lat >= -90.0 && lat <= 90.0 && lon >= -180.0 && lon <= 180.0))
		return -1;
	double ele = field_number(f[WPL_ALT]);
	if (f[WPL_UNIT].len > 0 &&
	    (f[WPL_UNIT].text[0] == 'F' || f[WPL_UNIT].text[0] == 'f'))
		ele = wexlar_feet_to_metres(ele);
	wpt->lat = lat + 0.0; /* + 0.0: no negative zero */
	wpt->lon = lon + 0.0;
	wpt->has_ele = f[WPL_ALT].len > 0 && isfinite(ele);
	wpt->ele = wpt->has_ele ? ele : 0.0;
	wpt->name = f[WPL_NAME];
	wpt->comment = n > WPL_COMMENT ? f[WPL_COMMENT] : magtext{data, 0};
	return 1;
}

/* A decimal number of one to nine digits, the whole field. */
static bool read_count(struct magtext f, uint32_t *value)
{
	enum { DIGITS_MAX = 9 };
	if (f.len == 0 || f.len > DIGITS_MAX)
		return false;
	uint32_t v = 0;
	for (size_t i = 0; i < f.len; i++) {
		if (!is_digit(f.text[i]))
			return false;
		v = v * 10 + (uint32_t)(f.text[i] - '0');
	}
	*value = v;
	return true;
}

int parsemagroute(const char *data, size_t len, struct magrte *rte)
{
	if (data == NULL || len == 0 || !is_sentence(data, len, ROUTE_SENTENCE))
		return 0;
	struct sentence_fields s = fields_of(data, len);
	struct magtext sentence, total, index, kind, number;
	if (!next_field(&s, &sentence) || !next_field(&s, &total) ||
	    !next_field(&s, &index) || !next_field(&s, &kind) ||
	    !next_field(&s, &number))
		return -1;
	struct magrte r;
	if (!read_count(total, &r.total) || !read_count(index, &r.index) ||
	    !read_count(number, &r.number))
		return -1;
	/* The point fields, less the empty ones at the end of the line. */
	const char *end = s.end;
	while (end > s.p && end[-1] == ',')
		end--;
	r.rest = magtext{s.p, (size_t)(end - s.p)};
	size_t count = r.rest.len > 0;
	for (const char *p = s.p; p < end; p++)
		count += *p == ',';
	r.name = magtext{data, 0};
	if (count % 2 == 1) {
		struct sentence_fields names = {s.p, end, true};
		next_field(&names, &r.name);
		r.rest = magtext{names.p, (size_t)(end - names.p)};
	}
	r.npoints = count / 2;
	*rte = r;
	return 1;
}

int parsemagroutepoint(struct magrte *rte, struct magtext *wpname)
{
	if (rte->npoints == 0)
		return 0;
	struct sentence_fields s = {rte->rest.text,
				    rte->rest.text + rte->rest.len, true};
	struct magtext icon;
	next_field(&s, wpname);
	next_field(&s, &icon);
	rte->rest = magtext{s.p, (size_t)(s.end - s.p)};
	rte->npoints--;
	return 1;
}
