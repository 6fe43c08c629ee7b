/* SPDX-License-Identifier: MIT */
/*
 * The steps that trkexport and msexport share: load and check the track
 * log, create the output, finish it.  Their own messages go to standard
 * output, system errors to standard error.
 */
#ifndef FRONTEND_H
#define FRONTEND_H

#include <sys/stat.h>

#include <string>

#include "mag.h"
#include "pdb.h"
#include "replace.h"

/* One export: the program that runs it, for its messages, the format word
 * the user gave (the one trkexport takes for it), its writer and the
 * extension of its files, with the dot. */
struct export_format {
	const char *prog;
	const char *word;
	_parsewexlarffile writer;
	const char *ext;
};

/* path between double quotes as messages show names (see quote.h). */
std::string quoted_name(const char *path);

/* True for the codes and kind of a Wexlar track log: a record database
 * of creator Wxl1 and type DATA. */
bool is_track_log(const struct pdb *db);

/*
 * Reads the database in fd with the library's messages given to no one:
 * the caller tells of a failure in its own words.  Returns the database,
 * which the caller owns, or null.
 */
struct pdb *read_quietly(int fd);

/*
 * True when path names an existing regular file that begins as a Palm
 * database does (a name ending within its field, printable type and
 * creator codes), which no export replaces, even damaged.  Only a regular
 * file of at least the size of a database's headers is opened (read-only,
 * never waiting): a FIFO, a terminal or a device is never read.  One that
 * cannot be opened to check is taken for a database, so that it is kept.
 * A missing file and a shorter one are none.  Nothing is printed.
 */
bool is_palm_database(const char *path);

/*
 * Loads the Wexlar track log at path: a regular file that reads as a
 * record database of creator Wxl1 and type DATA.  Returns the database,
 * which the caller owns, or null after the reason on standard error (no
 * such file, not a regular file, cannot be opened) or standard output
 * ("Could not read pdbfile.", "Not a Wexlar file.").  No other file is
 * touched.  *st receives the status of the input file.
 */
struct pdb *load_track_log(const char *path, struct stat *st);

/*
 * Opens the output path for writing into *out (see replace.h: a new file
 * gets mode 0600 less the umask), unless it is the input file (status
 * *input) itself.  Returns the descriptor, or -1 after the system's error
 * text or "path: input and output are the same file"; then no file was
 * created.
 */
int create_output(struct replace_file *out, const char *path,
		  const struct stat *input);

/*
 * Flushes the written output to stable storage (replace_sync()).  Returns
 * 0, or -1 after "fsync: " and the system's text, after label and ": "
 * when label is not null.
 */
int flush_output(struct replace_file *out, const char *label);

/*
 * Closes the output and, when flushed is 0 (flush_output() succeeded),
 * puts it in its place, with the flush of its directory unless the caller
 * does that (see replace_sync_directories()); otherwise, and after a
 * failure, the output name keeps what it held.  Returns 0 when the output
 * took its place, else -1; a failed step is reported as by flush_output()
 * under its call's name ("close", "rename").
 */
int close_output(struct replace_file *out, int flushed, const char *label,
		 bool sync_directory);

/*
 * Ends the output of a single run after a writer returned written (0 or
 * -1): flush_output() and close_output(), with the flush of its
 * directory.  Returns the exit status: 0 when every step succeeded, else
 * 1.  Failures are told without a label.
 */
int finish_output(struct replace_file *out, int written);

/*
 * The whole export of a single run: refuses an output that is a Palm
 * database other than the input itself (one line on standard error that
 * names it and tells how several logs are exported), else loads the
 * track log at inpath, creates outpath and runs the format's writer on
 * them.  Returns the exit status: 0 when the output was written in full,
 * else 1 after the reason (see the functions above).
 */
int export_track_log(const char *inpath, const char *outpath,
		     const struct export_format *format);

#endif
