/* SPDX-License-Identifier: MIT */
/*
 * File I/O helpers that the libraries share; not part of the installed
 * interface, so their names carry the project prefix.
 */
#ifndef PALMDB_FILEIO_H
#define PALMDB_FILEIO_H

#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Reads len bytes from fd, going on after partial reads and EINTR.
 * Returns len, fewer at the end of the file, or -1 on a read error (errno
 * set).
 */
ssize_t wexlar_read_full(int fd, void *buf, size_t len);

/* As wexlar_read_full, from the file offset offset, leaving the position alone. */
ssize_t wexlar_pread_full(int fd, void *buf, size_t len, off_t offset);

/*
 * Writes len bytes to fd, going on after partial writes and EINTR, so that
 * a full disk shows up as the error it is.  Returns len, or -1 on failure
 * (errno set; a write that stored nothing without an error sets EIO).
 */
ssize_t wexlar_write_full(int fd, const void *buf, size_t len);

/*
 * Reports a read that brought got bytes instead of the ones wanted, under
 * tag: as perror(tag) when got is -1, else "tag: unexpected end of file".
 * Never prints a system text for an error that did not happen.
 */
void wexlar_report_short_read(const char *tag, ssize_t got);

#ifdef __cplusplus
}
#endif

#endif
