/* SPDX-License-Identifier: MIT */
/*
 * trkinfo: the numbers of every trip in Wexlar track logs, how far, how
 * long, how fast and how much climbing, for people or as CSV.  It only
 * reads; other applications' databases, as a backup folder holds them,
 * are skipped.
 */
#include <errno.h>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "frontend.h"
#include "palm.h"
#include "pdb.h"
#include "quote.h"
#include "trip.h"
#include "version.h"

static const char PROG[] = "trkinfo";

static const char USAGE[] = "usage: trkinfo [--csv] FILE...\n";

static const char HELP[] =
    "Shows the numbers of every track in the Wexlar track logs FILE: "
    "points,\ntimes, distance on the WGS84 ellipsoid, moving time and "
    "speeds, elevations,\nclimb and descent; and the waypoints and routes "
    "of each log.\n"
    "  --csv  one line of comma-separated values per track\n"
    "The same numbers on a page with a map and profiles: trkexport html "
    "LOG PAGE.html\n(trkexport's formats: track, gpx, csv, mapsend, "
    "html).\n";

static const char CSV_HEADER[] =
    "file,track,points,fixless,glitches,start,end,duration_s,moving_s,"
    "distance_m,max_speed_kmh,min_ele_m,max_ele_m,climb_m,descent_m,"
    "raw_climb_m,raw_descent_m\n";

static const double KMH_PER_MPS = 3.6;

/* What is shown: every track, and the totals of all. */
struct report {
	bool csv;
	size_t tracks; /* shown so far */
	struct trip_track total;
};

/* v with decimals places, as printf rounds it, without a sign on zero. */
static void print_fixed(double v, int decimals)
{
	char text[TRIP_TEXT_SIZE];
	fputs(trip_format_fixed(v, decimals, text), stdout);
}

/* One "label: value unit" line of a number. */
static void print_number(const char *label, double v, int decimals,
			 const char *unit)
{
	printf("%s: ", label);
	print_fixed(v, decimals);
	printf(" %s\n", unit);
}

static void print_duration(const char *label, int64_t centis)
{
	char text[TRIP_TEXT_SIZE];
	printf("%s: %s\n", label, trip_format_duration(centis, text));
}

/* The numbers of a track (or of the totals) for people; the lines of
 * numbers it has no value for are left out. */
static void print_numbers(const struct trip_track *t)
{
	char text[TRIP_TEXT_SIZE];
	printf("points: %zu\nwithout a fix: %zu\nglitches: %zu\n", t->points,
	       t->fixless, t->glitches);
	if (t->has_time) {
		printf("start: %s\n", trip_format_time(t->start, text));
		printf("end: %s\n", trip_format_time(t->end, text));
		print_duration("duration", t->duration);
		print_duration("moving time", t->moving);
	}
	if (t->has_distance)
		print_number("distance", t->distance / 1000, 2, "km");
	if (t->moving > 0)
		print_number("average moving speed",
			     t->moving_distance / ((double)t->moving / 100) *
				 KMH_PER_MPS,
			     1, "km/h");
	if (t->has_speed)
		print_number("highest speed", t->max_speed * KMH_PER_MPS, 1,
			     "km/h");
	if (t->has_ele) {
		print_number("lowest elevation", t->min_ele, 0, "m");
		print_number("highest elevation", t->max_ele, 0, "m");
		print_number("climb", t->climb, 0, "m");
		print_number("descent", t->descent, 0, "m");
		print_number("raw climb", t->raw_climb, 0, "m");
		print_number("raw descent", t->raw_descent, 0, "m");
	}
}

/* A blank line between blocks. */
static void start_block(struct report *r)
{
	static bool first = true;
	if (!first && !r->csv)
		putchar('\n');
	first = false;
}

/* First characters that make a spreadsheet run a cell as a formula. */
static const char FORMULA_STARTS[] = "=+-@\t\r";

/* A text as a CSV field: after a ' where a spreadsheet would take it for
 * a formula (a file named "=HYPERLINK(...)" must not run when the CSV is
 * opened), then quoted, its quotes doubled, where it holds a comma, a
 * quote or a line end. */
static void print_csv_text(const std::string &text)
{
	bool quoted = text.find_first_of(",\"\r\n") != std::string::npos;
	if (quoted)
		putchar('"');
	if (!text.empty() &&
	    memchr(FORMULA_STARTS, text[0], sizeof FORMULA_STARTS - 1) != NULL)
		putchar('\'');
	for (char c : text) {
		if (c == '"')
			putchar('"');
		putchar(c);
	}
	if (quoted)
		putchar('"');
}

/* ",v" with decimals places, or "," alone without a value. */
static void csv_number(bool has, double v, int decimals)
{
	putchar(',');
	if (has)
		print_fixed(v, decimals);
}

