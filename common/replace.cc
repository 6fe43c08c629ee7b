// SPDX-License-Identifier: MIT
#include "replace.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

/* Links followed before giving up, as the kernel does. */
enum { MAX_LINK_HOPS = 40 };
/* Names tried for the temporary file before giving up. */
enum { TEMP_TRIES = 100 };

static const char TEMP_LETTERS[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

/* Copies src into dst of size bytes; -1 when it does not fit. */
static int copy_name(char *dst, size_t size, const char *src)
{
	size_t n = strlen(src);
	if (n >= size)
		return -1;
	memcpy(dst, src, n + 1);
	return 0;
}

/*
 * Follows path through its symbolic links to the file they name into
 * target (PATH_MAX bytes).  That file need not exist.  Returns 0, or -1
 * when the chain cannot be followed.
 */
static int resolve(const char *path, char *target)
{
	if (copy_name(target, PATH_MAX, path) < 0)
		return -1;
	for (int hop = 0; hop < MAX_LINK_HOPS; hop++) {
		struct stat st;
		if (lstat(target, &st) < 0)
			return errno == ENOENT ? 0 : -1;
		if (!S_ISLNK(st.st_mode))
			return 0;
		char link[PATH_MAX];
		ssize_t n = readlink(target, link, sizeof link - 1);
		if (n < 0)
			return -1;
		link[n] = '\0';
		char *slash = strrchr(target, '/');
		size_t dir = link[0] != '/' && slash != NULL
				 ? (size_t)(slash - target) + 1
				 : 0;
		if (dir + (size_t)n >= PATH_MAX)
			return -1;
		memcpy(target + dir, link, (size_t)n + 1);
	}
	return -1;
}

/* The directory part of path, with its '/', ends at the returned length
 * (0: the current directory). */
static size_t dir_length(const char *path)
{
	const char *slash = strrchr(path, '/');
	return slash != NULL ? (size_t)(slash - path) + 1 : 0;
}

/* Six letters that differ from call to call and from process to process. */
static void temp_suffix(char *out)
{
	static unsigned long long counter;
	struct timespec ts;
	clock_gettime(CLOCK_REALTIME, &ts);
	unsigned long long v = (unsigned long long)ts.tv_nsec ^
			       ((unsigned long long)getpid() << 20) ^
			       (++counter * 0x9E3779B97F4A7C15ull);
	for (int i = 0; i < 6; i++) {
		out[i] = TEMP_LETTERS[v % (sizeof TEMP_LETTERS - 1)];
		v /= sizeof TEMP_LETTERS - 1;
		v ^= (unsigned long long)ts.tv_sec * 2654435761u;
	}
}

/*
 * Creates the temporary file ".BASE.XXXXXX" beside rf->target, exclusively,
 * so that nothing planted under that name is ever followed.  Returns the
 * descriptor or -1.
 */
static int create_temp(struct replace_file *rf, mode_t mode)
{
	size_t dir = dir_length(rf->target);
	const char *base = rf->target + dir;
	if (*base == '\0' || dir + strlen(base) + 9 > PATH_MAX)
		return -1;
	for (int i = 0; i < TEMP_TRIES; i++) {
		memcpy(rf->temp, rf->target, dir);
		char *p = rf->temp + dir;
		*p++ = '.';
		p = stpcpy(p, base);
		*p++ = '.';
		temp_suffix(p);
		p[6] = '\0';
		int fd = open(rf->temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
			      mode);
		if (fd >= 0 || errno != EEXIST)
			return fd;
	}
	return -1;
}

/* True when path is an existing regular file that this process may open
 * for writing, or does not exist: the outputs a rename can replace.  The
 * permission is asked, not tried: opening the old file for writing would
 * signal a write and close to whatever watches it. */
static bool replaceable(const char *path, struct stat *st, bool *exists)
{
	*exists = stat(path, st) == 0;
	if (!*exists)
		return errno == ENOENT;
	return S_ISREG(st->st_mode) &&
	       faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0;
}

/* Gives the new file the old one's owner and group, or its group alone,
 * which a member of it may set; otherwise it stays the user's own. */
static bool copy_owner(int fd, const struct stat *st)
{
	return fchown(fd, st->st_uid, st->st_gid) == 0 ||
	       fchown(fd, (uid_t)-1, st->st_gid) == 0;
}

/*
 * The descriptor, standard output or error, whose file a name of the
 * system's (/dev/stdout, /dev/fd/1, /proc/self/fd/1) is, when that file is
 * a regular one; else -1.  The shell may have opened it for appending, or
 * written to it before: through the descriptor, what it holds stays.
 */
static int standard_stream(const char *path)
{
	if (strncmp(path, "/dev/", 5) != 0 && strncmp(path, "/proc/", 6) != 0)
		return -1;
	struct stat named, st;
	if (stat(path, &named) < 0 || !S_ISREG(named.st_mode))
		return -1;
	for (int fd = STDOUT_FILENO; fd <= STDERR_FILENO; fd++)
		if (fstat(fd, &st) == 0 && st.st_dev == named.st_dev &&
		    st.st_ino == named.st_ino)
			return fd;
	return -1;
}

int replace_open(struct replace_file *rf, const char *path, mode_t mode)
{
	struct stat st;
	bool exists;
	rf->in_place = 1;
	rf->renamed = 0;
	rf->temp[0] = '\0';
	int standard = standard_stream(path);
	if (standard >= 0) {
		rf->fd = fcntl(standard, F_DUPFD_CLOEXEC, 0);
		return rf->fd;
	}
	if (resolve(path, rf->target) == 0 &&
	    replaceable(rf->target, &st, &exists)) {
		rf->fd = create_temp(rf, exists ? 0600 : mode);
		if (rf->fd >= 0) {
			if (exists) {
				copy_owner(rf->fd, &st);
				fchmod(rf->fd, st.st_mode & 07777);
			}
			rf->in_place = 0;
			return rf->fd;
		}
	}
	/* Where no temporary file can be made, the output is written where
	 * it is, and fails as that open fails. */
	rf->fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
	return rf->fd;
}

int replace_sync(struct replace_file *rf)
{
	return rf->in_place ? 0 : fsync(rf->fd);
}

/* Flushes the directory that holds the new name; where that is not
 * possible the rename stands all the same. */
static void sync_directory(const char *target)
{
	char dir[PATH_MAX] = ".";
	size_t n = dir_length(target);
	if (n > 0) {
		memcpy(dir, target, n);
		dir[n] = '\0';
	}
	int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd >= 0) {
		fsync(fd);
		close(fd);
	}
}

