/* SPDX-License-Identifier: MIT */
/*
 * trkexport: exports a Wexlar track log as a GPX track, CSV lines, a
 * MapSend track file or a page that shows the trip; with -t DIR, any
 * number of logs into a directory in one run.
 */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "atlas.h"
#include "folder.h"
#include "frontend.h"
#include "mag.h"
#include "page.h"
#include "trip.h"
#include "version.h"

static const char PROG[] = "trkexport";

static const char FOLDER_USAGE[] =
    "usage: trkexport track|gpx|csv|mapsend|html -t DIR FILE...\n";

static const char TARGET_LONG[] = "target-directory";

static void usage(const char *prog)
{
	printf("\nUsage: %s <track|csv|mapsend> <inputfile> <ouputfile>\n\n",
	       prog);
}

/* The format of a word, compared exactly; null for any other. */
static const struct export_format *format_for(const char *word)
{
	static const struct export_format formats[] = {
	    {PROG, "csv", parsewexlarfilecsv, ".csv"},
	    {PROG, "track", parsewexlarfilegpx, ".gpx"},
	    {PROG, "gpx", parsewexlarfilegpx11, ".gpx"},
	    {PROG, "mapsend", parsewexlarfileimapsend, ".trk"},
	    {PROG, "html", trip_write_page, ".html"},
	};
	for (const auto &f : formats)
		if (strcmp(word, f.word) == 0)
			return &f;
	return NULL;
}

/*
 * The directory that arg names as a target-directory option: "-tDIR",
 * "--target-directory=DIR" (the long name may be shortened, as GNU
 * programs take it), or for "-t" and "--target-directory" alone the
 * empty string, the directory being the next argument.  Null when arg is
 * no such option.
 */
static const char *target_option(const char *arg)
{
	if (arg[0] != '-')
		return NULL;
	if (arg[1] == 't')
		return arg + 2;
	if (arg[1] != '-' || arg[2] == '\0')
		return NULL;
	const char *name = arg + 2;
	size_t len = strcspn(name, "=");
	if (len == 0 || len > strlen(TARGET_LONG) ||
	    strncmp(name, TARGET_LONG, len) != 0)
		return NULL;
	return name[len] == '=' ? name + len + 1 : "";
}

/* True when an argument before "--" asks for a target directory. */
static bool wants_folder(int argc, char **argv)
{
	for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; i++)
		if (target_option(argv[i]) != NULL)
			return true;
	return false;
}

/* A wrong command line of the folder mode: its reason, with the argument
 * it is about quoted, and the usage. */
static int refuse(const char *what, const char *arg = NULL)
{
	fprintf(stderr, "%s: %s%s\n%s", PROG, what,
		arg != NULL ? quoted_name(arg).c_str() : "", FOLDER_USAGE);
	return 1;
}

/*
 * The atlas of a folder of pages: DIR/index.html.  A log whose page would
 * take that name gets this one, which keeps its ".pdb" and clashes with
 * any other file's output of that name.
 */
static const char ATLAS_NAME[] = "index.html";
static const char ATLAS_INSTEAD[] = "index.pdb.html";

struct atlas_run {
	struct trip_atlas atlas;
	struct trip_log page; /* of the log last written */
	bool incomplete;      /* a log written could not be added */
};

/* The name of an output within its directory. */
static const char *within(const char *output)
{
	const char *slash = strrchr(output, '/');
	return slash != NULL ? slash + 1 : output;
}

/* The page of db, as trip_write_page() writes it, the log read for it
 * kept for the atlas: read once for both. */
static int atlas_write_page(void *context, struct pdb *db, int fd)
{
	struct atlas_run *run = (struct atlas_run *)context;
	run->page = trip_log();
	if (trip_read_page(db, &run->page) < 0)
		return -1;
	return trip_write_page_of(run->page, fd);
}

static void atlas_written(void *context, const char *input,
			  const char *output, const struct pdb *)
{
	struct atlas_run *run = (struct atlas_run *)context;
	if (trip_atlas_add(&run->atlas, folder_base_name(input).c_str(),
			   within(output), &run->page) < 0)
		run->incomplete = true;
	run->page = trip_log();
}

static void atlas_dropped(void *context, const char *output)
{
	trip_atlas_drop(&((struct atlas_run *)context)->atlas, within(output));
}

/*
 * Writes DIR/index.html, replaced whole as every output is, and never
 * over a Palm database.  0, or -1 after one line on standard error, the
 * earlier file kept.
 */
static int atlas_finished(void *context, const char *dir)
{
	const struct atlas_run *run = (const struct atlas_run *)context;
	std::string path = dir;
	if (path.empty() || path.back() != '/')
		path += '/';
	path += ATLAS_NAME;
	std::string label = PROG + (": " + quoted_name(path.c_str()));
	if (run->incomplete) {
		fprintf(stderr, "%s: %s\n", label.c_str(), strerror(ENOMEM));
		return -1;
	}
	if (is_palm_database(path.c_str())) {
		fprintf(stderr, "%s: is a Palm database; not replaced\n",
			label.c_str());
		return -1;
	}
	struct replace_file out;
	if (replace_open(&out, path.c_str(), 0600) < 0) {
		fprintf(stderr, "%s: %s\n", label.c_str(), strerror(errno));
		return -1;
	}
	if (trip_atlas_write(run->atlas, out.fd) < 0) {
		fprintf(stderr, "%s: %s\n", label.c_str(), strerror(errno));
		close_output(&out, -1, label.c_str(), false);
		return -1;
	}
	int flushed = flush_output(&out, label.c_str());
	return close_output(&out, flushed, label.c_str(), true);
}

/*
 * trkexport FORMAT -t DIR FILE...: options anywhere before "--", which
 * ends them.  Returns the exit status.
 */
static int export_folder(int argc, char **argv)
{
	const char *dir = NULL;
	std::vector<char *> operands;
	bool options = true;
	for (int i = 1; i < argc; i++) {
		const char *arg = argv[i];
		if (options && strcmp(arg, "--") == 0) {
			options = false;
			continue;
		}
		if (!options || arg[0] != '-' || arg[1] == '\0') {
			operands.push_back(argv[i]);
			continue;
		}
		const char *value = target_option(arg);
		if (value == NULL)
			return refuse("unknown option ", arg);
		if (dir != NULL)
			return refuse("more than one target directory");
		if (*value == '\0' && strchr(arg, '=') == NULL) {
			if (++i == argc)
				return refuse("a directory must follow ", arg);
			value = argv[i];
		}
		dir = value;
	}
	if (operands.empty())
		return refuse("no format given");
	const struct export_format *format = format_for(operands[0]);
	if (format == NULL)
		return refuse("unknown format ", operands[0]);
	if (operands.size() == 1)
		return refuse("no track log given");
	/* Pages get their atlas. */
	struct atlas_run atlas = {};
	const struct folder_hook pages = {
	    atlas_write_page, atlas_written, atlas_dropped, atlas_finished,
	    &atlas,	      ATLAS_NAME,    ATLAS_INSTEAD};
	return export_to_folder(format, dir, operands.data() + 1,
				operands.size() - 1,
				format->writer == trip_write_page ? &pages
								  : NULL);
}

int main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version(PROG);
	if (wants_folder(argc, argv))
		return export_folder(argc, argv);
	if (argc < 4) {
		usage(argc > 0 ? argv[0] : PROG);
		return 1;
	}
	const struct export_format *format = format_for(argv[1]);
	if (format == NULL) {
		printf("Unknown ouputformat \"%s\"\n", argv[1]);
		return 1;
	}
	return export_track_log(argv[2], argv[3], format);
}