static void csv_seconds(bool has, int64_t centis)
{
	putchar(',');
	if (has)
		printf("%lld.%02d", (long long)(centis / 100),
		       (int)(centis % 100));
}

static void print_csv_row(const char *path, const struct trip_track *t)
{
	char text[TRIP_TEXT_SIZE];
	print_csv_text(path);
	putchar(',');
	print_csv_text(trip_utf8(t->name));
	printf(",%zu,%zu,%zu,", t->points, t->fixless, t->glitches);
	if (t->has_time) {
		fputs(trip_format_time(t->start, text), stdout);
		putchar(',');
		fputs(trip_format_time(t->end, text), stdout);
	} else {
		putchar(',');
	}
	csv_seconds(t->has_time, t->duration);
	csv_seconds(t->has_time, t->moving);
	csv_number(t->has_distance, t->distance, 1);
	csv_number(t->has_speed, t->max_speed * KMH_PER_MPS, 2);
	csv_number(t->has_ele, t->min_ele, 1);
	csv_number(t->has_ele, t->max_ele, 1);
	csv_number(t->has_ele, t->climb, 1);
	csv_number(t->has_ele, t->descent, 1);
	csv_number(t->has_ele, t->raw_climb, 1);
	csv_number(t->has_ele, t->raw_descent, 1);
	putchar('\n');
}

/* The row of a log without tracks, so that every log of a folder has
 * one: its file, an empty track of 0 points, every other field empty. */
static void print_csv_trackless(const char *path)
{
	print_csv_text(path);
	fputs(",,0", stdout);
	size_t fields = std::count(CSV_HEADER, CSV_HEADER + strlen(CSV_HEADER),
				   ',') + 1;
	for (size_t i = 3; i < fields; i++)
		putchar(',');
	putchar('\n');
}

static void print_track(struct report *r, const char *path,
			const struct trip_track *t)
{
	trip_add(&r->total, t);
	r->tracks++;
	if (r->csv) {
		print_csv_row(path, t);
		return;
	}
	start_block(r);
	fputs("file: ", stdout);
	wexlar_put_quoted(stdout, path, strlen(path));
	fputs("\ntrack: ", stdout);
	wexlar_put_quoted(stdout, t->name.data(), t->name.size());
	putchar('\n');
	print_numbers(t);
}

/* The waypoints and routes of a log, for people. */
static void print_places(struct report *r, const char *path,
			 const struct trip_log *log)
{
	if (r->csv || (log->waypoints.empty() && log->routes.empty()))
		return;
	start_block(r);
	fputs("file: ", stdout);
	wexlar_put_quoted(stdout, path, strlen(path));
	printf("\nwaypoints: %zu\n", log->waypoints.size());
	for (const struct trip_route &route : log->routes) {
		printf("route %lu: ", (unsigned long)route.number);
		wexlar_put_quoted(stdout, route.name.data(), route.name.size());
		printf(", %zu points, ", route.points.size());
		print_fixed(route.length / 1000, 2);
		fputs(" km\n", stdout);
	}
}

/* A line about path on standard error, in order with the listing; the
 * name quoted as the listing shows it, so that whatever bytes it holds
 * the line stays one. */
static void complain(const char *path, const char *what)
{
	fflush(stdout);
	fprintf(stderr, "%s: ", PROG);
	wexlar_put_quoted(stderr, path, strlen(path));
	fprintf(stderr, ": %s\n", what);
}

static const udword WEXLAR_CREATOR = PALM_FOURCC('W', 'x', 'l', '1');
static const udword TRACK_LOG_TYPE = PALM_FOURCC('D', 'A', 'T', 'A');

/* Opens path for reading if it is a regular file: the descriptor, or -1
 * after a line.  O_NONBLOCK lets a FIFO without a writer open at once
 * instead of hanging, and it is refused before anything is read from it;
 * a regular file reads the same with the flag. */
static int open_regular(const char *path)
{
	int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (fd < 0) {
		complain(path, strerror(errno));
		return -1;
	}
	struct stat st;
	if (fstat(fd, &st) != 0) {
		complain(path, strerror(errno));
		close(fd);
		return -1;
	}
	if (!S_ISREG(st.st_mode)) {
		complain(path, S_ISDIR(st.st_mode) ? strerror(EISDIR)
						   : "not a regular file");
		close(fd);
		return -1;
	}
	return fd;
}

/* The line for another application's database: its codes, quoted. */
static void skip_other(const char *path, const struct pdb *db)
{
	char type[4] = {(char)(db->type >> 24), (char)(db->type >> 16),
			(char)(db->type >> 8), (char)db->type};
	char creator[4] = {(char)(db->creator >> 24), (char)(db->creator >> 16),
			   (char)(db->creator >> 8), (char)db->creator};
	char qtype[WEXLAR_QUOTED_SIZE(4)], qcreator[WEXLAR_QUOTED_SIZE(4)];
	wexlar_quote(qtype, type, 4);
	wexlar_quote(qcreator, creator, 4);
	char what[128];
	snprintf(what, sizeof what,
		 "not a Wexlar track log (type %s, creator %s); skipped", qtype,
		 qcreator);
	complain(path, what);
}

