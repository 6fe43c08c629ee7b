/* SPDX-License-Identifier: MIT */
/*
 * gpximport: puts the waypoints, routes and tracks of a GPX file onto the
 * handheld, as a Wexlar database of Magellan sentences.
 *
 * The whole document is read and checked before the output is created,
 * and the output is replaced whole, so a refused or failed run leaves
 * every file as it was.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <new>
#include <string>

#include "fileio.h"
#include "importer.h"
#include "pdbimage.h"
#include "replace.h"
#include "version.h"

static const char PROG[] = "gpximport";

/* Seconds from 1904-01-01, the Palm epoch, to 1970-01-01. */
static const uint32_t PALM_EPOCH_OFFSET = 2082844800u;

static const char USAGE[] = "Usage: gpximport GPXFILE [PDBFILE | -]\n";

static const char HELP[] =
    "Puts the waypoints, routes and tracks of a GPX 1.0 or 1.1 file onto a\n"
    "Palm handheld: writes them as a Wexlar database of Magellan sentences,\n"
    "PDBFILE (by default GPXFILE's name with .pdb, here; - for standard\n"
    "output).\n";

/* "gpximport: NAME: WHAT" on standard error; needs no memory. */
static void complain(const std::string &name, const char *what)
{
	fprintf(stderr, "%s: %s: %s\n", PROG, name.c_str(), what);
}

static void complain_errno(const std::string &name)
{
	complain(name, strerror(errno));
}

/* The part of path after its last '/'. */
static std::string base_name(const std::string &path)
{
	size_t slash = path.rfind('/');
	return slash == std::string::npos ? path : path.substr(slash + 1);
}

/* name without its last '.' and what follows. */
static std::string stem(const std::string &name)
{
	size_t dot = name.rfind('.');
	return dot == std::string::npos ? name : name.substr(0, dot);
}

/* The database's name for the file at path: its base name without the
 * extension, or whole where nothing else would be left (".gpx"). */
static std::string database_name(const std::string &path)
{
	std::string base = base_name(path);
	std::string name = stem(base);
	return name.empty() ? base : name;
}

/* True (after a message) when outname names the open input itself. */
static bool is_input(int in, const std::string &outname)
{
	struct stat a, b;
	if (fstat(in, &a) != 0 || stat(outname.c_str(), &b) != 0 ||
	    a.st_dev != b.st_dev || a.st_ino != b.st_ino)
		return false;
	complain(outname, "input and output are the same file");
	return true;
}

/* Reads the GPX file into *records for the database named dbname; false
 * after a message. */
static bool read_gpx(const std::string &inname, const std::string &outname,
		     const std::string &dbname, struct gpx_records *records)
{
	int in = open(inname.c_str(), O_RDONLY | O_CLOEXEC);
	if (in < 0) {
		complain_errno(inname);
		return false;
	}
	struct gpx_error error = {0, 0, ""};
	bool ok = !is_input(in, outname) &&
		  gpx_import(in, pdb_name(dbname), records, &error) == 0;
	if (!ok && error.line > 0)
		fprintf(stderr, "%s: %s:%lu:%lu: %s\n", PROG, inname.c_str(),
			error.line, error.column, error.message.c_str());
	else if (!ok && !error.message.empty())
		complain(inname, error.message.c_str());
	close(in);
	return ok;
}

/* The database file: its head, then the records. */
static int write_database(int fd, const std::string &head,
			  const struct gpx_records &records)
{
	return wexlar_write_full(fd, head.data(), head.size()) >= 0 &&
		       wexlar_write_full(fd, records.bytes.data(),
					 records.bytes.size()) >= 0
		   ? 0
		   : -1;
}

/* Writes the database to the output, replaced whole; false after a
 * message. */
static bool write_output(const std::string &outname, const std::string &head,
			 const struct gpx_records &records)
{
	if (outname == "-") {
		if (write_database(STDOUT_FILENO, head, records) == 0)
			return true;
		complain_errno("standard output");
		return false;
	}
	struct replace_file rf;
	int fd = replace_open(&rf, outname.c_str(), 0666);
	if (fd < 0) {
		complain_errno(outname);
		return false;
	}
	bool ok = write_database(fd, head, records) == 0 &&
		  replace_sync(&rf) == 0;
	int saved = errno;
	if (close(fd) != 0 && ok)
		ok = false;
	else
		errno = saved;
	if (ok && replace_commit(&rf) == 0)
		return true;
	complain_errno(outname);
	replace_abort(&rf);
	return false;
}

/* Imports inname to outname; false after a message. */
static bool import(const std::string &inname, const std::string &outname,
		   const std::string &dbname)
{
	struct gpx_records records;
	if (!read_gpx(inname, outname, dbname, &records))
		return false;
	uint32_t secs = (uint32_t)time(NULL) + PALM_EPOCH_OFFSET;
	std::string head = pdb_head(records, dbname, secs);
	return write_output(outname, head, records);
}

int main(int argc, char **argv)
{
	if (wants_version(argc, argv))
		return print_version(PROG);
	if (argc == 2 && strcmp(argv[1], "--help") == 0) {
		printf("%s%s", USAGE, HELP);
		return fclose(stdout) == 0 ? 0 : 1;
	}
	if (argc != 2 && argc != 3) {
		fputs(USAGE, stderr);
		return 1;
	}
	const char *inname = argv[1];
	try {
		/* Named after the output where one is given, else after the
		 * input. */
		bool given = argc == 3 && strcmp(argv[2], "-") != 0;
		std::string outname =
		    argc == 3 ? argv[2] : stem(base_name(inname)) + ".pdb";
		return import(inname, outname,
			      database_name(given ? outname : inname))
			   ? 0
			   : 1;
	} catch (const std::bad_alloc &) {
		/* Nothing was written: the output is replaced only at the
		 * end. */
		fprintf(stderr, "%s: %s: %s\n", PROG, inname,
			strerror(ENOMEM));
		return 1;
	}
}
