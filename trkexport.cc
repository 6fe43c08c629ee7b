/* SPDX-License-Identifier: MIT */
/*
 * trkexport: exports a Wexlar track log as a GPX track, CSV lines, a
 * MapSend track file or a page that shows the trip.
 */
#include <stdio.h>
#include <string.h>

#include "frontend.h"
#include "mag.h"
#include "page.h"
#include "version.h"

static void usage(const char *prog)
{
	printf("\nUsage: %s <track|csv|mapsend> <inputfile> <ouputfile>\n\n",
	       prog);
}

/* The writer for a format word, compared exactly; null for any other. */
static _parsewexlarffile writer_for(const char *word)
{
	static const struct {
		const char *word;
		_parsewexlarffile writer;
	} formats[] = {
		{"csv", parsewexlarfilecsv},
		{"track", parsewexlarfilegpx},
		{"gpx", parsewexlarfilegpx11},
		{"mapsend", parsewexlarfileimapsend},
		{"html", trip_write_page},
	};
	for (const auto &f : formats)
		if (strcmp(word, f.word) == 0)
			return f.writer;
	return NULL;
}

int main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version("trkexport");
	if (argc < 4) {
		usage(argc > 0 ? argv[0] : "trkexport");
		return 1;
	}
	_parsewexlarffile writer = writer_for(argv[1]);
	if (writer == NULL) {
		printf("Unknown ouputformat \"%s\"\n", argv[1]);
		return 1;
	}
	return export_track_log(argv[2], argv[3], writer);
}
