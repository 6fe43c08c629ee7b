// SPDX-License-Identifier: MIT
// Any bytes as one record's text, with no terminator: decoded, then
// printed as a GPX and a CSV item, which must be exactly what printf and
// gmtime/strftime make of the point.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "mag.h"
#include "pointtext.h"

static void check(enum point_style style, const struct trkrec *trk)
{
	char got[POINT_TEXT_SIZE], want[POINT_TEXT_SIZE], when[64] = "";
	int n = wexlar_format_point(style, trk, got);
	time_t t = (time_t)(uint32_t)trk->time;
	struct tm tm;
	if (gmtime_r(&t, &tm) != NULL)
		strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S", &tm);
	int m = snprintf(want, sizeof want,
			 style == POINT_GPX
			     ? "<trkpt lat=\"%f\" lon=\"%f\">\n\t<ele>%f</ele>\n"
			       "\t<time>%s.%02dZ</time>\n</trkpt>\n"
			     : "%f,%f,%f,%s.%02dZ\n",
			 -trk->y, trk->x, (double)trk->altitude, when,
			 trk->centisecs);
	if (n != m || memcmp(got, want, (size_t)n) != 0) {
		fprintf(stderr, "wexlar_format_point gave\n%s\nprintf gives\n%s\n", got,
			want);
		abort();
	}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// An exact copy, so that a read past the end is caught.
	char *text = (char *)malloc(size ? size : 1);
	memcpy(text, data, size);
	struct trkrec trk;
	memset(&trk, 0, sizeof trk);
	for (int pass = 0; pass < 2; pass++) {  // the second reuses the point
		if (parsemagdata(text, size, &trk)) {
			check(POINT_GPX, &trk);
			check(POINT_CSV, &trk);
		}
	}
	free(text);
	return 0;
}
