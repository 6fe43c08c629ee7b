/* SPDX-License-Identifier: MIT */
#include "sentences.h"

#include <math.h>
#include <stdio.h>

#include <charconv>

#include "calendar.h"
#include "cp1252.h"
#include "ieee_rounding.h"

/* One UTF-8 character at s[*i] (moving *i past it), or -1 for a byte that
 * starts none. */
static long next_char(const std::string &s, size_t *i)
{
	unsigned char c = (unsigned char)s[(*i)++];
	if (c < 0x80)
		return c;
	int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
	if (more < 0 || c > 0xF4)
		return -1;
	long cp = c & (0x3F >> more);
	for (int k = 0; k < more; k++) {
		if (*i >= s.size() || ((unsigned char)s[*i] & 0xC0) != 0x80)
			return -1;
		cp = cp << 6 | ((unsigned char)s[(*i)++] & 0x3F);
	}
	return cp;
}

std::string mag_text(const std::string &utf8, size_t max)
{
	std::string out;
	for (size_t i = 0; i < utf8.size() && out.size() < max;) {
		long cp = next_char(utf8, &i);
		int byte = cp < 0 ? '?' : unicode_to_cp1252((unsigned long)cp);
		if (cp == ',' || cp == '*' || cp == '$' || cp < 0x20 ||
		    (cp >= 0x7F && cp < 0xA0))
			byte = ' ';
		out += (char)(byte < 0 ? '?' : byte);
	}
	return out;
}

/* XML white space. */
static bool is_blank(char c)
{
	return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/* text without the blanks around it. */
static std::string trimmed(const std::string &text)
{
	size_t b = 0, e = text.size();
	while (b < e && is_blank(text[b]))
		b++;
	while (e > b && is_blank(text[e - 1]))
		e--;
	return text.substr(b, e - b);
}

bool parse_decimal(const std::string &text, double *v)
{
	std::string t = trimmed(text);
	const char *p = t.data(), *end = p + t.size();
	if (p < end && *p == '+' && ++p < end && *p == '-')
		return false; /* one sign only */
	std::from_chars_result r = std::from_chars(p, end, *v);
	return r.ec == std::errc() && r.ptr == end && isfinite(*v);
}

/* Minutes of a degree in units of 1/10000. */
static const long long UNITS_PER_DEGREE = 600000;

__attribute__((noinline)) static long long minute_units(double degrees)
{
	[[maybe_unused]] ieee_rounding guard;
	return llround(fabs(degrees) * (double)UNITS_PER_DEGREE);
}

/* "dd" or "ddd" degrees, "mm.mmmm" minutes, then the hemisphere. */
static void put_angle(std::string *out, double degrees, int width,
		      char positive, char negative)
{
	long long units = minute_units(degrees);
	char text[32];
	snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", width,
		 units / UNITS_PER_DEGREE, units % UNITS_PER_DEGREE / 10000,
		 units % 10000, degrees < 0 ? negative : positive);
	*out += text;
}

std::string mag_position(double lat, double lon)
{
	std::string out;
	put_angle(&out, lat, 2, 'N', 'S');
	out += ',';
	put_angle(&out, lon, 3, 'E', 'W');
	return out;
}

long mag_metres(double ele)
{
	return lround(ele);
}

/* Reads exactly n digits at *p into *v. */
static bool digits(const char **p, const char *end, int n, long *v)
{
	*v = 0;
	for (int i = 0; i < n; i++, (*p)++) {
		if (*p >= end || **p < '0' || **p > '9')
			return false;
		*v = *v * 10 + (**p - '0');
	}
	return true;
}

static bool expect(const char **p, const char *end, char c)
{
	if (*p >= end || **p != c)
		return false;
	(*p)++;
	return true;
}

static const int64_t SECS_PER_DAY = 86400;
/* 2000-01-01 and 2100-01-01, UTC. */
static const int64_t FIRST_SECOND = 946684800, END_SECOND = 4102444800;
/* Years of more digits are far out of range. */
enum { YEAR_DIGITS_MAX = 9 };

