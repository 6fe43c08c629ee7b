/* SPDX-License-Identifier: MIT */
#include "sentences.h"

#include <math.h>

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

/* Narrows [*p, *end) to its text without the blanks around it. */
static void trim(const char **p, const char **end)
{
	while (*p < *end && is_blank(**p))
		(*p)++;
	while (*end > *p && is_blank((*end)[-1]))
		(*end)--;
}

bool parse_decimal(const char *text, size_t len, double *v)
{
	const char *p = text, *end = text + len;
	trim(&p, &end);
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

/* v (below 10^width) as width digits at out; returns the end. */
static char *put_digits(char *out, unsigned long long v, int width)
{
	for (int i = width - 1; i >= 0; i--, v /= 10)
		out[i] = (char)('0' + v % 10);
	return out + width;
}

/* "dd" or "ddd" degrees, "mm.mmmm" minutes, ",", then the hemisphere. */
static char *put_angle(char *out, double degrees, int width, char positive,
		       char negative)
{
	long long units = minute_units(degrees);
	out = put_digits(out, (unsigned long long)(units / UNITS_PER_DEGREE),
			 width);
	out = put_digits(out, (unsigned long long)(units % UNITS_PER_DEGREE /
						   10000),
			 2);
	*out++ = '.';
	out = put_digits(out, (unsigned long long)(units % 10000), 4);
	*out++ = ',';
	*out++ = degrees < 0 ? negative : positive;
	return out;
}

char *put_position(char *out, double lat, double lon)
{
	out = put_angle(out, lat, 2, 'N', 'S');
	*out++ = ',';
	return put_angle(out, lon, 3, 'E', 'W');
}

char *put_metres(char *out, double ele, int width)
{
	long m = lround(ele);
	unsigned long magnitude =
	    m < 0 ? 0UL - (unsigned long)m : (unsigned long)m;
	int digits = 1;
	for (unsigned long v = magnitude; v >= 10; v /= 10)
		digits++;
	if (m < 0) {
		*out++ = '-';
		width--;
	}
	return put_digits(out, magnitude, digits > width ? digits : width);
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

/* Reads an offset "hh:mm" or "hhmm" at *p into *secs. */
static bool offset_of(const char **p, const char *end, long *secs)
{
	long oh, om;
	if (!digits(p, end, 2, &oh))
		return false;
	expect(p, end, ':');
	if (!digits(p, end, 2, &om) || oh > 14 || om > 59)
		return false;
	*secs = oh * 3600 + om * 60;
	return true;
}

enum time_status parse_gpx_time(const char *text, size_t len,
				 struct mag_time *t)
{
	const char *p = text, *end = text + len;
	trim(&p, &end);
	bool bc = p < end && *p == '-';
	p += bc;
	int year_digits = 0;
	while (p + year_digits < end && p[year_digits] >= '0' &&
	       p[year_digits] <= '9')
		year_digits++;
	/* A year of more digits is far out of range; its value is not read. */
	bool huge = year_digits > YEAR_DIGITS_MAX;
	long year = 0, month, day, hour, min, sec;
	if (year_digits < 4 ||
	    !(huge ? (p += year_digits, true)
		   : digits(&p, end, year_digits, &year)) ||
	    !expect(&p, end, '-') || !digits(&p, end, 2, &month) ||
	    !expect(&p, end, '-') || !digits(&p, end, 2, &day) ||
	    !(expect(&p, end, 'T') || expect(&p, end, 't')) ||
	    !digits(&p, end, 2, &hour) || !expect(&p, end, ':') ||
	    !digits(&p, end, 2, &min) || !expect(&p, end, ':') ||
	    !digits(&p, end, 2, &sec))
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
		if (!offset_of(&p, end, &offset))
			return TIME_INVALID;
		offset *= sign;
	} else if (p < end && (*p == 'Z' || *p == 'z')) {
		p++;
	}
	/* A leap second (:60) is taken as the next second. */
	if (p != end || month < 1 || month > 12 || day < 1 || hour > 23 ||
	    min > 59 || sec > 60)
		return TIME_INVALID;
	if (huge)
		return TIME_OUT_OF_RANGE;
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
	char *h = put_digits(t->hms, tod / 3600, 2);
	h = put_digits(h, tod / 60 % 60, 2);
	h = put_digits(h, tod % 60, 2);
	*h++ = '.';
	*put_digits(h, (unsigned long long)centis, 2) = '\0';
	char *d = put_digits(t->date, c.day, 2);
	d = put_digits(d, c.month, 2);
	*put_digits(d, (unsigned long long)(c.year % 100), 2) = '\0';
	return TIME_OK;
}

std::string trim_blanks(const std::string &text)
{
	const char *p = text.data(), *end = p + text.size();
	trim(&p, &end);
	return std::string(p, end);
}

void append_sentence(std::string *out, const char *body, size_t len)
{
	unsigned sum = 0;
	for (size_t i = 0; i < len; i++)
		sum ^= (unsigned char)body[i];
	static const char HEX[] = "0123456789ABCDEF";
	const char tail[3] = {'*', HEX[sum >> 4 & 0xF], HEX[sum & 0xF]};
	*out += '$';
	out->append(body, len);
	out->append(tail, sizeof tail);
}
