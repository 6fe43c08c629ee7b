/* SPDX-License-Identifier: MIT */
/*
 * Exporting many track logs into one directory in one run, as a HotSync
 * backup folder holds them: each log in turn is loaded, written and freed,
 * so that the run needs the memory of the largest log, not of the folder.
 * Every message goes to standard error, naming the file it is about.
 */
#ifndef FOLDER_H
#define FOLDER_H

#include <stddef.h>

#include "frontend.h"

/*
 * Steps that gather the logs of a run (such as a page of all trips).
 * write (when not null) writes each log instead of the format's writer,
 * as that writer does, with the same bytes and results, so that the
 * steps can keep what it works out.  written runs after each log has
 * been written, with context, the input's name, the output's name and the
 * log; all three live only during the call.  The output takes its name
 * with a batch of others, a little later: should that fail, the run tells
 * so, its status is 1, and dropped (when not null) receives the output's
 * name.  finished (when not null) runs at the end of a run that was not
 * refused, with the directory; it returns 0, or -1 after one line on
 * standard error, which makes the status 1.  reserved (when not null) is
 * a name in the directory that the steps write themselves: a file whose
 * output would take it gets the name instead (and clashes as that name).
 * Otherwise the run's status and its files do not depend on the steps.
 */
struct folder_hook {
	int (*write)(void *context, struct pdb *log, int fd);
	void (*written)(void *context, const char *input, const char *output,
			const struct pdb *log);
	void (*dropped)(void *context, const char *output);
	int (*finished)(void *context, const char *dir);
	void *context;
	const char *reserved, *instead;
};

/* The name after the last '/' of path (all of it without one; a path
 * that ends in '/' keeps its last part). */
std::string folder_base_name(const char *path);

/*
 * The output's base name for the input path: the name after its last
 * '/' less a final ".pdb" or ".PDB" (kept where nothing else would be
 * left), followed by ext.  A path that ends in '/' keeps its last part.
 */
std::string folder_output_base(const char *path, const char *ext);

/*
 * Exports the count files into the directory dir, each as
 * dir/NAME.EXT (see folder_output_base, and the hook's reserved name), in
 * order, replaced whole as a single run replaces its output and with the
 * same bytes; up to 32 outputs are flushed to stable storage and take
 * their names together.  Refused before anything is read or written,
 * with exit status 1: a dir that is no directory, and files of which two
 * would go to the same output (one line for each clash).  Then, for each
 * file, one line on standard error and on with the next: a database of
 * another application is skipped (status unaffected); a file that is
 * missing, not a regular file, unreadable or no readable database, an
 * output that is a Palm database (never replaced) or that cannot be
 * written makes the status 1.  hook, when not null, gathers the logs
 * written (see struct folder_hook).  Returns the exit status: 0 or 1.
 */
int export_to_folder(const struct export_format *format, const char *dir,
		     char *const *files, size_t count,
		     const struct folder_hook *hook);

#endif
