// SPDX-License-Identifier: MIT
// Any bytes as the records of a track log, one a line: the trip's numbers
// are worked out, and none of them may be a NaN or an infinity, nor may
// they contradict each other.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
	free_pdb(db);
	return 0;
}
