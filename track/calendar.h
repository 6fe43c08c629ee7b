/* SPDX-License-Identifier: MIT */
/*
 * The proleptic Gregorian calendar as a count of days from 1970-01-01, in
 * 64-bit integers: the same on every platform, whatever its time_t.
 */
#ifndef TRACK_CALENDAR_H
#define TRACK_CALENDAR_H

#include <stdint.h>

/* Days from 1970-01-01 to the first of month m (1 to 12) of year y. */
static inline int64_t days_from_civil(int64_t y, int64_t m)
{
	y -= m <= 2;
	int64_t era = (y >= 0 ? y : y - 399) / 400;
	int64_t yoe = y - era * 400;
	int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5;
	int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
	return era * 146097 + doe - 719468;
}

struct civil_date {
	int64_t year;
	unsigned month, day; /* 1 to 12, 1 to 31 */
};

/* The date of day z counted from 1970-01-01: the inverse of
 * days_from_civil(). */
static inline struct civil_date civil_from_days(int64_t z)
{
	z += 719468;
	int64_t era = (z >= 0 ? z : z - 146096) / 146097;
	int64_t doe = z - era * 146097;
	int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
	int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
	int64_t mp = (5 * doy + 2) / 153;
	struct civil_date d;
	d.day = (unsigned)(doy - (153 * mp + 2) / 5 + 1);
	d.month = (unsigned)(mp < 10 ? mp + 3 : mp - 9);
	d.year = yoe + era * 400 + (d.month <= 2);
	return d;
}

#endif
