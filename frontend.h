/* SPDX-License-Identifier: MIT */
/*
 * The steps that trkexport and msexport share: load and check the track
 * log, create the output, finish it.  Their own messages go to standard
 * output, system errors to standard error.
 */
#ifndef FRONTEND_H
#define FRONTEND_H

#include <sys/stat.h>

#include "mag.h"
#include "pdb.h"
#include "replace.h"

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
 * Ends the output after a writer returned written (0 or -1): flushes it to
 * stable storage, closes it and puts it in its place; after a failure the
 * output name keeps what it held.  Returns the exit status: 0 when every
 * step succeeded, else 1 (a failed step is reported under its call's
 * name).
 */
int finish_output(struct replace_file *out, int written);

/*
 * The whole export: loads the track log at inpath, creates outpath and
 * runs writer on them.  Returns the exit status: 0 when the output was
 * written in full, else 1 after the reason (see the functions above).
 */
int export_track_log(const char *inpath, const char *outpath,
		     _parsewexlarffile writer);

#endif
