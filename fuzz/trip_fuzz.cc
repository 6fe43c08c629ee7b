// SPDX-License-Identifier: MIT
// Any bytes as the records of a track log, one a line: the trip's numbers
// are worked out, and none of them may be a NaN or an infinity, nor may
// they contradict each other; its page is written, and must be UTF-8 with
// every coordinate a number.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "page.h"
#include "pdb.h"
#include "trip.h"

static void require(bool ok, const char *what)
{
	if (!ok) {
		fprintf(stderr, "trip: %s\n", what);
		abort();
	}
}

static void check(const struct trip_track &t)
{
	const double numbers[] = {t.distance, t.moving_distance, t.max_speed,
				  t.min_ele,  t.max_ele,	 t.climb,
				  t.descent,  t.raw_climb,	 t.raw_descent};
	for (double v : numbers)
		require(isfinite(v), "a number is not finite");
	require(t.fixless + t.glitches + t.kept.size() == t.points,
		"points lost");
	require(t.distance >= 0 && t.climb >= 0 && t.descent >= 0,
		"a negative sum");
	require(t.climb <= t.raw_climb + 1e-6 * (1 + t.raw_climb) &&
		    t.descent <= t.raw_descent + 1e-6 * (1 + t.raw_descent),
		"climb beyond the raw sum");
	require(t.moving <= t.duration && t.duration >= 0, "times");
	for (const struct trip_point &p : t.kept)
		require(isfinite(p.lat) && isfinite(p.lon) && isfinite(p.ele) &&
			    isfinite(p.along),
			"a point is not finite");
}

// The length of the UTF-8 sequence at s[0, n), or 0 when there is none
// (overlong forms, surrogates and code points beyond U+10FFFF included).
static size_t utf8_sequence(const unsigned char *s, size_t n)
{
	if (s[0] < 0x80)
		return 1;
	size_t len = s[0] >= 0xC2 && s[0] <= 0xDF   ? 2
		     : s[0] >= 0xE0 && s[0] <= 0xEF ? 3
		     : s[0] >= 0xF0 && s[0] <= 0xF4 ? 4
						    : 0;
	if (len == 0 || len > n)
		return 0;
	for (size_t i = 1; i < len; i++)
		if ((s[i] & 0xC0) != 0x80)
			return 0;
	unsigned second = s[1];
	if ((s[0] == 0xE0 && second < 0xA0) || (s[0] == 0xED && second > 0x9F) ||
	    (s[0] == 0xF0 && second < 0x90) || (s[0] == 0xF4 && second > 0x8F))
		return 0;
	return len;
}

// Every value of a coordinate attribute (x="...", points="..." and the
// like) holds only digits, signs, points, commas and spaces: no "nan",
// no "inf".  Text from the log cannot fake one, as its quotes are
// escaped.
static void check_page(const std::string &page)
{
	const unsigned char *s = (const unsigned char *)page.data();
	for (size_t i = 0; i < page.size();) {
		size_t len = utf8_sequence(s + i, page.size() - i);
		require(len > 0, "the page is not UTF-8");
		i += len;
	}
	static const char *const NUMERIC[] = {
	    " x=\"",  " y=\"",	" x1=\"", " y1=\"",	  " x2=\"",
	    " y2=\"", " cx=\"", " cy=\"", " points=\""};
	for (const char *name : NUMERIC)
		for (size_t at = page.find(name); at != std::string::npos;
		     at = page.find(name, at + 1)) {
			size_t start = at + strlen(name);
			size_t end = page.find('"', start);
			require(end != std::string::npos &&
				    page.find_first_not_of("0123456789.-, ",
							   start) == end,
				"a coordinate is not a number");
		}
}

static void write_page(struct pdb *db)
{
	int fd = memfd_create("page", 0);
	require(fd >= 0, "memfd_create");
	if (trip_write_page(db, fd) == 0) {
		off_t size = lseek(fd, 0, SEEK_END);
		std::string page((size_t)size, '\0');
		require(pread(fd, &page[0], page.size(), 0) == (ssize_t)size,
			"reading the page back");
		check_page(page);
	}
	close(fd);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	struct pdb *db = new_pdb();
	if (db == NULL)
		return 0;
	udword id = 1;
	for (size_t start = 0; start < size;) {
		const uint8_t *nl =
		    (const uint8_t *)memchr(data + start, '\n', size - start);
		size_t end = nl != NULL ? (size_t)(nl - data) + 1 : size;
		size_t len = end - start < 65535 ? end - start : 65535;
		struct pdb_record *r =
		    new_Record(0, 0, id++, (uword)len, data + start);
		if (r == NULL || pdb_AppendRecord(db, r) != 0)
			break;
		start = end;
	}
	struct trip_log log;
	if (trip_read(db, &log) == 0) {
		struct trip_track total = {};
		for (const struct trip_track &t : log.tracks) {
			check(t);
			trip_add(&total, &t);
		}
		require(isfinite(total.distance), "total");
		for (const struct trip_route &r : log.routes)
			require(isfinite(r.length) && r.length >= 0, "route");
	}
	write_page(db);
	free_pdb(db);
	return 0;
}
