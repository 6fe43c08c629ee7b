/* SPDX-License-Identifier: MIT */
/*
 * Output files that are replaced whole or not at all.
 *
 * An output name that is a regular file, or that does not exist yet, is
 * written as a new temporary file ".NAME.XXXXXX" beside it, which takes
 * the name only after everything has been written and flushed to stable
 * storage.  Until then the name keeps what it held, so a failed or killed
 * run never leaves a cut output, and a reader never sees one half written.
 * A symbolic link is followed to the file it names, which is the one
 * replaced; the link stays.  Other hard links to an old output keep the old
 * contents.
 *
 * Everything else is written in place, truncated first: standard output,
 * a FIFO, a terminal or other special file, and a regular file in a
 * directory where no new file can be made.  A name of the process's own
 * standard output or error (/dev/stdout) that is a regular file is written
 * through that descriptor, where it stands, not truncated: a file that the
 * shell opened for appending keeps what it held.
 */
#ifndef COMMON_REPLACE_H
#define COMMON_REPLACE_H

#include <limits.h>
#include <stddef.h>
#include <sys/types.h>

struct replace_file {
	int fd;
	int in_place;		    /* 1: fd is the output itself */
	int renamed;		    /* 1: the temporary file took the name */
	char target[PATH_MAX];	    /* the file that the temporary replaces */
	char temp[PATH_MAX];	    /* the temporary file's name */
};

/*
 * Opens path for writing.  A new file gets mode less the umask; a replaced
 * file keeps its permission bits, and its owner and group where the process
 * may set them.  An existing file that the process may not write is refused
 * as opening it would be.  Returns the descriptor, which the caller closes
 * (directly or through a stream), or -1 with errno set as an open of path
 * with O_CREAT and O_TRUNC would have left it; then nothing was created.
 */
int replace_open(struct replace_file *rf, const char *path, mode_t mode);

/*
 * Flushes what was written to stable storage.  Call it with the descriptor
 * still open, after the last write.  Returns 0, or -1 with errno set.  Does
 * nothing for an output written in place.
 */
int replace_sync(struct replace_file *rf);

/*
 * After replace_sync() and the close of the descriptor: renames the
 * temporary file over the output name and flushes the directory.  Returns
 * 0, or -1 with errno set after removing the temporary file (the output
 * name is then as it was).  Does nothing for an output written in place.
 */
int replace_commit(struct replace_file *rf);

/*
 * As replace_commit(), but leaves the flush of the directory to
 * replace_sync_directories(), so that outputs renamed into one directory
 * share one.  Returns 0, or -1 with errno set after removing the temporary
 * file.
 */
int replace_rename(struct replace_file *rf);

/*
 * Flushes the directories that hold the output names of the count outputs
 * at rfs, each directory once, after replace_rename() of each; where that
 * is not possible the renames stand all the same.  Outputs that were not
 * renamed are left alone.
 */
void replace_sync_directories(const struct replace_file *const *rfs,
			      size_t count);

/*
 * Starts flushing what was written to stable storage without waiting for
 * it, where the system can.  Outputs started one after the other and then
 * each flushed with replace_sync() share most of the cost of the flushes:
 * many are flushed in about the time of one.  Does nothing for an output
 * written in place.
 */
void replace_start_sync(const struct replace_file *rf);

/*
 * Gives the output up after a failure: removes the temporary file, so that
 * the output name keeps what it held.  errno is kept.  Does nothing for an
 * output written in place.
 */
void replace_abort(struct replace_file *rf);

#endif