int replace_rename(struct replace_file *rf)
{
	if (rf->in_place)
		return 0;
	if (rename(rf->temp, rf->target) < 0) {
		replace_abort(rf);
		return -1;
	}
	rf->in_place = 1;
	rf->renamed = 1;
	return 0;
}

/* True when the output names a and b lie in one directory (as named). */
static bool same_directory(const struct replace_file *a,
			   const struct replace_file *b)
{
	size_t n = dir_length(a->target);
	return n == dir_length(b->target) &&
	       memcmp(a->target, b->target, n) == 0;
}

void replace_sync_directories(const struct replace_file *const *rfs,
			      size_t count)
{
	for (size_t i = 0; i < count; i++) {
		if (!rfs[i]->renamed)
			continue;
		bool first = true;
		for (size_t j = 0; j < i && first; j++)
			first = !rfs[j]->renamed ||
				!same_directory(rfs[j], rfs[i]);
		if (first)
			sync_directory(rfs[i]->target);
	}
}

int replace_commit(struct replace_file *rf)
{
	if (replace_rename(rf) < 0)
		return -1;
	sync_directory(rf->target);
	return 0;
}

void replace_start_sync(const struct replace_file *rf)
{
#ifdef SYNC_FILE_RANGE_WRITE
	if (!rf->in_place)
		sync_file_range(rf->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
	(void)rf;
#endif
}

void replace_abort(struct replace_file *rf)
{
	if (rf->in_place)
		return;
	int saved = errno;
	unlink(rf->temp);
	rf->in_place = 1;
	errno = saved;
}
