/*
 * The steps that trkexport and msexport share: load and check the track
 * log, create the output, finish it.  Their own messages go to standard
 * output, system errors to standard error.
 */
#ifndef TRACK_FRONTEND_H
#define TRACK_FRONTEND_H

#include <sys/stat.h>

#include "mag.h"
#include "pdb.h"

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
 * Creates or truncates path for writing, mode 0600 less the umask, unless
 * it is the input file (status *input) itself.  Returns the descriptor, or
 * -1 after the system's error text or "path: input and output are the same
 * file".
 */
int create_output(const char *path, const struct stat *input);

/*
 * Closes the output fd after a writer returned written (0 or -1).  Returns
 * the exit status: 0 when the writer succeeded and the close did too, else
 * 1 (a failed close is reported).
 */
int finish_output(int fd, int written);

/*
 * The whole export: loads the track log at inpath, creates outpath and
 * runs writer on them.  Returns the exit status: 0 when the output was
 * written in full, else 1 after the reason (see the functions above).
 */
int export_track_log(const char *inpath, const char *outpath,
		     _parsewexlarffile writer);

#endif
