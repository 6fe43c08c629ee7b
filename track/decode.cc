/* SPDX-License-Identifier: MIT */
/* Decoding of the Magellan position report of one track-log record. */
#include <float.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "calendar.h"
#include "mag.h"

enum { FIELD_MAX = 255 };

/* Field numbers, by the count of separators met when the field ends. */
enum {
	END_LATITUDE = 2,
	END_LAT_HEMISPHERE = 3,
	END_LONGITUDE = 4,
	END_LON_HEMISPHERE = 5,
	END_ALTITUDE = 6,
	END_TIME = 8,
	END_STATUS = 9,
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

/*
 * The x87 FPU of 32-bit x86 without SSE2 computes in 80-bit registers, so
 * each step would round differently from an IEEE double's and the decoded
 * points would differ in their last bits from every other platform's.
 * While an ieee_rounding lives, the FPU rounds every result to a double's
 * 53 bits instead: the IEEE result, the same bits everywhere.  Elsewhere it
 * does nothing.  Only the functions below compute with floating point, and
 * none is inlined, so no step can move out of a guard's reach.
 */
#if defined(__i386__) && !defined(__SSE2_MATH__)
struct ieee_rounding {
	unsigned short saved;
	ieee_rounding()
	{
		enum { PRECISION_MASK = 0x300, PRECISION_DOUBLE = 0x200 };
		__asm__ __volatile__("fnstcw %0" : "=m"(saved) : : "memory");
		unsigned short cw =
		    (unsigned short)((saved & ~PRECISION_MASK) | PRECISION_DOUBLE);
		__asm__ __volatile__("fldcw %0" : : "m"(cw) : "memory");
	}
	~ieee_rounding()
	{
		__asm__ __volatile__("fldcw %0" : : "m"(saved) : "memory");
	}
};
#else
struct ieee_rounding {};
#endif

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

/* The sentence name of a track point; "$PMGNWPL", "$PMGNRTE", "$PMGNFMT"
 * and the other sentences a receiver writes hold no track point. */
static const char TRACK_SENTENCE[] = "$PMGNTRK";

/* True when the text is a sentence of another kind: it begins with "$"
 * and its first field is not exactly the track sentence's name. */
static bool is_other_sentence(const char *data, size_t len)
{
	if (data[0] != '$')
		return false;
	size_t n = 1;
	while (n < len && data[n] != ',' && data[n] != '*' &&
	       !is_end_mark(data[n]))
		n++;
	return n != sizeof TRACK_SENTENCE - 1 ||
	       memcmp(data, TRACK_SENTENCE, n) != 0;
}

int parsemagdata(const char *data, size_t len, struct trkrec *trk)
{
	if (data == NULL || len == 0 || data[0] == '#' || data[0] == '\0' ||
	    is_other_sentence(data, len))
		return 0;
	char field[FIELD_MAX + 1];
	size_t flen = 0;
	int seps = 0, result = 0;
	struct work_area wa = work_area();
	for (size_t i = 0;;) {
		char c = data[i];
		if (c == ',' || c == '*') {
			field[flen] = '\0';
			decode_field(++seps, field, &wa, trk, &result);
			flen = 0;
		} else if (flen < FIELD_MAX) {
			field[flen++] = c;
		}
		if (++i >= len || is_end_mark(data[i]))
			break;
	}
	return result;
}

int parsemagdatastring(const char *data, struct trkrec *trk)
{
	return parsemagdata(data, data != NULL ? strlen(data) : 0, trk);
}