/* Loads path: the database, or null after one line (*failed set where
 * the file is none, cannot be read or is a resource database under a
 * track log's codes, not where it is another application's). */
static struct pdb *load(const char *path, bool *failed)
{
	*failed = true;
	int fd = open_regular(path);
	if (fd < 0)
		return NULL;
	struct pdb *db = read_quietly(fd);
	close(fd);
	if (db == NULL) {
		complain(path, "not a readable Palm database");
		return NULL;
	}
	if (db->type != TRACK_LOG_TYPE || db->creator != WEXLAR_CREATOR) {
		/* A backup folder's applications (.prc) are resource
		 * databases too: skipped as any other application's. */
		skip_other(path, db);
		*failed = false;
		free_pdb(db);
		return NULL;
	}
	if (IS_RSRC_DB(db)) {
		/* Resources under a track log's codes: no log (its entries
		 * are resources, which no track reader walks), refused in
		 * trkexport's words. */
		complain(path, "not a Wexlar file: a resource database");
		free_pdb(db);
		return NULL;
	}
	return db;
}

/* Shows the numbers of one file.  Returns 0, or -1 after a line about
 * it. */
static int show(struct report *r, const char *path)
{
	bool failed;
	struct pdb *db = load(path, &failed);
	if (db == NULL)
		return failed ? -1 : 0;
	struct trip_log log;
	int status = trip_read(db, &log);
	free_pdb(db);
	if (status < 0) {
		complain(path, strerror(ENOMEM));
		return -1;
	}
	for (const struct trip_track &t : log.tracks)
		print_track(r, path, &t);
	if (r->csv && log.tracks.empty())
		print_csv_trackless(path);
	print_places(r, path, &log);
	return 0;
}

static void print_totals(struct report *r)
{
	if (r->csv || r->tracks < 2)
		return;
	start_block(r);
	printf("all tracks: %zu\n", r->tracks);
	print_numbers(&r->total);
}

/* What the command line asks for. */
enum command { SHOW, HELP_ASKED, WRONG };

/* Whether argv[i] names a file: anything after "--" (which *options
 * turns false when it meets it), "-" alone, and what does not start with
 * a '-'. */
static bool names_file(const char *arg, bool *options)
{
	if (!*options || arg[0] != '-' || arg[1] == '\0')
		return true;
	if (strcmp(arg, "--") == 0)
		*options = false;
	return false;
}

/* Reads the options wherever they stand up to "--", so that a shell's
 * list of files may come first, into *r and counts the files in *files.
 * Returns WRONG after a line about an unknown option. */
static enum command read_options(int argc, char **argv, struct report *r,
				 int *files)
{
	bool options = true;
	*files = 0;
	for (int i = 1; i < argc; i++) {
		const char *arg = argv[i];
		if (names_file(arg, &options)) {
			++*files;
		} else if (!options) {
			continue; /* the "--" */
		} else if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
			return HELP_ASKED;
		} else if (strcmp(arg, "--csv") == 0) {
			r->csv = true;
		} else {
			fprintf(stderr, "%s: unknown option %s\n", PROG, arg);
			return WRONG;
		}
	}
	return SHOW;
}

/* A log's numbers take a few arrays of a double a point, one after the
 * other.  Left to itself, the C library serves them from a heap that they
 * leave full of holes once it has freed the first large one; a fixed
 * threshold keeps every large array in pages of its own, given back when
 * freed, so memory stays bounded by the largest log. */
static void keep_large_arrays_apart(void)
{
#ifdef M_MMAP_THRESHOLD
	enum { LARGE = 256 * 1024 };
	mallopt(M_MMAP_THRESHOLD, LARGE);
#endif
}

int main(int argc, char **argv)
{
	keep_large_arrays_apart();
	if (wants_version(argc, argv))
		return print_version(PROG);
	struct report r = {};
	int files;
	switch (read_options(argc, argv, &r, &files)) {
	case HELP_ASKED:
		printf("%s%s", USAGE, HELP);
		return fclose(stdout) == 0 ? 0 : 1;
	case WRONG:
		fputs(USAGE, stderr);
		return 1;
	case SHOW:
		break;
	}
	if (files == 0) {
		fputs(USAGE, stderr);
		return 1;
	}
	int status = 0;
	if (r.csv)
		fputs(CSV_HEADER, stdout);
	bool options = true;
	for (int i = 1; i < argc; i++)
		if (names_file(argv[i], &options) && show(&r, argv[i]) < 0)
			status = 1;
	print_totals(&r);
	if (fclose(stdout) != 0) {
		perror("trkinfo: standard output");
		return 1;
	}
	return status;
}
