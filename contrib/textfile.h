/* SPDX-License-Identifier: MIT */
/*
 * Pieces that gpsimport and linedump share: output names, error reports,
 * and the guards that keep a failed run from touching any file.  Both
 * programs work in fixed buffers on the standard C streams.
 */
#ifndef CONTRIB_TEXTFILE_H
#define CONTRIB_TEXTFILE_H

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "replace.h"

/* Room for a file name: 1023 characters and a NUL. */
enum { NAME_SIZE = 1024 };

/* "-" as the output name stands for standard output. */
static inline bool is_stdout_name(const char *name)
{
	return strcmp(name, "-") == 0;
}

/* The part of path after its last '/'. */
static inline const char *base_name(const char *path)
{
	const char *slash = strrchr(path, '/');
	return slash != NULL ? slash + 1 : path;
}

/*
 * The output name for input: its base name without its last '.' and what
 * follows, with ext appended, in the current directory.  Returns 0, or -1
 * when that does not fit out (NAME_SIZE bytes).
 */
static inline int derive_name(const char *input, const char *ext, char *out)
{
	const char *base = base_name(input);
	const char *dot = strrchr(base, '.');
	size_t stem = dot != NULL ? (size_t)(dot - base) : strlen(base);
	if (stem + strlen(ext) >= NAME_SIZE)
		return -1;
	memcpy(out, base, stem);
	strcpy(out + stem, ext);
	return 0;
}

/* The output name: given, or derived from the input.  0, or -1 after a
 * message when it is longer than NAME_SIZE - 1 characters. */
static inline int output_name(int argc, char **argv, const char *ext,
			      char *out)
{
	if (argc > 2 && strlen(argv[2]) < NAME_SIZE) {
		strcpy(out, argv[2]);
		return 0;
	}
	if (argc <= 2 && derive_name(argv[1], ext, out) == 0)
		return 0;
	fprintf(stderr, "Output file name too long: at most %d characters.\n",
		NAME_SIZE - 1);
	return -1;
}

/* "name: system error text" on standard error. */
static inline void report(const char *name)
{
	fprintf(stderr, "%s: %s\n", name, strerror(errno));
}

/* True (after a message) when outname names the open input file itself. */
static inline bool is_same_file(FILE *in, const char *outname)
{
	struct stat a, b;
	if (is_stdout_name(outname) || fstat(fileno(in), &a) != 0 ||
	    stat(outname, &b) != 0)
		return false;
	if (a.st_dev != b.st_dev || a.st_ino != b.st_ino)
		return false;
	fprintf(stderr, "%s: input and output are the same file\n", outname);
	return true;
}

/*
 * Reads the whole input into buf, at most max bytes; *len gets the count.
 * Returns 0; 1 when the file holds more than max bytes; -1 after a report
 * naming inname when reading failed.
 */
static inline int read_input(FILE *in, const char *inname, unsigned char *buf,
			     size_t max, int *len)
{
	size_t n = fread(buf, 1, max, in);
	*len = (int)n;
	if (ferror(in)) {
		report(inname);
		return -1;
	}
	if (n < max)
		return 0;
	int c = getc(in);
	if (ferror(in)) {
		report(inname);
		return -1;
	}
	return c == EOF ? 0 : 1;
}

/* True when the command line asks for the usage text: not one or two
 * arguments, or a first argument of exactly "-h" or "--help". */
static inline bool wants_usage(int argc, char **argv)
{
	return (argc != 2 && argc != 3) || strcmp(argv[1], "-h") == 0 ||
	       strcmp(argv[1], "--help") == 0;
}

/*
 * Opens inname and reads all of it into buf (at most max bytes; *len gets
 * the count), refusing an input that is the output outname itself.
 * Returns 0; 1 when the file holds more than max bytes; -1 after a report.
 */
static inline int load_input(const char *inname, const char *outname,
			     unsigned char *buf, size_t max, int *len)
{
	FILE *in = fopen(inname, "rb");
	if (in == NULL) {
		report(inname);
		return -1;
	}
	int got = is_same_file(in, outname)
		      ? -1
		      : read_input(in, inname, buf, max, len);
	fclose(in);
	return got;
}

/*
 * Opens the output for writing in mode, or standard output for "-", with
 * *rf to put it in place at the end (see replace.h: a new file gets mode
 * 0666 less the umask).  Null after a report naming outname; then no file
 * was created.
 */
static inline FILE *open_output(struct replace_file *rf, const char *outname,
				const char *mode)
{
	rf->in_place = 1;
	if (is_stdout_name(outname))
		return stdout;
	int fd = replace_open(rf, outname, 0666);
	if (fd < 0) {
		report(outname);
		return NULL;
	}
	FILE *out = fdopen(fd, mode);
	if (out == NULL) {
		report(outname);
		replace_abort(rf);
		close(fd);
	}
	return out;
}

/*
 * Ends the output after the program wrote it (written is false when a write
 * failed): flushes it to stable storage, closes it and puts it in its
 * place; after a failure the output name keeps what it held.  Returns 0, or
 * -1 after one report naming the output.
 */
static inline int finish_output(FILE *out, struct replace_file *rf,
				const char *outname, bool written)
{
	const char *name = out == stdout ? "standard output" : outname;
	bool failed = !written || fflush(out) != 0 || ferror(out) ||
		      replace_sync(rf) != 0;
	int saved = errno;
	if (fclose(out) != 0 && !failed)
		failed = true;
	else
		errno = saved;
	if (!failed && replace_commit(rf) != 0)
		failed = true;
	if (failed) {
		report(name);
		replace_abort(rf);
	}
	return failed ? -1 : 0;
}

#endif
