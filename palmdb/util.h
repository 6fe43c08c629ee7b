/* SPDX-License-Identifier: MIT */
/*
 * Big-endian codec and hex dump of the Palm database library.
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

#ifdef __cplusplus
extern "C" {
#endif

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

#ifdef __cplusplus
}
#endif

#endif