/* v (below 100) as two digits at out; returns the end. */
static char *two_digits(char *out, unsigned v)
{
	*out++ = (char)('0' + v / 10 % 10);
	*out++ = (char)('0' + v % 10);
	return out;
}

enum time_status parse_gpx_time(const std::string &text, struct mag_time *t)
{
	std::string s = trimmed(text);
	const char *p = s.data(), *end = p + s.size();
	bool bc = p < end && *p == '-';
	p += bc;
	int year_digits = 0;
	while (p + year_digits < end && p[year_digits] >= '0' &&
	       p[year_digits] <= '9')
		year_digits++;
	long year, month, day, hour, min, sec;
	if (year_digits < 4 ||
	    !digits(&p, end, std::min(year_digits, (int)YEAR_DIGITS_MAX),
		    &year) ||
	    year_digits > YEAR_DIGITS_MAX)
		return year_digits > YEAR_DIGITS_MAX ? TIME_OUT_OF_RANGE
						     : TIME_INVALID;
	if (!expect(&p, end, '-') || !digits(&p, end, 2, &month) ||
	    !expect(&p, end, '-') || !digits(&p, end, 2, &day) ||
	    !expect(&p, end, 'T') || !digits(&p, end, 2, &hour) ||
	    !expect(&p, end, ':') || !digits(&p, end, 2, &min) ||
	    !expect(&p, end, ':') || !digits(&p, end, 2, &sec))
		return TIME_INVALID;
	long centis = 0;
	if (p < end && *p == '.') {
		p++;
		int n = 0;
		for (; p < end && *p >= '0' && *p <= '9'; p++, n++)
			if (n < 2)
				centis = centis * 10 + (*p - '0');
		if (n == 0)
			return TIME_INVALID;
		if (n == 1)
			centis *= 10;
	}
	long offset = 0;
	if (p < end && (*p == '+' || *p == '-')) {
		int sign = *p++ == '-' ? -1 : 1;
		long oh, om;
		if (!digits(&p, end, 2, &oh) || !expect(&p, end, ':') ||
		    !digits(&p, end, 2, &om) || oh > 14 || om > 59)
			return TIME_INVALID;
		offset = sign * (oh * 3600 + om * 60);
	} else if (p < end && *p == 'Z') {
		p++;
	}
	if (p != end || month < 1 || month > 12 || day < 1 || hour > 23 ||
	    min > 59 || sec > 59)
		return TIME_INVALID;
	int64_t y = bc ? -year : year;
	int64_t first = days_from_civil(y, month);
	int64_t next = month == 12 ? days_from_civil(y + 1, 1)
				   : days_from_civil(y, month + 1);
	if (day > next - first)
		return TIME_INVALID;
	int64_t secs = (first + day - 1) * SECS_PER_DAY + hour * 3600 +
		       min * 60 + sec - offset;
	if (secs < FIRST_SECOND || secs >= END_SECOND)
		return TIME_OUT_OF_RANGE;
	struct civil_date c = civil_from_days(secs / SECS_PER_DAY);
	unsigned tod = (unsigned)(secs % SECS_PER_DAY);
	char *h = t->hms;
	h = two_digits(h, tod / 3600);
	h = two_digits(h, tod / 60 % 60);
	h = two_digits(h, tod % 60);
	*h++ = '.';
	*two_digits(h, (unsigned)centis) = '\0';
	char *d = t->date;
	d = two_digits(d, c.day);
	d = two_digits(d, c.month);
	*two_digits(d, (unsigned)(c.year % 100)) = '\0';
	return TIME_OK;
}

std::string mag_sentence(const std::string &body)
{
	unsigned sum = 0;
	for (char c : body)
		sum ^= (unsigned char)c;
	static const char HEX[] = "0123456789ABCDEF";
	std::string out = "$" + body + "*";
	out += HEX[sum >> 4 & 0xF];
	out += HEX[sum & 0xF];
	return out;
}
