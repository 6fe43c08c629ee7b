/*
 * Big-endian codec, hex dump and small I/O helpers of the Palm database
 * library.
 *
 * None of the codec functions checks bounds: the caller guarantees that the
 * bytes exist (the reader and writer code each structure in a buffer of
 * exactly its size).
 */
#ifndef PALMDB_UTIL_H
#define PALMDB_UTIL_H

#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

#include "palm.h"

/* The byte, 16-bit or 32-bit big-endian number at buf. */
ubyte peek_ubyte(const ubyte *buf);
uword peek_uword(const ubyte *buf);
udword peek_udword(const ubyte *buf);

/* As the peek functions, at the cursor *buf, which then moves past the
 * bytes read. */
ubyte get_ubyte(const ubyte **buf);
uword get_uword(const ubyte **buf);
udword get_udword(const ubyte **buf);

/* Store value big-endian at the cursor *buf and move the cursor past it. */
void put_ubyte(ubyte **buf, ubyte value);
void put_uword(ubyte **buf, uword value);
void put_udword(ubyte **buf, udword value);

/*
 * Writes len bytes of buf to outfile as a hex dump: lines of 16 bytes, each
 * "prefix ", sixteen "xx " slots (blank when past len), "  | " and the
 * printable characters (others as ".").  len 0 prints nothing.
 */
void debug_dump(FILE *outfile, const char *prefix, const ubyte *buf,
		udword len);

/*
 * Reads len bytes from fd, going on after partial reads and EINTR.
 * Returns len, fewer at the end of the file, or -1 on a read error (errno
 * set).
 */
ssize_t read_full(int fd, void *buf, size_t len);

/* As read_full, from the file offset offset, leaving the position alone. */
ssize_t pread_full(int fd, void *buf, size_t len, off_t offset);

/*
 * Writes len bytes to fd, going on after partial writes and EINTR, so that
 * a full disk shows up as the error it is.  Returns len, or -1 on failure
 * (errno set; a write that stored nothing without an error sets EIO).
 */
ssize_t write_full(int fd, const void *buf, size_t len);

/*
 * Reports a read that brought got bytes instead of the ones wanted, under
 * tag: as perror(tag) when got is -1, else "tag: unexpected end of file".
 * Never prints a system text for an error that did not happen.
 */
void report_short_read(const char *tag, ssize_t got);

#endif
